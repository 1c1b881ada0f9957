#include "app/PaperSizeCheck.h"

#include "scan/ScanArguments.h"
#include "settings/PaperSize.h"

#include <cstdlib>
#include <utility>

int PaperSizeCheck::dpiForResolution(int resolutionIndex)
{
    const int asked = ScanArguments::resolutionValue(resolutionIndex).toInt();
    return asked > 0 ? asked : 200;
}

bool PaperSizeCheck::referenceSize(int paperSizeIndex, int *longSide, int *shortSide)
{
    return PaperSize::millimetres(paperSizeIndex, shortSide, longSide);
}

int PaperSizeCheck::pageDpi(const QImage &page, int resolutionIndex)
{
    // A new image states the screen's resolution: no scanner's.
    const int unstated = QImage(1, 1, QImage::Format_RGB32).dotsPerMeterX();
    if (page.isNull() || page.dotsPerMeterX() <= 0 || page.dotsPerMeterX() == unstated)
        return dpiForResolution(resolutionIndex);
    return qRound(page.dotsPerMeterX() * 0.0254);
}

bool PaperSizeCheck::matches(const QSize &pixels, int dpi, int paperSizeIndex)
{
    int refLong = 0;
    int refShort = 0;
    if (pixels.isEmpty() || !referenceSize(paperSizeIndex, &refLong, &refShort))
        return true;
    int width = static_cast<int>(pixels.width() * 25.4 / dpi);
    int height = static_cast<int>(pixels.height() * 25.4 / dpi);
    if (width > height)
        std::swap(width, height);
    return std::abs(width - refShort) < 8 && std::abs(height - refLong) < 8;
}
