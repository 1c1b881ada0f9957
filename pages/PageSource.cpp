#include "pages/PageSource.h"

#include "pages/ImageEncoder.h"
#include "pages/JpegHeader.h"
#include "pages/LosslessPage.h"
#include "pages/PageDecoder.h"
#include "pages/PageResolution.h"
#include "pages/PageStoreFolder.h"

#include <QFile>

namespace {

// Qt's JPEG writer makes a one-component JPEG of exactly these images.
bool greyInJpeg(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_Grayscale8:
        return true;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        return image.allGray();
    default:
        return false;
    }
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QPointF dpiOf(int dotsPerMeterX, int dotsPerMeterY)
{
    QImage probe(1, 1, QImage::Format_Grayscale8);
    probe.setDotsPerMeterX(dotsPerMeterX);
    probe.setDotsPerMeterY(dotsPerMeterY);
    return PageResolution::dpi(probe);
}

} // namespace

PageSource PageSource::ofImage(const QImage &image)
{
    PageSource page;
    page.describe(image, QByteArray());
    page.m_image = image;
    return page;
}

void PageSource::describe(const QImage &image, const QByteArray &original)
{
    m_size = image.size();
    m_dpi = image.isNull() ? QPointF() : PageResolution::dpi(image);
    const JpegHeader header = JpegHeader::read(original);
    m_originalJpeg = header.isPdfCompatible() && header.pixels() == image.size();
    m_greyJpeg = m_originalJpeg ? header.components() == 1 : greyInJpeg(image);
}

PageSource PageSource::stored(const std::shared_ptr<PageStoreFolder> &folder, int number,
                              const QImage &image, const QByteArray &original, bool keepInHand)
{
    PageSource page;
    page.describe(image, original);
    page.m_folder = folder;
    page.m_number = number;
    page.m_onDiskOriginal = !original.isEmpty();
    if (keepInHand) {
        page.m_image = image;
        page.m_original = original;
    }
    return page;
}

PageSource PageSource::fromFolder(const std::shared_ptr<PageStoreFolder> &folder, int number)
{
    PageSource page;
    page.m_folder = folder;
    page.m_number = number;
    QFile file(folder->file(number, "page"));
    if (!file.open(QIODevice::ReadOnly))
        return PageSource();
    if (LosslessPage::isLossless(file.peek(16))) {
        const LosslessPage::Info info = LosslessPage::readInfo(&file);
        if (info.format == QImage::Format_Grayscale8 || info.format == QImage::Format_RGB32 ||
            info.format == QImage::Format_RGB888 || info.format == QImage::Format_ARGB32) {
            // Described by the header; other formats need their colour table: read whole.
            page.m_size = info.size;
            page.m_dpi = dpiOf(info.dotsPerMeterX, info.dotsPerMeterY);
            page.m_greyJpeg = info.format == QImage::Format_Grayscale8;
            return page.isNull() ? PageSource() : page;
        }
        file.seek(0);
        page.describe(LosslessPage::read(&file), QByteArray());
        return page.isNull() ? PageSource() : page;
    }
    const QByteArray bytes = file.readAll();
    page.m_onDiskOriginal = true;
    const JpegHeader header = JpegHeader::read(bytes);
    if (header.isPdfCompatible()) {
        // What the decoder makes of it, without decoding: Qt takes the JFIF density, or its
        // own 96 dpi when the file states none.
        page.m_size = header.pixels();
        page.m_dpi = header.dpi().isNull() ? QPointF(96, 96) : header.dpi();
        page.m_originalJpeg = true;
        page.m_greyJpeg = header.components() == 1;
        return page;
    }
    QImage image;
    PageDecoder::decode(bytes, &image);
    page.describe(image, bytes);
    return page.isNull() ? PageSource() : page;
}

PageSource PageSource::withoutPixels() const
{
    PageSource page = *this;
    if (page.m_folder) {
        page.m_image = QImage();
        page.m_original = QByteArray();
    }
    return page;
}

void PageSource::markSaved() const
{
    if (m_folder)
        m_folder->recordSaved(m_number);
}

QImage PageSource::image() const
{
    if (!m_image.isNull() || !m_folder)
        return m_image;
    QImage image;
    if (m_onDiskOriginal) {
        // The scanner's file decodes to the very pixels the corrections left untouched.
        PageDecoder::decode(readFile(m_folder->file(m_number, "page")), &image);
    } else {
        QFile file(m_folder->file(m_number, "page"));
        if (file.open(QIODevice::ReadOnly))
            image = LosslessPage::read(&file);
    }
    return image.size() == m_size ? image : QImage();
}

QByteArray PageSource::documentJpeg() const
{
    if (m_originalJpeg)
        return !m_original.isEmpty() ? m_original : readFile(m_folder->file(m_number, "page"));
    if (isNull())
        return QByteArray();
    const QString kept = m_folder ? m_folder->file(m_number, "jpeg") : QString();
    if (!kept.isEmpty() && QFile::exists(kept))
        return readFile(kept);
    const QByteArray jpeg = ImageEncoder::encode(image(), "jpeg");
    if (!kept.isEmpty() && !jpeg.isEmpty())
        PageStoreFolder::write(kept, jpeg); // only saves time later: a failure costs nothing
    return jpeg;
}
