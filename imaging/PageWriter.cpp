#include "imaging/PageWriter.h"

#include "imaging/PdfPageWriter.h"
#include "imaging/SaveFormat.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

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
        return writeOfd(image, target);
    default:
        return false;
    }
}

bool PageWriter::writeImage(const QImage &image, const QString &target)
{
    if (image.isNull())
        return false;
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, QFileInfo(target).suffix().toLower().toLatin1());
    if (!writer.write(image)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool PageWriter::writeOfd(const QImage &image, const QString &target)
{
    // The PDF writer already writes under a temporary name and renames over the target, so the
    // ".ofd" file is replaced in one step and no intermediate ".pdf" is left behind.
    return PdfPageWriter::write(image, target);
}
