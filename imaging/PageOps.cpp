#include "imaging/PageOps.h"

#include "imaging/ColourFilter.h"
#include "imaging/ScratchBuffers.h"

#include <QDebug>

#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

// The operations compute the same bytes as converting the page to a grey or BGR matrix,
// working on that and converting back, but read the page's own pixels in place (MatView) and
// write their result straight into the output buffer. Colour results are built in red, green,
// blue order: the per-channel OpenCV steps (blur, median, lookup) do not depend on the channel
// order, and RGB888 is what the BGR matrix would be converted to in the end. Temporary pixels
// live in the calling thread's scratch buffers.

namespace {

constexpr double kBinaryThreshold = 128;
constexpr double kBinaryMax = 255;
constexpr int kCornerSize = 20;
constexpr double kDarkCornerLimit = 51199;

// Runs an OpenCV call that writes into `dst`, a header over an output buffer of the right
// shape. OpenCV keeps such a destination, so the bytes land in place; should it ever
// reallocate, they are copied over.
template <class Call> void writeInto(cv::Mat &dst, Call &&call)
{
    cv::Mat target = dst;
    call(target);
    if (target.data != dst.data)
        target.copyTo(dst);
}

// The grey matrix of a page: the view itself for a grey page, else OpenCV's conversion from the
// page's RGB or BGRA bytes, which gives the same values as BGR-to-grey on the converted matrix.
cv::Mat greyOf(const MatView &in)
{
    if (in.isGrey())
        return in.mat();
    cv::Mat grey = ScratchBuffers::get(ScratchBuffers::Grey, in.rows(), in.cols(), CV_8UC1);
    const int code = in.order() == MatView::Rgb ? cv::COLOR_RGB2GRAY : cv::COLOR_BGRA2GRAY;
    if (grey.empty()) {
        cv::cvtColor(in.mat(), grey, code);
        return grey;
    }
    writeInto(grey, [&](cv::Mat &t) { cv::cvtColor(in.mat(), t, code); });
    return grey;
}

// A scratch matrix, or a newly allocated one when the scratch memory cannot be had.
cv::Mat scratch(int slot, int rows, int cols, int type)
{
    cv::Mat m = ScratchBuffers::get(slot, rows, cols, type);
    if (m.empty())
        m.create(rows, cols, type);
    return m;
}

// Background level of a two-level matrix: 255 (light page) or 0 (dark page).
int cornerLevel(const cv::Mat &twoLevel)
{
    if (twoLevel.rows < kCornerSize || twoLevel.cols < kCornerSize)
        return 255;
    const double sum = cv::sum(twoLevel(cv::Rect(0, 0, kCornerSize, kCornerSize)))[0];
    return sum <= kDarkCornerLimit ? 0 : 255;
}

void finalSmoothing(const cv::Mat &src, cv::Mat &dst)
{
    writeInto(dst, [&](cv::Mat &t) { cv::GaussianBlur(src, t, cv::Size(3, 3), 0.3, 0); });
}

template <class RowFunction> void forEachRow(int rows, RowFunction &&row)
{
    cv::parallel_for_(cv::Range(0, rows), [&](const cv::Range &range) {
        for (int y = range.start; y < range.end; ++y)
            row(y);
    });
}

// OpenCV runs its median filter and the float Gaussian of the adaptive threshold on one
// thread. Both are local: an output row depends only on the rows within the kernel radius,
// computed by the same arithmetic wherever the row lies, and the page's own first and last
// rows keep their border rule. So the page is cut into row bands, each filtered together with
// `halo` rows of its neighbours, in parallel; each band keeps its inner rows, which are
// exactly those of one call on the whole page.
// `filter(from, to, out)` filters source rows [from, to) into `out` (rows to - from, the
// output's columns and type; a scratch matrix, which OpenCV writes in place).
template <class Filter> void inBands(int halo, cv::Mat &dst, Filter &&filter)
{
    const int rows = dst.rows;
    const int64_t minRows = std::max<int64_t>(64, 4 * int64_t(halo));
    const int bands = std::max(1, std::min({int(rows / minRows), std::max(2, cv::getNumThreads()),
                                            int(ScratchBuffers::MaxBands)}));
    if (bands == 1) {
        writeInto(dst, [&](cv::Mat &t) { filter(0, rows, t); });
        return;
    }
    // Band outputs come from this thread's scratch, taken before the workers start.
    cv::Mat outputs[ScratchBuffers::MaxBands];
    int from[ScratchBuffers::MaxBands], begin[ScratchBuffers::MaxBands],
        end[ScratchBuffers::MaxBands];
    for (int band = 0; band < bands; ++band) {
        begin[band] = int(int64_t(rows) * band / bands);
        end[band] = int(int64_t(rows) * (band + 1) / bands);
        from[band] = std::max(0, begin[band] - halo);
        const int to = std::min(rows, end[band] + halo);
        outputs[band] =
            scratch(ScratchBuffers::Band0 + band, to - from[band], dst.cols, dst.type());
    }
    cv::parallel_for_(cv::Range(0, bands), [&](const cv::Range &range) {
        for (int band = range.start; band < range.end; ++band) {
            cv::Mat &out = outputs[band];
            filter(from[band], from[band] + out.rows, out);
            cv::Mat target = dst.rowRange(begin[band], end[band]);
            out.rowRange(begin[band] - from[band], end[band] - from[band]).copyTo(target);
        }
    });
}

// Red, green, blue byte positions of a three- or four-channel view.
struct ColourLayout
{
    int step, r, g, b;
    explicit ColourLayout(MatView::Order order)
        : step(order == MatView::Rgb ? 3 : 4), r(order == MatView::Rgb ? 0 : 2), g(1),
          b(order == MatView::Rgb ? 2 : 0)
    {
    }
};

} // namespace

