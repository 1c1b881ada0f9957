#pragma once

// The blank-page test set: A4 sheets as a scanner delivers them (JPEG), half of them only paper
// with what scanning adds to it, half nearly blank with one faint mark a reader must not lose.
// Every sheet has paper of grey 230 to 245 (yellowish in colour), a gradient of the light
// across it, sensor noise and the artefacts of its JPEG. Deterministic for a sheet's seed.
//
// Blank: show-through of the back's mirrored text at 3 to 8 % contrast, punched holes, a dark
// edge shadow, a few dust specks, or all of these (noise alone is on every sheet). Nearly blank:
// one line of text, a page number alone at the foot (single round digits among them), or a
// signature, at grey 140 to 185 (one of the two sheets of each kind at 185, the faintest). Each at
// 200 and 300 dpi, in grey and in colour.

#include "tests/support/DocumentPages.h"

#include <QBuffer>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace BlankPageSet {

enum Kind
{
    ShowThrough,
    Holes,
    EdgeShadow,
    Dust,
    Everything, // the blank kinds end here
    TextLine,
    PageNumber,
    Signature
};
const char *const KindNames[] = {"show-through", "punched holes", "edge shadow", "dust specks",
                                 "all of these", "one text line", "page number", "signature"};

struct Sheet
{
    Kind kind;
    int dpi;
    bool colour;
    int variant; // 0 or 1; nearly blank: variant 0 is the faintest ink (185)
    quint32 seed;
    bool blank() const { return kind <= Everything; }
    QString label() const
    {
        return QStringLiteral("%1 %2 %3 dpi %4")
                   .arg(blank() ? "blank:" : "nearly blank:", KindNames[kind])
                   .arg(dpi)
                   .arg(colour ? "colour" : "grey") +
               (variant ? QStringLiteral(" b") : QString());
    }
};

// 20 blank sheets (5 kinds) and 24 nearly blank ones (3 kinds, two sheets each).
inline QList<Sheet> sheets()
{
    QList<Sheet> all;
    quint32 seed = 100;
    for (int kind = ShowThrough; kind <= Signature; ++kind)
        for (int variant = 0; variant < (kind <= Everything ? 1 : 2); ++variant)
            for (int dpi : {200, 300})
                for (bool colour : {false, true})
                    all.append({Kind(kind), dpi, colour, variant, seed++});
    return all;
}

inline double uniform(std::mt19937 &rng, double from, double to)
{
    return std::uniform_real_distribution<double>(from, to)(rng);
}

// Ink of grey level `grey`: neutral on a grey sheet, a blue pen (the same luminance) in colour.
inline QColor ink(int grey, bool colour)
{
    if (!colour)
        return QColor(grey, grey, grey);
    const int r = std::clamp(grey - 30, 0, 255), b = std::clamp(grey + 40, 0, 255);
    const int g = std::clamp((32 * grey - 11 * r - 5 * b) / 16, 0, 255); // qGray() = grey
    return QColor(r, g, b);
}

// The back's text, mirrored, blurred by the paper, darkening the front by up to `contrast`.
inline void showThrough(QImage *image, int dpi, double contrast, std::mt19937 &rng)
{
    QImage back(image->size(), QImage::Format_Grayscale8);
    back.fill(255);
    {
        QPainter painter(&back);
        painter.setPen(Qt::black);
        DocumentPages::drawText(painter, back.size(), dpi, 28, false, uniform(rng, -1, 1), rng);
    }
    back = back.mirrored(true, false);
    cv::Mat view(back.height(), back.width(), CV_8UC1, back.bits(), size_t(back.bytesPerLine()));
    cv::GaussianBlur(view, view, cv::Size(), dpi / 200.0);
    for (int y = 0; y < image->height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image->scanLine(y));
        const uchar *shade = back.constScanLine(y);
        for (int x = 0; x < image->width(); ++x) {
            if (shade[x] == 255)
                continue;
            const double keep = 1.0 - contrast * (255 - shade[x]) / 255.0;
            const QRgb c = line[x];
            line[x] = qRgb(int(qRed(c) * keep), int(qGreen(c) * keep), int(qBlue(c) * keep));
        }
    }
}

