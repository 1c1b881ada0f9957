#pragma once

#include <opencv2/core.hpp>

class MatView;

// The four artistic colour filters of ImageAlgorithm::AddFilter on 8-bit pixels.
//
// The filters are defined in floating point, but on values 0..255 each one equals an integer
// formula, which is what runs here (checked against the float formulas for every one of the
// 256^3 colours in the tests):
//   1 sepia:  0.393R + 0.769G + 0.189B (double, then float), truncated
//             == (393R + 769G + 189B) / 1000 in integers: the exact value has denominator 1000,
//             so it is an integer or at least 0.001 away from one, far beyond the rounding
//             error of the double sum and of its rounding to float.
//   2 comic:  abs(2G - B + R) * R * (1/256) in float is exact == (abs(2G - B + R) * R) >> 8.
//   3 cast:   R * 255 / (G + B + 1) in float: numerator and denominator are exact and the
//             quotient's rounding error stays below 1 / (G + B + 1), the distance of a
//             non-integer quotient from the next integer, so it truncates to the integer
//             quotient. (The vector path divides in float exactly like the formula.)
//   4 frozen: abs(R - G - B) * 1.5 in float is exact == (3 * abs(R - G - B)) >> 1.
// Every result is limited to 0..255.
class ColourFilter
{
public:
    // Filters the three-channel page `view` (RGB888 or 32-bit) with filter `type` into `out`,
    // a CV_8UC3 matrix of the same size in red, green, blue order. Types other than 1..4 give
    // black.
    static void apply(const MatView &view, int type, cv::Mat &out);
};
