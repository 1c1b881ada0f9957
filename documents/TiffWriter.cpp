#include "documents/TiffWriter.h"

#include "pages/PageResolution.h"
#include "pages/PageTone.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// libtiff writes through these callbacks into a growing byte array.
struct MemoryFile
{
    QByteArray bytes;
    toff_t position = 0;
};

tmsize_t readMemory(thandle_t handle, void *data, tmsize_t size)
{
    auto *file = static_cast<MemoryFile *>(handle);
    const tmsize_t available = qMax<tmsize_t>(0, file->bytes.size() - tmsize_t(file->position));
    const tmsize_t n = qMin(size, available);
    memcpy(data, file->bytes.constData() + file->position, size_t(n));
    file->position += toff_t(n);
    return n;
}

tmsize_t writeMemory(thandle_t handle, void *data, tmsize_t size)
{
    auto *file = static_cast<MemoryFile *>(handle);
    const toff_t end = file->position + toff_t(size);
    if (end > toff_t(std::numeric_limits<int>::max()))
        return -1; // a QByteArray holds at most 2 GiB
    if (end > toff_t(file->bytes.size()))
        file->bytes.resize(int(end));
    memcpy(file->bytes.data() + file->position, data, size_t(size));
    file->position = end;
    return size;
}

toff_t seekMemory(thandle_t handle, toff_t offset, int whence)
{
    auto *file = static_cast<MemoryFile *>(handle);
    const toff_t base = whence == SEEK_CUR   ? file->position
                        : whence == SEEK_END ? toff_t(file->bytes.size())
                                             : 0;
    file->position = base + offset;
    return file->position;
}

int closeMemory(thandle_t)
{
    return 0;
}
toff_t sizeOfMemory(thandle_t handle)
{
    return toff_t(static_cast<MemoryFile *>(handle)->bytes.size());
}
int mapMemory(thandle_t, void **, toff_t *)
{
    return 0;
}
void unmapMemory(thandle_t, void *, toff_t) {}

struct Layout
{
    uint16_t samples;
    uint16_t bits;
    uint16_t photometric;
    uint16_t compression;
};

// One row of the TIFF: 1-bit rows are packed with black (grey 0) as the set bit.
void fillRow(const QImage &pixels, const Layout &layout, int y, std::vector<uchar> &row)
{
    const uchar *line = pixels.constScanLine(y);
    if (layout.bits == 1) {
        std::fill(row.begin(), row.end(), uchar(0));
        for (int x = 0; x < pixels.width(); ++x) {
            if (line[x] == 0)
                row[size_t(x >> 3)] |= uchar(0x80 >> (x & 7));
        }
        return;
    }
    memcpy(row.data(), line, row.size());
}

bool writeDirectory(TIFF *tiff, const QImage &pixels, const Layout &layout, const QPointF &dpi)
{
    const bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(pixels.width())) &&
                    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(pixels.height())) &&
                    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samples) &&
                    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bits) &&
                    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric) &&
                    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
                    TIFFSetField(tiff, TIFFTAG_COMPRESSION, layout.compression) &&
                    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(dpi.x())) &&
                    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(dpi.y())) &&
                    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (!ok)
        return false;
    if (layout.samples == 4) {
        const uint16_t extra = EXTRASAMPLE_ASSOCALPHA;
        if (!TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra))
            return false;
    }
    if (layout.compression == COMPRESSION_ADOBE_DEFLATE) {
        // The predictor turns smooth scans into small differences that compress far better.
        // Deflate's fastest level: colour pages about a tenth larger than at the default
        // level, written in two thirds of the time, which keeps up with a fast feeder.
        if (!TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) ||
            !TIFFSetField(tiff, TIFFTAG_ZIPQUALITY, 1))
            return false;
        // One Group 4 strip is smallest; Deflate strips of about 64 KiB keep memory low.
        return TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    }
    return TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(pixels.height()));
}

} // namespace

QByteArray TiffWriter::encode(const QImage &image)
{
    if (image.isNull())
        return QByteArray();
    QImage pixels = PageTone::grey(image);
    Layout layout{1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE};
    if (!pixels.isNull() && PageTone::greyIsTwoLevel(pixels)) {
        layout = {1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4};
    } else if (pixels.isNull() && image.hasAlphaChannel()) {
        pixels = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
        layout = {4, 8, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE};
    } else if (pixels.isNull()) {
        pixels = image.convertToFormat(QImage::Format_RGB888);
        layout = {3, 8, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE};
    }
    if (pixels.isNull())
        return QByteArray(); // no memory for the conversion

    MemoryFile file;
    TIFF *tiff = TIFFClientOpen("page", "w", &file, readMemory, writeMemory, seekMemory,
                                closeMemory, sizeOfMemory, mapMemory, unmapMemory);
    if (!tiff)
        return QByteArray();
    bool ok = writeDirectory(tiff, pixels, layout, PageResolution::dpi(image));
    std::vector<uchar> row(size_t(TIFFScanlineSize(tiff)));
    for (int y = 0; ok && y < pixels.height(); ++y) {
        fillRow(pixels, layout, y, row);
        ok = TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) == 1;
    }
    ok = ok && TIFFWriteDirectory(tiff) == 1;
    TIFFClose(tiff);
    return ok ? file.bytes : QByteArray();
}
