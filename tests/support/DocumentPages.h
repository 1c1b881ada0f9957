#pragma once

// Generated scanned pages for the document-cleaning tests and benchmarks: A4 pages of Chinese
// and English text lines turned by a known angle, blank pages with what a scanner adds to
// paper (noise and specks, show-through of the back side, a dark scanner edge, punched holes),
// and nearly blank pages with one short line of text. Deterministic for a given seed.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <random>

namespace DocumentPages {

struct Options
{
    int dpi = 150;
    double skewDegrees = 0.0;  // clockwise on the page as seen, like the scanner feeds it askew
    int textLines = 28;        // 0: no text on the front
    bool oneShortLine = false; // a single short line (a page number, a signature) instead
    bool noise = false;        // grain of the paper and the sensor, dark specks, a few dust grains
    bool showThrough = false;  // the back side's text, mirrored and faint
    bool scannerEdge = false;  // the dark scanner lid showing beyond the paper's top and left
    bool holes = false;        // two punched holes in the left margin
    bool colour = false;       // RGB32 (slightly yellowish paper); Grayscale8 otherwise
    bool twoLevel = false;     // thresholded at 128 into an Indexed8 grey page, as the console's
                               // black-and-white mode leaves it
};

inline int px(double mm, int dpi)
{
    return int(std::lround(mm / 25.4 * dpi));
}

inline QString textLine(std::mt19937 &rng)
{
    static const QStringList words = {
        QStringLiteral("合同"),     QStringLiteral("扫描"),    QStringLiteral("文件"),
        QStringLiteral("甲方"),     QStringLiteral("乙方"),    QStringLiteral("付款"),
        QStringLiteral("日期"),     QStringLiteral("签字"),    QStringLiteral("contract"),
        QStringLiteral("invoice"),  QStringLiteral("payment"), QStringLiteral("the"),
        QStringLiteral("delivery"), QStringLiteral("2026"),    QStringLiteral("条款"),
        QStringLiteral("责任"),     QStringLiteral("scanner"), QStringLiteral("of")};
    QString line;
    while (line.size() < 34)
        line += words.at(int(rng() % unsigned(words.size()))) + QLatin1Char(' ');
    return line.trimmed();
}

// Draws `lines` text lines (or one short line) in the body of the page, turned by `degrees`
// about the page centre; `drawn` (when given) receives the lines' texts.
inline void drawText(QPainter &painter, const QSize &size, int dpi, int lines, bool oneShort,
                     double degrees, std::mt19937 &rng, QStringList *drawn = nullptr)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(px(4.2, dpi)); // about 12 pt
    painter.setFont(font);
    painter.translate(size.width() / 2.0, size.height() / 2.0);
    painter.rotate(degrees);
    painter.translate(-size.width() / 2.0, -size.height() / 2.0);
    const int left = px(25, dpi);
    if (oneShort) {
        painter.drawText(left + px(60, dpi), px(150 + int(rng() % 100), dpi),
                         QStringLiteral("第 3 页 Page 3"));
        return;
    }
    for (int i = 0; i < lines; ++i) {
        const QString line = textLine(rng);
        painter.drawText(left, px(30 + 8.5 * i, dpi), line);
        if (drawn)
            drawn->append(line);
    }
}

// The page; `lines` (when given) receives the texts of the front's lines, top to bottom.
inline QImage page(const Options &o, quint32 seed, QStringList *lines = nullptr)
{
    std::mt19937 rng(seed);
    const QSize size(px(210, o.dpi), px(297, o.dpi));
    QImage image(size, QImage::Format_RGB32);
    const int paper = 238;
    image.fill(qRgb(paper, paper, paper - (o.colour ? 10 : 0)));
    image.setDotsPerMeterX(int(std::lround(o.dpi / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(o.dpi / 0.0254)));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        if (o.showThrough) {
            QImage back(size, QImage::Format_RGB32);
            back.fill(Qt::white);
            QPainter backPainter(&back);
            backPainter.setPen(QColor(40, 40, 40));
            drawText(backPainter, size, o.dpi, 28, false, -o.skewDegrees, rng);
            backPainter.end();
            painter.setOpacity(0.08); // seen through the paper: faint (7 %) and mirrored
            painter.drawImage(0, 0, back.mirrored(true, false));
            painter.setOpacity(1.0);
        }
        painter.save();
        painter.setPen(QColor(25, 25, 30));
        if (o.textLines > 0 || o.oneShortLine)
            drawText(painter, size, o.dpi, o.textLines, o.oneShortLine, o.skewDegrees, rng, lines);
        painter.restore();
        painter.setPen(Qt::NoPen);
        if (o.scannerEdge) {
            painter.setBrush(QColor(20, 20, 20));
            painter.drawRect(0, 0, size.width(), px(1.5, o.dpi));
            painter.drawRect(0, 0, px(2.5, o.dpi), size.height());
        }
        if (o.holes) { // 6 mm holes 12 mm from the edge, 80 mm apart, showing the dark lid
            painter.setBrush(QColor(30, 30, 30));
            painter.setRenderHint(QPainter::Antialiasing);
            for (double y : {148.5 - 40, 148.5 + 40})
                painter.drawEllipse(QPointF(px(12, o.dpi), px(y, o.dpi)), px(3, o.dpi),
                                    px(3, o.dpi));
        }
    }
    if (o.noise) {
        QPainter dust(&image);
        dust.setPen(Qt::NoPen);
        dust.setBrush(QColor(50, 50, 50));
        for (int i = 0; i < 6; ++i) // grains of 0.3 to 0.6 mm anywhere on the page
            dust.drawEllipse(
                QPointF(rng() % unsigned(size.width()), rng() % unsigned(size.height())),
                px(0.15 + 0.05 * (i % 4), o.dpi), px(0.15 + 0.05 * (i % 4), o.dpi));
        dust.end();
        std::normal_distribution<double> grain(0.0, 5.0);
        std::uniform_int_distribution<int> speck(0, 20000);
        for (int y = 0; y < size.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < size.width(); ++x) {
                const int d = speck(rng) == 0 ? -150 : int(std::lround(grain(rng)));
                const QRgb c = line[x];
                line[x] = qRgb(std::clamp(qRed(c) + d, 0, 255), std::clamp(qGreen(c) + d, 0, 255),
                               std::clamp(qBlue(c) + d, 0, 255));
            }
        }
    }
    if (o.colour)
        return image;
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    if (!o.twoLevel)
        return grey;
    QImage bw(grey.size(), QImage::Format_Indexed8);
    for (int i = 0; i < 256; ++i)
        bw.setColor(i, qRgb(i, i, i));
    bw.setDotsPerMeterX(grey.dotsPerMeterX());
    bw.setDotsPerMeterY(grey.dotsPerMeterY());
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x)
            bw.scanLine(y)[x] = grey.constScanLine(y)[x] < 128 ? 0 : 255;
    return bw;
}

} // namespace DocumentPages
