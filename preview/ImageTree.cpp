#include "preview/ImageTree.h"

#include "pages/ImageManager.h"

#include <QAction>
#include <QCoreApplication>
#include <QDataStream>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// Every entry alike, also a turned one: a white box around it would read as a square page.
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

    // A page is moved by dragging its entry; where it lands is the window's to decide.
    m_listWidget->setDragDropMode(QAbstractItemView::InternalMove);
    m_listWidget->setDefaultDropAction(Qt::MoveAction);
    m_listWidget->viewport()->installEventFilter(this);

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

QWidget *ImageTree::createEntry(const ImageObject *page)
{
    auto *container = new QWidget(m_listWidget);

    auto *picture = new QLabel(container);
    picture->setFixedSize(ImageManager::ThumbnailSide, ImageManager::ThumbnailSide);
    picture->setAutoFillBackground(true);
    picture->setStyleSheet(QLatin1String(TransparentBox));
    // The store made the thumbnail when the page arrived: nothing here touches the page.
    if (page->skipped && !page->thumbnail.isNull())
        picture->setPixmap(dimmed(page->thumbnail));
    else if (!page->thumbnail.isNull())
        picture->setPixmap(QPixmap::fromImage(QImage(page->thumbnail))); // shares its pixels
    picture->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    picture->setObjectName(QStringLiteral("labelImage"));
    picture->setAttribute(Qt::WA_TranslucentBackground);

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

void ImageTree::addImage(const ImageObject *page)
{
    if (!page)
        return;
    auto *item = new QListWidgetItem(m_listWidget);
    item->setSizeHint(QSize(250, 250));
    item->setData(Qt::UserRole, dragMark());
    m_listWidget->setItemWidget(item, createEntry(page));
}

void ImageTree::updateImage(int row, const ImageObject *page)
{
    // setItemWidget deletes the entry widget it replaces.
    if (QListWidgetItem *item = m_listWidget->item(row); item && page)
        m_listWidget->setItemWidget(item, createEntry(page));
}

void ImageTree::setPages(const QList<const ImageObject *> &pages)
{
    const QSignalBlocker quiet(m_listWidget);
    m_listWidget->clear();
    for (const ImageObject *page : pages)
        addImage(page);
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
    if (row >= 0)
        emit RowChosen(row);
}

void ImageTree::slotItemClickedSlot(QListWidgetItem *item)
{
    Q_UNUSED(item)
    // The current row, not the clicked item: both agree after a click, and the row is what the
    // window follows.
    const int row = m_listWidget->currentRow();
    if (row >= 0)
        emit RowChosen(row);
}

int ImageTree::draggedRow(const QMimeData *data) const
{
    // The list's drag data holds each entry's row and roles, among them this list's mark: an
    // entry of another list or program is never taken for one of ours.
    const QStringList formats = m_listWidget->model()->mimeTypes();
    if (!data || formats.isEmpty() || !data->hasFormat(formats.first()))
        return -1;
    QByteArray bytes = data->data(formats.first());
    QDataStream stream(&bytes, QIODevice::ReadOnly);
    int row = -1, column = -1;
    QMap<int, QVariant> roles;
    stream >> row >> column >> roles;
    const bool ours = stream.status() == QDataStream::Ok && roles.value(Qt::UserRole) == dragMark();
    return ours && row >= 0 && row < m_listWidget->count() ? row : -1;
}

QString ImageTree::dragMark() const
{
    return QString::number(QCoreApplication::applicationPid()) + QLatin1Char(':') +
           QString::number(quintptr(this));
}

bool ImageTree::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched != m_listWidget->viewport() ||
        (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop))
        return QWidget::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    const int from = draggedRow(drop->mimeData());
    if (from < 0) {
        drop->ignore();
        return true;
    }
    if (type != QEvent::Drop) {
        // The list's own drag: the list draws where the entry would go.
        if (drop->source() == m_listWidget)
            return QWidget::eventFilter(watched, event);
        drop->setDropAction(Qt::MoveAction);
        drop->accept();
        return true;
    }
    // The entry goes before the entry under the mouse, or after it in that entry's lower
    // half, or last below every entry.
    const QModelIndex at = m_listWidget->indexAt(drop->pos());
    int before = m_listWidget->count();
    if (at.isValid())
        before = at.row() + (drop->pos().y() > m_listWidget->visualRect(at).center().y() ? 1 : 0);
    // Not moved by the list itself (which would lose the entries' widgets): a copy as far as
    // the drag knows, so the dragged entry is not removed either.
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    emit PageDropped(from, before > from ? before - 1 : before);
    return true;
}
