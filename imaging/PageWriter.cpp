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

} // namespace

bool PageWriter::write(const QImage &image, int saveType, const QString &target)
{
    switch (saveType) {
    case SaveFormat::Jpg:
    case SaveFormat::Tiff:
    case SaveFormat::Png:
    case SaveFormat::Bmp:
        return writeImage(image, target);
    case SaveFormat::Pdf:
    case SaveFormat::MergedPdf:
        return PdfPageWriter::write(image, target);
    case SaveFormat::Ofd:
        return OfdWriter::write(image, target);
    default:
        return false;
    }
}