inline void holes(QPainter &painter, int dpi, std::mt19937 &rng)
{
    // 6 mm holes 12 mm from the left edge, 80 mm apart (or four, 80 mm apart), showing the
    // scanner's dark lid, with the paper's shadow on their rim.
    const int count = rng() % 2 ? 4 : 2;
    const double lid = uniform(rng, 20, 70);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < count; ++i) {
        const double y = count == 2 ? 148.5 + (i ? 40 : -40) : 28.5 + 80 * i;
        const QPointF centre(DocumentPages::px(12, dpi), DocumentPages::px(y, dpi));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(150, 150, 150));
        painter.drawEllipse(centre, DocumentPages::px(3.3, dpi), DocumentPages::px(3.3, dpi));
        painter.setBrush(QColor(lid, lid, lid));
        painter.drawEllipse(centre, DocumentPages::px(3, dpi), DocumentPages::px(3, dpi));
    }
}

inline void edgeShadow(QPainter &painter, const QSize &size, int dpi, std::mt19937 &rng)
{
    // The lid beyond the paper, dark for 1 to 4 mm, fading into the paper over 3 to 6 mm,
    // along one or two edges.
    const double dark = DocumentPages::px(uniform(rng, 1, 4), dpi);
    const double fade = DocumentPages::px(uniform(rng, 3, 6), dpi);
    const int lid = int(uniform(rng, 15, 60));
    const int edges = 1 + int(rng() % 2);
    const int first = int(rng() % 4);
    painter.setPen(Qt::NoPen);
    for (int e = 0; e < edges; ++e) {
        const int edge = (first + e) % 4; // top, right, bottom, left
        const bool across = edge == 0 || edge == 2;
        const double length = across ? size.width() : size.height();
        const double far = across ? size.height() : size.width();
        const bool low = edge == 0 || edge == 3;
        QLinearGradient shade;
        const double start = low ? 0 : far, end = low ? dark + fade : far - dark - fade;
        if (across)
            shade = QLinearGradient(0, start, 0, end);
        else
            shade = QLinearGradient(start, 0, end, 0);
        shade.setColorAt(0, QColor(lid, lid, lid, 255));
        shade.setColorAt(dark / (dark + fade), QColor(lid, lid, lid, 255));
        shade.setColorAt(1, QColor(lid, lid, lid, 0));
        painter.setBrush(shade);
        const QRectF band = across ? QRectF(0, std::min(start, end), length, dark + fade)
                                   : QRectF(std::min(start, end), 0, dark + fade, length);
        painter.drawRect(band);
    }
}

inline void dust(QPainter &painter, const QSize &size, int dpi, std::mt19937 &rng)
{
    painter.setPen(Qt::NoPen);
    painter.setRenderHint(QPainter::Antialiasing);
    const int count = 3 + int(rng() % 4);
    for (int i = 0; i < count; ++i) {
        const int grey = int(uniform(rng, 30, 120));
        painter.setBrush(QColor(grey, grey, grey));
        const double r = DocumentPages::px(uniform(rng, 0.1, 0.3), dpi) + 0.5;
        painter.drawEllipse(QPointF(uniform(rng, 0, size.width()), uniform(rng, 0, size.height())),
                            r, r * uniform(rng, 0.7, 1.0));
    }
}

inline void textLine(QPainter &painter, int dpi, const QColor &colour, std::mt19937 &rng)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(DocumentPages::px(uniform(rng, 3.5, 4.2), dpi)); // 10 to 12 pt
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(DocumentPages::px(25, dpi), DocumentPages::px(uniform(rng, 40, 250), dpi),
                     DocumentPages::textLine(rng));
}

inline void pageNumber(QPainter &painter, const QSize &size, int dpi, const QColor &colour,
                       quint32 seed, std::mt19937 &rng)
{
    static const char *const numbers[] = {"8", "1", "0", "- 12 -", "6", "第 3 页", "9", "Page 4"};
    const QString text = QString::fromUtf8(numbers[seed % 8]); // each once in the set
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(DocumentPages::px(3.2, dpi)); // 9 pt
    painter.setFont(font);
    painter.setPen(colour);
    const int width = painter.fontMetrics().horizontalAdvance(text);
    const bool centre = rng() % 2;
    const int x = centre ? (size.width() - width) / 2 : size.width() - DocumentPages::px(20, dpi);
    painter.drawText(x, size.height() - DocumentPages::px(uniform(rng, 10, 15), dpi), text);
}

