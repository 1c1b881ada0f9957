#pragma once

#include <QImage>
#include <QString>

// Writes one page image in one of the single-page output formats. Every write goes to a
// temporary file beside the target and replaces the target only when it is complete, so a
// failed write never destroys an existing file.
class PageWriter
{
public:
    // JPG, TIFF, PNG and BMP through Qt's image writer (format from the target's suffix, default
    // quality); PDF through the PDF page writer; OFD as PDF content under the ".ofd" name.
    // `target` is the complete file name including its suffix. Returns false for a null image,
    // an unknown format or a failed write.
    static bool write(const QImage &image, int saveType, const QString &target);

    // Qt's image writer with the format taken from the suffix of `target`.
    static bool writeImage(const QImage &image, const QString &target);
    // PDF content under the given (".ofd") name.
    static bool writeOfd(const QImage &image, const QString &target);
};
