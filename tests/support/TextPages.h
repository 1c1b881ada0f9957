#pragma once

// Scanned pages with known text, for reading it back from a searchable PDF, as a scanner gives
// them (RGB32, slightly grey paper, the resolution set).

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <QVector>

#include <algorithm>
#include <cmath>
#include <vector>

namespace TextPages {

// `lines` drawn on paper of `widthMm` x `heightMm` at `dpi`, `pitchMm` apart, in letters
// `sizeMm` high.
inline QImage page(const QStringList &lines, double widthMm, double heightMm, int dpi,
                   double sizeMm, double pitchMm)
{
    const auto px = [dpi](double mm) { return int(std::lround(mm / 25.4 * dpi)); };
    QImage image(px(widthMm), px(heightMm), QImage::Format_RGB32);
    image.fill(qRgb(240, 240, 236));
    image.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
    QPainter painter(&image);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(px(sizeMm));
    painter.setFont(font);
    painter.setPen(QColor(30, 30, 30));
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(px(10), px(25 + pitchMm * i), lines.at(i));
    return image;
}

// A 105 x 74 mm card (A7 across) with one line of Chinese above one line of English: it
// recognises in a fraction of a second.
inline QImage card(const QString &chinese, const QString &english, int dpi)
{
    return page({chinese, english}, 105, 74, dpi, 6, 25);
}

// An A4 page headed "第N页 PageN" (N = `number`) over `body` lines of a contract's Chinese and
// English: recognising it takes seconds.
inline QImage a4(int number, int dpi, int body = 24)
{
    QStringList lines{QStringLiteral("第%1页 Page%1").arg(number)};
    for (int i = 1; i <= body; ++i)
        lines << QStringLiteral("甲方乙方签订合同 contract payment %1").arg(i);
    return page(lines, 210, 297, dpi, 5, 10);
}

// Characters (code points) to change, insert or delete to turn `a` into `b`: how far the text
// read back is from the known one.
inline int editDistance(const QVector<uint> &a, const QVector<uint> &b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[size_t(j)] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int up = row[size_t(j)];
            row[size_t(j)] = std::min(
                {up + 1, row[size_t(j) - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[size_t(b.size())];
}

} // namespace TextPages
