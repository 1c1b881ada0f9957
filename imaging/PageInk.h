#pragma once

#include <QImage>

#include <opencv2/core.hpp>

// What the document-cleaning checks look at: a grey working copy of a page at about 150 dpi,
// the paper's brightness, and which pixels are ink. Ink is markedly darker than the paper:
// printing and writing are, while the back side showing through and the grain of the paper
// are not.
class PageInk
{
public:
    struct Working
    {
        cv::Mat grey; // 8-bit, reduced by area averaging to about kWorkingDpi
        double dpi;   // the working copy's resolution
    };
    static constexpr double kWorkingDpi = 150.0;

    // The working copy of `page` (any format; empty for a null page). A page without a usable
    // resolution is taken to be 210 mm wide.
    static Working working(const QImage &page);
    // The paper's grey level: the median of the working copy.
    static int paperLevel(const cv::Mat &grey);
    // 255 where a pixel is darker than 60 % of the paper's level, 0 elsewhere.
    static cv::Mat mask(const cv::Mat &grey, int paper);
    // Millimetres in pixels of a working copy.
    static double pixels(double millimetres, double dpi) { return millimetres / 25.4 * dpi; }
};
