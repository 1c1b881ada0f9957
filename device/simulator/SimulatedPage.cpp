#include "device/simulator/SimulatedPage.h"

#include "device/common/JpegEncoder.h"
#include "device/common/PageRenderer.h"

#include <QPainter>

#include <cmath>

QImage SimulatedPage::render(const EsclXml::ScanSettings &s, int number, int sheet, int side)
{
    const PageRenderer::Page page = PageRenderer::sheetSide(
        sheet, side, s.xResolution, s.colorMode == QLatin1String("RGB24"), number);
    const QImage a4 = PageRenderer::render(page);

    // The region is in 1/300 inch; beyond the A4 sheet the scanner sees its white lid.
    auto pixels = [&s](int units) { return int(std::lround(units * s.xResolution / 300.0)); };
    const QRect area(pixels(s.xOffset), pixels(s.yOffset), qMax(1, pixels(s.width)),
                     qMax(1, pixels(s.height)));
    if (a4.rect().contains(area))
        return a4.copy(area);
    QImage region(area.size(), QImage::Format_RGB32);
    region.fill(Qt::white);
    QPainter painter(&region);
    painter.drawImage(-area.x(), -area.y(), a4);
    painter.end();
    return page.colour ? region : region.convertToFormat(QImage::Format_Grayscale8);
}

QByteArray SimulatedPage::jpeg(const EsclXml::ScanSettings &s, int number, int sheet, int side)
{
    return JpegEncoder::encode(render(s, number, sheet, side), s.xResolution);
}
