#pragma once

#include <sane/sane.h>

#include <QByteArray>
#include <QImage>
#include <QString>

// Makes one page image out of the frames SANE delivers for it: one grey or RGB frame, or a
// red, a green and a blue frame (three-pass scanners), at 1, 8 or 16 bits a sample. 1-bit grey
// is line-art (1 is black); 16-bit samples, in the machine's byte order, keep their high byte.
// Grey pages become Format_Grayscale8, colour pages Format_RGB32.
class PageAssembler
{
public:
    enum Outcome
    {
        FrameDone,
        Unsupported, // a frame format or depth this program cannot make a page of
        ShortFrame,  // fewer lines arrived than the frame announced: the page was cut off
    };

    // Starts the next frame of the page. Unsupported (with the reason in `error`) for formats
    // such as SANE_FRAME_JPEG or odd depths, and for a colour plane whose size differs from
    // the first.
    Outcome begin(const SANE_Parameters &parameters, QString *error);
    void append(const QByteArray &bytes) { m_data.append(bytes); }
    // Converts the frame's data into the page. A frame of unknown height (hand-held scanners
    // say -1 lines) ends with its data.
    Outcome end(QString *error);

    // The page once the last frame has ended; null before.
    QImage page() const { return m_page; }
    void reset();

private:
    int sample(const uchar *line, int index) const;

    SANE_Parameters m_frame{};
    QByteArray m_data;
    QImage m_page;
};
