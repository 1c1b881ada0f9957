#pragma once

#include <QImage>

#include <opencv2/core.hpp>

// What the document-cleaning checks look at: a grey working copy of a page at about 150 dpi,
// the paper's brightness, and which pixels are ink. For deskew, ink is markedly darker than the
// paper as a whole (print); the blank-page check compares each pixel with the paper around it,
// so that faint writing on shaded or yellowed paper still stands out.
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
    // The paper's own level around every pixel of a working copy: the page with every mark
    // narrower than kPaperReachMm taken out (the brightest level near each point of a copy at
    // one pixel per millimetre, smoothed). It follows gradients of the light, yellowed or
    // shaded paper; the back showing through, text and holes are gone from it.
    static constexpr double kPaperReachMm = 9.0;
    static cv::Mat paperMap(const cv::Mat &grey, double dpi);
    // 255 where a pixel is darker than its paper by more than `contrast` (a share of the
    // paper's level, 0 to 1), 0 elsewhere.
    static cv::Mat contrastMask(const cv::Mat &grey, const cv::Mat &paper, double contrast);
    // Millimetres in pixels of a working copy.
    static double pixels(double millimetres, double dpi) { return millimetres / 25.4 * dpi; }
};
