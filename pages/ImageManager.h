// pages/: the page store (ImageManager) with its folder on disk (PageStoreFolder), the pages it
// hands out for writing (PageSource), and the page primitives they rest on: decoding
// (PageDecoder), encoding (ImageEncoder, LosslessPage), a JPEG's header, a page's resolution and
// tone, and putting a file in place whole (FileCommit). The store's side of recovery (a page a
// dead console left, adopted or stored anew) is here too. It uses nothing else of the console:
// imaging/, documents/ and scan/ stand on it.

#pragma once

#include "pages/ImageObject.h"
#include "pages/PageSource.h"
#include "pages/PageStoreFolder.h"

#include <QImage>
#include <QList>
#include <QMutex>
#include <QRecursiveMutex>

#include <functional>
#include <memory>

// The ordered page store of the current scan or preview, with the page selected in the preview
// window.
//
// Memory stays bounded whatever the page count: every page is kept on disk in a folder of this
// console under the user's cache folder (PageStoreFolder), written before it counts as added,
// and only the last few pages read (CachedPages) stay decoded in memory. A page the corrections
// left as it was is kept as the scanner's JPEG file itself (it decodes to the same pixels), any
// other in a fast lossless form; either way it comes back pixel for pixel. Should the folder
// fail (a full disk), the page is kept in memory instead: never lost.
//
// The collector thread appends while the GUI thread reads: the list, the selection and the
// cache are under one mutex, and no lock is held while a page is written or read. Records
// stay valid until ClearImages(), which the window calls only when no collector is running.
class ImageManager
{
public:
    static ImageManager *Instance();

    // Decoded pages kept in memory besides those in use: the page shown and its neighbours.
    static const int CachedPages = 3;
    // The thumbnail's bounding box.
    static const int ThumbnailSide = 200;

    // Stores `image` (taken over and deleted), named after `document`, and appends it. Returns
    // the new record.
    ImageObject *AddImage(QImage *image, const QString &document);
    // Writes a run's settings to the file it is given (the store's own file for them); true
    // when they are there. The run's owner knows the settings and their file's layout.
    using SettingsWriter = std::function<bool(const QString &file)>;
    // A run's way in, in steps. Before its scan program starts, the run's settings and its run
    // folder are kept beside its pages (a page taken but not corrected when the console ended is
    // corrected with them at the next start; the page files the scan program left are found
    // there): `runFolder` is the folder's path, `holder` what keeps it on disk, held by the
    // store until it is cleared. keepRunSettings() keeps the settings alone, unless the run has
    // kept them already.
    void keepRun(const SettingsWriter &writeSettings, const QString &runFolder,
                 const std::shared_ptr<void> &holder);
    void keepRunSettings(const SettingsWriter &writeSettings);
    // When a page file is taken: its page name, the next one of the store's numbering (made of
    // `document`, the number and the time), and the file kept in the store's folder at once, so
    // the page survives the console from this moment on. keepTaken() returns the page's slot
    // in the folder (0 when it could not be kept); `origin` is the page file's path.
    QString newPageName(const QString &document);
    // Page `number` of the numbering, named now: `document`, the number (none for 1) and the
    // time ("-yyyy-MM-dd-hh-mm-ss").
    static QString pageName(const QString &document, int number);
    int keepTaken(const QByteArray &file, const QString &name, const QString &origin = QString());
    // A page file the store could not keep: it stays in the run folder, noted in the index (as
    // far as the folder still takes a line) under its name.
    void keepLeft(const QString &name, const QString &origin);
    // When it is corrected: `page` added under `name`; `original` the page file's bytes when
    // the corrections left the page exactly as it was decoded from them (they are then what
    // is kept), else empty; `slot` from keepTaken(). `stored`, when given, receives the page
    // with its pixels in hand, for writing it out without reading it back. `skipped`: a blank
    // page left out of the run's documents (ImageObject::skipped). `origin`: the page file's
    // path when the page was not kept at taking (slot 0).
    ImageObject *addPage(const QImage &page, const QByteArray &original, const QString &name,
                         int slot = 0, PageSource *stored = nullptr, bool skipped = false,
                         const QString &origin = QString());
    // Marks page `index` as left out of the documents, or puts it back (GUI thread); the mark
    // is kept with the page on disk, so it survives the console like the page.
    void setSkipped(int index, bool skipped);
    // Empties the store and removes its folder (once no save still reads from it).
    void ClearImages();
    ImageObject *getCurImage() const;
    ImageObject *getBackImage() const;

