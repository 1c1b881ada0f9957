#include "app/PaperSizeCheck.h"

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
    static const int kSizes[17][2] = {
        {0, 0},     {148, 105}, {176, 125}, {216, 140}, {210, 148}, {250, 176},
        {267, 184}, {270, 195}, {297, 210}, {279, 216}, {330, 216}, {356, 216},
        {353, 250}, {420, 285}, {381, 279}, {432, 279}, {420, 297},
    };
    if (paperSizeIndex < 1 || paperSizeIndex > 16)
        return false;
    *longSide = kSizes[paperSizeIndex][0];
    *shortSide = kSizes[paperSizeIndex][1];
    return true;
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
