#include "pages/PageResolution.h"

#include <cmath>

namespace {

// Qt keeps a resolution as whole dots per metre, rounded or (reading a JPEG) cut off: a whole
// number of dots per inch within one dot per metre is the one the image was given.
double dpiOf(int dotsPerMeter)
{
    if (dotsPerMeter <= 0)
        return 96.0;
    const double dpi = dotsPerMeter * 0.0254;
    const double whole = std::round(dpi);
    return std::abs(dpi - whole) < 0.0254 ? whole : dpi;
}

} // namespace

QPointF PageResolution::dpi(const QImage &image)
{
    return {dpiOf(image.dotsPerMeterX()), dpiOf(image.dotsPerMeterY())};
}

QSizeF PageResolution::millimetres(const QSize &pixels, const QPointF &dpi)
{
    return {pixels.width() / dpi.x() * 25.4, pixels.height() / dpi.y() * 25.4};
}

void PageResolution::keep(const QImage &source, QImage *result)
{
    if (!result || result->isNull())
        return;
    result->setDotsPerMeterX(source.dotsPerMeterX());
    result->setDotsPerMeterY(source.dotsPerMeterY());
}
