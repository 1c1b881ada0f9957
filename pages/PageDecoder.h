#pragma once

#include <QByteArray>
#include <QImage>

// Turns the bytes of a page file into a page image. The header is read first: a page that
// announces more pixels than the device's largest page (A3 at 600 dpi, 7016 x 9921) is not
// decoded at all, so a few hundred bytes can never cost gigabytes. A decoded page is 8-bit grey
// or 32-bit colour, the formats the corrections work on.
class PageDecoder
{
public:
    static constexpr qint64 MaxPixels = 7100LL * 10000;
    // Page files larger than this are not read (no page of the device comes near it).
    static constexpr qint64 MaxPageBytes = 512LL * 1024 * 1024;

    enum Result
    {
        Decoded,
        TooLarge,  // the header announces more than MaxPixels
        Unreadable // no image, or one its decoder could not read
    };

    // On Decoded, `page` holds the image; otherwise it is null.
    static Result decode(const QByteArray &bytes, QImage *page);

    // Grayscale8 for a grey image (a grey palette, 16-bit grey, black and white), RGB32 for any
    // other: a palette page is converted by its colours, not its indices.
    static QImage normalised(const QImage &image);
};
