#include "PageRenderer.h"

#include <QColor>
#include <QPainter>
#include <QVector>

#include <cmath>

namespace {

// Small xorshift generator: the same seed gives the same page on every machine and Qt version.
class Random
{
public:
    // The seed is mixed first, so that neighbouring seeds (or a seed drawn from another
    // generator) do not give shifted copies of the same sequence.
    explicit Random(quint32 seed) : m_state(mix(seed)) {}
    quint32 next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    int range(int lo, int hi) { return lo + int(next() % quint32(hi - lo + 1)); }
    double unit() { return next() / 4294967296.0; }

private:
    static quint32 mix(quint32 x)
    {
        x ^= x >> 16;
        x *= 0x85ebca6bu;
        x ^= x >> 13;
        x *= 0xc2b2ae35u;
        x ^= x >> 16;
        return x ? x : 0x9e3779b9u;
    }

    quint32 m_state;
};

const QColor kPaper(250, 248, 242);

// Draws boxes in millimetres onto the page, optionally mirrored left to right and washed out
// towards the paper colour (the other side showing through).
class Canvas
{
public:
    Canvas(QPainter &painter, const QSize &size, double pxPerMm, bool mirrored, double strength)
        : m_painter(painter), m_size(size), m_px(pxPerMm), m_mirrored(mirrored),
          m_strength(strength)
    {
    }

    double px() const { return m_px; }
    double widthMm() const { return m_size.width() / m_px; }

    QColor ink(const QColor &c) const
    {
        if (m_strength >= 1.0)
            return c;
        auto mix = [this](int ink, int paper) {
            return int(std::lround(paper + (ink - paper) * m_strength));
        };
        return QColor(mix(c.red(), kPaper.red()), mix(c.green(), kPaper.green()),
                      mix(c.blue(), kPaper.blue()));
    }

    QRect toPixels(double x, double y, double w, double h) const
    {
        int left = int(std::lround(x * m_px));
        const int top = int(std::lround(y * m_px));
        const int width = qMax(1, int(std::lround(w * m_px)));
        const int height = qMax(1, int(std::lround(h * m_px)));
        if (m_mirrored)
            left = m_size.width() - left - width;
        return QRect(left, top, width, height);
    }

    void box(double x, double y, double w, double h, const QColor &c)
    {
        m_painter.fillRect(toPixels(x, y, w, h), ink(c));
    }

    // A box given directly in pixels (strokes thinner than a millimetre).
    void pixelBox(int x, int y, int w, int h, const QColor &c)
    {
        if (m_mirrored)
            x = m_size.width() - x - w;
        m_painter.fillRect(QRect(x, y, qMax(1, w), qMax(1, h)), ink(c));
    }

    void disc(double cx, double cy, double r, const QColor &c)
    {
        QRect rect = toPixels(cx - r, cy - r, 2 * r, 2 * r);
        m_painter.save();
        m_painter.setRenderHint(QPainter::Antialiasing, true);
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(ink(c));
        m_painter.drawEllipse(rect);
        m_painter.restore();
    }

