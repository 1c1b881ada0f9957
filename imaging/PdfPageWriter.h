#pragma once

#include <QImage>
#include <QList>
#include <QString>

// Writes images as A4 PDF pages through Qt's printer class in high-resolution PDF mode: each
// image scaled to the printable width and drawn at the top left. The QImage is drawn directly
// (no QPixmap), so it may run on any thread. Files appear complete or not at all: the PDF is
// written under a temporary name in the target's folder and renamed over the target at the end.
class PdfPageWriter
{
public:
    // One page. Nothing is written for a null image. Returns true when the file was written.
    static bool write(const QImage &image, const QString &pdfPath);

    // One page per image, in order. Null images are left out; the scale factor is that of the
    // first image that has pixels and applies to every page. Nothing is written when no image
    // has pixels.
    static bool writeMerged(const QList<QImage> &images, const QString &pdfPath);
};
