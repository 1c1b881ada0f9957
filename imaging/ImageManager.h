#pragma once

#include "imaging/ImageObject.h"

#include <QImage>
#include <QList>
#include <QMutex>

// The ordered page store of the current scan or preview, with the page selected in the preview
// window. The collector thread appends while the GUI thread reads, so every access to the list
// and the current index is under one mutex. Records stay valid until ClearImages(), which the
// window calls only when no collector is running.
class ImageManager
{
public:
    static ImageManager *Instance();

    // Takes ownership of `image`, names the page after `document` (the record's document name
    // when none is given) and appends it. Returns the new record.
    ImageObject *AddImage(QImage *image);
    ImageObject *AddImage(QImage *image, const QString &document);
    void ClearImages();
    ImageObject *getCurImage() const;
    ImageObject *getBackImage() const;

    int count() const;
    // The record at `index`, or null when the index is out of range.
    ImageObject *at(int index) const;
    int curIndex() const;
    // Sets the selected page; -1 or a valid index.
    void setCurIndex(int index);

    // Copies of page images taken under the lock (cheap: QImage shares its pixels), so a page
    // rotated on the GUI thread is never read half-written by the collector.
    QImage imageAt(int index) const;
    QList<QImage> images() const;
    // Replaces the pixels of page `index` (rotation); the record and its name stay.
    void replaceImage(int index, const QImage &image);

private:
    ImageManager();
    ~ImageManager();

    static ImageManager *m_pInstance;

    mutable QMutex m_mutex;
    QList<ImageObject *> m_images;
    int m_curIndex;
    int m_nameCounter;
};
