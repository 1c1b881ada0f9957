#pragma once

#include <QImage>
#include <QSize>

// Compares a scanned page with the paper size chosen in the panel.
class PaperSizeCheck
{
public:
    // The resolution the scan asks for at a resolution index (ScanArguments); 200 for an index
    // outside the table.
    static int dpiForResolution(int resolutionIndex);
    // Reference long and short side in millimetres for paper-size indices 1 to 16; false for
    // automatic detection (0) and indices outside the table.
    static bool referenceSize(int paperSizeIndex, int *longSide, int *shortSide);
    // The resolution `page` was scanned at: the one its image states (the scanner may not offer
    // the one asked for), or for an image that states none (a new image's, the screen's) the one
    // asked for.
    static int pageDpi(const QImage &page, int resolutionIndex);
    // True when the page differs from the reference by at most 7 mm on both sides, or when no
    // check applies (automatic size, an index outside the table, an empty page size).
    static bool matches(const QSize &pixels, int dpi, int paperSizeIndex);
};
