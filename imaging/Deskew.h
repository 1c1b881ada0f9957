#pragma once

#include <QImage>

// Straightens pages fed in askew. The skew is measured on the text lines: the angle at which
// the ink's projection across the page is most sharply split into lines (coarse to fine over
// -15..15 degrees). A page is rotated back only when the skew is between 0.1 and 15 degrees; a
// page whose skew cannot be measured (too little ink, no line structure, or the best angle at
// the end of the range) is left alone.
class Deskew
{
public:
    static constexpr double kMinDegrees = 0.1;
    static constexpr double kMaxDegrees = 15.0;

    struct Skew
    {
        bool measured = false;
        double degrees = 0.0; // the lines' turn, clockwise as the page is seen
    };
    static Skew measure(const QImage &page);

    // Measures `*page` and, when the skew is in range, replaces it by the page turned back:
    // same size and format, the uncovered corners filled with the paper's colour, a two-level
    // page kept two-level. Returns the angle turned back (0 when the page was left alone).
    static double correct(QImage *page);
};
