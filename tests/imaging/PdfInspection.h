#pragma once

// Reading back what the PDF writers produced: page count and page size.

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QSizeF>

namespace PdfInspection {

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Page objects ("/Type /Page", not the "/Type /Pages" tree).
inline int pageCount(const QByteArray &pdf)
{
    return int(pdf.count("/Type /Page") - pdf.count("/Type /Pages"));
}

// The first page's /MediaBox in points, or an empty size.
inline QSizeF mediaBox(const QByteArray &pdf)
{
    // Only the text after the key: the whole file is mostly binary image data.
    const int at = pdf.indexOf("/MediaBox");
    if (at < 0)
        return QSizeF();
    const QRegularExpression box(R"(/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])");
    const QRegularExpressionMatch m = box.match(QString::fromLatin1(pdf.mid(at, 80)));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

inline bool isA4(const QByteArray &pdf)
{
    const QSizeF size = mediaBox(pdf);
    return qAbs(size.width() - 595.28) < 1.0 && qAbs(size.height() - 841.89) < 1.0;
}

} // namespace PdfInspection