    int count() const;
    // The record at `index`, or null when the index is out of range.
    ImageObject *at(int index) const;
    int curIndex() const;
    // Sets the selected page; -1 or a valid index.
    void setCurIndex(int index);

    // The pixels of page `index` exactly as corrected (and turned); a null image for an empty
    // page or an index out of range. The image is the caller's own: the store may let go of
    // its copy at any time.
    QImage imageAt(int index) const;
    // Page `index` for writing it out, fetched only when it is written.
    PageSource sourceAt(int index) const;
    // Every page, in store order.
    QList<PageSource> sources() const;
    // For each page in store order, whether it has been written to a destination
    // (PageSource::markSaved); a page the folder could not take counts as not saved.
    QList<bool> savedMarks() const;
    // Replaces the pixels of page `index` (rotation): the page is stored again, its thumbnail
    // made again; the record and its name stay.
    void replaceImage(int index, const QImage &image);

    // Recovery's way in (PageRecovery), one page at a time, each appended with its name and
    // its mark of having been saved. A page of a folder a console left, moved into the store's
    // own folder: null when its files are no page of ours (nothing is added then).
    ImageObject *adoptPage(const std::shared_ptr<PageStoreFolder> &from,
                           const PageStoreFolder::Entry &entry);
    // A page made again from a page file (corrected as its run would have): stored anew, noting
    // the file it came from. `original`: that file, when the page is exactly what it decodes to.
    // `onDisk` tells whether the store's folder took it (else it is held in memory).
    ImageObject *restorePage(const QImage &page, const QByteArray &original, const QString &name,
                             bool saved, const QString &origin, bool *onDisk = nullptr);

    // The folder of the pages now in the store (empty when there is none yet), and the folder
    // new folders are made in (PageStoreFolder::defaultRoot() unless changed).
    QString folderPath() const;
    QString folderRoot() const;
    void setFolderRoot(const QString &root);

    static QImage makeThumbnail(const QImage &page);

private:
    ImageManager();
    ~ImageManager();

    struct Page
    {
        ImageObject *record;
        PageSource source; // without pixels in hand, unless kept in memory
        int slot;          // the page's place in the folder's index
    };

    std::shared_ptr<PageStoreFolder> folder();
    // Writes `image` (or `original`) and its thumbnail as a new version of slot `slot` (a new
    // page when 0) named `name`, taken from `origin`; the page kept in memory when the folder
    // cannot take it.
    PageSource store(const QImage &image, const QByteArray &original, const QImage &thumbnail,
                     int *slot, const QString &name, const QString &origin);
    static bool writeThumbnail(const std::shared_ptr<PageStoreFolder> &pages, int number,
                               const QImage &thumbnail);
    // Page `entry` of a folder left behind, moved into `pages` (the store's folder) under a new
    // number, with its thumbnail; null when it is no page of ours.
    static PageSource adopt(const std::shared_ptr<PageStoreFolder> &from,
                            const PageStoreFolder::Entry &entry,
                            const std::shared_ptr<PageStoreFolder> &pages, int *number,
                            QImage *thumbnail);
    // Appends the page under the lock; `pixels`, when given, are kept among the cached pages.
    void append(ImageObject *record, const PageSource &source, int slot,
                const QImage &pixels = QImage());
    // Called with m_mutex held.
    void cache(int number, const QImage &image) const;
    // Records whether version `number` of slot `slot` is a skipped page.
    void markSkipped(int slot, int number, const QString &name, bool skipped);

    static ImageManager *m_pInstance;

    mutable QMutex m_mutex;
    QRecursiveMutex m_addMutex; // one page added at a time: names follow the store's order
    QString m_root;
    std::shared_ptr<PageStoreFolder> m_folder;
    bool m_runKept = false; // the run's settings are in m_folder
    // The run folders of the pages in the store: a page the store could not keep is its file.
    QList<std::shared_ptr<void>> m_runFolders;
    QList<Page> m_images;
    // Most recently used first: (version number, pixels).
    mutable QList<QPair<int, QImage>> m_cache;
    int m_curIndex;
    int m_nameCounter;
};
