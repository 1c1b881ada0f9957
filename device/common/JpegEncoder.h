#pragma once

#include <QByteArray>
#include <QImage>

// Encodes a page as JPEG in memory, with the scan resolution in its header (JFIF density in dots
// per inch), so that a viewer and the console's paper-size check see the page's real size.
class JpegEncoder
{
public:
    // An empty array when the image cannot be encoded (null image, no JPEG support).
    static QByteArray encode(QImage page, int dpi, int quality = 85);
};
