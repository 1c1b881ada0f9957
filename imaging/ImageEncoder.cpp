#include "imaging/ImageEncoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

QByteArray ImageEncoder::encode(const QImage &image, const QByteArray &format)
{
    if (image.isNull())
        return QByteArray();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, format).write(image))
        return QByteArray();
    buffer.close();
    buffer.open(QIODevice::ReadOnly);
    if (QImageReader(&buffer, format).size() != image.size())
        return QByteArray();
    return bytes;
}
