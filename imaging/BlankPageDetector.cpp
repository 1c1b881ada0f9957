#include "imaging/BlankPageDetector.h"

#include "imaging/PageInk.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <vector>

namespace {

// Small marks closer than this to two others form a group (letters of a word are about 1 mm
// apart, a page's dust specks centimetres).
constexpr double kGroupMm = 4.0;

struct Mark
{
    int x, y, w, h, area;
    double cx, cy;
    int across() const { return std::max(w, h); }
};

bool isPunchedHole(const Mark &m, const cv::Size &page, double mm)
{
    if (m.across() < 4 * mm || m.across() > 9 * mm)
        return false;
    const double round = double(std::min(m.w, m.h)) / m.across();
    const double filled = double(m.area) / (double(m.w) * m.h); // a disc fills pi/4 of its box
    if (round < 0.8 || filled < 0.65 || filled > 0.9)
        return false;
    const double nearest = std::min({m.cx, m.cy, page.width - 1 - m.cx, page.height - 1 - m.cy});
    return nearest < 25 * mm;
}

// How many of the small marks have at least two others within kGroupMm.
int grouped(std::vector<Mark> small, double mm)
{
    std::sort(small.begin(), small.end(), [](const Mark &a, const Mark &b) { return a.cx < b.cx; });
    const double reach = kGroupMm * mm;
    int found = 0;
    size_t from = 0;
    for (size_t i = 0; i < small.size(); ++i) {
        while (small[i].cx - small[from].cx > reach)
            ++from;
        int near = 0;
        for (size_t j = from; j < small.size() && small[j].cx - small[i].cx <= reach; ++j)
            near += j != i && std::abs(small[j].cy - small[i].cy) <= reach;
        found += near >= 2;
    }
    return found;
}

} // namespace

BlankPageDetector::Verdict BlankPageDetector::examine(const QImage &page, double inkContrast)
{
    const PageInk::Working work = PageInk::working(page);
    if (work.grey.empty())
        return {};
    const cv::Mat ink =
        PageInk::contrastMask(work.grey, PageInk::paperMap(work.grey, work.dpi), inkContrast);
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S);

    const double mm = work.dpi / 25.4;
    const int edge = std::max(1, int(5 * mm));
    Verdict verdict;
    std::vector<Mark> small;
    for (int i = 1; i < count; ++i) { // 0 is the paper
        const Mark m{stats.at<int>(i, cv::CC_STAT_LEFT),  stats.at<int>(i, cv::CC_STAT_TOP),
                     stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT),
                     stats.at<int>(i, cv::CC_STAT_AREA),  centroids.at<double>(i, 0),
                     centroids.at<double>(i, 1)};
        const bool atEdge =
            m.x < edge || m.y < edge || m.x + m.w > ink.cols - edge || m.y + m.h > ink.rows - edge;
        if (m.across() < kSpeckMm * mm || atEdge || isPunchedHole(m, ink.size(), mm))
            continue;
        ++verdict.marks;
        if (m.across() >= kMinStrokeMm * mm)
            ++verdict.strokes;
        else
            small.push_back(m);
    }
    verdict.grouped = grouped(small, mm);
    verdict.blank = verdict.strokes == 0 && verdict.grouped == 0;
    return verdict;
}
