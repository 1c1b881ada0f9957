#pragma once

#include <QByteArray>
#include <QImage>

// Encodes a page in memory with Qt's image writers.
class ImageEncoder
{
public:
    // The page encoded in `format` ("jpeg", "png", "bmp", ...) at the writer's default quality,
    // or an empty array when it could not be encoded. The encoding is read back and must hold
    // the page's size: when a writer cannot get its own copy of the page (memory), Qt's BMP and
    // JPEG writers still write a header around an empty image and report success.
    static QByteArray encode(const QImage &image, const QByteArray &format);
};
