#pragma once

// The page corrections straight from their formulas, per-pixel loops around the formulas' OpenCV
// primitives: what the product must match byte for byte, and the benchmark's baseline.

#include <QImage>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <climits>
#include <cmath>

namespace Literal {

// Image to matrix, pixel by pixel: BGR from RGB888 and the 32-bit formats (little-endian words of
// blue, green, red, alpha; alpha dropped), the byte itself from the 8-bit ones; else empty.
inline cv::Mat toMat(const QImage &image)
{
    const QImage::Format f = image.format();
    const bool grey = f == QImage::Format_Indexed8 || f == QImage::Format_Grayscale8;
    const bool rgb32 = f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
                       f == QImage::Format_ARGB32_Premultiplied;
    if (!grey && !rgb32 && f != QImage::Format_RGB888)
        return cv::Mat();
    const int c = grey ? 1 : 3;
    cv::Mat m(image.height(), image.width(), CV_8UC(c));
    for (int y = 0; y < m.rows; ++y) {
        const uchar *line = image.constScanLine(y);
        uchar *row = m.ptr<uchar>(y);
        for (int x = 0; x < m.cols; ++x)
            for (int k = 0; k < c; ++k)
                row[c * x + k] = grey ? line[x] : rgb32 ? line[4 * x + k] : line[3 * x + 2 - k];
    }
    return m;
}

// Matrix to image, pixel by pixel: Indexed8 with a grey palette, RGB888 from BGR, the bytes of
// four channels as ARGB32; null for anything else.
inline QImage toImage(const cv::Mat &m)
{
    const int c = m.channels();
    if (m.empty() || m.depth() != CV_8U || c == 2 || c > 4)
        return QImage();
    QImage image(m.cols, m.rows,
                 c == 1   ? QImage::Format_Indexed8
                 : c == 3 ? QImage::Format_RGB888
                          : QImage::Format_ARGB32);
    for (int i = 0; c == 1 && i < 256; ++i)
        image.setColor(i, qRgb(i, i, i));
    for (int y = 0; y < m.rows; ++y) {
        uchar *line = image.scanLine(y);
        const uchar *row = m.ptr<uchar>(y);
        for (int x = 0; x < m.cols; ++x)
            for (int k = 0; k < c; ++k) // three channels: BGR to RGB
                line[c * x + k] = row[c * x + (c == 3 ? 2 - k : k)];
    }
    return image;
}

inline cv::Mat grey(const cv::Mat &m)
{
    cv::Mat g = m;
    if (m.channels() == 3)
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
inline uchar truncLimit(float v)
{
    const int t = std::isnan(v)        ? 0
                  : v >= 2147483647.0  ? INT_MAX
                  : v <= -2147483648.0 ? INT_MIN
                                       : int(v);
    return static_cast<uchar>(std::min(255, std::max(0, t)));
}

inline void Threshold(QImage *image)
{
    cv::Mat m = image ? toMat(*image) : cv::Mat(), binary;
    if (m.empty())
        return;
    cv::threshold(grey(m), binary, 128, 255, cv::THRESH_BINARY);
    *image = toImage(binary);
}

inline void Halftoning(QImage *image)
{
    cv::Mat m = image ? toMat(*image) : cv::Mat(), small;
    if (m.empty())
        return;
    cv::resize(grey(m), small, cv::Size(m.cols / 3 + 1, m.rows / 3 + 1), 0, 0, cv::INTER_LINEAR);
    // Each grey cell becomes 3 x 3 pixels, white where its level reaches the position's rank.
    cv::Mat out(small.rows * 3, small.cols * 3, CV_8UC3);
    const int rank[3][3] = {{3, 1, 5}, {8, 9, 6}, {4, 7, 2}};
    for (int y = 0; y < out.rows; ++y)
        for (int x = 0; x < out.cols; ++x) {
            const int level = static_cast<int>(small.at<uchar>(y / 3, x / 3) / 25.50001);
            out.at<cv::Vec3b>(y, x) = cv::Vec3b::all(level >= rank[y % 3][x % 3] ? 255 : 0);
        }
    *image = toImage(out(cv::Rect(0, 0, m.cols, m.rows)));
}

inline void ChangeBackgroudColor(QImage *image, int red, int green, int blue)
{
    cv::Mat m = image ? toMat(*image) : cv::Mat(), binary, smooth;
    if (m.empty())
        return;
    cv::threshold(grey(m), binary, 128, 255, cv::THRESH_BINARY);
    const int level = cornerLevel(binary);
    const cv::Vec3b colour(cv::saturate_cast<uchar>(blue), cv::saturate_cast<uchar>(green),
                           cv::saturate_cast<uchar>(red));
    cv::Mat out(m.rows, m.cols, CV_8UC3);
    for (int y = 0; y < m.rows; ++y)
        for (int x = 0; x < m.cols; ++x)
            out.at<cv::Vec3b>(y, x) =
                binary.at<uchar>(y, x) == level ? colour : cv::Vec3b::all(level == 255 ? 0 : 255);
    cv::GaussianBlur(out, smooth, cv::Size(3, 3), 0.3, 0);
    *image = toImage(smooth);
}

inline void Impermeability(QImage *image, int level)
{
    cv::Mat work = image ? toMat(*image) : cv::Mat(), mask, smooth;
    if (work.empty())
        return;
    const double offset = level == 1 ? 10.0 : level == 2 ? 15.0 : 20.0;
    cv::adaptiveThreshold(grey(work), mask, 255, cv::ADAPTIVE_THRESH_GAUSSIAN_C, cv::THRESH_BINARY,
                          41, offset);
    const int background = cornerLevel(mask);
    for (int y = 0; y < work.rows; ++y)
        for (int x = 0; x < work.cols; ++x)
            if (mask.at<uchar>(y, x) == background)
                for (int c = 0; c < work.channels(); ++c)
                    work.ptr<uchar>(y)[work.channels() * x + c] = 255;
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
    cv::Mat m = image ? toMat(*image) : cv::Mat();
    if (m.empty())
        return;
    for (int y = 0; y < m.rows; ++y)
        for (int i = 0; i < m.cols * m.channels(); ++i) {
            uchar &p = m.ptr<uchar>(y)[i];
            const float v = std::pow(p * inScale / 255.0f, gamma * curveScale);
            p = truncLimit(v * 255.0f * k * outScale + d);
        }
    *image = toImage(m);
}

inline void AddFilter(QImage *image, int type)
{
    cv::Mat m = type != 0 && image ? toMat(*image) : cv::Mat();
    if (m.channels() != 3)
        return;
    cv::Mat out(m.rows, m.cols, CV_8UC3);
    for (int y = 0; y < m.rows; ++y)
        for (int x = 0; x < m.cols; ++x) {
            const cv::Vec3b p = m.at<cv::Vec3b>(y, x);
            const float B = p[0], G = p[1], R = p[2];
            float r = 0, g = 0, b = 0;
            if (type == 1) {
                r = static_cast<float>(0.393 * R + 0.769 * G + 0.189 * B);
                g = static_cast<float>(0.349 * R + 0.686 * G + 0.168 * B);
                b = static_cast<float>(0.272 * R + 0.534 * G + 0.131 * B);
            } else if (type == 2) {
                r = std::abs(2 * G - B + R) * R * 0.00390625f;
                g = std::abs(2 * B - G + R) * R * 0.00390625f;
                b = std::abs(2 * B - G + R) * G * 0.00390625f;
            } else if (type == 3) {
                r = R * 255 / (G + B + 1);
                g = G * 255 / (B + R + 1);
                b = B * 255 / (G + R + 1);
            } else if (type == 4) {
                r = std::abs(R - G - B) * 1.5f;
                g = std::abs(G - B - R) * 1.5f;
                b = std::abs(B - G - R) * 1.5f;
            }
            out.at<cv::Vec3b>(y, x) = cv::Vec3b(truncLimit(b), truncLimit(g), truncLimit(r));
        }
    *image = toImage(out);
}

inline void MedianBlur(QImage *image, int radius)
{
    cv::Mat m = radius >= 0 && image ? toMat(*image) : cv::Mat(), out;
    if (m.empty())
        return;
    cv::medianBlur(m, out, radius % 2 == 1 ? radius : radius + 1);
    *image = toImage(out);
}

} // namespace Literal
