#include "documents/PageWriter.h"

#include "documents/OfdWriter.h"
#include "documents/PdfPageWriter.h"
#include "documents/TiffWriter.h"
#include "pages/ImageEncoder.h"
#include "settings/SaveFormat.h"

namespace {

// Encoded in memory first, then one checked write: a full disk fails for certain instead of
// leaving a truncated file. TIFF goes through libtiff for its lossless compressions.
QByteArray encodeImage(const QImage &image, int saveType)
{
    if (image.isNull())
        return QByteArray();
    switch (saveType) {
    case SaveFormat::Tiff:
        return TiffWriter::encode(image);
    case SaveFormat::Png:
        return ImageEncoder::encode(image, "png");
    case SaveFormat::Bmp:
        return ImageEncoder::encode(image, "bmp");
    default:
        return ImageEncoder::encode(image, "jpg");
    }
}

QByteArray encodeOfd(const PageSource &page)
{
    const OfdWriter::Page ofdPage{page.documentJpeg(), page.size(), page.dpi(), {}, {}};
    return ofdPage.jpeg.isEmpty() ? QByteArray() : OfdWriter::encode({ofdPage});
}

} // namespace

bool PageWriter::write(const PageSource &page, int saveType, FileCommit &out)
{
    if (page.isNull())
        return false;
    switch (saveType) {
    case SaveFormat::Jpg:
    case SaveFormat::Tiff:
    case SaveFormat::Png:
    case SaveFormat::Bmp: {
        const QByteArray bytes = encodeImage(page.image(), saveType);
        return !bytes.isEmpty() && out.write(bytes);
    }
    case SaveFormat::Pdf:
    case SaveFormat::MergedPdf:
        return PdfPageWriter::write(QList<PageSource>{page}, out);
    case SaveFormat::Ofd:
    case SaveFormat::MergedOfd: {
        const QByteArray bytes = encodeOfd(page);
        return !bytes.isEmpty() && out.write(bytes);
    }
    default:
        return false;
    }
}

bool PageWriter::write(const PageSource &page, int saveType, const QString &target,
                       FileCommit::Existing existing, QString *written)
{
    if (page.isNull() || !SaveFormat::isFormat(saveType))
        return false;
    FileCommit out(target);
    return write(page, saveType, out) && out.commit(existing, written);
}

bool PageWriter::write(const QImage &image, int saveType, const QString &target)
{
    return write(PageSource::ofImage(image), saveType, target);
}
