#pragma once

#include "documents/TextLines.h"
#include "pages/FileCommit.h"

#include <QByteArray>
#include <QDate>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QSize>
#include <QString>

#include <functional>

class PageSource;

// Writes OFD documents (the fixed-layout format of GB/T 33190-2016) whose pages are each one
// full-page JPEG image, optionally over the text recognised on it. The document is a zip
// package (libzip) of these parts, every XML part in the namespace "http://www.ofdspec.org/2016"
// with the prefix "ofd" and deflated, every image stored as it is:
//   OFD.xml                        document info (ID, creation date, creator) and the root
//   Doc_0/Document.xml             largest ID, default page area, resources, the pages in order
//   Doc_0/PublicRes.xml            the font of the text layer (empty without text)
//   Doc_0/DocumentRes.xml          one MultiMedia (JPEG) per page
//   Doc_0/Pages/Page_N/Content.xml the page box, one image object covering it, and one
//                                  invisible text object per recognised line
//   Doc_0/Res/Image_N.jpg          the page images
// Page sizes are millimetres from each image's pixel size and resolution. A text object is not
// painted (Fill false) but is found by a reader's search, selection and copy.
class OfdWriter
{
public:
    struct Page
    {
        QByteArray jpeg; // the image file, embedded unchanged
        QSize pixels;    // its pixel size
        QPointF dpi;     // its resolution, across and down
        // When `jpeg` is empty: fetches the image file when its turn comes to be written, so a
        // long document is written with one page's JPEG in memory.
        std::function<QByteArray()> fetch;
        QList<TextLines::Line> text; // the lines under the image, in page pixels
    };
    struct Info
    {
        QString docId;      // 32 hexadecimal digits; a new random one when empty
        QDate creationDate; // today when null
        QString creator;    // the console's name and version when empty
    };

    // The page for one image: its JPEG encoding (Qt's JPEG writer at its default quality, the
    // same as the JPG format), size and resolution. An empty `jpeg` when the image is null or
    // cannot be encoded.
    static Page page(const QImage &image);
    // The page for a page of the store: its document JPEG (the scanner's own file when nothing
    // changed the page), fetched when written.
    static Page page(const PageSource &source);
    // The pages for pages of the store, those without pixels left out.
    static QList<Page> pages(const QList<PageSource> &sources);

    // The package's bytes for the pages in order, or an empty array when there is no page, a
    // page has no image, or the package cannot be made.
    static QByteArray encode(const QList<Page> &pages, const Info &info = Info());

    // The package of `pages` into `out`, a new file the caller commits (built in a private
    // folder first, then copied). False (and `out` marked failed) when it cannot be written.
    static bool write(const QList<Page> &pages, FileCommit &out, const Info &info = Info());

    // One page per file: encodes `image` and puts the package at `target` whole or not at all
    // (an existing file survives a failed write). False for a null image or a failed write.
    static bool write(const QImage &image, const QString &target);
    static bool write(const QList<Page> &pages, const QString &target,
                      FileCommit::Existing existing = FileCommit::ReplaceOwn,
                      QString *written = nullptr);
};
