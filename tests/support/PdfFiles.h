#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QSizeF>
#include <QString>

// Reading back the PDF files the console writes: with qpdf's and poppler's own tools (what
// another program makes of the file), and page by page through libqpdf.
namespace PdfFiles {

struct Page
{
    QSizeF box;         // the media box, in points
    QSize pixels;       // its image's size
    QByteArray filter;  // its image's filter ("/DCTDecode")
    QByteArray colours; // its image's colour space ("/DeviceRGB", "/DeviceGray")
    QByteArray data;    // its image's stream data as stored in the file
    bool fullPage;      // the image is drawn over the whole page
};

// `qpdf --check` finds no error and no warning; otherwise its report in `report`.
bool checks(const QString &file, QString *report = nullptr);
// The page count pdfinfo (poppler) reads, -1 when it cannot read the file.
int pdfinfoPages(const QString &file);
// Every page with its one image; an empty list when the file cannot be read.
QList<Page> pages(const QString &file);
// The text pdftotext (poppler) finds on page `page` (from 1), blanks and line breaks removed
// (Tesseract spaces out Chinese characters); "failed: ..." when it cannot read the file.
QString pageText(const QString &file, int page);
// Page `page` (from 1) as pdftoppm (poppler) draws it at `dpi`; a null image when it cannot.
QImage render(const QString &file, int page, int dpi);

} // namespace PdfFiles
