#include "imaging/MatView.h"

#include <QtGlobal>

// QImage's 32-bit formats hold each pixel as one 32-bit word 0xAARRGGBB; only on a
// little-endian machine are its bytes blue, green, red, alpha, which the views rely on.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the pixel views assume little-endian words");

namespace {

const QVector<QRgb> &greyPalette()
{
    static const QVector<QRgb> palette = [] {
        QVector<QRgb> entries(256);
        for (int i = 0; i < 256; ++i)
            entries[i] = qRgb(i, i, i);
        return entries;
    }();
    return palette;
}

} // namespace

MatView::MatView(const QImage &image) : m_order(None)
{
    if (image.isNull())
        return;
    // The matrix only reads these bytes; constBits() keeps a shared image shared.
    auto *bytes = const_cast<uchar *>(image.constBits());
    const size_t step = static_cast<size_t>(image.bytesPerLine());
    switch (image.format()) {
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
        m_mat = cv::Mat(image.height(), image.width(), CV_8UC1, bytes, step);
        m_order = Grey;
        break;
    case QImage::Format_RGB888:
        m_mat = cv::Mat(image.height(), image.width(), CV_8UC3, bytes, step);
        m_order = Rgb;
        break;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        m_mat = cv::Mat(image.height(), image.width(), CV_8UC4, bytes, step);
        m_order = Bgra;
        break;
    default:
        break;
    }
}

QImage MatView::newGreyImage(int width, int height)
{
    QImage image(width, height, QImage::Format_Indexed8);
    if (!image.isNull())
        image.setColorTable(greyPalette());
    return image;
}

QImage MatView::newColourImage(int width, int height)
{
    return QImage(width, height, QImage::Format_RGB888);
}

cv::Mat MatView::wrap(QImage &image)
{
    if (image.isNull())
        return cv::Mat();
    int type = -1;
    switch (image.format()) {
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
        type = CV_8UC1;
        break;
    case QImage::Format_RGB888:
        type = CV_8UC3;
        break;
    default:
        return cv::Mat();
    }
    return cv::Mat(image.height(), image.width(), type, image.bits(),
                   static_cast<size_t>(image.bytesPerLine()));
}
