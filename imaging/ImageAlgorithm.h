#pragma once

#include <QImage>

#include <opencv2/core.hpp>

// The page corrections. Each operation replaces the content of the given image with its
// result (the pointer stays the same): grey results are Indexed8 images with a grey palette,
// colour results RGB888, each with the page's dots per metre. A null pointer, a null image or a
// format without a conversion (anything but RGB888, Indexed8, Grayscale8 and the 32-bit RGB
// formats) is left unchanged, and so is the image when memory for the result cannot be had.
class ImageAlgorithm
{
public:
    // Two-coloured page: background (by the corner test) in the given colour, everything else
    // pure black (pure white on a dark page), then a light 3x3 Gaussian smoothing.
    static void ChangeBackgroudColor(QImage *image, int red, int green, int blue);
    // Bleed-through suppression, level 1, 2 or 3 (any other level acts as 3).
    static void Impermeability(QImage *image, int level);
    // 3x3 pattern halftoning into a three-channel black-and-white image.
    static void Halftoning(QImage *image);
    // Two-level grey image (values above 128 white).
    static void Threshold(QImage *image);
    // Tone adjustment; unchanged when brightness or contrast lies outside -20..20 or gamma
    // outside 0.1..4.
    static void ImageAdjust(QImage *image, int brightness, int contrast, float gamma, float inScale,
                            float outScale, float curveScale);
    // Artistic filter 0..4 on colour pages (0 and grey pages: unchanged; other types: black).
    static void AddFilter(QImage *image, int type);
    // Median filter with kernel `radius` rounded up to odd. A negative radius (only from a
    // hand-edited parameter file) leaves the image unchanged.
    static void MedianBlur(QImage *image, int radius);
};

// Image to matrix: RGB888 and the 32-bit RGB formats give a BGR matrix (alpha dropped),
// Indexed8 and Grayscale8 a one-channel matrix of the values; anything else an empty matrix.
// The matrix owns its pixels.
cv::Mat QImage2cvMat(QImage image);
// Matrix to image: one channel gives Indexed8 with a grey palette, three channels (BGR)
// RGB888, four channels an ARGB32 copy of the bytes; anything else a null image.
QImage cvMat2QImage(cv::Mat const &mat);
