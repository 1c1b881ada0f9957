#pragma once

#include <QImage>

#include <opencv2/core.hpp>

// Zero-copy access to page pixels for the image algorithms. A page converted to a matrix and
// back is, by definition, an 8-bit grey or BGR matrix turned into an indexed grey or RGB888
// image; going through those intermediate matrices costs two full copies per operation. These
// helpers let an operation read the image's own bytes in place and write its result straight
// into the buffer of the image it returns, which gives the same bytes with one pass fewer each
// way.
class MatView
{
public:
    // Byte order of the pixels a view looks at.
    enum Order
    {
        None, // null image or a format the algorithms do not convert
        Grey, // Indexed8 / Grayscale8: one byte per pixel, the value (or index) itself
        Rgb,  // RGB888: red, green, blue
        Bgra  // RGB32 / ARGB32 / ARGB32_Premultiplied on a little-endian machine
    };

    // A read-only view of the image's pixels (CV_8UC1, CV_8UC3 or CV_8UC4 with the image's
    // bytes per line as step). The image must outlive the view and stay unmodified meanwhile.
    explicit MatView(const QImage &image);
    // A view of a matrix holding a result: one channel (Grey) or three in RGB order (Rgb).
    MatView(const cv::Mat &mat, Order order) : m_mat(mat), m_order(mat.empty() ? None : order) {}

    bool isEmpty() const { return m_order == None; }
    bool isGrey() const { return m_order == Grey; }
    Order order() const { return m_order; }
    const cv::Mat &mat() const { return m_mat; }
    int rows() const { return m_mat.rows; }
    int cols() const { return m_mat.cols; }

    // New result images: Indexed8 with the 256-entry grey palette, and RGB888. Null when the
    // memory cannot be had.
    static QImage newGreyImage(int width, int height);
    static QImage newColourImage(int width, int height);
    // A writable matrix over the pixels of an Indexed8/Grayscale8 (CV_8UC1) or RGB888
    // (CV_8UC3) image, for OpenCV calls to write into. Empty for other formats.
    static cv::Mat wrap(QImage &image);

private:
    cv::Mat m_mat;
    Order m_order;
};
