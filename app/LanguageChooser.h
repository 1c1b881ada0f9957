#pragma once

#include <QComboBox>
#include <QStringList>

class QStandardItemModel;

// "识别语言" of the parameter panel: the recognition languages installed on this machine by
// their names, several checked at once, in a drop-down list that stays open while the operator
// checks; the closed box shows the checked names. At least one language stays checked. Shown
// only while the format chosen recognises text (followFormat).
class LanguageChooser : public QComboBox
{
    Q_OBJECT

public:
    explicit LanguageChooser(QWidget *parent = nullptr);

    // The languages offered, by code (the installed ones unless set); the choice is kept where
    // it can be.
    void setInstalled(const QStringList &codes);
    // The checked codes in list order joined by '+' ("chi_sim+eng").
    QString languages() const;
    // Checks the codes of `value` that are offered; none of them checks the default.
    void setLanguages(const QString &value);
    // The checked names as the closed box shows them ("简体中文、英文").
    QString summary() const;

    // Whether a format (the settings' save type index) recognises text, so the chooser shows.
    static bool shownFor(int saveType);
    // Shows the chooser and `label` while `format` is shown and holds such a format.
    void followFormat(QComboBox *format, QWidget *label);

signals:
    void languagesChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void toggle(int row);
    void updateVisibility();

    QStandardItemModel *m_model;
    QComboBox *m_format = nullptr;
    QWidget *m_label = nullptr;
};
