// imaging/: the page corrections only. The algorithms (ImageAlgorithm, with the pixel work they
// share: MatView, PageOps, ColourFilter, ScratchBuffers), deskew, blank-page detection and the
// ink measure both use (PageInk), applied to a page in their order by PageCorrector. Images in,
// images out: it stands on pages/ and a run's ScanSettings, and knows no files, documents or runs.

#pragma once

#include <QImage>
#include <QVector>

class ScanSettings;

// Corrects one scanned page as the run's settings ask, in the fixed order: rotation, deskew,
// tone adjustment, artistic filter, descreening, bleed-through suppression, black and white,
// background colour; each step only when its fields call for it. Deskew comes right after the
// operator's own rotation, so the later steps (the black-and-white threshold above all) work on
// the straightened page.
class PageCorrector
{
public:
    enum Step
    {
        Rotation,
        Straighten, // deskew: turned back only when the measured skew is in range
        ToneAdjust,
        Filter,
        Descreen,
        BleedThrough,
        Threshold,
        Halftoning,
        BackgroundColour
    };

    // The steps the settings call for, in order.
    static QVector<Step> plan(const ScanSettings &settings);
    // Applies them to `image`: the same bytes as ImageAlgorithm's operations called one after
    // another, and the page's dots per metre kept. A null image stays null; with no step the
    // image is not touched at all.
    static void correct(QImage *image, const ScanSettings &settings);

    // Whether the run leaves out `corrected` as a blank page (only when it removes them).
    static bool dropsAsBlank(const QImage &corrected, const ScanSettings &settings);
};
