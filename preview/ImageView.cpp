#include "preview/ImageView.h"

#include "preview/PageSaveProgress.h"
#include "preview/PreviewWindow.h"
#include "settings/ParamSetting.h"
#include "settings/SaveFormat.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>

ImageView::ImageView(QWidget *parent)
    : QWidget(parent), m_scale(1.0f), m_offsetX(0.0f), m_offsetY(0.0f), m_minScale(0.2f),
      m_maxScale(5.0f), m_fitToView(true), m_moving(false), m_movePos(0, 0), m_shotState(ShotNone),
      m_shotStart(0, 0), m_shotEnd(0, 0)
{
    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(QColor(230, 230, 230)));
    setPalette(pal);
    setAutoFillBackground(true);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void ImageView::SetImage(const QImage &image)
{
    m_image = image;
    if (m_image.isNull()) {
        update();
        return;
    }
    const float w = static_cast<float>(m_image.width());
    const float h = static_cast<float>(m_image.height());
    // The shorter side may shrink to 50 view pixels, the longer grow to 20000; 100 % is always
    // allowed. An empty image divides by zero, which the clamps turn into 1.0 and 10.0.
    m_minScale = std::clamp(50.0f / std::min(w, h), 0.001f, 1.0f);
    m_maxScale = std::clamp(20000.0f / std::max(w, h), 1.0f, 10.0f);
    // A page is first seen whole; the operator zooms from there.
    m_fitToView = true;
    UpdateImagePos();
}

QSize ImageView::scaledSize() const
{
    if (m_image.isNull())
        return QSize();
    return QSize(static_cast<int>(m_image.width() * m_scale),
                 static_cast<int>(m_image.height() * m_scale));
}

QScrollArea *ImageView::scrollArea() const
{
    return parentWidget() ? qobject_cast<QScrollArea *>(parentWidget()->parentWidget()) : nullptr;
}

float ImageView::fitScale() const
{
    if (m_image.isNull())
        return 1.0f;
    // The viewport without scroll bars: a fitted page needs none.
    QScrollArea *area = scrollArea();
    const QSize room = area ? area->maximumViewportSize()
                            : (parentWidget() ? parentWidget()->size() : QSize(0, 0));
    const float fit = std::min(static_cast<float>(room.width()) / m_image.width(),
                               static_cast<float>(room.height()) / m_image.height());
    // Kept inside the zoom limits, where the layout (and every later zoom step) works.
    return std::clamp(std::min(fit, 1.0f), m_minScale, m_maxScale);
}

void ImageView::UpdateImagePos()
{
    // A fitted page follows the size of the window.
    if (m_fitToView)
        m_scale = fitScale();
    if (m_image.isNull() || m_scale < m_minScale || m_scale > m_maxScale)
        return;
    const QSize viewport = parentWidget() ? parentWidget()->size() : QSize(0, 0);
    const QSize scaled = scaledSize();

    int width = scaled.width();
    int height = scaled.height();
    if (scaled.width() < viewport.width()) {
        m_offsetX = (viewport.width() - scaled.width()) * 0.5f;
        width = viewport.width();
    } else {
        m_offsetX = 0.0f;
    }
    if (scaled.height() < viewport.height()) {
        m_offsetY = (viewport.height() - scaled.height()) * 0.5f;
        height = viewport.height();
    } else {
        m_offsetY = 0.0f;
    }
    resize(width, height);
    update();
    if (PreviewWindow::m_Instance)
        PreviewWindow::m_Instance->UpdateStatueScale(static_cast<int>(100.0f * m_scale));
}

QPoint ImageView::P2V(const QPoint &p) const
{
    const float x = p.x() * m_scale;
    const float y = p.y() * m_scale;
    return QPoint(static_cast<int>(std::lround(x)) + static_cast<int>(m_offsetX),
                  static_cast<int>(std::lround(y)) + static_cast<int>(m_offsetY));
}

