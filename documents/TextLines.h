#pragma once

#include <QList>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QVector>

namespace tesseract {
class TessBaseAPI;
}

// The text recognised on a page as the text layer of a searchable document writes it: one run
// of characters per line, the lines in the recogniser's reading order (block by block, each
// block's lines top to bottom), with each character's place on the page. Words of Latin script
// are separated by one space; Chinese (and Japanese, Korean) characters and full-width
// punctuation are joined without one, so a Chinese line is one unbroken run whatever word groups
// the recogniser made of it.
class TextLines
{
public:
    struct Line
    {
        QString text;          // the line's characters, spaces included
        QRectF box;            // the line's box in page pixels (top-left origin)
        double baseline = 0;   // the baseline's distance from the page's top, page pixels
        QVector<double> lefts; // each character's (code point's) left edge, page pixels
        double end = 0;        // the right edge of the last character, page pixels
        // Each character's advance to the next one; the last one ends at the box's right edge.
        QVector<double> advances() const;
    };

    // The lines of the page last recognised by `engine`, in page pixels of a page `pagePixels`
    // large (the engine may have recognised a working copy of another size: its coordinates are
    // scaled). Empty lines are left out.
    static QList<Line> read(tesseract::TessBaseAPI &engine, const QSize &pagePixels);

    // True for a character that joins its neighbours without a space (Han, kana, Hangul,
    // CJK and full-width punctuation).
    static bool isWide(uint codePoint);
    // Adds a word to `line`: `text` with one left edge per code point, ending at `right`,
    // separated from what the line holds by a space (from the end of the last word) unless both
    // sides are wide characters.
    static void addWord(Line *line, const QString &text, const QVector<double> &lefts,
                        double right);
};
