#include "documents/TextRecogniser.h"

#include <QFile>

#include <leptonica/allheaders.h>
#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>

#include <cmath>

namespace {

bool cancelled(void *flag, int)
{
    return static_cast<const std::atomic_bool *>(flag)->load();
}

struct PixDeleter
{
    void operator()(Pix *pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

// The resolution the recogniser works at: enough for 8-point print, and above it only the
// layout analysis and the binarisation get slower.
const int WorkingDpi = 300;

// The page as the recogniser wants it: grey, at no more than WorkingDpi (below 300 dpi
// recognition of 10-point print falls off). A JPEG file is
// decoded to its luminance only (no colour conversion) and a 600 dpi one at half size, both by
// the JPEG decoder itself; other files are read and turned grey. `dpi` becomes the copy's.
PixPtr workingCopy(const QByteArray &path, int *dpi)
{
    const int reduction = *dpi >= 2 * WorkingDpi ? 2 : 1;
    PixPtr pix(pixReadJpeg(path.constData(), 0, reduction, nullptr, L_JPEG_READ_LUMINANCE));
    if (pix) {
        *dpi /= reduction;
    } else {
        PixPtr any(pixRead(path.constData()));
        pix.reset(any ? pixConvertTo8(any.get(), 0) : nullptr);
    }
    if (pix && pixGetDepth(pix.get()) == 8 && *dpi > WorkingDpi + WorkingDpi / 6) {
        const float factor = float(WorkingDpi) / float(*dpi);
        pix.reset(pixScaleGrayLI(pix.get(), factor, factor));
        *dpi = WorkingDpi;
    }
    return pix;
}

} // namespace

TextRecogniser::TextRecogniser(const QString &languages)
    : m_api(new tesseract::TessBaseAPI), m_languages(languages)
{
    // Tesseract's diagnostics (resolution estimates, empty pages) stay out of the console, and
    // so do Leptonica's notes on every page it reads (its level is the process's).
    m_api->SetVariable("debug_file", "/dev/null");
    setMsgSeverity(L_SEVERITY_WARNING);
    m_ready = m_api->Init(nullptr, languages.toUtf8().constData(), tesseract::OEM_LSTM_ONLY) == 0;
}

TextRecogniser::~TextRecogniser()
{
    m_api->End();
}

bool TextRecogniser::recognise(const QString &jpegPath, int dpi, const std::atomic_bool *cancel)
{
    m_hasPage = false;
    if (!m_ready || !QFile::exists(jpegPath))
        return false;
    const QByteArray path = QFile::encodeName(jpegPath);
    int workingDpi = dpi;
    PixPtr pix = workingCopy(path, &workingDpi);
    if (!pix)
        return false;
    m_api->SetInputName(path.constData());
    m_api->SetImage(pix.get()); // copied by the engine
    m_api->SetSourceResolution(workingDpi);
    // The recogniser reads the engine's own black-and-white version of the page: faster than
    // grey and, on scanned paper with noise and show-through, more accurate.
    const PixPtr binary(m_api->GetThresholdedImage());
    if (binary)
        m_api->SetImage(binary.get());
    // The same size as the working copy: the text layer scales the engine's coordinates from
    // this image's size to the page's.
    m_api->SetSourceResolution(workingDpi);
    // Tesseract would start OpenMP threads of its own for each page; beside one engine per
    // worker they only compete for the cores (and spin while they wait). Off for this thread.
    omp_set_max_active_levels(0);
    tesseract::ETEXT_DESC monitor;
    if (cancel) {
        monitor.cancel = cancelled;
        monitor.cancel_this = const_cast<std::atomic_bool *>(cancel);
    }
    if (m_api->Recognize(&monitor) != 0 || (cancel && cancel->load()))
        return false;
    m_hasPage = true;
    return true;
}

bool TextRecogniser::setWithoutText(const QString &jpegPath, const QSize &pixels, int dpi)
{
    m_hasPage = false;
    if (!m_ready || pixels.isEmpty())
        return false;
    // An all-white 1-bit page of the same size recognises in milliseconds and has no text; the
    // PDF writer takes only its size from it and embeds the JPEG file named here.
    PixPtr blank(pixCreate(pixels.width(), pixels.height(), 1));
    if (!blank)
        return false;
    const QByteArray path = QFile::encodeName(jpegPath);
    m_api->SetInputName(path.constData());
    m_api->SetImage(blank.get());
    m_api->SetSourceResolution(dpi);
    if (m_api->Recognize(nullptr) != 0)
        return false;
    m_hasPage = true;
    return true;
}

void TextRecogniser::clear()
{
    m_hasPage = false;
    m_api->Clear();
}

QString TextRecogniser::text() const
{
    if (!m_hasPage)
        return QString();
    std::unique_ptr<char[]> text(m_api->GetUTF8Text());
    return text ? QString::fromUtf8(text.get()) : QString();
}