QPoint ImageView::V2P(const QPoint &p) const
{
    const double x = (p.x() - static_cast<int>(m_offsetX)) / static_cast<double>(m_scale);
    const double y = (p.y() - static_cast<int>(m_offsetY)) / static_cast<double>(m_scale);
    return QPoint(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
}

bool ImageView::isCursorOutImage(const QPoint &p) const
{
    if (m_image.isNull())
        return false;
    // A point on the right or bottom edge is inside: it is the far corner of a region that ends
    // with the last pixel.
    return p.x() < 0 || p.y() < 0 || p.x() > m_image.width() || p.y() > m_image.height();
}

void ImageView::StartScreenshot()
{
    m_shotState = ShotArmed;
    m_shotStart = QPoint(0, 0);
    m_shotEnd = QPoint(0, 0);
    update();
    if (PreviewWindow::m_Instance)
        PreviewWindow::m_Instance->showCaptureHint(true);
}

void ImageView::EndScreenshot()
{
    if (m_shotState == ShotNone)
        return;
    m_shotState = ShotNone;
    m_shotStart = QPoint(0, 0);
    m_shotEnd = QPoint(0, 0);
    setCursor(Qt::ArrowCursor);
    update();
    if (PreviewWindow::m_Instance)
        PreviewWindow::m_Instance->showCaptureHint(false);
}

void ImageView::UpdateScreenshotRect()
{
    if (m_shotStart.x() == m_shotEnd.x() || m_shotStart.y() == m_shotEnd.y())
        return;
    const QPoint a = P2V(m_shotStart);
    const QPoint b = P2V(m_shotEnd);
    const QRect rect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                     QPoint(std::max(a.x(), b.x()) - 1, std::max(a.y(), b.y()) - 1));

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(255, 0, 0, 200));
    pen.setWidth(1);
    pen.setStyle(Qt::DashLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect);
}

void ImageView::reportWriteFailure(const QString &file)
{
    QMessageBox::warning(nullptr, tr("Warning"), tr("Could not write %1").arg(file));
}

void ImageView::SaveScreenshot()
{
    if (m_shotState != ShotDone || m_image.isNull())
        return;
    const QRect region(
        std::min(m_shotStart.x(), m_shotEnd.x()), std::min(m_shotStart.y(), m_shotEnd.y()),
        std::abs(m_shotEnd.x() - m_shotStart.x()), std::abs(m_shotEnd.y() - m_shotStart.y()));
    // Two corners on one line enclose no pixel: there is nothing to save, capture goes on.
    if (region.isEmpty())
        return;
    const QImage picture = m_image.copy(region);

    const ParamSetting &param = ParamSetting::instance;
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Save Screen Shoot"),
                                                        param.save_path, tr("ALL File(*.*)"));
    if (!chosen.isEmpty()) {
        QString target;
        const int format = captureFormat(chosen, param.save_type, &target);
        if (format < 0)
            reportWriteFailure(target);
        else // written on a worker thread, like an export; a failure is reported when it ends
            PageSaveProgress::start(window(), {{target, format, {PageSource::ofImage(picture)}}},
                                    true);
    }
    EndScreenshot();
}

int ImageView::captureFormat(const QString &chosen, int saveType, QString *target)
{
    *target = chosen;
    if (saveType == SaveFormat::Bmp || saveType == SaveFormat::MergedPdf) {
        // These formats let the typed suffix (as typed, case and all) choose the writer; an
        // ".ofd" name gets PDF content.
        const QString typed = QFileInfo(chosen).suffix();
        const QList<QPair<QString, int>> bySuffix = {
            {QStringLiteral("jpg"), SaveFormat::Jpg},   {QStringLiteral("png"), SaveFormat::Png},
            {QStringLiteral("tiff"), SaveFormat::Tiff}, {QStringLiteral("bmp"), SaveFormat::Bmp},
            {QStringLiteral("pdf"), SaveFormat::Pdf},   {QStringLiteral("ofd"), SaveFormat::Ofd}};
        for (const auto &entry : bySuffix) {
            if (typed == entry.first)
                return entry.second;
        }
        // Any other name still gets a file: the configured format with its suffix appended (a
        // capture is one image, so the merged PDF is a one-page PDF).
    } else if (!SaveFormat::isFormat(saveType)) {
        return -1;
    }
    // The other formats append their suffix whatever was typed.
    *target = chosen + SaveFormat::suffix(saveType);
    // A capture is one image: the merged formats write it as their one-page format.
    if (saveType == SaveFormat::MergedPdf)
        return SaveFormat::Pdf;
    return saveType == SaveFormat::MergedOfd ? int(SaveFormat::Ofd) : saveType;
}

void ImageView::ShowOriginSize()
{
    if (m_image.isNull())
        return;
    m_fitToView = false;
    m_scale = 1.0f;
    UpdateImagePos();
}

void ImageView::EnlargeView()
{
    const float candidate = static_cast<float>(m_scale * 1.2);
    if (candidate < m_minScale || candidate > m_maxScale)
        return;
    m_fitToView = false;
    m_scale = candidate;
    UpdateImagePos();
}

void ImageView::ShrinkView()
{
    const float candidate = static_cast<float>(m_scale * 0.8);
    if (candidate < m_minScale || candidate > m_maxScale)
        return;
    m_fitToView = false;
    m_scale = candidate;
    UpdateImagePos();
}

void ImageView::FitView()
{
    if (m_image.isNull())
        return;
    m_fitToView = true;
    UpdateImagePos();
}