bool PageOps::guarded(const char *name, const std::function<bool()> &operation)
{
    try {
        return operation();
    } catch (const cv::Exception &e) {
        qDebug() << name << "failed:" << e.what();
    } catch (const std::bad_alloc &) {
        qDebug() << name << "failed: out of memory";
    }
    return false;
}

bool PageOps::threshold(const MatView &in, const Output &out)
{
    if (in.isEmpty())
        return false;
    const cv::Mat grey = greyOf(in);
    cv::Mat dst = out(in.rows(), in.cols(), 1);
    if (dst.empty())
        return false;
    writeInto(dst, [&](cv::Mat &t) {
        cv::threshold(grey, t, kBinaryThreshold, kBinaryMax, cv::THRESH_BINARY);
    });
    return true;
}

bool PageOps::halftoning(const MatView &in, const Output &out)
{
    if (in.isEmpty())
        return false;
    const cv::Mat grey = greyOf(in);
    const int width = grey.cols;
    const int height = grey.rows;
    cv::Mat reduced;
    cv::resize(grey, reduced, cv::Size(width / 3 + 1, height / 3 + 1), 0, 0, cv::INTER_LINEAR);

    // Rank of each cell position: a position is white when the level reaches its rank.
    static const int rank[3][3] = {{3, 1, 5}, {8, 9, 6}, {4, 7, 2}};
    // pattern[row][level]: the three pixels (nine bytes) of that cell row at that level.
    uchar pattern[3][10][9];
    for (int row = 0; row < 3; ++row) {
        for (int level = 0; level < 10; ++level) {
            for (int col = 0; col < 3; ++col)
                std::memset(&pattern[row][level][3 * col], level >= rank[row][col] ? 255 : 0, 3);
        }
    }
    uchar levelOf[256];
    for (int value = 0; value < 256; ++value)
        levelOf[value] = static_cast<uchar>(static_cast<int>(value / 25.50001));

    cv::Mat dst = out(height, width, 3);
    if (dst.empty())
        return false;
    const int fullCells = width / 3;
    const int restPixels = width - 3 * fullCells;
    forEachRow(height, [&](int y) {
        const uchar *cells = reduced.ptr<uchar>(y / 3);
        const uchar(*rowPattern)[9] = pattern[y % 3];
        uchar *p = dst.ptr<uchar>(y);
        for (int x = 0; x < fullCells; ++x, p += 9)
            std::memcpy(p, rowPattern[levelOf[cells[x]]], 9);
        if (restPixels)
            std::memcpy(p, rowPattern[levelOf[cells[fullCells]]], 3 * restPixels);
    });
    return true;
}

