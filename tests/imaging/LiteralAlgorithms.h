#pragma once

// Plain, literal implementations of the page corrections, written straight from their
// formulas with per-pixel loops and no shortcuts: the reference the product's fast versions
// must match byte for byte (tests), and the baseline they are measured against (benchmark).
// They use the same OpenCV primitives (colour conversion, threshold, adaptive threshold,
// Gaussian and median blur, resize) as the definition does.

#include <QColor>
#include <QImage>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <climits>
#include <cmath>

namespace Literal {

// Image to matrix, pixel by pixel: BGR from RGB888 and the 32-bit formats, the byte itself
// from the grey ones; empty for anything else.
inline cv::Mat toMat(const QImage &image)
{
    const QImage::Format f = image.format();
    const bool grey = f == QImage::Format_Indexed8 || f == QImage::Format_Grayscale8;
    const bool rgb32 = f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
                       f == QImage::Format_ARGB32_Premultiplied;
    if (!grey && !rgb32 && f != QImage::Format_RGB888)
        return cv::Mat();
    cv::Mat m(image.height(), image.width(), grey ? CV_8UC1 : CV_8UC3);
    for (int y = 0; y < m.rows; ++y) {
        const uchar *line = image.constScanLine(y);
        for (int x = 0; x < m.cols; ++x) {
            if (grey) {
                m.at<uchar>(y, x) = line[x];
            } else if (rgb32) {
                const QRgb p = reinterpret_cast<const QRgb *>(line)[x];
                m.at<cv::Vec3b>(y, x) = cv::Vec3b(qBlue(p), qGreen(p), qRed(p));
            } else {
                m.at<cv::Vec3b>(y, x) = cv::Vec3b(line[3 * x + 2], line[3 * x + 1], line[3 * x]);
            }
        }
    }
    return m;
}

// Matrix to image, pixel by pixel: Indexed8 with a grey palette, RGB888 from BGR, or the bytes
// of four channels as ARGB32; null for anything else.
inline QImage toImage(const cv::Mat &m)
{
    const int c = m.channels();
    if (m.empty() || m.depth() != CV_8U || (c != 1 && c != 3 && c != 4))
        return QImage();
    const QImage::Format format = c == 1 ? QImage::Format_Indexed8 : QImage::Format_RGB888;
    QImage image(m.cols, m.rows, c == 4 ? QImage::Format_ARGB32 : format);
    if (c == 1) {
        image.setColorCount(256);
        for (int i = 0; i < 256; ++i)
            image.setColor(i, qRgb(i, i, i));
    }
    for (int y = 0; y < m.rows; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < m.cols; ++x)
            for (int k = 0; k < c; ++k) // BGR to RGB: three channels swap ends
                line[c * x + k] = m.ptr<uchar>(y)[c * x + (c == 3 ? 2 - k : k)];
    }
    return image;
}

// The page as a matrix, false for a null pointer or an image without a conversion.
inline bool load(const QImage *image, cv::Mat &m)
{
    if (image)
        m = toMat(*image);
    return !m.empty();
}

inline cv::Mat grey(const cv::Mat &m)
{
    if (m.channels() == 1)
        return m;
    cv::Mat g;
    cv::cvtColor(m, g, cv::COLOR_BGR2GRAY);
    return g;
}

// 255 for a light page, 0 for a dark one, from the top-left 20 x 20 of a two-level matrix.
inline int cornerLevel(const cv::Mat &twoLevel)
{
    if (twoLevel.rows < 20 || twoLevel.cols < 20)
        return 255;
    int sum = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            sum += twoLevel.at<uchar>(y, x);
    return sum <= 51199 ? 0 : 255;
}

// Truncation toward zero to an int (saturating at the int range; NaN gives 0), then 0..255.
inline uchar truncLimit(float value)
{
    const double v = value;
    const int t = std::isnan(v)        ? 0
                  : v >= 2147483647.0  ? INT_MAX
                  : v <= -2147483648.0 ? INT_MIN
                                       : static_cast<int>(value);
    return static_cast<uchar>(std::min(255, std::max(0, t)));
}

inline void Threshold(QImage *image)
{
    cv::Mat m;
    if (!load(image, m))
        return;
    cv::Mat binary;
    cv::threshold(grey(m), binary, 128, 255, cv::THRESH_BINARY);
    *image = toImage(binary);
}

inline void Halftoning(QImage *image)
{
    cv::Mat m;
    if (!load(image, m))
        return;
    const cv::Mat g = grey(m);
    const int h = g.rows;
    const int w = g.cols;
    cv::Mat small;
    cv::resize(g, small, cv::Size(w / 3 + 1, h / 3 + 1), 0, 0, cv::INTER_LINEAR);
    cv::Mat out(small.rows * 3, small.cols * 3, CV_8UC3);
    const int rank[3][3] = {{3, 1, 5}, {8, 9, 6}, {4, 7, 2}};
    for (int y = 0; y < small.rows; ++y) {
        for (int x = 0; x < small.cols; ++x) {
            const int level = static_cast<int>(small.at<uchar>(y, x) / 25.50001);
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    out.at<cv::Vec3b>(3 * y + i, 3 * x + j) =
                        level >= rank[i][j] ? cv::Vec3b(255, 255, 255) : cv::Vec3b(0, 0, 0);
        }
    }
    *image = toImage(out(cv::Rect(0, 0, w, h)));
}

