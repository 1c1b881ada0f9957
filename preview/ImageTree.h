#pragma once

#include <QWidget>

class QAction;
class QListWidget;
class QListWidgetItem;
class QMimeData;
class QVBoxLayout;
struct ImageObject;

// The thumbnail strip of the preview window: one entry per page of the document, in the order
// the window gives. Clicking an entry, or moving to it with the arrow or page keys, chooses that
// row (RowChosen). An entry dragged elsewhere in the list asks for the page to be moved there
// (PageDropped); the window decides and lays the list out again. A blank page the run skipped
// is shown dimmed under the caption "Skipped blank page". A right click chooses the entry under
// the mouse and opens the menu of the actions given to setContextActions().
class ImageTree : public QWidget
{
    Q_OBJECT

public:
    explicit ImageTree(QWidget *parent = nullptr);

    // Appends an entry for `page` (not null).
    void addImage(const ImageObject *page);
    // Rebuilds the entry of row `row` from `page` as it now is (turned, skipped or put back).
    void updateImage(int row, const ImageObject *page);
    // One entry per page, in this order, instead of the entries there were.
    void setPages(const QList<const ImageObject *> &pages);
    void setContextActions(const QList<QAction *> &actions);
    void clearImage();
    int count() const;
    // Marks row `row` as the current one (the page the window shows) without calling back.
    void setCurrentRow(int row);

public slots:
    void slotItemClickedSlot(QListWidgetItem *item);
    // The keys moved the current row: that page is shown.
    void slotCurrentRowChanged(int row);

signals:
    // The operator chose the page in row `row`.
    void RowChosen(int row);
    // The page in row `from` was dragged so that it would take row `to`.
    void PageDropped(int from, int to);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *createEntry(const ImageObject *page);
    // The row of the entry an internal drag carries, or -1 when `data` is no drag of this list.
    int draggedRow(const QMimeData *data) const;
    QString dragMark() const;

    QVBoxLayout *m_layout;
    QListWidget *m_listWidget;
};