bool PageOps::changeBackground(const MatView &in, int red, int green, int blue, const Output &out)
{
    if (in.isEmpty())
        return false;
    const cv::Mat grey = greyOf(in);
    const int width = grey.cols;
    const int height = grey.rows;

    int level = 255;
    if (height >= kCornerSize && width >= kCornerSize) {
        cv::Mat corner;
        cv::threshold(grey(cv::Rect(0, 0, kCornerSize, kCornerSize)), corner, kBinaryThreshold,
                      kBinaryMax, cv::THRESH_BINARY);
        level = cornerLevel(corner);
    }
    const uchar opposite = level == 255 ? 0 : 255;
    const uchar r = cv::saturate_cast<uchar>(red);
    const uchar g = cv::saturate_cast<uchar>(green);
    const uchar b = cv::saturate_cast<uchar>(blue);

    // The two-coloured page in red, green, blue order: background where the binarised value
    // equals the background level, the opposite level elsewhere.
    cv::Mat painted = scratch(ScratchBuffers::Work, height, width, CV_8UC3);
    forEachRow(height, [&](int y) {
        const uchar *src = grey.ptr<uchar>(y);
        uchar *dst = painted.ptr<uchar>(y);
        int x = 0;
#if CV_SIMD128
        const cv::v_uint8x16 threshold = cv::v_setall_u8(128);
        const cv::v_uint8x16 vr = cv::v_setall_u8(r), vg = cv::v_setall_u8(g),
                             vb = cv::v_setall_u8(b), vo = cv::v_setall_u8(opposite);
        for (; x + 16 <= width; x += 16) {
            const cv::v_uint8x16 white = cv::v_load(src + x) > threshold;
            const cv::v_uint8x16 background = level == 255 ? white : ~white;
            cv::v_store_interleave(dst + 3 * x, cv::v_select(background, vr, vo),
                                   cv::v_select(background, vg, vo),
                                   cv::v_select(background, vb, vo));
        }
#endif
        for (; x < width; ++x) {
            const int binary = src[x] > kBinaryThreshold ? 255 : 0;
            uchar *p = dst + 3 * x;
            if (binary == level) {
                p[0] = r;
                p[1] = g;
                p[2] = b;
            } else {
                p[0] = p[1] = p[2] = opposite;
            }
        }
    });

    cv::Mat dst = out(height, width, 3);
    if (dst.empty())
        return false;
    finalSmoothing(painted, dst);
    return true;
}

bool PageOps::impermeability(const MatView &in, int level, const Output &out)
{
    if (in.isEmpty())
        return false;
    const cv::Mat grey = greyOf(in);
    const int width = grey.cols;
    const int height = grey.rows;
    const double offset = level == 1 ? 10.0 : level == 2 ? 15.0 : 20.0;

    cv::Mat mask = scratch(ScratchBuffers::Mask, height, width, CV_8UC1);
    inBands(41 / 2, mask, [&](int from, int to, cv::Mat &band) {
        cv::adaptiveThreshold(grey.rowRange(from, to), band, kBinaryMax,
                              cv::ADAPTIVE_THRESH_GAUSSIAN_C, cv::THRESH_BINARY, 41, offset);
    });
    // The mask holds only 0 and 255, so "equal to the background level" is the mask itself on
    // a light page and its inverse on a dark one.
    const uchar flip = cornerLevel(mask) == 255 ? 0 : 255;

    // The working page with the background pixels whitened, in the result's byte order.
    const int channels = in.isGrey() ? 1 : 3;
    cv::Mat work = scratch(ScratchBuffers::Work, height, width, channels == 1 ? CV_8UC1 : CV_8UC3);
    const ColourLayout layout(in.order());
    forEachRow(height, [&](int y) {
        const uchar *m = mask.ptr<uchar>(y);
        uchar *dst = work.ptr<uchar>(y);
        int x = 0;
#if CV_SIMD128
        const cv::v_uint8x16 vflip = cv::v_setall_u8(flip);
#endif
        if (channels == 1) {
            const uchar *src = grey.ptr<uchar>(y);
#if CV_SIMD128
            for (; x + 16 <= width; x += 16)
                cv::v_store(dst + x, cv::v_load(src + x) | (cv::v_load(m + x) ^ vflip));
#endif
            for (; x < width; ++x)
                dst[x] = src[x] | static_cast<uchar>(m[x] ^ flip);
            return;
        }
        const uchar *src = in.mat().ptr<uchar>(y);
#if CV_SIMD128
        for (; x + 16 <= width; x += 16) {
            const cv::v_uint8x16 white = cv::v_load(m + x) ^ vflip;
            cv::v_uint8x16 r, g, b, a;
            if (layout.step == 3)
                cv::v_load_deinterleave(src + 3 * x, r, g, b);
            else
                cv::v_load_deinterleave(src + 4 * x, b, g, r, a);
            cv::v_store_interleave(dst + 3 * x, r | white, g | white, b | white);
        }
#endif
        for (; x < width; ++x) {
            const uchar white = static_cast<uchar>(m[x] ^ flip);
            const uchar *p = src + layout.step * x;
            dst[3 * x] = p[layout.r] | white;
            dst[3 * x + 1] = p[layout.g] | white;
            dst[3 * x + 2] = p[layout.b] | white;
        }
    });

    cv::Mat dst = out(height, width, channels);
    if (dst.empty())
        return false;
    finalSmoothing(work, dst);
    return true;
}

