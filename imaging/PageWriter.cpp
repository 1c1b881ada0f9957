#include "imaging/PageWriter.h"

#include "imaging/FileCommit.h"
#include "imaging/OfdWriter.h"
#include "imaging/PdfPageWriter.h"
#include "imaging/SaveFormat.h"
#include "imaging/TiffWriter.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

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
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, format).write(image))
        return false;
    // When an encoder cannot get its own copy of the page (memory), Qt's BMP writer still writes
    // a header around an empty image and reports success: the encoding must hold this page.
    buffer.close();
    buffer.open(QIODevice::ReadOnly);
    if (QImageReader(&buffer, format).size() != image.size())
        return false;
    return FileCommit::write(bytes, target);
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
