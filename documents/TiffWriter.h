#pragma once

#include <QByteArray>
#include <QImage>

// Encodes a page as a compact, lossless TIFF through libtiff (Qt's TIFF plugin compresses only
// with LZW, also for 1-bit images, and has no CCITT Group 4).
//  - A two-level page (every pixel pure black or pure white, as the black-and-white threshold
//    leaves it) becomes a 1-bit image compressed with CCITT Group 4, white as 0.
//  - Any other grey page stays 8-bit grey, a colour page 8-bit RGB (premultiplied RGBA when it has
//    an alpha channel), both Deflate-compressed with the horizontal predictor.
// The resolution (dots per inch, from the image) is written in both directions. Every variant
// reads back pixel for pixel as the image it was made from.
class TiffWriter
{
public:
    // The TIFF file's bytes, or an empty array for a null image or a failed encoding.
    static QByteArray encode(const QImage &image);
};