bool PageOps::adjust(const MatView &in, int brightness, int contrast, float gamma, float inScale,
                     float outScale, float curveScale, const Output &out)
{
    if (brightness < -20 || brightness > 20 || contrast < -20 || contrast > 20 || gamma < 0.09999 ||
        gamma > 4.00001)
        return false;
    if (in.isEmpty())
        return false;

    // Every channel value is 0..255, so the formula is evaluated once per value, with exactly
    // its float and double steps, and applied as a table.
    const float k = static_cast<float>(std::pow(2.0, contrast * 0.1));
    const float d = static_cast<float>(brightness * 5);
    const float exponent = gamma * curveScale;
    cv::Mat table(1, 256, CV_8U);
    for (int p = 0; p < 256; ++p) {
        const float v = std::pow(static_cast<float>(p) * inScale / 255.0f, exponent);
        const float r = v * 255.0f * k * outScale + d;
        // Truncation toward zero limited to 0..255; written so that values beyond the int
        // range (a negative curve scale makes pow(0, e) infinite) are limited too.
        table.at<uchar>(p) = r >= 255.0f ? 255 : r > 0.0f ? static_cast<uchar>(r) : 0;
    }

    cv::Mat dst = out(in.rows(), in.cols(), in.isGrey() ? 1 : 3);
    if (dst.empty())
        return false;
    if (in.order() != MatView::Bgra) {
        writeInto(dst, [&](cv::Mat &t) { cv::LUT(in.mat(), table, t); });
        return true;
    }
    const uchar *lut = table.ptr<uchar>();
    const int width = in.cols();
    forEachRow(in.rows(), [&](int y) {
        const uchar *src = in.mat().ptr<uchar>(y);
        uchar *p = dst.ptr<uchar>(y);
        for (int x = 0; x < width; ++x, src += 4, p += 3) {
            p[0] = lut[src[2]];
            p[1] = lut[src[1]];
            p[2] = lut[src[0]];
        }
    });
    return true;
}

bool PageOps::filter(const MatView &in, int type, const Output &out)
{
    if (type == 0 || in.isEmpty() || in.isGrey())
        return false;
    cv::Mat dst = out(in.rows(), in.cols(), 3);
    if (dst.empty())
        return false;
    ColourFilter::apply(in, type, dst);
    return true;
}

bool PageOps::median(const MatView &in, int radius, const Output &out)
{
    if (radius < 0 || in.isEmpty())
        return false;
    const int kernel = radius % 2 == 1 ? radius : radius + 1;
    cv::Mat dst = out(in.rows(), in.cols(), in.isGrey() ? 1 : 3);
    if (dst.empty())
        return false;
    cv::Mat src = in.mat();
    if (in.order() == MatView::Bgra) {
        // The median works per channel, so dropping alpha first gives the same bytes.
        cv::Mat rgb = scratch(ScratchBuffers::Work, in.rows(), in.cols(), CV_8UC3);
        writeInto(rgb, [&](cv::Mat &t) { cv::cvtColor(in.mat(), t, cv::COLOR_BGRA2RGB); });
        src = rgb;
    }
    inBands(kernel / 2, dst, [&](int from, int to, cv::Mat &result) {
        cv::medianBlur(src.rowRange(from, to), result, kernel);
    });
    return true;
}
