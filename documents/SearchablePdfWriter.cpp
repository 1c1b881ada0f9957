#include "documents/SearchablePdfWriter.h"

#include "documents/OfdWriter.h"
#include "documents/PdfPageWriter.h"
#include "pages/FileCommit.h"
#include "pages/ImageEncoder.h"
#include "pages/JpegHeader.h"

#include <QFile>
#include <QImage>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

SearchablePdfWriter::SearchablePdfWriter(const QString &target) : m_target(target) {}

bool SearchablePdfWriter::add(const QString &jpegPath, const QSize &pixels, int dpi,
                              const QList<TextLines::Line> &text)
{
    QByteArray jpeg = readFile(jpegPath);
    JpegHeader header = JpegHeader::read(jpeg);
    if (header.isJpeg() && !header.isPdfCompatible()) {
        // A JPEG a PDF cannot hold as it is (an Exif orientation, 12 bits): encoded afresh.
        QImage image;
        jpeg = image.loadFromData(jpeg) ? ImageEncoder::encode(image, "jpeg") : QByteArray();
        header = JpegHeader::read(jpeg);
        m_ok = m_ok && header.isPdfCompatible() && FileCommit::write(jpeg, jpegPath);
    }
    m_ok = m_ok && header.isPdfCompatible() && header.pixels() == pixels && dpi > 0;
    m_pages.append({jpegPath, pixels, QPointF(dpi, dpi), header.components() == 1, text});
    return m_ok;
}

bool SearchablePdfWriter::finish()
{
    if (!m_ok || m_pages.isEmpty())
        return false;
    FileCommit out(m_target);
    bool written = false;
    if (m_target.endsWith(QStringLiteral(".ofd"), Qt::CaseInsensitive)) {
        QList<OfdWriter::Page> pages;
        for (const Page &page : qAsConst(m_pages)) {
            const QString path = page.jpegPath;
            pages.append({QByteArray(), page.pixels, page.dpi, [path] { return readFile(path); },
                          page.text});
        }
        written = OfdWriter::write(pages, out);
    } else {
        QList<PdfPageWriter::Page> pages;
        for (const Page &page : qAsConst(m_pages)) {
            const QString path = page.jpegPath;
            pages.append(
                {[path] { return readFile(path); }, page.pixels, page.dpi, page.grey, page.text});
        }
        written = PdfPageWriter::write(pages, out);
    }
    // Like every page of a scan: a name taken by anything but the operator's own file gives
    // the next free name, and target() then tells the file really written.
    QString file;
    if (!written || !out.commit(FileCommit::ReplaceOwnOrFree, &file))
        return false;
    m_target = file;
    return true;
}
