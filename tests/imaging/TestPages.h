#pragma once

// Deterministic page images for the imaging tests and the benchmark: random bytes in any of the
// converted formats, document-like pages, and an image holding every 24-bit colour once.

#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <random>

namespace TestPages {

// Random bytes in the given format (Indexed8 with a grey palette).
inline QImage randomImage(QImage::Format format, int width, int height, quint32 seed)
{
    QImage image(width, height, format);
    for (int i = 0; format == QImage::Format_Indexed8 && i < 256; ++i)
        image.setColor(i, qRgb(i, i, i));
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < image.bytesPerLine(); ++i)
            image.scanLine(y)[i] = static_cast<uchar>(rng());
    return image;
}

// A scanned-looking page: slightly noisy paper, rows of dark glyph strokes, faint strokes
// showing through from the back and, in colour, a red heading bar and a gradient picture.
// RGB32 in colour, Grayscale8 in grey; `dark` inverts it (light text on dark paper).
inline QImage documentPage(int width, int height, bool colour, quint32 seed, bool dark = false)
{
    std::mt19937 rng(seed);
    QImage page(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int paper = 236 + int(rng() % 14);
            reinterpret_cast<QRgb *>(page.scanLine(y))[x] = qRgb(paper, paper, paper - 4);
        }
    QPainter painter(&page);
    const int unit = std::max(1, width / 248); // about 1 mm at 300 dpi
    for (int y = 15 * unit; y + 4 * unit < height - 15 * unit; y += 5 * unit)
        for (int x = 15 * unit; x + 3 * unit < width - 15 * unit; x += 3 * unit) {
            painter.fillRect(width - x, y + 2 * unit, unit, 2 * unit, QColor(214, 212, 210));
            if (rng() % 6 == 0)
                continue; // a gap between words
            const int ink = 25 + int(rng() % 40);
            painter.fillRect(x, y, std::max(1, unit / 3), 2 * unit, QColor(ink, ink, ink + 5));
            painter.fillRect(x, y + int(rng() % 2) * unit, 2 * unit, std::max(1, unit / 3),
                             QColor(ink, ink, ink + 5));
        }
    if (colour) {
        painter.fillRect(15 * unit, 5 * unit, width - 30 * unit, 8 * unit, QColor(190, 30, 40));
        QLinearGradient gradient(0, height / 2, width / 2, height * 2 / 3);
        gradient.setColorAt(0, QColor(40, 60, 180));
        gradient.setColorAt(1, QColor(240, 210, 140));
        painter.fillRect(15 * unit, height / 2, width / 2, height / 6, gradient);
    }
    painter.end();
    if (dark)
        page.invertPixels();
    return colour ? page : page.convertToFormat(QImage::Format_Grayscale8);
}

// Every 24-bit colour once, as RGB32: pixel number i (row by row) has red i >> 16, green
// (i >> 8) & 255, blue i & 255; the rest of the last row repeats colour 0.
inline QImage allColours(int width)
{
    const int count = 1 << 24;
    QImage image(width, (count + width - 1) / width, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < width; ++x) {
            const int i = y * width + x < count ? y * width + x : 0;
            reinterpret_cast<QRgb *>(image.scanLine(y))[x] = qRgb(i >> 16, i >> 8, i);
        }
    return image;
}

} // namespace TestPages
