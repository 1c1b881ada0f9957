#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QWidget>

class QScrollArea;

// Shows one page large inside the preview window's scroll area: a new page fitted to the
// viewport (and kept fitted while the window changes size, until the operator zooms), Ctrl + wheel
// zoom about the point under the cursor between limits derived from the image size, centring of
// an image smaller than the viewport, panning with the middle button, and a region capture (arm,
// drag from one corner to the other or click both, Return saves, Escape ends).
// The view holds its own copy of the page (QImage shares the pixels): the page store may let go
// of its copy meanwhile.
class ImageView : public QWidget
{
    // Q_OBJECT only for tr() in the ImageView context; the view has no signals or slots.
    Q_OBJECT

public:
    enum ShotState
    {
        ShotNone = 0,
        ShotArmed = 1,
        ShotSelecting = 2,
        ShotDone = 3
    };

    explicit ImageView(QWidget *parent = nullptr);

    // Shows `image` (a null image: none) fitted to the viewport.
    void SetImage(const QImage &image);
    void UpdateImagePos();

    QPoint P2V(const QPoint &p) const;
    QPoint V2P(const QPoint &p) const;
    bool isCursorOutImage(const QPoint &p) const;

    void StartScreenshot();
    void EndScreenshot();
    void UpdateScreenshotRect();
    void SaveScreenshot();

    void ShowOriginSize();
    void EnlargeView();
    void ShrinkView();
    // Fits the image to the viewport, and keeps it fitted until the next zoom.
    void FitView();

    // Read access for the window and for tests.
    const QImage &image() const { return m_image; }
    float scale() const { return m_scale; }
    float minScale() const { return m_minScale; }
    float maxScale() const { return m_maxScale; }
    int shotState() const { return m_shotState; }
    QPoint shotStart() const { return m_shotStart; }
    QPoint shotEnd() const { return m_shotEnd; }
    bool isMoving() const { return m_moving; }
    bool isFitted() const { return m_fitToView; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // Image size at the current scale, each side truncated.
    QSize scaledSize() const;
    // The scale at which the whole image fits the scroll area (never above 100 %, within the
    // zoom limits).
    float fitScale() const;
    QScrollArea *scrollArea() const;
    // Scrolls so that image point `imagePoint` lies at `viewportPos` of the viewport, as far as
    // the scroll bars reach.
    void scrollImagePointTo(const QPointF &imagePoint, const QPointF &viewportPos);
    void scrollBy(const QPoint &pos);
    void reportWriteFailure(const QString &file);
    // The format a capture is written in for the name the operator chose, with the file name in
    // `target`; -1 when the configured format is none.
    static int captureFormat(const QString &chosen, int saveType, QString *target);

    QImage m_image;
    float m_scale;
    float m_offsetX;
    float m_offsetY;
    float m_minScale;
    float m_maxScale;
    bool m_fitToView;
    bool m_moving;
    QPoint m_movePos;
    int m_shotState;
    QPoint m_shotStart;
    QPoint m_shotEnd;
    QPoint m_shotPress; // where the first corner was pressed, in view coordinates
};
