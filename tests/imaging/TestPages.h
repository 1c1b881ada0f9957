#pragma once

// Deterministic page images for the imaging tests and the benchmark: random pixels in any of
// the converted formats, document-like pages (paper, lines of dark glyphs, faint show-through
// from the back, a coloured picture block) and an image holding every 24-bit colour once.

#include <QImage>
#include <QVector>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace TestPages {

inline QVector<QRgb> greyPalette()
{
    QVector<QRgb> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[i] = qRgb(i, i, i);
    return palette;
}

// Random bytes in the given format (32-bit formats with valid alpha for their kind).
inline QImage randomImage(QImage::Format format, int width, int height, quint32 seed)
{
    QImage image(width, height, format);
    if (format == QImage::Format_Indexed8)
        image.setColorTable(greyPalette());
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y) {
        uchar *line = image.scanLine(y);
        for (int i = 0; i < image.bytesPerLine(); ++i)
            line[i] = static_cast<uchar>(rng());
        if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied) {
            QRgb *px = reinterpret_cast<QRgb *>(line);
            for (int x = 0; x < width; ++x) {
                if (format == QImage::Format_RGB32) {
                    px[x] |= 0xff000000u;
                } else {
                    const int a = qAlpha(px[x]);
                    px[x] = qRgba(qRed(px[x]) * a / 255, qGreen(px[x]) * a / 255,
                                  qBlue(px[x]) * a / 255, a);
                }
            }
        }
    }
    return image;
}

// A scanned-looking page: light, slightly noisy paper; rows of dark glyph strokes; faint
// mirrored strokes (show-through); in colour a red heading bar and a picture block with a
// colour gradient. RGB32 in colour, Grayscale8 in grey. `dark` inverts the page (light text
// on dark paper). Sizes scale with the page, so small pages keep the same look.
inline QImage documentPage(int width, int height, bool colour, quint32 seed, bool dark = false)
{
    std::mt19937 rng(seed);
    std::vector<uchar> r(size_t(width) * height), g(r.size()), b(r.size());
    auto at = [&](int x, int y) { return size_t(y) * width + x; };
    for (size_t i = 0; i < r.size(); ++i) {
        const uchar paper = static_cast<uchar>(236 + rng() % 14);
        r[i] = paper;
        g[i] = paper;
        b[i] = static_cast<uchar>(paper - 4);
    }
    auto fill = [&](int x0, int y0, int w, int h, int cr, int cg, int cb, bool blend) {
        for (int y = std::max(0, y0); y < std::min(height, y0 + h); ++y)
            for (int x = std::max(0, x0); x < std::min(width, x0 + w); ++x) {
                const size_t i = at(x, y);
                if (blend) { // show-through darkens only a little
                    r[i] = static_cast<uchar>(std::min<int>(r[i], cr));
                    g[i] = static_cast<uchar>(std::min<int>(g[i], cg));
                    b[i] = static_cast<uchar>(std::min<int>(b[i], cb));
                } else {
                    r[i] = static_cast<uchar>(cr);
                    g[i] = static_cast<uchar>(cg);
                    b[i] = static_cast<uchar>(cb);
                }
            }
    };
    const double unit = std::max(1.0, width / 2480.0 * 10.0); // ~1 mm at 300 dpi A4 width
    const int margin = int(unit * 15);
    const int lineHeight = std::max(3, int(unit * 5));
    const int glyph = std::max(2, int(unit * 2.4));
    const int stroke = std::max(1, int(unit * 0.3));
    // Show-through: glyph rows of the back side, mirrored and shifted by half a line.
    for (int y = margin + lineHeight / 2; y + glyph < height - margin; y += lineHeight) {
        for (int x = margin; x + glyph < width - margin; x += glyph + stroke * 2) {
            if (rng() % 5 == 0)
                continue;
            fill(width - x - glyph, y, stroke, glyph, 214, 212, 210, true);
            fill(width - x - glyph, y + glyph / 2, glyph, stroke, 214, 212, 210, true);
        }
    }
    // Front text: glyphs made of two or three strokes, words separated by gaps.
    const int picTop = height / 2;
    const int picBottom = picTop + height / 6;
    for (int y = margin + int(unit * 12); y + glyph < height - margin; y += lineHeight) {
        if (colour && y + glyph >= picTop && y < picBottom)
            continue;
        int x = margin;
        while (x + glyph < width - margin) {
            const int letters = 2 + int(rng() % 8);
            for (int l = 0; l < letters && x + glyph < width - margin; ++l) {
                const int ink = 25 + int(rng() % 40);
                fill(x, y, stroke, glyph, ink, ink, ink + 5, false);
                if (rng() % 2)
                    fill(x, y + (int(rng() % 3)) * glyph / 2, glyph, stroke, ink, ink, ink + 5,
                         false);
                if (rng() % 3 == 0)
                    fill(x + glyph - stroke, y, stroke, glyph, ink, ink, ink + 5, false);
                x += glyph + stroke * 2;
            }
            x += glyph;
        }
    }
    if (colour) {
        fill(margin, margin, width - 2 * margin, int(unit * 8), 190, 30, 40, false);
        const int px0 = margin;
        const int pw = width / 2;
        for (int y = picTop; y < std::min(height, picBottom); ++y)
            for (int x = px0; x < std::min(width, px0 + pw); ++x) {
                const size_t i = at(x, y);
                r[i] = static_cast<uchar>(40 + 200 * (x - px0) / std::max(1, pw));
                g[i] =
                    static_cast<uchar>(60 + 150 * (y - picTop) / std::max(1, picBottom - picTop));
                b[i] = static_cast<uchar>(180 - (rng() % 40));
            }
    }
    QImage page(width, height, colour ? QImage::Format_RGB32 : QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y) {
        uchar *line = page.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const size_t i = at(x, y);
            int cr = r[i], cg = g[i], cb = b[i];
            if (dark) {
                cr = 255 - cr;
                cg = 255 - cg;
                cb = 255 - cb;
            }
            if (colour)
                reinterpret_cast<QRgb *>(line)[x] = qRgb(cr, cg, cb);
            else
                line[x] = static_cast<uchar>((cr * 11 + cg * 16 + cb * 5) / 32);
        }
    }
    return page;
}

// Every 24-bit colour once: pixel number i (row by row) has red i >> 16, green (i >> 8) & 255,
// blue i & 255; the rest of the last row repeats colour 0. RGB32 or RGB888.
inline QImage allColours(QImage::Format format, int width)
{
    const int count = 1 << 24;
    const int height = (count + width - 1) / width;
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const int64_t n = int64_t(y) * width + x;
            const uint32_t i = n < count ? uint32_t(n) : 0;
            const uchar red = uchar(i >> 16), green = uchar(i >> 8), blue = uchar(i);
            if (format == QImage::Format_RGB888) {
                line[3 * x] = red;
                line[3 * x + 1] = green;
                line[3 * x + 2] = blue;
            } else {
                reinterpret_cast<QRgb *>(line)[x] = qRgb(red, green, blue);
            }
        }
    }
    return image;
}

} // namespace TestPages
