#include "imaging/PageWriter.h"

#include "imaging/FileCommit.h"
#include "imaging/ImageEncoder.h"
#include "imaging/OfdWriter.h"
#include "imaging/PdfPageWriter.h"
#include "imaging/SaveFormat.h"
#include "imaging/TiffWriter.h"

#include <QFileInfo>

namespace {

bool writeImage(const QImage &image, const QString &target)
{
    if (image.isNull())
        return false;
    // Encoded in memory first, then one checked write: a full disk fails for certain instead of
    // leaving a truncated file. TIFF goes through libtiff for its lossless compressions.
    const QByteArray format = QFileInfo(target).suffix().toLower().toLatin1();
    if (format == "tif" || format == "tiff")
        return FileCommit::write(TiffWriter::encode(image), target);
    return FileCommit::write(ImageEncoder::encode(image, format), target);
}

bool writeOfd(const PageSource &page, const QString &target)
{
    const OfdWriter::Page ofdPage{page.documentJpeg(), page.size(), page.dpi()};
    return !ofdPage.jpeg.isEmpty() && OfdWriter::write(QList<OfdWriter::Page>{ofdPage}, target);
}

} // namespace

bool PageWriter::write(const PageSource &page, int saveType, const QString &target)
{
    if (page.isNull())
        return false;
    switch (saveType) {
    case SaveFormat::Jpg:
    case SaveFormat::Tiff:
    case SaveFormat::Png:
    case SaveFormat::Bmp:
        return writeImage(page.image(), target);
    case SaveFormat::Pdf:
    case SaveFormat::MergedPdf:
        return PdfPageWriter::write(QList<PageSource>{page}, target);
    case SaveFormat::Ofd:
        return writeOfd(page, target);
    default:
        return false;
    }
}

bool PageWriter::write(const QImage &image, int saveType, const QString &target)
{
    return write(PageSource::ofImage(image), saveType, target);
}
