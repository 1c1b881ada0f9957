#include "imaging/PageDecoder.h"

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
    return Decoded;
}
