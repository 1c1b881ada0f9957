#pragma once

#include <QSize>

// Compares a scanned page with the paper size chosen in the panel.
class PaperSizeCheck
{
public:
    // The resolution the scan requests for a resolution index: 300, 400, 600 for 2, 3, 4 and
    // 200 for every other index (the panel's "150" is requested as 200).
    static int dpiForResolution(int resolutionIndex);
    // Reference long and short side in millimetres for paper-size indices 1 to 16; false for
    // automatic detection (0) and indices outside the table.
    static bool referenceSize(int paperSizeIndex, int *longSide, int *shortSide);
    // True when the page differs from the reference by at most 7 mm on both sides, or when no
    // check applies (automatic size, an index outside the table, an empty page size).
    static bool matches(const QSize &pixels, int resolutionIndex, int paperSizeIndex);
};