void ImageView::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->pos();
    if (event->button() == Qt::MiddleButton) {
        m_movePos = pos;
        m_moving = true;
        setCursor(Qt::ClosedHandCursor);
    } else if (event->button() == Qt::LeftButton) {
        const QPoint p = V2P(pos);
        if (!isCursorOutImage(p)) {
            if (m_shotState == ShotArmed || m_shotState == ShotDone) {
                m_shotState = ShotSelecting;
                m_shotStart = p;
                m_shotEnd = p;
                m_shotPress = pos;
                update();
            } else if (m_shotState == ShotSelecting) {
                m_shotState = ShotDone;
                m_shotEnd = p;
                update();
            }
        }
    }
    event->accept();
}

void ImageView::mouseReleaseEvent(QMouseEvent *event)
{
    // A drag from the first corner ends at the second; a click leaves it to the next click.
    const QPoint p = V2P(event->pos());
    if (event->button() == Qt::LeftButton && m_shotState == ShotSelecting &&
        (event->pos() - m_shotPress).manhattanLength() >= QApplication::startDragDistance() &&
        !isCursorOutImage(p)) {
        m_shotState = ShotDone;
        m_shotEnd = p;
        update();
    }
    if (m_moving) {
        m_moving = false;
        m_movePos = QPoint(0, 0);
        setCursor(Qt::ArrowCursor);
    }
    event->accept();
}

void ImageView::scrollBy(const QPoint &pos)
{
    QScrollArea *area = scrollArea();
    if (!area)
        return;
    const QSize scaled = scaledSize();
    // A direction in which the image does not exceed the scroll area has nothing to scroll.
    const int spanY = scaled.height() - area->height();
    if (spanY > 0) {
        QScrollBar *bar = area->verticalScrollBar();
        const float step = static_cast<float>(m_movePos.y() - pos.y()) / spanY *
                           static_cast<float>(bar->maximum());
        bar->setValue(bar->value() + static_cast<int>(step));
    }
    const int spanX = scaled.width() - area->width();
    if (spanX > 0) {
        QScrollBar *bar = area->horizontalScrollBar();
        const float step = static_cast<float>(m_movePos.x() - pos.x()) / spanX *
                           static_cast<float>(bar->maximum());
        bar->setValue(bar->value() + static_cast<int>(step));
    }
}

void ImageView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->pos();
    if (m_moving && !m_image.isNull())
        scrollBy(pos);

    if (m_shotState != ShotNone) {
        const QPoint p = V2P(pos);
        const bool outside = isCursorOutImage(p);
        setCursor(outside ? Qt::ArrowCursor : Qt::CrossCursor);
        if (m_shotState == ShotSelecting) {
            m_shotEnd = outside ? m_shotStart : p;
            update();
        }
    }
    event->accept();
}

void ImageView::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() != Qt::ControlModifier) {
        QWidget::wheelEvent(event); // ignored: the scroll area scrolls
        return;
    }
    event->accept();
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    const float candidate = (static_cast<float>(delta) * 0.001f + 1.0f) * m_scale;
    if (candidate < m_minScale || candidate > m_maxScale)
        return;
    // The image point under the cursor, and where the cursor is in the viewport: after the zoom
    // the same point is scrolled back under the cursor.
    const QPointF at = event->position();
    const QPointF imagePoint((at.x() - static_cast<int>(m_offsetX)) / m_scale,
                             (at.y() - static_cast<int>(m_offsetY)) / m_scale);
    const QPointF viewportPos = at + QPointF(pos());
    m_fitToView = false;
    m_scale = (candidate > 0.95f && candidate < 1.05f) ? 1.0f : candidate;
    UpdateImagePos();
    scrollImagePointTo(imagePoint, viewportPos);
}

void ImageView::scrollImagePointTo(const QPointF &imagePoint, const QPointF &viewportPos)
{
    QScrollArea *area = scrollArea();
    if (!area)
        return;
    // The view sits at minus the scroll values in the viewport; the bars clamp to their range.
    const QPointF inView(imagePoint.x() * m_scale + static_cast<int>(m_offsetX),
                         imagePoint.y() * m_scale + static_cast<int>(m_offsetY));
    area->horizontalScrollBar()->setValue(qRound(inView.x() - viewportPos.x()));
    area->verticalScrollBar()->setValue(qRound(inView.y() - viewportPos.y()));
}

void ImageView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        SaveScreenshot();
        break;
    case Qt::Key_Escape:
        EndScreenshot();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ImageView::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    if (m_image.isNull())
        return;
    {
        const QSize scaled = scaledSize();
        QPainter painter(this);
        painter.drawImage(
            QRect(QPoint(static_cast<int>(m_offsetX), static_cast<int>(m_offsetY)), scaled),
            m_image);
    }
    // The rectangle opens its own painter, so the image painter has ended by now.
    if (m_shotState != ShotNone)
        UpdateScreenshotRect();
}
