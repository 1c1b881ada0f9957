#pragma once

#include "device/common/PageRenderer.h"
#include "device/simulator/SimulatedPage.h"

#include <QImage>
#include <QPainter>

#include <cstdlib>

// What a page from the simulated scanner should look like, and how far a scanned page is from
// it (tests that link escl_simulator).
namespace ScannedPages {

// Page `number` of a whole-A4 job at `dpi` (two pages a sheet in duplex), on an A4 canvas at
// that resolution: sane-airscan fills up what the scanner's page lacks of its A4 size.
inline QImage expected(int number, int dpi, bool colour, bool duplex)
{
    EsclXml::ScanSettings s;
    s.xResolution = s.yResolution = dpi;
    s.colorMode = colour ? "RGB24" : "Grayscale8";
    s.width = 2480;
    s.height = 3508;
    const int sides = duplex ? 2 : 1;
    QImage page(PageRenderer::pageSize(dpi), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.drawImage(0, 0,
                      SimulatedPage::render(s, number, (number - 1) / sides, (number - 1) % sides));
    return page;
}

// Mean absolute grey difference of two pages shrunk to a quarter of the first one's size
// (which evens out the JPEG's small errors); 255 when their sizes differ by more than 2 pixels.
inline double difference(const QImage &a, const QImage &b)
{
    const QSize delta = a.size() - b.size();
    if (std::abs(delta.width()) > 2 || std::abs(delta.height()) > 2)
        return 255;
    const QSize small = a.size() / 4;
    auto shrink = [small](const QImage &image) {
        return image.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_Grayscale8);
    };
    const QImage x = shrink(a), y = shrink(b);
    double sum = 0;
    for (int row = 0; row < small.height(); ++row) {
        const uchar *p = x.constScanLine(row);
        const uchar *q = y.constScanLine(row);
        for (int col = 0; col < small.width(); ++col)
            sum += std::abs(int(p[col]) - int(q[col]));
    }
    return sum / (double(small.width()) * small.height());
}

} // namespace ScannedPages
