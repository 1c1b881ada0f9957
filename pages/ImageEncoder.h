#pragma once

#include <QByteArray>
#include <QImage>

// Encodes a page in memory with Qt's image writers.
class ImageEncoder
{
public:
    // The zlib level PNG pages are written at (Qt's default is 6). Measured on 300 dpi A4
    // pages (bench_imaging): this level writes a colour page in a fraction of the default's
    // time, the file within 15 % of the default's size.
    static const int PngLevel = 3;
    // The writer quality that gives zlib level `level` with Qt's PNG writer (which takes
    // (100 - quality) * 9 / 91 as its level).
    static int pngQuality(int level) { return 100 - (level * 91 + 8) / 9; }

    // The page encoded in `format` ("jpeg", "png", "bmp", ...) at the writer's default quality
    // (PNG at PngLevel), or an empty array when it could not be encoded. The encoding is read back
    // and must hold the page's size: when a writer cannot get its own copy of the page (memory),
    // Qt's BMP and JPEG writers still write a header around an empty image and report success.
    static QByteArray encode(const QImage &image, const QByteArray &format);
};
