#pragma once

// Deterministic random pages for the imaging tests.

#include <QImage>

#include <algorithm>
#include <cstring>
#include <random>

namespace TestPages {

// Random bytes in the given format (Indexed8 with a grey palette). A `corner` of 0 or 255 fills
// the bytes of the top-left 20 x 20 pixels, where a page's background is judged: dark or light.
inline QImage randomImage(QImage::Format format, int width, int height, quint32 seed,
                          int corner = -1)
{
    QImage image(width, height, format);
    for (int i = 0; format == QImage::Format_Indexed8 && i < 256; ++i)
        image.setColor(i, qRgb(i, i, i));
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < image.bytesPerLine(); ++i)
            image.scanLine(y)[i] = static_cast<uchar>(rng());
    for (int y = 0; corner >= 0 && y < std::min(20, height); ++y)
        memset(image.scanLine(y), corner, std::min(image.bytesPerLine(), 20 * image.depth() / 8));
    return image;
}

} // namespace TestPages
