#include "device/common/JpegEncoder.h"

#include <QBuffer>
#include <QImageWriter>

#include <cmath>

QByteArray JpegEncoder::encode(QImage page, int dpi, int quality)
{
    if (page.isNull())
        return {};
    // Qt writes the density as round(dots per metre * 0.0254), which gives back `dpi` exactly.
    const int dotsPerMeter = int(std::lround(dpi / 0.0254));
    page.setDotsPerMeterX(dotsPerMeter);
    page.setDotsPerMeterY(dotsPerMeter);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(page))
        return {};
    return bytes;
}
