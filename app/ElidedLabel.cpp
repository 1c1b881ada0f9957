#include "app/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent) {}

QString ElidedLabel::shownText() const
{
    const QFontMetrics metrics = fontMetrics();
    const int width = contentsRect().width();
    const QString text = this->text();
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const int from = text.indexOf(QLatin1Char('/'));
    if (from < 0)
        return metrics.elidedText(text, Qt::ElideRight, width);
    int to = text.indexOf(QChar(0xFF0C), from); // "，": the remarks after the name
    if (to < 0)
        to = text.size();
    const QString before = text.left(from), after = text.mid(to);
    const int room = width - metrics.horizontalAdvance(before) - metrics.horizontalAdvance(after);
    const QString name = metrics.elidedText(text.mid(from, to - from), Qt::ElideMiddle, room);
    if (!name.isEmpty() && metrics.horizontalAdvance(name) <= room)
        return before + name + after;
    return metrics.elidedText(before + QChar(0x2026) + after, Qt::ElideRight, width);
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(),
                          shownText(), foregroundRole());
}
