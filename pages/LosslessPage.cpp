#include "pages/LosslessPage.h"

#include "pages/PageDecoder.h"

#include <QDataStream>
#include <QIODevice>

#include <zstd.h>

#include <memory>
#include <vector>

namespace {

const char Magic[] = "VLDRPAGE";
const int MagicSize = 8;
const quint32 Version = 1;
// Level 1: about 0.7 GB/s on a document page, some five to ten times smaller than the pixels.
const int Level = 1;

struct ContextDeleter
{
    void operator()(ZSTD_CCtx *c) const { ZSTD_freeCCtx(c); }
    void operator()(ZSTD_DCtx *d) const { ZSTD_freeDCtx(d); }
};

struct Header
{
    LosslessPage::Info info;
    qint32 bytesPerLine = 0;
    QVector<QRgb> colours;
};

bool readHeader(QIODevice *device, Header *header)
{
    if (device->read(MagicSize) != QByteArray(Magic, MagicSize))
        return false;
    QDataStream in(device);
    in.setByteOrder(QDataStream::LittleEndian);
    quint32 version = 0;
    qint32 width = 0, height = 0, format = 0, dpmX = 0, dpmY = 0, colourCount = 0;
    in >> version >> width >> height >> format >> header->bytesPerLine >> dpmX >> dpmY >>
        colourCount;
    // No larger than any page the decoder takes: a header cannot ask for gigabytes.
    if (in.status() != QDataStream::Ok || version != Version || width <= 0 || height <= 0 ||
        qint64(width) * height > PageDecoder::MaxPixels || format <= QImage::Format_Invalid ||
        format >= QImage::NImageFormats || colourCount < 0 || colourCount > 256)
        return false;
    header->colours.resize(colourCount);
    for (QRgb &colour : header->colours)
        in >> colour;
    if (in.status() != QDataStream::Ok)
        return false;
    header->info.size = QSize(width, height);
    header->info.format = static_cast<QImage::Format>(format);
    header->info.dotsPerMeterX = dpmX;
    header->info.dotsPerMeterY = dpmY;
    return true;
}

} // namespace

bool LosslessPage::write(const QImage &image, QIODevice *device)
{
    if (image.isNull())
        return false;
    QByteArray header(Magic, MagicSize);
    {
        QDataStream out(&header, QIODevice::Append);
        out.setByteOrder(QDataStream::LittleEndian);
        out << Version << qint32(image.width()) << qint32(image.height()) << qint32(image.format())
            << qint32(image.bytesPerLine()) << qint32(image.dotsPerMeterX())
            << qint32(image.dotsPerMeterY()) << qint32(image.colorCount());
        for (QRgb colour : image.colorTable())
            out << colour;
    }
    if (device->write(header) != header.size())
        return false;

    std::unique_ptr<ZSTD_CCtx, ContextDeleter> context(ZSTD_createCCtx());
    if (!context)
        return false;
    ZSTD_CCtx_setParameter(context.get(), ZSTD_c_compressionLevel, Level);
    ZSTD_CCtx_setPledgedSrcSize(context.get(), quint64(image.sizeInBytes()));
    std::vector<char> chunk(ZSTD_CStreamOutSize());
    ZSTD_inBuffer in{image.constBits(), size_t(image.sizeInBytes()), 0};
    for (;;) {
        ZSTD_outBuffer out{chunk.data(), chunk.size(), 0};
        const size_t left = ZSTD_compressStream2(context.get(), &out, &in, ZSTD_e_end);
        if (ZSTD_isError(left) || device->write(chunk.data(), qint64(out.pos)) != qint64(out.pos))
            return false;
        if (left == 0)
            return true;
    }
}

LosslessPage::Info LosslessPage::readInfo(QIODevice *device)
{
    Header header;
    return readHeader(device, &header) ? header.info : Info();
}

QImage LosslessPage::read(QIODevice *device)
{
    Header header;
    if (!readHeader(device, &header))
        return QImage();
    QImage image(header.info.size, header.info.format);
    // Qt lays out the rows the same way for the same size and format: the stored rows fit.
    if (image.isNull() || image.bytesPerLine() != header.bytesPerLine)
        return QImage();
    image.setColorTable(header.colours);
    image.setDotsPerMeterX(header.info.dotsPerMeterX);
    image.setDotsPerMeterY(header.info.dotsPerMeterY);

    std::unique_ptr<ZSTD_DCtx, ContextDeleter> context(ZSTD_createDCtx());
    if (!context)
        return QImage();
    std::vector<char> chunk(ZSTD_DStreamInSize());
    ZSTD_outBuffer out{image.bits(), size_t(image.sizeInBytes()), 0};
    size_t left = 1;
    while (left != 0) {
        const qint64 got = device->read(chunk.data(), qint64(chunk.size()));
        if (got <= 0)
            return QImage(); // cut off
        ZSTD_inBuffer in{chunk.data(), size_t(got), 0};
        while (in.pos < in.size) {
            left = ZSTD_decompressStream(context.get(), &out, &in);
            if (ZSTD_isError(left) || (left != 0 && out.pos == out.size && in.pos < in.size))
                return QImage(); // not ours, or more rows than the page has
            if (left == 0)
                break;
        }
    }
    return out.pos == out.size ? image : QImage();
}

bool LosslessPage::isLossless(const QByteArray &bytes)
{
    return bytes.startsWith(QByteArray(Magic, MagicSize));
}
