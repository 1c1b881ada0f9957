#include "device/driver/PageAssembler.h"

namespace {

bool colourPlane(SANE_Frame format)
{
    return format == SANE_FRAME_RED || format == SANE_FRAME_GREEN || format == SANE_FRAME_BLUE;
}

} // namespace

void PageAssembler::reset()
{
    m_frame = SANE_Parameters{};
    m_data.clear();
    m_page = QImage();
}

PageAssembler::Outcome PageAssembler::begin(const SANE_Parameters &p, QString *error)
{
    m_frame = p;
    m_data.clear();
    const bool knownFormat =
        p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB || colourPlane(p.format);
    const int samples = p.format == SANE_FRAME_RGB ? 3 : 1;
    const bool knownDepth = p.depth == 1 || p.depth == 8 || p.depth == 16;
    if (!knownFormat || !knownDepth || p.pixels_per_line <= 0 ||
        p.bytes_per_line < (qint64(p.pixels_per_line) * samples * p.depth + 7) / 8) {
        *error = QStringLiteral("the device sends frames this program cannot read (format %1, "
                                "depth %2, %3 pixels in %4 bytes a line)")
                     .arg(p.format)
                     .arg(p.depth)
                     .arg(p.pixels_per_line)
                     .arg(p.bytes_per_line);
        return Unsupported;
    }
    if (p.lines > 0)
        m_data.reserve(int(qMin<qint64>(qint64(p.lines) * p.bytes_per_line, 1 << 30)));
    if (colourPlane(p.format) && !m_page.isNull() &&
        (m_page.width() != p.pixels_per_line || (p.lines > 0 && m_page.height() != p.lines))) {
        *error = QStringLiteral("the colour planes of a page differ in size");
        return Unsupported;
    }
    return FrameDone;
}

int PageAssembler::sample(const uchar *line, int index) const
{
    switch (m_frame.depth) {
    case 1: {
        const bool set = line[index / 8] & (0x80 >> (index % 8));
        // In grey line-art a set bit is black; in colour it is full intensity.
        if (m_frame.format == SANE_FRAME_GRAY)
            return set ? 0 : 255;
        return set ? 255 : 0;
    }
    case 8:
        return line[index];
    default: {
        quint16 value;
        memcpy(&value, line + 2 * index, 2);
        return value >> 8;
    }
    }
}

PageAssembler::Outcome PageAssembler::end(QString *error)
{
    const int bpl = m_frame.bytes_per_line;
    const int received = m_data.size() / bpl;
    const int lines = m_frame.lines > 0 ? m_frame.lines : received;
    if (received < lines) {
        *error =
            QStringLiteral("the page was cut off after %1 of %2 lines").arg(received).arg(lines);
        return ShortFrame;
    }
    if (lines == 0) {
        *error = QStringLiteral("the device sent an empty page");
        return ShortFrame;
    }
    const int width = m_frame.pixels_per_line;
    const uchar *data = reinterpret_cast<const uchar *>(m_data.constData());
    if (m_frame.format == SANE_FRAME_GRAY) {
        m_page = QImage(width, lines, QImage::Format_Grayscale8);
        for (int y = 0; y < lines; ++y) {
            const uchar *in = data + qint64(y) * bpl;
            uchar *out = m_page.scanLine(y);
            for (int x = 0; x < width; ++x)
                out[x] = uchar(sample(in, x));
        }
    } else {
        if (m_page.isNull() || m_page.format() != QImage::Format_RGB32) {
            m_page = QImage(width, lines, QImage::Format_RGB32);
            m_page.fill(Qt::black);
        }
        // Byte offset of the plane in a QRgb: blue 0, green 8, red 16.
        const int shift = m_frame.format == SANE_FRAME_RED     ? 16
                          : m_frame.format == SANE_FRAME_GREEN ? 8
                                                               : 0;
        for (int y = 0; y < lines; ++y) {
            const uchar *in = data + qint64(y) * bpl;
            QRgb *out = reinterpret_cast<QRgb *>(m_page.scanLine(y));
            for (int x = 0; x < width; ++x) {
                if (m_frame.format == SANE_FRAME_RGB)
                    out[x] = qRgb(sample(in, 3 * x), sample(in, 3 * x + 1), sample(in, 3 * x + 2));
                else
                    out[x] = (out[x] & ~(0xffu << shift)) | (QRgb(sample(in, x)) << shift);
            }
        }
    }
    m_data.clear();
    m_data.squeeze();
    return FrameDone;
}
