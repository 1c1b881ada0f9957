#pragma once

#include <QWidget>

class QAction;
class QListWidget;
class QListWidgetItem;
class QVBoxLayout;
struct ImageObject;

// The thumbnail strip of the preview window: one entry per store page, in store order, so that
// row i of the list is store index i. Clicking an entry, or moving to it with the arrow or page
// keys, makes that page the current one and shows it. A blank page the run skipped is shown
// dimmed under the caption "Skipped blank page". A right click chooses the entry under the
// mouse and opens the menu of the actions given to setContextActions().
class ImageTree : public QWidget
{
    Q_OBJECT

public:
    explicit ImageTree(QWidget *parent = nullptr);

    // Appends an entry for `page` (not null).
    void addImage(ImageObject *page);
    // Rebuilds the entry of row `index` from store page `index`, on a white box.
    void updateImage(int index);
    // Rebuilds the entry of row `index` as it is (a page skipped or put back).
    void refreshEntry(int index);
    void setContextActions(const QList<QAction *> &actions);
    void clearImage();
    int count() const;
    // Marks row `row` as the current one (the page the window shows) without calling back.
    void setCurrentRow(int row);

public slots:
    void slotItemClickedSlot(QListWidgetItem *item);
    // The keys moved the current row: that page is shown.
    void slotCurrentRowChanged(int row);

private:
    QWidget *createEntry(const ImageObject *page, const QString &pictureStyle);

    QVBoxLayout *m_layout;
    QListWidget *m_listWidget;
};