inline void signature(QPainter &painter, int dpi, const QColor &colour, std::mt19937 &rng)
{
    // A cursive scribble: loops along a slanted baseline, then a flourish under it.
    const auto mm = [dpi](double v) { return v / 25.4 * dpi; };
    const double x0 = uniform(rng, 100, 130), y0 = uniform(rng, 200, 250);
    const double width = uniform(rng, 40, 60);
    QPainterPath path(QPointF(mm(x0), mm(y0)));
    const int loops = 5 + int(rng() % 4);
    for (int i = 0; i < loops; ++i) {
        const double x = x0 + width * (i + 1) / loops;
        const double h = uniform(rng, 4, 10);
        path.cubicTo(QPointF(mm(x - width / loops * 0.2), mm(y0 - h)),
                     QPointF(mm(x + width / loops * 0.3), mm(y0 - h * 0.6)),
                     QPointF(mm(x), mm(y0 + uniform(rng, -1, 2))));
    }
    path.cubicTo(QPointF(mm(x0 + width * 1.1), mm(y0 + 6)),
                 QPointF(mm(x0 + width * 0.3), mm(y0 + 4)), QPointF(mm(x0 - 3), mm(y0 + 5)));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(
        QPen(colour, mm(uniform(rng, 0.35, 0.6)), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

// The light falling off across the sheet (up to 8 levels), and sensor noise: normal grain from
// a table and now and then a dark pixel (a fast generator: pages are many megapixels).
inline void lightAndNoise(QImage *image, std::mt19937 &rng)
{
    const double angle = uniform(rng, 0, 2 * M_PI), fall = uniform(rng, 0.015, 0.035);
    const double dx = std::cos(angle) / image->width(), dy = std::sin(angle) / image->height();
    std::normal_distribution<double> normal(0.0, uniform(rng, 2, 4));
    std::vector<int> grain(4096);
    for (int &g : grain)
        g = int(std::lround(normal(rng)));
    quint32 state = rng() | 1;
    const int width = image->width(), height = image->height();
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image->scanLine(y));
        for (int x = 0; x < width; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int light = int(65536 * (1.0 - fall * (0.5 + 0.5 * (x * dx + y * dy))));
            const int n = (state >> 12) == 0 ? -80 : grain[state & 4095];
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp((qRed(c) * light >> 16) + n, 0, 255),
                           std::clamp((qGreen(c) * light >> 16) + n, 0, 255),
                           std::clamp((qBlue(c) * light >> 16) + n, 0, 255));
        }
    }
}

inline QImage page(const Sheet &s)
{
    std::mt19937 rng(s.seed);
    const QSize size(DocumentPages::px(210, s.dpi), DocumentPages::px(297, s.dpi));
    const int paper = int(uniform(rng, 230, 245.99));
    QImage image(size, QImage::Format_RGB32);
    image.fill(s.colour ? qRgb(paper + 4, paper, paper - 14) : qRgb(paper, paper, paper));
    const int inkGrey = s.variant == 0 ? 185 : int(uniform(rng, 140, 184.99));
    const QColor pen = ink(inkGrey, s.colour);
    const bool extras = s.kind == Everything || (!s.blank() && s.variant == 1);
    if (s.kind == ShowThrough || extras)
        showThrough(&image, s.dpi, uniform(rng, 0.03, 0.08), rng);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        if (s.kind == Holes || extras)
            holes(painter, s.dpi, rng);
        if (s.kind == EdgeShadow || s.kind == Everything)
            edgeShadow(painter, size, s.dpi, rng);
        if (s.kind == Dust || extras)
            dust(painter, size, s.dpi, rng);
        if (s.kind == TextLine)
            textLine(painter, s.dpi, pen, rng);
        else if (s.kind == PageNumber)
            pageNumber(painter, size, s.dpi, pen, s.seed, rng);
        else if (s.kind == Signature)
            signature(painter, s.dpi, pen, rng);
    }
    lightAndNoise(&image, rng);
    if (!s.colour)
        image = image.convertToFormat(QImage::Format_Grayscale8);
    image.setDotsPerMeterX(int(std::lround(s.dpi / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(s.dpi / 0.0254)));
    // As the scanner sends it.
    QBuffer jpeg;
    jpeg.open(QIODevice::WriteOnly);
    image.save(&jpeg, "JPG", int(uniform(rng, 60, 90)));
    QImage scanned = QImage::fromData(jpeg.data(), "JPG");
    scanned.setDotsPerMeterX(image.dotsPerMeterX());
    scanned.setDotsPerMeterY(image.dotsPerMeterY());
    return scanned;
}

} // namespace BlankPageSet
