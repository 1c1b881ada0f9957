#pragma once

#include <QSize>
#include <QString>

#include <atomic>
#include <memory>

namespace tesseract {
class TessBaseAPI;
}

// One text-recognition engine (Tesseract, language data from the system's tessdata folder).
// An engine is used by one thread at a time; TextRecogniserPool keeps engines for the next
// page and the next run. The recognised page stays in the engine until the next page is set,
// for the searchable document's text layer to take its lines (TextLines). The engine
// recognises a black-and-white working copy of the page at no more than 300 dpi (a 600 dpi
// page at half size): its coordinates are in the copy's pixels, which TextLines scales back to
// the page's.
class TextRecogniser
{
public:
    // Simplified Chinese and English, as office documents here mix them.
    static QString defaultLanguages() { return QStringLiteral("chi_sim+eng"); }

    // Loads the language data (about a third of a second for Chinese and English).
    explicit TextRecogniser(const QString &languages = defaultLanguages());
    ~TextRecogniser();
    TextRecogniser(const TextRecogniser &) = delete;
    TextRecogniser &operator=(const TextRecogniser &) = delete;

    // False when the language data could not be loaded.
    bool isReady() const { return m_ready; }
    // The languages it was made for, as Tesseract names them ("chi_sim+eng").
    QString languages() const { return m_languages; }

    // Recognises the page held in the JPEG file `jpegPath`, scanned at `dpi` (the working
    // copy's resolution follows from it). When `cancel` becomes true the recognition stops early
    // and false is returned. False also when the engine is not ready or the file is no image.
    bool recognise(const QString &jpegPath, int dpi, const std::atomic_bool *cancel = nullptr);

    // Sets a page without recognising it: the PDF writer then puts in the image with no text.
    // Only the file name, the pixel size and the resolution are needed; the file is not read.
    bool setWithoutText(const QString &jpegPath, const QSize &pixels, int dpi);

    // The engine, for the PDF writer: holds the page last recognised or set.
    tesseract::TessBaseAPI *engine() const { return m_api.get(); }
    // Forgets the page (its image and results), as an engine kept idle should.
    void clear();
    // The text of the page last recognised (UTF-8, as Tesseract lays it out).
    QString text() const;

private:
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    QString m_languages;
    bool m_ready = false;
    bool m_hasPage = false;
};
