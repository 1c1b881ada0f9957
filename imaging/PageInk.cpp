#include "imaging/PageInk.h"

#include "pages/PageResolution.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

PageInk::Working PageInk::working(const QImage &page)
{
    if (page.isNull())
        return {cv::Mat(), kWorkingDpi};
    const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat view(grey.height(), grey.width(), CV_8UC1, const_cast<uchar *>(grey.constBits()),
                       size_t(grey.bytesPerLine()));
    double dpi = PageResolution::dpi(page).x();
    if (dpi < 50 || dpi > 2400)
        dpi = page.width() / (210.0 / 25.4);
    const double scale = kWorkingDpi / dpi;
    if (scale > 0.85) // close enough (or smaller): keep every pixel
        return {view.clone(), dpi};
    cv::Mat reduced;
    cv::resize(view, reduced, cv::Size(), scale, scale, cv::INTER_AREA);
    return {reduced, dpi * double(reduced.cols) / view.cols};
}

int PageInk::paperLevel(const cv::Mat &grey)
{
    if (grey.empty())
        return 255;
    const int channels[] = {0};
    const int bins[] = {256};
    const float range[] = {0, 256};
    const float *ranges[] = {range};
    cv::Mat histogram;
    cv::calcHist(&grey, 1, channels, cv::Mat(), histogram, 1, bins, ranges);
    const double half = grey.total() / 2.0;
    double seen = 0;
    for (int level = 0; level < 256; ++level) {
        seen += histogram.at<float>(level);
        if (seen >= half)
            return level;
    }
    return 255;
}

cv::Mat PageInk::mask(const cv::Mat &grey, int paper)
{
    cv::Mat ink;
    cv::threshold(grey, ink, paper * 0.6, 255, cv::THRESH_BINARY_INV);
    return ink;
}

cv::Mat PageInk::paperMap(const cv::Mat &grey, double dpi)
{
    if (grey.empty())
        return cv::Mat();
    // At about a millimetre per pixel the paper's grain is averaged away, and a text stroke is
    // a slightly darker smudge that the brightest level of its neighbourhood leaves out.
    const double scale = std::min(1.0, 25.4 / dpi);
    cv::Mat coarse;
    cv::resize(grey, coarse, cv::Size(), scale, scale, cv::INTER_AREA);
    const int reach = std::max(3, int(kPaperReachMm * dpi * scale / 25.4) | 1);
    cv::dilate(coarse, coarse, cv::getStructuringElement(cv::MORPH_RECT, {reach, reach}));
    cv::blur(coarse, coarse, {reach, reach}, cv::Point(-1, -1), cv::BORDER_REPLICATE);
    cv::Mat paper;
    cv::resize(coarse, paper, grey.size(), 0, 0, cv::INTER_LINEAR);
    return paper;
}

cv::Mat PageInk::contrastMask(const cv::Mat &grey, const cv::Mat &paper, double contrast)
{
    cv::Mat limit, ink;
    paper.convertTo(limit, CV_8U, 1.0 - contrast);
    cv::compare(grey, limit, ink, cv::CMP_LT);
    return ink;
}
