#pragma once

#include <QImage>
#include <QPointF>
#include <QSizeF>

// A page's resolution and physical size, as the page files written for it state them.
class PageResolution
{
public:
    // Dots per inch across and down, from the image's dots per metre: a page scanned at 300 dpi
    // (kept by Qt as 11811 dots per metre) states 300 again. An image without a resolution
    // counts as 96 dpi, Qt's own default for new images.
    static QPointF dpi(const QImage &image);
    // The page size in millimetres: pixels / dpi x 25.4 in each direction.
    static QSizeF millimetres(const QSize &pixels, const QPointF &dpi);
    // Gives `result` (a corrected page) the dots per metre of the page it was made from: a
    // correction changes the pixels, never the page's resolution.
    static void keep(const QImage &source, QImage *result);
};
