#pragma once

#include <QLabel>

// A one-line label for the status line: when its text is wider than the label, it shortens the
// folder or file name in it (from its first '/' to the next "，") in the middle, and only when
// even that is not enough cuts the text's end: the counts, which come first, stay in view as long
// as they can, the remarks after them next. text() and the tool tip keep the whole text.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // The text as drawn at the label's present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
