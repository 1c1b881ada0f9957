#pragma once

#include <QByteArray>
#include <QImage>
#include <QPointF>
#include <QSize>

#include <memory>

class PageStoreFolder;

// One page as its readers and writers get it: a page of the page store, fetched from the
// store's folder when it is asked for (so holding one costs no pixels), or an image in hand.
// Copies are cheap, may go to any thread, and a page of the store stays readable while a copy
// lives, also after the store has been cleared.
class PageSource
{
public:
    // No page.
    PageSource() = default;
    static PageSource ofImage(const QImage &image);

    // The page has no pixels (an empty page, or none).
    bool isNull() const { return m_size.isEmpty(); }
    QSize size() const { return m_size; }
    // Dots per inch across and down.
    QPointF dpi() const { return m_dpi; }

    // The page exactly as it was corrected; a null image when it cannot be read back.
    QImage image() const;
    // The page as one JPEG for a PDF or OFD: the scanner's own file when nothing changed the page
    // (and a PDF can hold it as it is), otherwise the page encoded as the JPG format writes it
    // (kept beside the page for the next time). Empty when it cannot be had.
    QByteArray documentJpeg() const;
    // Whether documentJpeg() is a grey (one-component) JPEG rather than a colour one.
    bool isGreyJpeg() const { return m_greyJpeg; }
    // Whether documentJpeg() is the scanner's own file.
    bool keepsOriginal() const { return m_originalJpeg; }

    // For the page store: version `number` in `folder`, of a page whose pixels are `image`
    // (optionally kept in hand) and whose file is the scanner's `original` bytes when not empty
    // (else the lossless form).
    static PageSource stored(const std::shared_ptr<PageStoreFolder> &folder, int number,
                             const QImage &image, const QByteArray &original, bool keepInHand);
    // Version `number` in `folder`, described from its files alone; null when they cannot be
    // read.
    static PageSource fromFolder(const std::shared_ptr<PageStoreFolder> &folder, int number);
    // The version's number in its folder (0: not in a folder).
    int number() const { return m_number; }
    // The same page without the pixels in hand.
    PageSource withoutPixels() const;
    // Notes in the page store's folder that the page has been written to its destination, so
    // that recovery can say so (a page kept only in memory has nowhere to note it).
    void markSaved() const;

private:
    void describe(const QImage &image, const QByteArray &original);

    std::shared_ptr<PageStoreFolder> m_folder;
    int m_number = 0;
    QImage m_image;                // in hand
    QByteArray m_original;         // the scanner's file, in hand
    bool m_onDiskOriginal = false; // the folder holds the scanner's file (else the lossless form)
    bool m_originalJpeg = false;   // documentJpeg() is the scanner's file
    bool m_greyJpeg = false;
    QSize m_size;
    QPointF m_dpi;
};
