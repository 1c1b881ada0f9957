#include "preview/ImageTree.h"

#include "pages/ImageManager.h"
#include "preview/PreviewWindow.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const char TransparentBox[] = "background-color: transparent;color: rgb(255,255,255);";

// A skipped page's thumbnail: faded and greyed, so it reads as a page that is not there.
QPixmap dimmed(const QImage &thumbnail)
{
    QImage faded(thumbnail.size(), QImage::Format_ARGB32_Premultiplied);
    faded.fill(QColor(150, 150, 150));
    QPainter painter(&faded);
    painter.setOpacity(0.4);
    painter.drawImage(0, 0, thumbnail);
    painter.end();
    return QPixmap::fromImage(faded);
}

} // namespace

ImageTree::ImageTree(QWidget *parent) : QWidget(parent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ImageTree"));
    resize(340, 762);

    m_layout = new QVBoxLayout(this);
    m_layout->setObjectName(QStringLiteral("verticalLayout"));
    m_layout->setSpacing(1);
    m_layout->setContentsMargins(1, 1, 1, 1);

    m_listWidget = new QListWidget(this);
    m_listWidget->setObjectName(QStringLiteral("ImageListWidget"));
    m_layout->addWidget(m_listWidget);
    // Wide enough for a 250-pixel entry beside the vertical scroll bar, so the dock never needs
    // a horizontal one.
    m_listWidget->setMinimumWidth(250 +
                                  m_listWidget->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                                  2 * m_listWidget->frameWidth() + 4);

    setWindowTitle(tr("ImageTree"));
    QMetaObject::connectSlotsByName(this);
    connect(m_listWidget, &QListWidget::itemClicked, this, &ImageTree::slotItemClickedSlot);
    connect(m_listWidget, &QListWidget::currentRowChanged, this, &ImageTree::slotCurrentRowChanged);

    m_listWidget->setStyleSheet(QStringLiteral(
        "QListWidget{border:1px solid gray; color:black; }"
        "QListWidget::Item:hover{background:rgb(187, 198, 241); }"
        "QListWidget::item:selected{background:rgb(93, 107, 153); }"
        "QListWidget::item:selected:!active{border-width:0px; background:rgb(93, 107, 153); }"));
}

QWidget *ImageTree::createEntry(const ImageObject *page, const QString &pictureStyle)
{
    auto *container = new QWidget(m_listWidget);

    auto *picture = new QLabel(container);
    picture->setFixedSize(ImageManager::ThumbnailSide, ImageManager::ThumbnailSide);
    picture->setAutoFillBackground(true);
    picture->setStyleSheet(pictureStyle);
    // The store made the thumbnail when the page arrived: nothing here touches the page.
    if (page->skipped && !page->thumbnail.isNull())
        picture->setPixmap(dimmed(page->thumbnail));
    else if (!page->thumbnail.isNull())
        picture->setPixmap(QPixmap::fromImage(QImage(page->thumbnail))); // shares its pixels
    picture->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    picture->setObjectName(QStringLiteral("labelImage"));
    picture->setAttribute(Qt::WA_TranslucentBackground);
    // Translucency also turns off background painting, which would hide the white box of a
    // rebuilt entry; the transparent entries look the same either way.
    picture->setAttribute(Qt::WA_NoSystemBackground, false);

    auto *name = new QLabel(page->name, container);
    name->setAlignment(Qt::AlignCenter);
    name->setObjectName(QStringLiteral("LableName"));
    name->setFixedSize(ImageManager::ThumbnailSide, 20);

    auto *layout = new QVBoxLayout;
    layout->addWidget(picture, 0, Qt::AlignCenter);
    layout->addWidget(name, 0, Qt::AlignCenter);
    container->setLayout(layout);
    container->setStyleSheet(QStringLiteral("background-color: transparent;"));
    if (page->skipped) {
        auto *caption = new QLabel(tr("Skipped blank page"), picture);
        caption->setObjectName(QStringLiteral("label_skipped"));
        caption->setAlignment(Qt::AlignCenter);
        caption->setStyleSheet(
            QStringLiteral("background-color: rgba(50, 50, 50, 190); color: white; padding: 4px;"));
        caption->setGeometry(0, (ImageManager::ThumbnailSide - 30) / 2, ImageManager::ThumbnailSide,
                             30);
        container->setToolTip(caption->text());
        name->setStyleSheet(QStringLiteral("color: gray;"));
    }
    return container;
}

void ImageTree::addImage(ImageObject *page)
{
    if (!page)
        return;
    QWidget *entry = createEntry(page, QLatin1String(TransparentBox));
    auto *item = new QListWidgetItem(m_listWidget);
    item->setSizeHint(QSize(250, 250));
    m_listWidget->setItemWidget(item, entry);
}

void ImageTree::updateImage(int index)
{
    // The entry of row `index`, which shows store page `index`, whichever row is current.
    QListWidgetItem *item = m_listWidget->item(index);
    const ImageObject *page = ImageManager::Instance()->at(index);
    if (!item || !page)
        return;
    // setItemWidget deletes the entry widget it replaces.
    QWidget *entry = createEntry(
        page, QStringLiteral("background-color: rgb(255,255,255);color: rgb(255,255,255);"));
    m_listWidget->setItemWidget(item, entry);
}

void ImageTree::refreshEntry(int index)
{
    QListWidgetItem *item = m_listWidget->item(index);
    const ImageObject *page = ImageManager::Instance()->at(index);
    if (!item || !page)
        return;
    // The same box as before: white once the page has been turned.
    const QLabel *picture = m_listWidget->itemWidget(item)->findChild<QLabel *>("labelImage");
    m_listWidget->setItemWidget(
        item, createEntry(page, picture ? picture->styleSheet() : QLatin1String(TransparentBox)));
}

void ImageTree::setContextActions(const QList<QAction *> &actions)
{
    // A right click makes the entry under the mouse current first (the list's own press), so
    // the actions see that page.
    m_listWidget->addActions(actions);
    m_listWidget->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void ImageTree::clearImage()
{
    m_listWidget->clear();
}

int ImageTree::count() const
{
    return m_listWidget->count();
}

void ImageTree::setCurrentRow(int row)
{
    const QSignalBlocker quiet(m_listWidget);
    m_listWidget->setCurrentRow(row);
}

void ImageTree::slotCurrentRowChanged(int row)
{
    if (row >= 0 && PreviewWindow::m_Instance)
        PreviewWindow::m_Instance->SetCurImage(row);
}

void ImageTree::slotItemClickedSlot(QListWidgetItem *item)
{
    Q_UNUSED(item)
    // The current row, not the clicked item: both agree after a click, and the row is what the
    // store index follows.
    const int row = m_listWidget->currentRow();
    if (row < 0 || !PreviewWindow::m_Instance)
        return;
    PreviewWindow::m_Instance->SetCurImage(row);
}
