#pragma once

#include <QImage>

// Whether a page is grey, and whether it is black and white only: the page's tone as the
// corrections leave it and the writers choose their encoding by.
class PageTone
{
public:
    // Grey pages as Grayscale8 (palette resolved); null for colour ones. An indexed image is
    // grey when its palette is (QImage::isGrayscale() asks for the identity palette and never
    // says so of a 1-bit image).
    static QImage grey(const QImage &image);
    // Pure black or pure white in the grey bytes of a Grayscale8 image.
    static bool greyIsTwoLevel(const QImage &grey);
    // True when every pixel is pure black or pure white (grey 0 or 255, in any format).
    static bool isTwoLevel(const QImage &image);
};
