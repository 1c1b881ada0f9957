#include "documents/PdfTextLayer.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <cstdlib>

namespace {

std::string number(double value)
{
    QByteArray text = QByteArray::number(value, 'f', 3);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text.toStdString();
}

// Tesseract's glyph-less font: glyph 1 is an empty glyph, as wide as the font says.
QByteArray glyphLessFont()
{
    QStringList folders;
    if (const char *prefix = std::getenv("TESSDATA_PREFIX"))
        folders << QFile::decodeName(prefix) << QFile::decodeName(prefix) + "/tessdata";
    folders << QStringLiteral("/usr/share/tesseract-ocr/5/tessdata")
            << QStringLiteral("/usr/share/tesseract-ocr/4.00/tessdata");
    for (const QString &folder : folders) {
        QFile file(folder + QStringLiteral("/pdf.ttf"));
        if (file.size() > 0 && file.size() < (1 << 20) && file.open(QIODevice::ReadOnly))
            return file.readAll();
    }
    return QByteArray();
}

// Each two-byte code to the character of the same number (the surrogates excluded), in ranges
// that change only the last byte.
std::string toUnicode()
{
    std::string map = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    QList<int> highBytes;
    for (int high = 0; high < 256; ++high) {
        if (high < 0xD8 || high > 0xDF)
            highBytes.append(high);
    }
    for (int start = 0; start < highBytes.size(); start += 100) {
        const int count = qMin(100, int(highBytes.size()) - start);
        map += std::to_string(count) + " beginbfrange\n";
        for (int i = start; i < start + count; ++i) {
            const std::string high = QByteArray::number(highBytes.at(i), 16)
                                         .rightJustified(2, '0')
                                         .toUpper()
                                         .toStdString();
            map += "<" + high + "00> <" + high + "FF> <" + high + "00>\n";
        }
        map += "endbfrange\n";
    }
    return map + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}

// Printable ASCII is half an em wide, everything else one em (Chinese characters are square).
double glyphWidth(ushort code)
{
    return code >= 32 && code <= 126 ? 0.5 : 1.0;
}

} // namespace

QPDFObjectHandle PdfTextLayer::font(QPDF &pdf)
{
    const auto name = [](const char *text) { return QPDFObjectHandle::newName(text); };
    QPDFObjectHandle descriptor = QPDFObjectHandle::parse(
        "<< /Type /FontDescriptor /FontName /GlyphLessFont /Flags 5 /FontBBox [0 -120 1000 880]"
        " /ItalicAngle 0 /Ascent 880 /Descent -120 /CapHeight 880 /StemV 80 >>");
    QPDFObjectHandle cidFont = QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /GlyphLessFont"
        " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
        " /DW 1000 /W [32 126 500] >>");
    const QByteArray fontFile = glyphLessFont();
    if (!fontFile.isEmpty()) {
        descriptor.replaceKey("/FontFile2", pdf.newStream(fontFile.toStdString()));
        // Every code to the font's one glyph.
        std::string toGlyph(65536 * 2, '\0');
        for (size_t i = 1; i < toGlyph.size(); i += 2)
            toGlyph[i] = '\1';
        cidFont.replaceKey("/CIDToGIDMap", pdf.newStream(toGlyph));
    } else {
        cidFont.replaceKey("/CIDToGIDMap", name("/Identity"));
    }
    cidFont.replaceKey("/FontDescriptor", pdf.makeIndirectObject(descriptor));
    QPDFObjectHandle type0 = QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type0 /BaseFont /GlyphLessFont /Encoding /Identity-H >>");
    QPDFObjectHandle descendants = QPDFObjectHandle::newArray();
    descendants.appendItem(pdf.makeIndirectObject(cidFont));
    type0.replaceKey("/DescendantFonts", descendants);
    type0.replaceKey("/ToUnicode", pdf.newStream(toUnicode()));
    return pdf.makeIndirectObject(type0);
}

std::string PdfTextLayer::content(const QList<TextLines::Line> &lines, const QSize &pixels,
                                  const QPointF &dpi)
{
    if (lines.isEmpty() || dpi.x() <= 0 || dpi.y() <= 0)
        return std::string();
    const double toPtX = 72.0 / dpi.x();
    const double toPtY = 72.0 / dpi.y();
    std::string out = "BT\n3 Tr\n";
    for (const TextLines::Line &line : lines) {
        const QVector<uint> codes = line.text.toUcs4();
        const QVector<double> advances = line.advances();
        const double size = line.box.height() * toPtY;
        if (codes.isEmpty() || codes.size() != advances.size() || size <= 0)
            continue;
        out += std::string(PdfTextLayer::fontName()) + " " + number(size) + " Tf\n1 0 0 1 " +
               number(line.lefts.first() * toPtX) + " " +
               number((pixels.height() - line.baseline) * toPtY) + " Tm\n";
        // Each glyph stretched to the character's advance: the next one starts where the
        // recogniser found it, and no gap or overlap breaks the line into words.
        for (int i = 0; i < codes.size(); ++i) {
            const ushort code = codes.at(i) > 0xFFFF ? 0xFFFD : ushort(codes.at(i));
            const double scale = advances.at(i) * toPtX / (glyphWidth(code) * size) * 100;
            out += number(qMax(1.0, scale)) + " Tz <" +
                   QByteArray::number(code, 16).rightJustified(4, '0').toUpper().toStdString() +
                   "> Tj\n";
        }
    }
    return out + "ET\n";
}
