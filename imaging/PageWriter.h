#pragma once

#include "imaging/PageSource.h"

#include <QImage>
#include <QString>

// Writes one page in one of the single-page output formats. A write goes to a temporary file
// beside the target and replaces the target only when it is complete, so a failed write never
// destroys an existing file.
class PageWriter
{
public:
    // JPG, PNG and BMP through Qt's image writer (format from the target's suffix; JPG at the
    // default quality, PNG at the fast level of ImageEncoder); TIFF compressed through the TIFF
    // writer; PDF (also for the merged-PDF index) through the PDF page writer; OFD as a one-page
    // OFD package. PDF and OFD embed the page's document JPEG (the scanner's own file when
    // nothing changed the page). `target` is the complete file name including its suffix.
    // Returns false for a page without pixels, an unknown format or a failed write.
    static bool write(const PageSource &page, int saveType, const QString &target);
    static bool write(const QImage &image, int saveType, const QString &target);
};
