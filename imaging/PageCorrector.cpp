#include "imaging/PageCorrector.h"

#include "imaging/BlankPageDetector.h"
#include "imaging/Deskew.h"
#include "imaging/MatView.h"
#include "imaging/PageOps.h"
#include "imaging/ScratchBuffers.h"
#include "pages/PageResolution.h"
#include "settings/ScanSettings.h"

#include <QTransform>

QVector<PageCorrector::Step> PageCorrector::plan(const ScanSettings &p)
{
    QVector<Step> steps;
    if (p.angle_correct != 0.0f)
        steps << Rotation;
    if (p.deskew)
        steps << Straighten;
    const bool neutralTone = p.brightness_correct == 0.0f && p.contrast_correct == 0.0f &&
                             p.gamma_correct == 1.0f && p.brightness == 100 && p.contrast == 100 &&
                             p.color_curve == 100;
    if (!neutralTone)
        steps << ToneAdjust;
    if (p.filter != 0)
        steps << Filter;
    if (p.descreen)
        steps << Descreen;
    if (p.impermeable != 0)
        steps << BleedThrough;
    if (p.image_type == 0 && p.halftone == 0)
        steps << Threshold;
    else if (p.image_type == 0 && p.halftone == 1)
        steps << Halftoning;
    if (p.change_bkg)
        steps << BackgroundColour;
    return steps;
}

namespace {

// One step after the rotation, with the arguments the collector derives from the record
// (exactly those ImageAlgorithm's operation would get).
bool runStep(PageCorrector::Step step, const MatView &in, const ScanSettings &p,
             const PageOps::Output &out)
{
    switch (step) {
    case PageCorrector::ToneAdjust:
        return PageOps::adjust(
            in, static_cast<int>(p.brightness_correct), static_cast<int>(p.contrast_correct),
            p.gamma_correct, static_cast<float>(p.brightness * 0.01),
            static_cast<float>(p.contrast * 0.01), static_cast<float>(p.color_curve * 0.01), out);
    case PageCorrector::Filter:
        return PageOps::filter(in, p.filter, out);
    case PageCorrector::Descreen:
        return PageOps::median(in, static_cast<int>(p.descreen_radius), out);
    case PageCorrector::BleedThrough:
        return PageOps::impermeability(in, p.impermeable, out);
    case PageCorrector::Threshold:
        return PageOps::threshold(in, out);
    case PageCorrector::Halftoning:
        return PageOps::halftoning(in, out);
    case PageCorrector::BackgroundColour:
        return PageOps::changeBackground(in, p.bkg_red, p.bkg_green, p.bkg_blue, out);
    case PageCorrector::Rotation:
    case PageCorrector::Straighten:
        break;
    }
    return false;
}

QImage newImage(int rows, int cols, int channels)
{
    return channels == 1 ? MatView::newGreyImage(cols, rows) : MatView::newColourImage(cols, rows);
}

} // namespace

void PageCorrector::correct(QImage *image, const ScanSettings &p)
{
    if (!image)
        return;
    const QVector<Step> steps = plan(p);
    int first = 0;
    if (first < steps.size() && steps.at(first) == Rotation) {
        QImage turned =
            image->transformed(QTransform().rotate(p.angle_correct), Qt::FastTransformation);
        PageResolution::keep(*image, &turned);
        *image = turned;
        ++first;
    }
    if (first < steps.size() && steps.at(first) == Straighten) {
        Deskew::correct(image); // keeps size, format and resolution; a page it cannot measure
        ++first;                // stays as it is
    }
    MatView current(*image);
    if (first == steps.size() || current.isEmpty())
        return; // every operation leaves such a page unchanged

    // The same operations as ImageAlgorithm's, one after another, but each intermediate page
    // goes into one of two reusable buffers instead of a new image (the operations read RGB or
    // grey bytes the same from either); only the last result becomes a new image.
    int next = ScratchBuffers::ChainA;
    bool inScratch = false;
    for (int i = first; i < steps.size(); ++i) {
        const bool last = i == steps.size() - 1;
        QImage result;
        cv::Mat produced;
        MatView::Order order = MatView::None;
        const PageOps::Output out = [&](int rows, int cols, int channels) {
            order = channels == 1 ? MatView::Grey : MatView::Rgb;
            if (last) {
                result = newImage(rows, cols, channels);
                produced = MatView::wrap(result);
            } else {
                produced = ScratchBuffers::get(next, rows, cols, channels == 1 ? CV_8UC1 : CV_8UC3);
            }
            return produced;
        };
        if (!PageOps::guarded("PageCorrector",
                              [&] { return runStep(steps.at(i), current, p, out); }))
            continue; // this step left the page as it was
        if (last) {
            PageResolution::keep(*image, &result);
            *image = result;
            return;
        }
        current = MatView(produced, order);
        inScratch = true;
        next = next == ScratchBuffers::ChainA ? ScratchBuffers::ChainB : ScratchBuffers::ChainA;
    }
    if (inScratch) {
        // The last step changed nothing: the page is the previous step's result.
        QImage result = newImage(current.rows(), current.cols(), current.isGrey() ? 1 : 3);
        cv::Mat target = MatView::wrap(result);
        if (!target.empty()) {
            current.mat().copyTo(target);
            PageResolution::keep(*image, &result);
            *image = result;
        }
    }
}

bool PageCorrector::dropsAsBlank(const QImage &corrected, const ScanSettings &settings)
{
    return settings.skip_blank && !corrected.isNull() && BlankPageDetector::isBlank(corrected);
}
