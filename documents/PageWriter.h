// documents/: every writer of the destination folder's files (the image formats, PDF and the
// merged PDF, OFD, TIFF, the searchable PDF) and the text recognition it needs. It stands on
// pages/ (the pages it writes) and settings/ (the table of formats), never on imaging/ or scan/.

#pragma once

#include "pages/FileCommit.h"
#include "pages/PageSource.h"

#include <QImage>
#include <QString>

// Writes one page in one of the single-page output formats. A write goes into a new file beside
// the target (FileCommit) and takes the target's name only when it is complete, so a failed
// write never destroys an existing file, and nothing is written through a link.
class PageWriter
{
public:
    // JPG, PNG and BMP through Qt's image writer (JPG at the default quality, PNG at the fast
    // level of ImageEncoder); TIFF compressed through the TIFF writer; PDF (also for the
    // merged-PDF index) through the PDF page writer; OFD (also for the merged-OFD index) as a
    // one-page OFD package. PDF and OFD
    // embed the page's document JPEG (the scanner's own file when nothing changed the page).
    // Returns false for a page without pixels, an unknown format or a failed write.
    static bool write(const PageSource &page, int saveType, FileCommit &out);
    // The same to the file `target` (its complete name including the suffix); what an existing
    // file of that name gets is `existing`, and `written` the name really written.
    static bool write(const PageSource &page, int saveType, const QString &target,
                      FileCommit::Existing existing = FileCommit::ReplaceOwn,
                      QString *written = nullptr);
    static bool write(const QImage &image, int saveType, const QString &target);
};
