#pragma once

#include "documents/TextLines.h"

#include <QList>
#include <QPointF>
#include <QSize>
#include <QString>

// Writes one searchable document of scanned pages, each its JPEG image (embedded unchanged)
// under an invisible layer of the text recognised on it, line by line in reading order: a PDF
// (PdfPageWriter with PdfTextLayer), or an OFD package (OfdWriter) when the target's name ends
// in ".ofd". Pages are added in order, by one thread at a time, and written when finish() is
// called, each JPEG read from its file as its turn comes; the files must stay until then. The
// document appears at the target only when finish() succeeds (an existing file survives every
// failure).
class SearchablePdfWriter
{
public:
    explicit SearchablePdfWriter(const QString &target);

    // Adds the page held in the JPEG file `jpegPath` (`pixels` large, scanned at `dpi`) with the
    // lines recognised on it (none: the page goes in without text), as the next page. False
    // when the file is no JPEG of that size; the document is then not written.
    bool add(const QString &jpegPath, const QSize &pixels, int dpi,
             const QList<TextLines::Line> &text = {});
    // Completes the document and puts it at the target, or at the next free name when the
    // target is taken by anything but the operator's own file (target() then names the file
    // written). False (nothing written) when a page could not be added or there is none.
    bool finish();

    int pageCount() const { return m_pages.size(); }
    QString target() const { return m_target; }
    // Names the file finish() writes, when it was not known at the start.
    void setTarget(const QString &target) { m_target = target; }

private:
    struct Page
    {
        QString jpegPath;
        QSize pixels;
        QPointF dpi;
        bool grey;
        QList<TextLines::Line> text;
    };
    QString m_target;
    QList<Page> m_pages;
    bool m_ok = true;
};
