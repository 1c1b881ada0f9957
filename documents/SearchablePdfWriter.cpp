#include "documents/SearchablePdfWriter.h"

#include "documents/TextRecogniser.h"
#include "pages/FileCommit.h"

#include <QFile>

#include <tesseract/baseapi.h>
#include <tesseract/renderer.h>

namespace {

// The renderer checks its writes; a complete PDF also ends with the end-of-file marker.
bool isComplete(const QByteArray &pdf)
{
    return pdf.startsWith("%PDF-") && pdf.right(32).contains("%%EOF");
}

} // namespace

SearchablePdfWriter::SearchablePdfWriter(const QString &target)
    : m_target(target), m_ok(m_work.isValid())
{
}

SearchablePdfWriter::~SearchablePdfWriter() = default;

bool SearchablePdfWriter::add(TextRecogniser &recogniser)
{
    tesseract::TessBaseAPI *engine = recogniser.engine();
    m_ok = m_ok && engine && recogniser.isReady();
    if (m_ok && !m_renderer) {
        // The renderer's font for the invisible text lives in the engine's tessdata folder.
        m_renderer = std::make_unique<tesseract::TessPDFRenderer>(
            QFile::encodeName(m_work.filePath(QStringLiteral("document"))).constData(),
            engine->GetDatapath());
        m_ok = m_renderer->happy() && m_renderer->BeginDocument("");
    }
    m_ok = m_ok && m_renderer->AddImage(engine);
    m_pages += m_ok ? 1 : 0;
    return m_ok;
}

bool SearchablePdfWriter::finish()
{
    if (!m_renderer)
        return false; // no page
    m_ok = m_ok && m_pages > 0 && m_renderer->EndDocument() && m_renderer->happy();
    m_renderer.reset(); // closes the file
    if (!m_ok)
        return false;
    QFile file(m_work.filePath(QStringLiteral("document.pdf")));
    const QByteArray pdf = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    // Like every page of a scan: a name taken by anything but the operator's own file gives
    // the next free name, and target() then tells the file really written.
    QString written;
    if (!isComplete(pdf) ||
        !FileCommit::write(pdf, m_target, FileCommit::ReplaceOwnOrFree, &written))
        return false;
    m_target = written;
    return true;
}
