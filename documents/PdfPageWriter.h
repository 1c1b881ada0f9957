#pragma once

#include "documents/TextLines.h"
#include "pages/FileCommit.h"
#include "pages/PageSource.h"

#include <QImage>
#include <QList>
#include <QString>

#include <functional>

// Writes PDF files (through libqpdf) whose pages are each one JPEG image covering the whole
// page, at the page's physical size: the page box is the image's pixel size divided by its
// resolution, 72 points to the inch. A page nothing changed is embedded as the scanner's JPEG
// file itself (DCTDecode), so the PDF page is no bigger than the JPEG; any other page as its
// JPEG encoding at the JPG format's quality. Each page's JPEG is fetched only when its turn
// comes to be written, so a document of any length is written with one page in memory.
//
// Files appear complete or not at all: the PDF is written into a new file in the target's
// folder (FileCommit) with checked writes, read back (a valid PDF with every page), and takes
// the target's name only then; a failed write (a full disk) keeps the file that was there.
class PdfPageWriter
{
public:
    // One page as the writer takes it: its JPEG file, fetched when the page's turn comes, what
    // that file holds (`grey`: one component), and the recognised lines written invisibly over
    // the image (PdfTextLayer), in page pixels.
    struct Page
    {
        std::function<QByteArray()> jpeg;
        QSize pixels;
        QPointF dpi;
        bool grey = false;
        QList<TextLines::Line> text;
    };
    static Page page(const PageSource &source);
    // The pages in order into a new file the caller commits; false (and `out` marked failed)
    // when the PDF could not be written whole. Every page must have pixels.
    static bool write(const QList<Page> &pages, FileCommit &out);

    // One page per source, in order. Pages without pixels are left out; nothing is written
    // when no page has pixels. Returns true when the file was written.
    static bool write(const QList<PageSource> &pages, const QString &pdfPath,
                      FileCommit::Existing existing = FileCommit::ReplaceOwn,
                      QString *written = nullptr);
    // The same into a new file the caller commits; false (and `out` marked failed) when the
    // PDF could not be written whole.
    static bool write(const QList<PageSource> &pages, FileCommit &out);
    // One page.
    static bool write(const QImage &image, const QString &pdfPath);
    // One page per image, in order; null images are left out.
    static bool writeMerged(const QList<QImage> &images, const QString &pdfPath);
};
