#include "pages/ImageEncoder.h"

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
    QImageWriter writer(&buffer, format);
    if (format == "png")
        writer.setQuality(pngQuality(PngLevel));
    if (!writer.write(image))
        return QByteArray();
    buffer.close();
    buffer.open(QIODevice::ReadOnly);
    if (QImageReader(&buffer, format).size() != image.size())
        return QByteArray();
    return bytes;
}
