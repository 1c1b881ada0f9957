#pragma once

#include <QImage>
#include <QSize>
#include <QtGlobal>

// Draws synthetic document pages as a scanner would deliver them: an A4 sheet at the requested
// resolution with a title, lines of text-like marks, a grey ramp, colour patches (colour scans),
// the faint mirrored show-through of the other side and the page number. Nothing depends on
// installed fonts, so the same arguments always give the same pixels.
class PageRenderer
{
public:
    struct Page
    {
        int dpi = 300;
        bool colour = true;   // false: an 8-bit grey page
        int number = 1;       // printed at the foot of the page
        quint32 seed = 1;     // layout of this side
        quint32 backSeed = 2; // layout of the other side, seen through the paper
    };

    // Side `side` (0 front, 1 back) of sheet `sheet` (0 the first) of a batch, numbered
    // `number`: every side has a layout of its own, the other side of the sheet shows through,
    // and the same sheet gives the same pixels every time.
    static Page sheetSide(int sheet, int side, int dpi, bool colour, int number);
    // A4 at the given resolution: 300 dpi gives 2480 x 3508.
    static QSize pageSize(int dpi);
    // Format_RGB32 for a colour page, Format_Grayscale8 otherwise.
    static QImage render(const Page &page);
};
