#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

class TextRecogniser;
namespace tesseract {
class TessPDFRenderer;
}

// Writes one PDF of scanned pages, each its JPEG image (embedded unchanged) under an invisible
// layer of the text recognised on it, through Tesseract's PDF renderer. A page's size is its
// pixel size at its vertical resolution (Tesseract's renderer assumes square pixels). Pages
// are added in order, by one thread at a time; the file appears at the target only when
// finish() succeeds (an existing file survives every failure).
class SearchablePdfWriter
{
public:
    explicit SearchablePdfWriter(const QString &target);
    ~SearchablePdfWriter(); // an unfinished document is dropped; the target is not touched
    SearchablePdfWriter(const SearchablePdfWriter &) = delete;
    SearchablePdfWriter &operator=(const SearchablePdfWriter &) = delete;

    // Adds the page `recogniser` holds (recognised, or set without text), as the next page.
    bool add(TextRecogniser &recogniser);
    // Completes the document and puts it at the target, or at the next free name when the
    // target is taken by anything but the operator's own file (target() then names the file
    // written). False (nothing written) when a page could not be added or there is none.
    bool finish();

    int pageCount() const { return m_pages; }
    QString target() const { return m_target; }
    // Names the file finish() writes, when it was not known at the start.
    void setTarget(const QString &target) { m_target = target; }

private:
    QString m_target;
    QTemporaryDir m_work; // the renderer's output until it is complete (before m_ok, which
                          // tests it)
    std::unique_ptr<tesseract::TessPDFRenderer> m_renderer;
    int m_pages = 0;
    bool m_ok;
};
