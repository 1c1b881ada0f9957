#pragma once

#include <QImage>

// Decides whether a page is only paper. On a grey working copy at about 150 dpi, ink (pixels
// clearly darker than the paper, so not the back side showing through) is grouped into marks;
// a mark is ignored when it is
//  - noise: smaller than 0.1 square millimetres (a speck of dust or of the sensor);
//  - the page edge: touching the 5 mm band along the border (the scanner lid beside the
//    paper, the paper's own shadow);
//  - a punched hole: a round, filled mark 4 to 9 mm across, centred within 25 mm of an edge.
// The page is blank when the marks left cover less than kMaxInkFraction of it.
class BlankPageDetector
{
public:
    // One short line of 12 pt text covers about 0.05 % of an A4 page; paper with noise,
    // show-through, a scanner edge and punched holes leaves none at all.
    static constexpr double kMaxInkFraction = 0.0001;

    struct Verdict
    {
        bool blank = true;
        double inkFraction = 0.0; // of the page, after the ignored marks are taken out
        int marks = 0;            // the marks counted
    };
    static Verdict examine(const QImage &page);
    static bool isBlank(const QImage &page) { return examine(page).blank; }
};
