#pragma once

#include "imaging/MatView.h"

#include <opencv2/core.hpp>

#include <functional>

// The page corrections on matrices: the common core of ImageAlgorithm's operations (which
// write their result straight into the QImage they return) and of the collector's correction
// chain (which passes intermediate pages through reusable buffers).
//
// Every operation reads a MatView (grey, RGB or 32-bit bytes) and writes its result, one
// channel (grey) or three in red, green, blue order, into the matrix that `Output` returns
// for the result's shape. That is byte for byte the image the corresponding ImageAlgorithm
// operation produces. An operation returns false, having asked for no output, when it leaves
// the page unchanged (unsupported input, parameters out of range, no memory).
class PageOps
{
public:
    // Called once with the result's rows, columns and channels (1 or 3); returns a matrix of
    // exactly that shape (CV_8UC1 / CV_8UC3, any row step), or an empty one when there is no
    // memory.
    using Output = std::function<cv::Mat(int rows, int cols, int channels)>;

    static bool threshold(const MatView &in, const Output &out);
    static bool halftoning(const MatView &in, const Output &out);
    static bool changeBackground(const MatView &in, int red, int green, int blue,
                                 const Output &out);
    static bool impermeability(const MatView &in, int level, const Output &out);
    static bool adjust(const MatView &in, int brightness, int contrast, float gamma, float inScale,
                       float outScale, float curveScale, const Output &out);
    static bool filter(const MatView &in, int type, const Output &out);
    static bool median(const MatView &in, int radius, const Output &out);

    // Runs `operation` and turns OpenCV's exceptions (broken preconditions, no memory) into
    // "left unchanged", so a failing correction never takes the collector down.
    static bool guarded(const char *name, const std::function<bool()> &operation);
};