    void ring(double cx, double cy, double r, double width, const QColor &c)
    {
        QRect rect = toPixels(cx - r, cy - r, 2 * r, 2 * r);
        m_painter.save();
        m_painter.setRenderHint(QPainter::Antialiasing, true);
        m_painter.setPen(QPen(ink(c), width * m_px));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawEllipse(rect);
        m_painter.restore();
    }

private:
    QPainter &m_painter;
    QSize m_size;
    double m_px;
    bool m_mirrored;
    double m_strength;
};

// One text-like letter: a few strokes in the shape of a typical lower-case glyph. Returns its
// advance in pixels; with no canvas it only measures, consuming the same random numbers.
int letter(Canvas *canvas, int x, int baseline, int xHeight, Random &rng, const QColor &ink)
{
    const int stroke = qMax(1, int(std::lround(xHeight * 0.17)));
    const int width = qMax(stroke * 2 + 1, int(std::lround(xHeight * (0.5 + 0.25 * rng.unit()))));
    const int kind = rng.range(0, 99);
    const bool narrow = (kind >= 50 && kind < 62) || (kind >= 82 && kind < 90);
    const int advance = narrow ? stroke * 2 + stroke / 2 : width + stroke;
    if (!canvas)
        return advance;

    const int ascender = int(std::lround(xHeight * 1.45));
    const int descender = int(std::lround(xHeight * 0.45));
    const int top = baseline - xHeight;
    Canvas &c = *canvas;
    if (kind < 25) { // o
        c.pixelBox(x, top, width, stroke, ink);
        c.pixelBox(x, baseline - stroke, width, stroke, ink);
        c.pixelBox(x, top, stroke, xHeight, ink);
        c.pixelBox(x + width - stroke, top, stroke, xHeight, ink);
    } else if (kind < 50) { // n
        c.pixelBox(x, top, stroke, xHeight, ink);
        c.pixelBox(x, top, width, stroke, ink);
        c.pixelBox(x + width - stroke, top, stroke, xHeight, ink);
    } else if (kind < 62) { // l
        c.pixelBox(x, baseline - ascender, stroke, ascender, ink);
    } else if (kind < 74) { // d
        c.pixelBox(x, top, width, stroke, ink);
        c.pixelBox(x, baseline - stroke, width, stroke, ink);
        c.pixelBox(x, top, stroke, xHeight, ink);
        c.pixelBox(x + width - stroke, baseline - ascender, stroke, ascender, ink);
    } else if (kind < 82) { // p
        c.pixelBox(x, top, width, stroke, ink);
        c.pixelBox(x, baseline - stroke, width, stroke, ink);
        c.pixelBox(x + width - stroke, top, stroke, xHeight, ink);
        c.pixelBox(x, top, stroke, xHeight + descender, ink);
    } else if (kind < 90) { // i
        c.pixelBox(x, top, stroke, xHeight, ink);
        c.pixelBox(x, top - stroke * 2, stroke, stroke, ink);
    } else { // e
        c.pixelBox(x, top, width, stroke, ink);
        c.pixelBox(x, top + xHeight / 2 - stroke / 2, width, stroke, ink);
        c.pixelBox(x, baseline - stroke, width, stroke, ink);
        c.pixelBox(x, top, stroke, xHeight, ink);
        c.pixelBox(x + width - stroke, top, stroke, xHeight / 2, ink);
    }
    return advance;
}

// The letters of one word come from their own seed, so a word can be measured before drawing.
struct Word
{
    quint32 seed;
    int letters;
};

// Draws the word at x (or only measures it without a canvas); returns its width in pixels.
int word(Canvas *canvas, int x, int baseline, int xHeight, const Word &w, const QColor &ink)
{
    Random rng(w.seed);
    int width = 0;
    for (int i = 0; i < w.letters; ++i)
        width += letter(canvas, x + width, baseline, xHeight, rng, ink);
    return width;
}

// A line of words from left to right, up to the given width (all in pixels).
void drawTextLine(Canvas &canvas, Random &rng, int left, int width, int baseline, int xHeight,
                  const QColor &ink)
{
    const int space = int(std::lround(xHeight * 0.8));
    int x = left;
    for (;;) {
        const Word next{rng.next(), rng.range(1, 9)};
        const int w = word(nullptr, x, baseline, xHeight, next, ink);
        if (x + w > left + width)
            break;
        word(&canvas, x, baseline, xHeight, next, ink);
        x += w + space;
    }
}

// Seven-segment digits, so the page number needs no font.
void drawDigit(Canvas &canvas, double x, double y, double w, double h, double t, int digit,
               const QColor &ink)
{
    static const int segments[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};
    const int s = segments[digit % 10];
    const double mid = y + h / 2 - t / 2;
    if (s & 0x01)
        canvas.box(x, y, w, t, ink); // top
    if (s & 0x02)
        canvas.box(x + w - t, y, t, h / 2, ink); // upper right
    if (s & 0x04)
        canvas.box(x + w - t, y + h / 2, t, h / 2, ink); // lower right
    if (s & 0x08)
        canvas.box(x, y + h - t, w, t, ink); // bottom
    if (s & 0x10)
        canvas.box(x, y + h / 2, t, h / 2, ink); // lower left
    if (s & 0x20)
        canvas.box(x, y, t, h / 2, ink); // upper left
    if (s & 0x40)
        canvas.box(x, mid, w, t, ink); // middle
}

void drawPageNumber(Canvas &canvas, int number, double centreX, double top, const QColor &ink)
{
    const QString digits = QString::number(qMax(0, number));
    const double h = 7.0, w = 4.0, t = 0.9, gap = 1.6;
    const double total = digits.size() * w + (digits.size() - 1) * gap;
    double x = centreX - total / 2;
    // "- n -" like a printed folio.
    canvas.box(x - 7.0, top + h / 2 - t / 2, 3.0, t, ink);
    canvas.box(x + total + 4.0, top + h / 2 - t / 2, 3.0, t, ink);
    for (const QChar c : digits) {
        drawDigit(canvas, x, top, w, h, t, c.digitValue(), ink);
        x += w + gap;
    }
}

// One side of a sheet, in page coordinates (mm); the colour parts only on colour scans.
void drawSide(Canvas &canvas, quint32 seed, int number, bool colour)
{
    Random rng(seed);
    const double px = canvas.px();
    const double pageWidth = canvas.widthMm();
    const double margin = 25.0;
    const QColor text(38, 38, 44);
    const QColor heading(24, 46, 96);
    const int textWidth = int(std::lround((pageWidth - 2 * margin) * px));
    const int left = int(std::lround(margin * px));

    // Letterhead: logo, a short line of small marks and a rule.
    canvas.disc(margin + 6.0, 17.0, 6.0, QColor(32, 92, 170));
    canvas.box(margin + 3.0, 14.0, 6.0, 6.0, QColor(236, 140, 32));
    {
        Random head(seed ^ 0x5bd1e995u);
        drawTextLine(canvas, head, left + int(16.0 * px), int(60.0 * px),
                     int(std::lround(16.0 * px)), qMax(2, int(std::lround(1.6 * px))), heading);
    }
    canvas.box(margin, 26.0, pageWidth - 2 * margin, 0.6, heading);

    // Title, centred.
    {
        const int xHeight = qMax(3, int(std::lround(5.0 * px)));
        QVector<Word> words;
        const int count = rng.range(2, 4);
        int width = 0;
        const int space = int(std::lround(xHeight * 0.7));
        for (int i = 0; i < count; ++i) {
            words.append(Word{rng.next(), rng.range(3, 8)});
            width += word(nullptr, 0, 0, xHeight, words.last(), heading) + (i ? space : 0);
        }
        int x = int(std::lround(pageWidth * px / 2)) - width / 2;
        const int baseline = int(std::lround(42.0 * px));
        for (const Word &w : words)
            x += word(&canvas, x, baseline, xHeight, w, heading) + space;
    }

    // Body text in paragraphs: first line indented, last line ragged.
    const double pitch = 6.0;
    const int xHeight = qMax(2, int(std::lround(2.1 * px)));
    double y = 60.0;
    const double bodyEnd = 222.0;
    const int highlightParagraph = rng.range(0, 3);
    int paragraph = 0;
    while (y < bodyEnd) {
        const int lines = rng.range(3, 7);
        for (int line = 0; line < lines && y < bodyEnd; ++line) {
            const int baseline = int(std::lround(y * px));
            const bool first = line == 0;
            const bool last = line == lines - 1;
            const int indent = first ? int(std::lround(8.0 * px)) : 0;
            const int width = last ? int(textWidth * (0.3 + 0.5 * rng.unit())) : textWidth;
            if (colour && paragraph == highlightParagraph && line == 1)
                canvas.box(margin - 1.0, y - 3.6, pageWidth - 2 * margin + 2.0, 4.8,
                           QColor(252, 236, 110));
            drawTextLine(canvas, rng, left + indent, width - indent, baseline, xHeight, text);
            y += pitch;
        }
        y += pitch * 0.8;
        ++paragraph;
    }

    // Test strips near the foot: colour patches on colour scans, and a 16-step grey ramp.
    if (colour) {
        static const QRgb patches[] = {qRgb(200, 30, 40),  qRgb(40, 160, 60),  qRgb(30, 70, 190),
                                       qRgb(20, 170, 210), qRgb(200, 40, 160), qRgb(245, 215, 30),
                                       qRgb(240, 130, 20), qRgb(110, 50, 150)};
        const double w = (pageWidth - 2 * margin) / 8;
        for (int i = 0; i < 8; ++i)
            canvas.box(margin + i * w, 232.0, w - 1.5, 12.0, QColor(patches[i]));
    }
    {
        const double w = (pageWidth - 2 * margin) / 16;
        for (int i = 0; i < 16; ++i) {
            const int v = int(std::lround(i * 255.0 / 15.0));
            canvas.box(margin + i * w, 250.0, w, 10.0, QColor(v, v, v));
        }
        canvas.box(margin, 249.6, pageWidth - 2 * margin, 0.4, text);
        canvas.box(margin, 260.0, pageWidth - 2 * margin, 0.4, text);
    }

    // A stamp on colour scans, then the folio.
    if (colour)
        canvas.ring(pageWidth - margin - 14.0, 205.0, 12.0, 1.2, QColor(200, 40, 40));
    canvas.box(margin, 274.0, pageWidth - 2 * margin, 0.3, text);
    if (number > 0)
        drawPageNumber(canvas, number, pageWidth / 2, 278.0, text);
}

} // namespace

