#pragma once

#include <QByteArray>
#include <QPointF>
#include <QSize>

// What the markers at the start of a JPEG file say about its image, read without decoding it.
class JpegHeader
{
public:
    // Reads the markers up to the frame header. An invalid header (isJpeg() false) for bytes
    // that are no JPEG or end before their frame header.
    static JpegHeader read(const QByteArray &bytes);

    bool isJpeg() const { return m_jpeg; }
    QSize pixels() const { return m_pixels; }
    int components() const { return m_components; }
    // The density of the JFIF header in dots per inch; (0, 0) when none is stated.
    QPointF dpi() const { return m_dpi; }

    // True when a PDF can embed the file as it is (DCTDecode) and show what a decoder shows:
    // 8-bit baseline, extended or progressive Huffman coding, one (grey) or three (colour)
    // components, and no Exif block (whose orientation a decoder might apply).
    bool isPdfCompatible() const;

private:
    bool m_jpeg = false;
    QSize m_pixels;
    int m_components = 0;
    int m_precision = 0;
    bool m_huffman = false;
    bool m_exif = false;
    QPointF m_dpi;
};
