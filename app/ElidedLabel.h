#pragma once

#include <QLabel>

// A one-line label that, when its text is wider than the label, leaves out the middle (a long
// folder name) rather than the end, so both what happened and its last remarks stay in view.
// text() and the tool tip keep the whole text.
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
