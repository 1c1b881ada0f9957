#include "imaging/BlankPageDetector.h"

#include "imaging/PageInk.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace {

bool isPunchedHole(const cv::Mat &stats, const cv::Mat &centroids, int i, const cv::Size &page,
                   double dpi)
{
    const int w = stats.at<int>(i, cv::CC_STAT_WIDTH);
    const int h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
    const int area = stats.at<int>(i, cv::CC_STAT_AREA);
    const double across = std::max(w, h);
    if (across < PageInk::pixels(4, dpi) || across > PageInk::pixels(9, dpi))
        return false;
    const double round = double(std::min(w, h)) / std::max(w, h);
    const double filled = double(area) / (double(w) * h); // a disc fills pi/4 of its box
    if (round < 0.8 || filled < 0.65 || filled > 0.9)
        return false;
    const double x = centroids.at<double>(i, 0);
    const double y = centroids.at<double>(i, 1);
    const double nearest = std::min({x, y, page.width - 1 - x, page.height - 1 - y});
    return nearest < PageInk::pixels(25, dpi);
}

} // namespace

BlankPageDetector::Verdict BlankPageDetector::examine(const QImage &page)
{
    const PageInk::Working work = PageInk::working(page);
    if (work.grey.empty())
        return {};
    const cv::Mat ink = PageInk::mask(work.grey, PageInk::paperLevel(work.grey));
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S);

    const double minArea = 0.1 * PageInk::pixels(1, work.dpi) * PageInk::pixels(1, work.dpi);
    const int edge = std::max(1, int(PageInk::pixels(5, work.dpi)));
    Verdict verdict;
    double inkPixels = 0;
    for (int i = 1; i < count; ++i) { // 0 is the paper
        const int x = stats.at<int>(i, cv::CC_STAT_LEFT);
        const int y = stats.at<int>(i, cv::CC_STAT_TOP);
        const int w = stats.at<int>(i, cv::CC_STAT_WIDTH);
        const int h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        const int area = stats.at<int>(i, cv::CC_STAT_AREA);
        const bool atEdge =
            x < edge || y < edge || x + w > ink.cols - edge || y + h > ink.rows - edge;
        if (area < minArea || atEdge || isPunchedHole(stats, centroids, i, ink.size(), work.dpi))
            continue;
        inkPixels += area;
        ++verdict.marks;
    }
    verdict.inkFraction = inkPixels / double(ink.total());
    verdict.blank = verdict.inkFraction < kMaxInkFraction;
    return verdict;
}
