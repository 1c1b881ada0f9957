#pragma once

#include <QImage>

class QIODevice;

// The page store's fast lossless form of a corrected page: a small header (size, pixel format,
// resolution, colour table) and the image's rows compressed with Zstandard at its fastest
// levels. A 300 dpi A4 colour page of 35 MB is written in some tens of milliseconds and comes
// back pixel for pixel, with its resolution. The rows are streamed, so neither side needs a
// second copy of the page.
class LosslessPage
{
public:
    // Writes `image` to `device`; false for a null image or a failed write.
    static bool write(const QImage &image, QIODevice *device);
    // Reads a page written by write(); a null image when the bytes are not one or are cut off.
    static QImage read(QIODevice *device);
    // Only the header: the page's size, resolution and format, without its pixels. A null
    // image of format Invalid when it cannot be read.
    struct Info
    {
        QSize size;
        QImage::Format format = QImage::Format_Invalid;
        int dotsPerMeterX = 0;
        int dotsPerMeterY = 0;
    };
    static Info readInfo(QIODevice *device);

    // True when `bytes` begin like a page of this form.
    static bool isLossless(const QByteArray &bytes);
};
