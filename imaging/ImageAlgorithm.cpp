#include "imaging/ImageAlgorithm.h"

#include "imaging/MatView.h"
#include "imaging/PageOps.h"
#include "pages/PageResolution.h"

#include <opencv2/imgproc.hpp>

#include <cstring>
#include <functional>

namespace {

using Operation = std::function<bool(const MatView &, const PageOps::Output &)>;

// Runs one operation on the image's own pixels and writes its result into a new image, which
// then replaces the image's content. Unchanged when the operation leaves the page as it is.
void applyTo(QImage *image, const char *name, const Operation &operation)
{
    if (!image)
        return;
    QImage result;
    const bool changed = PageOps::guarded(name, [&] {
        const MatView view(*image);
        if (view.isEmpty())
            return false;
        return operation(view, [&](int rows, int cols, int channels) {
            result = channels == 1 ? MatView::newGreyImage(cols, rows)
                                   : MatView::newColourImage(cols, rows);
            return MatView::wrap(result);
        });
    });
    if (changed && !result.isNull()) {
        PageResolution::keep(*image, &result);
        *image = result;
    }
}

} // namespace

void ImageAlgorithm::Threshold(QImage *image)
{
    applyTo(image, "Threshold", PageOps::threshold);
}

void ImageAlgorithm::Halftoning(QImage *image)
{
    applyTo(image, "Halftoning", PageOps::halftoning);
}

void ImageAlgorithm::ChangeBackgroudColor(QImage *image, int red, int green, int blue)
{
    applyTo(image, "ChangeBackgroudColor", [=](const MatView &in, const PageOps::Output &out) {
        return PageOps::changeBackground(in, red, green, blue, out);
    });
}

void ImageAlgorithm::Impermeability(QImage *image, int level)
{
    applyTo(image, "Impermeability", [=](const MatView &in, const PageOps::Output &out) {
        return PageOps::impermeability(in, level, out);
    });
}

void ImageAlgorithm::ImageAdjust(QImage *image, int brightness, int contrast, float gamma,
                                 float inScale, float outScale, float curveScale)
{
    applyTo(image, "ImageAdjust", [=](const MatView &in, const PageOps::Output &out) {
        return PageOps::adjust(in, brightness, contrast, gamma, inScale, outScale, curveScale, out);
    });
}

void ImageAlgorithm::AddFilter(QImage *image, int type)
{
    applyTo(image, "AddFilter", [=](const MatView &in, const PageOps::Output &out) {
        return PageOps::filter(in, type, out);
    });
}

void ImageAlgorithm::MedianBlur(QImage *image, int radius)
{
    applyTo(image, "MedianBlur", [=](const MatView &in, const PageOps::Output &out) {
        return PageOps::median(in, radius, out);
    });
}

cv::Mat QImage2cvMat(QImage image)
{
    cv::Mat mat;
    const bool converted = PageOps::guarded("QImage2cvMat", [&] {
        const MatView view(image);
        switch (view.order()) {
        case MatView::Grey:
            mat = view.mat().clone();
            break;
        case MatView::Rgb:
            cv::cvtColor(view.mat(), mat, cv::COLOR_RGB2BGR);
            break;
        case MatView::Bgra:
            cv::cvtColor(view.mat(), mat, cv::COLOR_BGRA2BGR);
            break;
        case MatView::None:
            break;
        }
        return true;
    });
    return converted ? mat : cv::Mat();
}

QImage cvMat2QImage(cv::Mat const &mat)
{
    if (mat.empty() || mat.dims != 2 || mat.depth() != CV_8U)
        return QImage();
    QImage out;
    const bool converted = PageOps::guarded("cvMat2QImage", [&] {
        switch (mat.channels()) {
        case 1: {
            out = MatView::newGreyImage(mat.cols, mat.rows);
            cv::Mat dst = MatView::wrap(out);
            if (!dst.empty())
                mat.copyTo(dst);
            break;
        }
        case 3: {
            out = MatView::newColourImage(mat.cols, mat.rows);
            cv::Mat dst = MatView::wrap(out);
            if (!dst.empty()) {
                cv::Mat target = dst;
                cv::cvtColor(mat, target, cv::COLOR_BGR2RGB);
                if (target.data != dst.data)
                    target.copyTo(dst);
            }
            break;
        }
        case 4: {
            out = QImage(mat.cols, mat.rows, QImage::Format_ARGB32);
            if (out.isNull())
                break;
            const size_t rowBytes = static_cast<size_t>(mat.cols) * 4;
            for (int y = 0; y < mat.rows; ++y)
                std::memcpy(out.scanLine(y), mat.ptr<uchar>(y), rowBytes);
            break;
        }
        default:
            break;
        }
        return true;
    });
    return converted ? out : QImage();
}
