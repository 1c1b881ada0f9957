#include "imaging/PageWriter.h"

#include "imaging/PdfPageWriter.h"
#include "imaging/SaveFormat.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

namespace {

bool writeImage(const QImage &image, const QString &target)
{
    if (image.isNull())
        return false;
    // Encoded in memory first: Qt's TIFF writer does not report a failed write to a file (a full
    // disk gives a truncated file and "success"), and its seeks clear the file's error. One
    // plain write of the whole encoding, flushed before the commit (which does not check its own
    // last flush), fails for certain when the disk does.
    const QByteArray format = QFileInfo(target).suffix().toLower().toLatin1();
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
    QSaveFile file(target);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() &&
           file.commit();
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
    case SaveFormat::Ofd:
        return PdfPageWriter::write(image, target);
    default:
        return false;
    }
}
