#pragma once

#include <QByteArray>
#include <QDate>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QSize>
#include <QString>

// Writes OFD documents (the fixed-layout format of GB/T 33190-2016) whose pages are each one
// full-page JPEG image. The document is a zip package (libzip) of these parts, every XML part
// in the namespace "http://www.ofdspec.org/2016" with the prefix "ofd" and deflated, every
// image stored as it is:
//   OFD.xml                        document info (ID, creation date, creator) and the root
//   Doc_0/Document.xml             largest ID, default page area, resources, the pages
//   Doc_0/PublicRes.xml            an empty resource list
//   Doc_0/DocumentRes.xml          one MultiMedia (JPEG) per page
//   Doc_0/Pages/Page_N/Content.xml the page box and one image object covering it
//   Doc_0/Res/Image_N.jpg          the page images
// Page sizes are millimetres from each image's pixel size and resolution.
class OfdWriter
{
public:
    struct Page
    {
        QByteArray jpeg; // the image file, embedded unchanged
        QSize pixels;    // its pixel size
        QPointF dpi;     // its resolution, across and down
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

    // The package's bytes for the pages in order, or an empty array when there is no page, a
    // page has no image, or the package cannot be made.
    static QByteArray encode(const QList<Page> &pages, const Info &info = Info());

    // One page per file: encodes `image` and puts the package at `target` whole or not at all
    // (an existing file survives a failed write). False for a null image or a failed write.
    static bool write(const QImage &image, const QString &target);
    static bool write(const QList<Page> &pages, const QString &target);
};
