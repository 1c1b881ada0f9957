#pragma once

#include "documents/TextLines.h"

#include <QPointF>
#include <QSize>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <string>

// The invisible text of a searchable PDF page: each recognised line one text run (render mode 3,
// never painted) in reading order, each character placed where the recogniser found it, so that
// a reader's search, selection and copy, and pdftotext, give the lines whole and in order.
//
// The font maps every character code to itself: a Type0 font with Identity-H encoding (two-byte
// codes, the UTF-16 code units of the text) over a CID font whose every glyph is the same empty
// glyph (Tesseract's glyph-less font file pdf.ttf, embedded when installed), and a ToUnicode
// map that gives each code back as its character. Characters outside Unicode's basic plane go
// in as U+FFFD.
class PdfTextLayer
{
public:
    // The resource name the content uses for the font.
    static const char *fontName() { return "/F0"; }
    // The font, one indirect object for every page of `pdf`.
    static QPDFObjectHandle font(QPDF &pdf);
    // The content operators for `lines` on a page of `pixels` at `dpi` (empty without lines).
    static std::string content(const QList<TextLines::Line> &lines, const QSize &pixels,
                               const QPointF &dpi);
};
