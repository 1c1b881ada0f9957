#include "pages/JpegHeader.h"

namespace {

int byteAt(const QByteArray &bytes, int at)
{
    return static_cast<unsigned char>(bytes.at(at));
}

int wordAt(const QByteArray &bytes, int at)
{
    return byteAt(bytes, at) << 8 | byteAt(bytes, at + 1);
}

} // namespace

JpegHeader JpegHeader::read(const QByteArray &bytes)
{
    JpegHeader header;
    if (!bytes.startsWith("\xff\xd8"))
        return header;
    int at = 2;
    while (at + 4 <= bytes.size()) {
        if (byteAt(bytes, at) != 0xff)
            return header;
        const int marker = byteAt(bytes, at + 1);
        if (marker == 0xff) { // fill byte before a marker
            ++at;
            continue;
        }
        const int length = wordAt(bytes, at + 2);
        const int body = at + 4;
        if (length < 2 || at + 2 + length > bytes.size())
            return header;
        if (marker == 0xe0 && length >= 16 && bytes.mid(body, 5) == QByteArray("JFIF", 5)) {
            const int units = byteAt(bytes, body + 7);
            const double x = wordAt(bytes, body + 8), y = wordAt(bytes, body + 10);
            if (units == 1)
                header.m_dpi = QPointF(x, y);
            else if (units == 2) // dots per centimetre
                header.m_dpi = QPointF(x * 2.54, y * 2.54);
        } else if (marker == 0xe1 && bytes.mid(body, 6) == QByteArray("Exif\0\0", 6)) {
            header.m_exif = true;
        } else if (marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 &&
                   marker != 0xcc) {
            // A frame header (SOFn): precision, height, width, components.
            if (length < 8)
                return header;
            header.m_huffman = marker <= 0xc2;
            header.m_precision = byteAt(bytes, body);
            header.m_pixels = QSize(wordAt(bytes, body + 3), wordAt(bytes, body + 1));
            header.m_components = byteAt(bytes, body + 5);
            header.m_jpeg = true;
            return header;
        }
        at += 2 + length;
    }
    return header;
}

bool JpegHeader::isPdfCompatible() const
{
    return m_jpeg && m_huffman && m_precision == 8 && !m_exif && !m_pixels.isEmpty() &&
           (m_components == 1 || m_components == 3);
}
