#include "app/PaperSizeCheck.h"

#include "settings/PaperSize.h"

#include <cstdlib>
#include <utility>

int PaperSizeCheck::dpiForResolution(int resolutionIndex)
{
    switch (resolutionIndex) {
    case 2:
        return 300;
    case 3:
        return 400;
    case 4:
        return 600;
    default:
        return 200;
    }
}

bool PaperSizeCheck::referenceSize(int paperSizeIndex, int *longSide, int *shortSide)
{
    return PaperSize::millimetres(paperSizeIndex, shortSide, longSide);
}

bool PaperSizeCheck::matches(const QSize &pixels, int resolutionIndex, int paperSizeIndex)
{
    int refLong = 0;
    int refShort = 0;
    if (pixels.isEmpty() || !referenceSize(paperSizeIndex, &refLong, &refShort))
        return true;
    const int dpi = dpiForResolution(resolutionIndex);
    int width = static_cast<int>(pixels.width() * 25.4 / dpi);
    int height = static_cast<int>(pixels.height() * 25.4 / dpi);
    if (width > height)
        std::swap(width, height);
    return std::abs(width - refShort) < 8 && std::abs(height - refLong) < 8;
}
