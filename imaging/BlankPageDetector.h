#pragma once

#include <QImage>

// Decides whether a page is only paper, erring towards keeping it: a page is blank only when
// nothing on it looks like writing. On a grey working copy at about 150 dpi each pixel is
// compared with the paper around it (PageInk::paperMap, which follows gradients and yellowed
// paper); ink is what is darker than that paper by more than kInkContrast. The ink is grouped
// into marks, and a mark is left out when it is
//  - noise: less than kSpeckMm across (grain of the paper or the sensor);
//  - the page edge: touching the 5 mm band along the border (the scanner lid beside the
//    paper, the paper's own shadow);
//  - a punched hole: a round, filled mark 4 to 9 mm across, centred within 25 mm of an edge.
// What is left is writing when it is a stroke, kMinStrokeMm across or more (a single digit of a
// small page number is; a dust speck is not), or a group of at least three smaller marks close
// together (a word whose faint strokes came apart). One such stroke or group keeps the page.
class BlankPageDetector
{
public:
    // The back showing through darkens paper by up to about 8 %; faint writing (grey 180 on
    // paper 240) by 25 %, grey 185 on paper 230 by 20 %. On the generated test set a blank sheet
    // would count as written only below 8.5 %, a written one as blank only above 19.5 %: the
    // threshold keeps a ratio of 1.4 from the first and 1.6 from the second (a blank page kept
    // costs less than writing lost).
    static constexpr double kInkContrast = 0.12;
    static constexpr double kSpeckMm = 0.5;
    static constexpr double kMinStrokeMm = 1.5;

    struct Verdict
    {
        bool blank = true;
        int strokes = 0; // marks large enough to be writing
        int grouped = 0; // small marks with two others close by
        int marks = 0;   // marks left after noise, the page edge and holes
    };
    static Verdict examine(const QImage &page, double inkContrast = kInkContrast);
    static bool isBlank(const QImage &page) { return examine(page).blank; }
};
