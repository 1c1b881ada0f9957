#include "documents/TextLines.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <memory>

namespace {

QString utf8(char *text)
{
    const std::unique_ptr<char[]> owned(text);
    return owned ? QString::fromUtf8(owned.get()) : QString();
}

// Chinese characters are set on a fixed pitch, and the recogniser's boxes of single characters
// are rough (a narrow character gets a narrow box): within each run of wide characters the
// characters are spaced evenly from the run's first edge to its end.
void evenOut(TextLines::Line *line)
{
    const QVector<uint> codes = line->text.toUcs4();
    int start = 0;
    for (int i = 1; i <= codes.size(); ++i) {
        if (i < codes.size() && TextLines::isWide(codes.at(i)) &&
            TextLines::isWide(codes.at(start)))
            continue;
        const int count = i - start;
        const double end = i < codes.size() ? line->lefts.at(i) : line->end;
        if (count > 1 && TextLines::isWide(codes.at(start))) {
            const double first = line->lefts.at(start);
            for (int k = 1; k < count; ++k)
                line->lefts[start + k] = first + (end - first) * k / count;
        }
        start = i;
    }
}

} // namespace

QVector<double> TextLines::Line::advances() const
{
    QVector<double> result;
    for (int i = 0; i < lefts.size(); ++i)
        result.append(qMax(0.0, (i + 1 < lefts.size() ? lefts.at(i + 1) : end) - lefts.at(i)));
    return result;
}

bool TextLines::isWide(uint c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || // radicals, CJK punctuation, kana, Han
           (c >= 0xAC00 && c <= 0xD7AF) || // Hangul
           (c >= 0xF900 && c <= 0xFAFF) || // compatibility ideographs
           (c >= 0xFE30 && c <= 0xFE4F) || // compatibility forms
           (c >= 0xFF00 && c <= 0xFFEF) || // full-width forms
           (c >= 0x20000 && c <= 0x3FFFF); // Han extensions
}

void TextLines::addWord(Line *line, const QString &text, const QVector<double> &lefts, double right)
{
    const QVector<uint> codes = text.toUcs4();
    if (codes.isEmpty() || codes.size() != lefts.size())
        return;
    if (!line->text.isEmpty()) {
        const QVector<uint> before = line->text.right(2).toUcs4();
        if (!(isWide(before.last()) && isWide(codes.first()))) {
            line->text += QLatin1Char(' ');
            line->lefts.append(qMin(line->end, lefts.first()));
        }
    }
    line->text += text;
    line->lefts += lefts;
    line->end = qMax(right, lefts.last());
}

QList<TextLines::Line> TextLines::read(tesseract::TessBaseAPI &engine, const QSize &pagePixels)
{
    QList<Line> lines;
    Pix *input = engine.GetInputImage();
    const double sx =
        input && pixGetWidth(input) > 0 ? double(pagePixels.width()) / pixGetWidth(input) : 1.0;
    const double sy =
        input && pixGetHeight(input) > 0 ? double(pagePixels.height()) / pixGetHeight(input) : 1.0;
    std::unique_ptr<tesseract::ResultIterator> it(engine.GetIterator());
    if (!it)
        return lines;
    const auto level = tesseract::RIL_SYMBOL;
    Line line;
    QString word;
    QVector<double> wordLefts;
    double wordRight = 0;
    const auto endWord = [&] {
        addWord(&line, word, wordLefts, wordRight);
        word.clear();
        wordLefts.clear();
    };
    const auto endLine = [&] {
        endWord();
        if (!line.text.trimmed().isEmpty()) {
            evenOut(&line);
            lines.append(line);
        }
        line = Line();
    };
    do {
        if (it->Empty(level))
            continue;
        if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
            endLine();
            int l, t, r, b;
            if (it->BoundingBox(tesseract::RIL_TEXTLINE, &l, &t, &r, &b))
                line.box = QRectF(l * sx, t * sy, (r - l) * sx, (b - t) * sy);
            int x1, y1, x2, y2;
            line.baseline = it->Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2)
                                ? (y1 + y2) / 2.0 * sy
                                : line.box.bottom();
        } else if (it->IsAtBeginningOf(tesseract::RIL_WORD)) {
            endWord();
        }
        QString symbol = utf8(it->GetUTF8Text(level)).trimmed();
        // Control characters have no place in a text layer (nor in XML).
        for (int k = symbol.size() - 1; k >= 0; --k) {
            if (symbol.at(k).unicode() < 0x20 || symbol.at(k).unicode() == 0x7f)
                symbol.remove(k, 1);
        }
        int l, t, r, b;
        if (symbol.isEmpty() || !it->BoundingBox(level, &l, &t, &r, &b))
            continue;
        // A symbol of several code points (a ligature) shares its box evenly.
        const int n = symbol.toUcs4().size();
        for (int i = 0; i < n; ++i)
            wordLefts.append((l + (r - l) * double(i) / n) * sx);
        word += symbol;
        wordRight = r * sx;
    } while (it->Next(level));
    endLine();
    return lines;
}