inline void ChangeBackgroudColor(QImage *image, int red, int green, int blue)
{
    cv::Mat m;
    if (!load(image, m))
        return;
    cv::Mat binary;
    cv::threshold(grey(m), binary, 128, 255, cv::THRESH_BINARY);
    const int level = cornerLevel(binary);
    const uchar other = level == 255 ? 0 : 255;
    cv::Mat out(m.rows, m.cols, CV_8UC3);
    for (int y = 0; y < m.rows; ++y) {
        for (int x = 0; x < m.cols; ++x) {
            if (binary.at<uchar>(y, x) == level)
                out.at<cv::Vec3b>(y, x) =
                    cv::Vec3b(cv::saturate_cast<uchar>(blue), cv::saturate_cast<uchar>(green),
                              cv::saturate_cast<uchar>(red));
            else
                out.at<cv::Vec3b>(y, x) = cv::Vec3b(other, other, other);
        }
    }
    cv::Mat smooth;
    cv::GaussianBlur(out, smooth, cv::Size(3, 3), 0.3, 0);
    *image = toImage(smooth);
}

inline void Impermeability(QImage *image, int level)
{
    cv::Mat work;
    if (!load(image, work))
        return;
    const cv::Mat g = grey(work).clone();
    const double offset = level == 1 ? 10.0 : level == 2 ? 15.0 : 20.0;
    cv::Mat mask;
    cv::adaptiveThreshold(g, mask, 255, cv::ADAPTIVE_THRESH_GAUSSIAN_C, cv::THRESH_BINARY, 41,
                          offset);
    const int background = cornerLevel(mask);
    for (int y = 0; y < work.rows; ++y) {
        for (int x = 0; x < work.cols; ++x) {
            if (mask.at<uchar>(y, x) != background)
                continue;
            if (work.channels() == 1)
                work.at<uchar>(y, x) = 255;
            else
                work.at<cv::Vec3b>(y, x) = cv::Vec3b(255, 255, 255);
        }
    }
    cv::Mat smooth;
    cv::GaussianBlur(work, smooth, cv::Size(3, 3), 0.3, 0);
    *image = toImage(smooth);
}

inline void ImageAdjust(QImage *image, int brightness, int contrast, float gamma, float inScale,
                        float outScale, float curveScale)
{
    if (brightness < -20 || brightness > 20 || contrast < -20 || contrast > 20 || gamma < 0.09999 ||
        gamma > 4.00001)
        return;
    const float k = static_cast<float>(std::pow(2.0, contrast * 0.1));
    const float d = static_cast<float>(brightness * 5);
    cv::Mat m;
    if (!load(image, m))
        return;
    const int channels = m.channels();
    for (int y = 0; y < m.rows; ++y) {
        uchar *row = m.ptr<uchar>(y);
        for (int x = 0; x < m.cols; ++x) {
            for (int c = 0; c < channels; ++c) {
                const int p = row[x * channels + c];
                const float v = std::pow(p * inScale / 255.0f, gamma * curveScale);
                const float r = v * 255.0f * k * outScale + d;
                row[x * channels + c] = truncLimit(r);
            }
        }
    }
    *image = toImage(m);
}

inline void AddFilter(QImage *image, int type)
{
    cv::Mat m;
    if (type == 0 || !load(image, m) || m.channels() != 3)
        return;
    cv::Mat out(m.rows, m.cols, CV_8UC3);
    for (int y = 0; y < m.rows; ++y) {
        for (int x = 0; x < m.cols; ++x) {
            const cv::Vec3b p = m.at<cv::Vec3b>(y, x);
            const float B = p[0];
            const float G = p[1];
            const float R = p[2];
            float nr = 0, ng = 0, nb = 0;
            if (type == 1) {
                nr = static_cast<float>(0.393 * R + 0.769 * G + 0.189 * B);
                ng = static_cast<float>(0.349 * R + 0.686 * G + 0.168 * B);
                nb = static_cast<float>(0.272 * R + 0.534 * G + 0.131 * B);
            } else if (type == 2) {
                nr = std::abs(2 * G - B + R) * R * 0.00390625f;
                ng = std::abs(2 * B - G + R) * R * 0.00390625f;
                nb = std::abs(2 * B - G + R) * G * 0.00390625f;
            } else if (type == 3) {
                nr = R * 255 / (G + B + 1);
                ng = G * 255 / (B + R + 1);
                nb = B * 255 / (G + R + 1);
            } else if (type == 4) {
                nr = std::abs(R - G - B) * 1.5f;
                ng = std::abs(G - B - R) * 1.5f;
                nb = std::abs(B - G - R) * 1.5f;
            }
            out.at<cv::Vec3b>(y, x) = cv::Vec3b(truncLimit(nb), truncLimit(ng), truncLimit(nr));
        }
    }
    *image = toImage(out);
}

inline void MedianBlur(QImage *image, int radius)
{
    cv::Mat m;
    if (radius < 0 || !load(image, m))
        return;
    const int kernel = radius % 2 == 1 ? radius : radius + 1;
    cv::Mat out;
    cv::medianBlur(m, out, kernel);
    *image = toImage(out);
}

} // namespace Literal