PageRenderer::Page PageRenderer::sheetSide(int sheet, int side, int dpi, bool colour, int number)
{
    Page page;
    page.dpi = dpi;
    page.colour = colour;
    page.number = number;
    page.seed = 1000u + quint32(sheet) * 2u + quint32(side);
    page.backSeed = 1000u + quint32(sheet) * 2u + quint32(1 - side);
    return page;
}

QSize PageRenderer::pageSize(int dpi)
{
    return QSize(int(std::lround(210.0 / 25.4 * dpi)), int(std::lround(297.0 / 25.4 * dpi)));
}

QImage PageRenderer::render(const Page &page)
{
    const QSize size = pageSize(page.dpi);
    QImage image(size, QImage::Format_RGB32);
    image.fill(kPaper);
    const double pxPerMm = page.dpi / 25.4;
    {
        QPainter painter(&image);
        // The other side first, mirrored and faint, as light through thin paper shows it.
        // Its folio is left out so that it does not blur the page number.
        Canvas back(painter, size, pxPerMm, true, 0.06);
        drawSide(back, page.backSeed, 0, page.colour);
        Canvas front(painter, size, pxPerMm, false, 1.0);
        drawSide(front, page.seed, page.number, page.colour);
        // A soft shadow where the sheet's edge met the scanner lid.
        for (int i = 0; i < 4; ++i) {
            const QColor shade = front.ink(QColor(200 + i * 12, 200 + i * 12, 198 + i * 12));
            painter.fillRect(QRect(size.width() - 1 - i, 0, 1, size.height()), shade);
            painter.fillRect(QRect(0, size.height() - 1 - i, size.width(), 1), shade);
        }
    }
    const int dotsPerMeter = int(std::lround(page.dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    if (page.colour)
        return image;
    QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    grey.setDotsPerMeterX(dotsPerMeter);
    grey.setDotsPerMeterY(dotsPerMeter);
    return grey;
}
