#include "pages/PageDecoder.h"

#include <QBuffer>
#include <QImageReader>

PageDecoder::Result PageDecoder::decode(const QByteArray &bytes, QImage *page)
{
    *page = QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid())
        return Unreadable;
    if (qint64(size.width()) * size.height() > MaxPixels)
        return TooLarge;
    if (!reader.read(page))
        return Unreadable;
    *page = normalised(*page);
    return page->isNull() ? Unreadable : Decoded;
}

QImage PageDecoder::normalised(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_RGB32:
        return image;
    case QImage::Format_Grayscale16:
        return image.convertToFormat(QImage::Format_Grayscale8);
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        // Only the palette is looked at.
        return image.convertToFormat(image.allGray() ? QImage::Format_Grayscale8
                                                     : QImage::Format_RGB32);
    default:
        return image.convertToFormat(QImage::Format_RGB32);
    }
}
