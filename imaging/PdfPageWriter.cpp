#include "imaging/PdfPageWriter.h"

#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryFile>

#include <cstdio>

namespace {

// A unique, not yet existing name in the target's folder; the printer writes there.
QString temporaryNameBeside(const QString &target)
{
    QTemporaryFile probe(QFileInfo(target).absolutePath() + QStringLiteral("/.") +
                         QFileInfo(target).fileName() + QStringLiteral(".XXXXXX"));
    if (!probe.open())
        return QString();
    const QString name = probe.fileName();
    probe.close();
    return name; // removed again when `probe` goes out of scope
}

// Qt's PDF output does not report a failed write (a full disk, a file size limit): the printer
// ends "successfully" and leaves a truncated file. A complete file starts with the PDF header
// and ends with the end-of-file marker, which is written last.
bool isComplete(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16 || !file.read(5).startsWith("%PDF-"))
        return false;
    const qint64 tail = 64;
    return file.seek(qMax<qint64>(0, file.size() - tail)) && file.read(tail).contains("%%EOF");
}

// Qt's PDF output writes an empty image when its own copy of a page cannot be had (memory) and
// still reports success. Every image is written as an object that states its size, so a saved
// page is one whose image is there at its real size.
bool holdsImages(const QString &path, const QList<QImage> &images)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const uchar *mapped = file.map(0, file.size());
    const QByteArray content =
        mapped ? QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), int(file.size()))
               : file.readAll();
    for (const QImage &image : images) {
        const QByteArray object = "/Subtype /Image\n/Width " + QByteArray::number(image.width()) +
                                  "\n/Height " + QByteArray::number(image.height()) + "\n";
        if (!image.isNull() && !content.contains(object))
            return false;
    }
    return true;
}

bool replaceWith(const QString &temporary, const QString &target)
{
    // rename(2) replaces the target atomically: the old file stays until the new one is whole.
    if (std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

bool printPages(const QList<QImage> &images, const QString &target)
{
    int first = -1;
    for (int i = 0; i < images.size() && first < 0; ++i) {
        if (!images.at(i).isNull())
            first = i;
    }
    if (first < 0)
        return false;

    const QString temporary = temporaryNameBeside(target);
    if (temporary.isEmpty())
        return false;

    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(temporary);

        QPainter painter;
        if (!painter.begin(&printer)) {
            QFile::remove(temporary);
            return false;
        }
        const double scale =
            static_cast<double>(painter.viewport().width()) / images.at(first).width();
        painter.scale(scale, scale);
        bool firstPage = true;
        for (const QImage &image : images) {
            if (image.isNull())
                continue;
            if (!firstPage && !printer.newPage()) {
                painter.end();
                QFile::remove(temporary);
                return false;
            }
            painter.drawImage(0, 0, image);
            firstPage = false;
        }
        if (!painter.end() || printer.printerState() == QPrinter::Error) {
            QFile::remove(temporary);
            return false;
        }
    }
    // Only a complete file holding every page may replace the target.
    if (!isComplete(temporary) || !holdsImages(temporary, images)) {
        QFile::remove(temporary);
        return false;
    }
    return replaceWith(temporary, target);
}

} // namespace

bool PdfPageWriter::write(const QImage &image, const QString &pdfPath)
{
    return printPages({image}, pdfPath);
}

bool PdfPageWriter::writeMerged(const QList<QImage> &images, const QString &pdfPath)
{
    return printPages(images, pdfPath);
}
