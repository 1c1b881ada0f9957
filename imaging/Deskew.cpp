#include "imaging/Deskew.h"

#include "imaging/PageInk.h"
#include "pages/PageTone.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr size_t kMaxPoints = 60000; // enough ink points for a sharp profile, fast to project
constexpr double kMinInkFraction = 0.001;
constexpr size_t kRowsPerPixel = 4;
constexpr double kMinSharpness = 1.15; // best score against the median over the angles

// How sharply the points fall into lines when the page is seen turned by `degrees`: the sum
// of squares of the projection's histogram, with rows one pixel high. Counted in quarter
// pixels and summed over every window of one pixel, the histogram tells apart angles that move
// a line's ends by less than a pixel, and the whole-pixel rows of an unturned page gain nothing
// from lying on the bins' borders. The points are centred.
double sharpness(const std::vector<cv::Point2f> &points, double degrees, int span,
                 std::vector<int> &bins)
{
    const double a = degrees * kPi / 180.0;
    const float s = float(std::sin(a));
    const float c = float(std::cos(a));
    std::fill(bins.begin(), bins.end(), 0);
    const int offset = span * int(kRowsPerPixel);
    for (const cv::Point2f &p : points) {
        const int row = int(std::lround((p.y * c - p.x * s) * kRowsPerPixel)) + offset;
        if (row >= 0 && row < int(bins.size()))
            ++bins[size_t(row)];
    }
    double sum = 0;
    int window = 0;
    for (size_t i = 0; i < bins.size(); ++i) {
        window += bins[i] - (i >= kRowsPerPixel ? bins[i - kRowsPerPixel] : 0);
        sum += double(window) * window;
    }
    return sum;
}

struct Search
{
    double best;
    double score;
};

Search scan(const std::vector<cv::Point2f> &points, double from, double to, double step, int span,
            std::vector<int> &bins, std::vector<double> *scores = nullptr)
{
    // Angles closer than the profile can tell apart score the same: the middle of the first run
    // of best scores is taken.
    Search result{from, -1};
    int run = 0;
    bool inRun = false;
    for (int i = 0; from + i * step <= to + 1e-9; ++i) {
        const double d = from + i * step;
        const double score = sharpness(points, d, span, bins);
        if (scores)
            scores->push_back(score);
        if (score > result.score) {
            result = {d, score};
            run = 1;
            inRun = true;
        } else if (inRun && score == result.score) {
            ++run;
        } else {
            inRun = false;
        }
    }
    result.best += (run - 1) * step / 2.0;
    return result;
}

// Formats whose bytes can be turned as they are: one byte per grey level (an index of the
// identity grey palette counts), or whole colour pixels.
bool isTurnable(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_RGB888:
        return true;
    case QImage::Format_Indexed8:
        for (int i = 0; i < 256; ++i) {
            if (image.colorCount() != 256 || image.color(i) != qRgb(i, i, i))
                return false;
        }
        return true;
    default:
        return false;
    }
}

} // namespace

Deskew::Skew Deskew::measure(const QImage &page)
{
    const PageInk::Working work = PageInk::working(page);
    if (work.grey.empty())
        return {};
    cv::Mat ink = PageInk::mask(work.grey, PageInk::paperLevel(work.grey));
    // The page's edge (a dark scanner lid, punched holes) has no lines to measure.
    const int margin = int(PageInk::pixels(15, work.dpi));
    if (ink.cols <= 2 * margin || ink.rows <= 2 * margin)
        return {};
    ink = ink(cv::Rect(margin, margin, ink.cols - 2 * margin, ink.rows - 2 * margin));
    std::vector<cv::Point> found;
    cv::findNonZero(ink, found);
    if (found.size() < kMinInkFraction * ink.total())
        return {};

    const size_t stride = std::max<size_t>(1, found.size() / kMaxPoints);
    std::vector<cv::Point2f> points;
    points.reserve(found.size() / stride + 1);
    for (size_t i = 0; i < found.size(); i += stride)
        points.emplace_back(found[i].x - ink.cols / 2.0f, found[i].y - ink.rows / 2.0f);
    const int span = int(std::ceil(std::hypot(ink.cols, ink.rows) / 2.0)) + 1;
    std::vector<int> bins(size_t((2 * span + 1) * kRowsPerPixel));

    std::vector<double> scores;
    Search coarse = scan(points, -kMaxDegrees - 1, kMaxDegrees + 1, 0.5, span, bins, &scores);
    std::nth_element(scores.begin(), scores.begin() + long(scores.size() / 2), scores.end());
    const double median = scores[scores.size() / 2];
    if (median <= 0 || coarse.score / median < kMinSharpness)
        return {}; // no line structure
    const Search fine = scan(points, coarse.best - 0.5, coarse.best + 0.5, 0.05, span, bins);
    const Search finest = scan(points, fine.best - 0.05, fine.best + 0.05, 0.01, span, bins);
    if (std::abs(finest.best) > kMaxDegrees + 0.5)
        return {}; // at the end of the range: the real skew may be larger
    return {true, finest.best};
}

double Deskew::correct(QImage *page)
{
    if (!page || page->isNull())
        return 0.0;
    const Skew skew = measure(*page);
    if (!skew.measured || std::abs(skew.degrees) < kMinDegrees ||
        std::abs(skew.degrees) > kMaxDegrees)
        return 0.0;

    const bool twoLevel = PageTone::isTwoLevel(*page);
    const QImage::Format original = page->format();
    QImage source = *page;
    if (!isTurnable(source))
        source = source.convertToFormat(source.isGrayscale()       ? QImage::Format_Grayscale8
                                        : source.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                   : QImage::Format_RGB32);
    const int channels = source.depth() / 8;
    const int type = CV_8UC(channels);
    QImage turned(source.size(), source.format());
    if (turned.isNull())
        return 0.0; // no memory: the page stays as it is
    turned.setColorTable(source.colorTable());
    turned.setDotsPerMeterX(source.dotsPerMeterX());
    turned.setDotsPerMeterY(source.dotsPerMeterY());
    const cv::Mat from(source.height(), source.width(), type,
                       const_cast<uchar *>(source.constBits()), size_t(source.bytesPerLine()));
    cv::Mat to(turned.height(), turned.width(), type, turned.bits(), size_t(turned.bytesPerLine()));

    // The paper's colour for the corners the turn uncovers: the median of each channel.
    std::vector<cv::Mat> planes;
    cv::Mat small;
    cv::resize(from, small, cv::Size(), 0.1, 0.1, cv::INTER_AREA);
    cv::split(small, planes);
    cv::Scalar paper;
    for (int c = 0; c < channels; ++c)
        paper[c] = PageInk::paperLevel(planes[size_t(c)]);

    // OpenCV turns counter-clockwise for a positive angle: the measured clockwise skew undone.
    const cv::Mat m = cv::getRotationMatrix2D(
        cv::Point2f((source.width() - 1) / 2.0f, (source.height() - 1) / 2.0f), skew.degrees, 1.0);
    cv::warpAffine(from, to, m, to.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, paper);
    if (twoLevel)
        cv::threshold(to, to, 127, 255, cv::THRESH_BINARY);
    *page = original == QImage::Format_Mono || original == QImage::Format_MonoLSB
                ? turned.convertToFormat(original, Qt::ThresholdDither)
                : turned;
    return skew.degrees;
}
