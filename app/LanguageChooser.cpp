#include "app/LanguageChooser.h"

#include "settings/OcrLanguages.h"
#include "settings/SaveFormat.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QStylePainter>

LanguageChooser::LanguageChooser(QWidget *parent)
    : QComboBox(parent), m_model(new QStandardItemModel(this))
{
    setModel(m_model);
    // A click checks or unchecks a language and leaves the list open for the next one.
    view()->viewport()->installEventFilter(this);
    setInstalled(OcrLanguages::installed());
    setLanguages(OcrLanguages::defaultValue());
}

void LanguageChooser::setInstalled(const QStringList &codes)
{
    const QString chosen = languages();
    m_model->clear();
    for (const QString &code : codes) {
        auto *item = new QStandardItem(OcrLanguages::displayName(code));
        item->setData(code, Qt::UserRole);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        m_model->appendRow(item);
    }
    setLanguages(chosen);
}

QString LanguageChooser::languages() const
{
    QStringList codes;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->item(row)->checkState() == Qt::Checked)
            codes.append(m_model->item(row)->data(Qt::UserRole).toString());
    }
    return codes.join(QLatin1Char('+'));
}

void LanguageChooser::setLanguages(const QString &value)
{
    QStringList offered;
    for (int row = 0; row < m_model->rowCount(); ++row)
        offered.append(m_model->item(row)->data(Qt::UserRole).toString());
    const QStringList wanted =
        OcrLanguages::checked(value, offered).split(QLatin1Char('+'), Qt::SkipEmptyParts);
    for (int row = 0; row < m_model->rowCount(); ++row)
        m_model->item(row)->setCheckState(wanted.contains(offered.at(row)) ? Qt::Checked
                                                                           : Qt::Unchecked);
    setToolTip(summary());
    update();
    emit languagesChanged();
}

QString LanguageChooser::summary() const
{
    QStringList names;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->item(row)->checkState() == Qt::Checked)
            names.append(m_model->item(row)->text());
    }
    return names.join(QStringLiteral("、"));
}

bool LanguageChooser::shownFor(int saveType)
{
    return SaveFormat::isSearchable(saveType);
}

void LanguageChooser::followFormat(QComboBox *format, QWidget *label)
{
    m_format = format;
    m_label = label;
    connect(format, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &LanguageChooser::updateVisibility);
    // The format's row is hidden and shown by the interface modes: the chooser goes with it.
    format->installEventFilter(this);
    updateVisibility();
}

void LanguageChooser::updateVisibility()
{
    const bool shown = m_format && !m_format->isHidden() && shownFor(m_format->currentIndex());
    setVisible(shown);
    if (m_label)
        m_label->setVisible(shown);
}

void LanguageChooser::toggle(int row)
{
    QStandardItem *item = m_model->item(row);
    if (!item)
        return;
    const bool check = item->checkState() != Qt::Checked;
    if (!check && !languages().contains(QLatin1Char('+')))
        return; // the last language stays: recognition needs one
    item->setCheckState(check ? Qt::Checked : Qt::Unchecked);
    setToolTip(summary());
    update();
    emit languagesChanged();
}

bool LanguageChooser::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_format &&
        (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)) {
        updateVisibility();
    } else if (watched == view()->viewport()) {
        if (event->type() == QEvent::MouseButtonRelease) {
            const QModelIndex index = view()->indexAt(static_cast<QMouseEvent *>(event)->pos());
            if (index.isValid())
                toggle(index.row());
            return true; // the list stays open
        }
    }
    return QComboBox::eventFilter(watched, event);
}

void LanguageChooser::paintEvent(QPaintEvent *)
{
    // The closed box shows the checked names, not one item.
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText = summary();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
