#include "pages/ImageManager.h"

#include "pages/LosslessPage.h"
#include "pages/PageDecoder.h"
#include "pages/PageStoreFolder.h"

#include <QBuffer>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QMutexLocker>
#include <QSet>

#include <cstdio>
#include <sys/stat.h>

ImageManager *ImageManager::m_pInstance = nullptr;

ImageManager *ImageManager::Instance()
{
    // The collector thread and the GUI thread may both be first.
    static QMutex creation;
    QMutexLocker lock(&creation);
    if (!m_pInstance)
        m_pInstance = new ImageManager();
    return m_pInstance;
}

ImageManager::ImageManager()
    : m_root(PageStoreFolder::defaultRoot()), m_curIndex(-1), m_nameCounter(1)
{
}

ImageManager::~ImageManager()
{
    ClearImages();
}

QImage ImageManager::makeThumbnail(const QImage &page)
{
    if (page.isNull())
        return QImage();
    return page.scaled(ThumbnailSide, ThumbnailSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

std::shared_ptr<PageStoreFolder> ImageManager::folder()
{
    QMutexLocker lock(&m_mutex);
    if (!m_folder) {
        m_folder = PageStoreFolder::create(m_root);
        if (!m_folder)
            qWarning() << "ImageManager: no page folder under" << m_root
                       << "- pages are kept in memory";
    }
    return m_folder;
}

PageSource ImageManager::store(const QImage &image, const QByteArray &original,
                               const QImage &thumbnail, int *slot, const QString &name,
                               const QString &origin)
{
    if (image.isNull())
        return PageSource();
    const std::shared_ptr<PageStoreFolder> pages = folder();
    if (pages) {
        const int number = pages->newNumber();
        const QString file = pages->file(number, "page");
        const bool written =
            (original.isEmpty()
                 ? PageStoreFolder::write(
                       file, [&](QIODevice *d) { return LosslessPage::write(image, d); })
                 : PageStoreFolder::write(file, original)) &&
            writeThumbnail(pages, number, thumbnail) &&
            pages->record(*slot ? *slot : number, number, PageStoreFolder::Page, name, origin);
        if (written) {
            if (!*slot)
                *slot = number;
            return PageSource::stored(pages, number, image, original, true);
        }
        QFile::remove(file);
        QFile::remove(pages->file(number, "thumb"));
        qWarning() << "ImageManager: could not write" << name << "to" << pages->path()
                   << "- kept in memory";
    }
    return PageSource::ofImage(image);
}

bool ImageManager::writeThumbnail(const std::shared_ptr<PageStoreFolder> &pages, int number,
                                  const QImage &thumbnail)
{
    return PageStoreFolder::write(pages->file(number, "thumb"),
                                  [&](QIODevice *d) { return LosslessPage::write(thumbnail, d); });
}

void ImageManager::keepRun(const SettingsWriter &writeSettings, const QString &runFolder,
                           const std::shared_ptr<void> &holder)
{
    const std::shared_ptr<PageStoreFolder> pages = folder();
    if (pages && holder)
        pages->recordRunFolder(runFolder);
    QMutexLocker lock(&m_mutex);
    if (holder)
        m_runFolders.append(holder);
    m_runKept = false;
    lock.unlock();
    keepRunSettings(writeSettings);
}

void ImageManager::keepRunSettings(const SettingsWriter &writeSettings)
{
    const std::shared_ptr<PageStoreFolder> pages = folder();
    QMutexLocker lock(&m_mutex);
    if (pages && !m_runKept && pages == m_folder)
        m_runKept = writeSettings(pages->settingsFile());
}

QString ImageManager::pageName(const QString &document, int number)
{
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("-yyyy-MM-dd-hh-mm-ss"));
    return number == 1 ? document + stamp : document + QString::number(number) + stamp;
}

QString ImageManager::newPageName(const QString &document)
{
    // The first page of the program's life carries no number; the counter then runs on across
    // clears, so page names never repeat while the document name stays.
    QMutexLocker lock(&m_mutex);
    return pageName(document, m_nameCounter++);
}

int ImageManager::keepTaken(const QByteArray &file, const QString &name, const QString &origin)
{
    const std::shared_ptr<PageStoreFolder> pages = folder();
    if (!pages || file.isEmpty())
        return 0;
    const int number = pages->newNumber();
    if (PageStoreFolder::write(pages->file(number, "page"), file) &&
        pages->record(number, number, PageStoreFolder::Taken, name, origin))
        return number;
    QFile::remove(pages->file(number, "page"));
    return 0;
}

void ImageManager::keepLeft(const QString &name, const QString &origin)
{
    if (const std::shared_ptr<PageStoreFolder> pages = folder())
        pages->record(pages->newNumber(), 0, PageStoreFolder::Left, name, origin);
}

ImageObject *ImageManager::AddImage(QImage *image, const QString &document)
{
    QMutexLocker adding(&m_addMutex);
    ImageObject *record = addPage(image ? *image : QImage(), QByteArray(), newPageName(document));
    delete image;
    return record;
}

ImageObject *ImageManager::addPage(const QImage &page, const QByteArray &original,
                                   const QString &name, int slot, PageSource *stored, bool skipped,
                                   const QString &origin)
{
    QMutexLocker adding(&m_addMutex);
    auto *record = new ImageObject;
    record->name = name;
    record->skipped = skipped;
    record->size = page.size();
    record->thumbnail = makeThumbnail(page);

    const std::shared_ptr<PageStoreFolder> pages = slot ? folder() : nullptr;
    PageSource source;
    if (page.isNull()) {
        if (pages && pages->record(slot, slot, PageStoreFolder::Empty, name))
            QFile::remove(pages->file(slot, "page"));
    } else if (pages && !original.isEmpty() && writeThumbnail(pages, slot, record->thumbnail) &&
               pages->record(slot, slot, PageStoreFolder::Page, name)) {
        // The file kept when it was taken is the page itself.
        source = PageSource::stored(pages, slot, page, original, true);
    } else {
        const int taken = slot;
        source = store(page, original, record->thumbnail, &slot, name, origin);
        // Superseded by the corrected page once that is stored; kept while it is the only copy
        // on disk.
        if (pages && source.number() != 0 && source.number() != taken)
            QFile::remove(pages->file(taken, "page"));
    }
    if (stored)
        *stored = source;
    if (skipped)
        markSkipped(slot, source.number(), name, true);
    append(record, source, slot, page);
    return record;
}

void ImageManager::append(ImageObject *record, const PageSource &source, int slot,
                          const QImage &pixels)
{
    QMutexLocker lock(&m_mutex);
    m_images.append({record, source.withoutPixels(), slot});
    cache(source.number(), pixels);
}

void ImageManager::markSkipped(int slot, int number, const QString &name, bool skipped)
{
    const std::shared_ptr<PageStoreFolder> pages = number > 0 ? folder() : nullptr;
    if (pages)
        pages->record(slot, number, skipped ? PageStoreFolder::Skipped : PageStoreFolder::Page,
                      name);
}

void ImageManager::setSkipped(int index, bool skipped)
{
    ImageObject *record = nullptr;
    int slot = 0, number = 0;
    {
        QMutexLocker lock(&m_mutex);
        if (index < 0 || index >= m_images.size())
            return;
        record = m_images.at(index).record;
        slot = m_images.at(index).slot;
        number = m_images.at(index).source.number();
        record->skipped = skipped;
    }
    markSkipped(slot, number, record->name, skipped);
}

void ImageManager::cache(int number, const QImage &image) const
{
    // Pages kept in memory (number 0) need no second copy.
    if (number <= 0 || image.isNull())
        return;
    for (int i = 0; i < m_cache.size(); ++i) {
        if (m_cache.at(i).first == number) {
            m_cache.removeAt(i);
            break;
        }
    }
    m_cache.prepend({number, image});
    while (m_cache.size() > CachedPages)
        m_cache.removeLast();
}

void ImageManager::ClearImages()
{
    QList<Page> old;
    std::shared_ptr<PageStoreFolder> folder;
    QList<std::shared_ptr<void>> runFolders;
    {
        QMutexLocker lock(&m_mutex);
        old.swap(m_images);
        m_curIndex = -1;
        m_cache.clear();
        folder.swap(m_folder);
        runFolders.swap(m_runFolders);
        m_runKept = false;
    }
    for (const Page &page : old)
        delete page.record;
    // The folder goes with its last user: now, or when a save still reading from it ends.
}

ImageObject *ImageManager::getCurImage() const
{
    QMutexLocker lock(&m_mutex);
    return m_curIndex >= 0 && m_curIndex < m_images.size() ? m_images.at(m_curIndex).record
                                                           : nullptr;
}

ImageObject *ImageManager::getBackImage() const
{
    QMutexLocker lock(&m_mutex);
    return m_images.isEmpty() ? nullptr : m_images.last().record;
}

int ImageManager::count() const
{
    QMutexLocker lock(&m_mutex);
    return m_images.size();
}

ImageObject *ImageManager::at(int index) const
{
    QMutexLocker lock(&m_mutex);
    return index >= 0 && index < m_images.size() ? m_images.at(index).record : nullptr;
}

int ImageManager::curIndex() const
{
    QMutexLocker lock(&m_mutex);
    return m_curIndex;
}

void ImageManager::setCurIndex(int index)
{
    QMutexLocker lock(&m_mutex);
    m_curIndex = index >= 0 && index < m_images.size() ? index : -1;
}

QImage ImageManager::imageAt(int index) const
{
    PageSource source;
    {
        QMutexLocker lock(&m_mutex);
        if (index < 0 || index >= m_images.size())
            return QImage();
        source = m_images.at(index).source;
        for (int i = 0; i < m_cache.size(); ++i) {
            if (m_cache.at(i).first == source.number() && source.number() > 0) {
                const QImage image = m_cache.at(i).second;
                m_cache.move(i, 0);
                return image;
            }
        }
    }
    // Read without the lock: the collector goes on adding meanwhile.
    const QImage image = source.image();
    QMutexLocker lock(&m_mutex);
    // Only while the page is still in the store (no clear came meanwhile).
    if (index < m_images.size() && m_images.at(index).source.number() == source.number())
        cache(source.number(), image);
    return image;
}

PageSource ImageManager::sourceAt(int index) const
{
    QMutexLocker lock(&m_mutex);
    return index >= 0 && index < m_images.size() ? m_images.at(index).source : PageSource();
}

QList<PageSource> ImageManager::sources() const
{
    QMutexLocker lock(&m_mutex);
    QList<PageSource> pages;
    pages.reserve(m_images.size());
    for (const Page &page : m_images)
        pages.append(page.source);
    return pages;
}

QList<bool> ImageManager::savedMarks() const
{
    std::shared_ptr<PageStoreFolder> pages;
    QList<int> pageSlots;
    {
        QMutexLocker lock(&m_mutex);
        pages = m_folder;
        for (const Page &page : m_images)
            pageSlots << (page.source.number() != 0 ? page.slot : 0);
    }
    QSet<int> saved; // read without the lock: the index is a file
    if (pages) {
        for (const PageStoreFolder::Entry &entry : pages->entries()) {
            if (entry.saved)
                saved.insert(entry.slot);
        }
    }
    QList<bool> marks;
    for (int slot : pageSlots)
        marks << (slot > 0 && saved.contains(slot));
    return marks;
}

void ImageManager::replaceImage(int index, const QImage &image)
{
    ImageObject *record = nullptr;
    int slot = 0;
    {
        QMutexLocker lock(&m_mutex);
        if (index < 0 || index >= m_images.size() || m_images.at(index).source.isNull())
            return;
        record = m_images.at(index).record;
        slot = m_images.at(index).slot;
    }
    // A new version of the page: whoever still reads the old one reads it whole.
    const QImage thumbnail = makeThumbnail(image);
    const PageSource source = store(image, QByteArray(), thumbnail, &slot, record->name, QString());
    if (record->skipped) // the new version is the same skipped page
        markSkipped(slot, source.number(), record->name, true);

    QMutexLocker lock(&m_mutex);
    if (index >= m_images.size() || m_images.at(index).record != record)
        return;
    m_images[index].source = source.withoutPixels();
    m_images[index].slot = slot;
    record->size = image.size();
    record->thumbnail = thumbnail;
    cache(source.number(), image);
}

ImageObject *ImageManager::restorePage(const QImage &page, const QByteArray &original,
                                       const QString &name, bool saved, const QString &origin,
                                       bool *onDisk)
{
    if (page.isNull())
        return nullptr;
    QMutexLocker adding(&m_addMutex);
    auto *record = new ImageObject;
    record->name = name;
    record->size = page.size();
    record->thumbnail = makeThumbnail(page);
    int slot = 0;
    const PageSource source = store(page, original, record->thumbnail, &slot, name, origin);
    if (saved)
        source.markSaved();
    if (onDisk)
        *onDisk = source.number() != 0;
    append(record, source, slot);
    return record;
}

ImageObject *ImageManager::adoptPage(const std::shared_ptr<PageStoreFolder> &from,
                                     const PageStoreFolder::Entry &entry)
{
    QMutexLocker adding(&m_addMutex);
    int number = 0;
    QImage thumbnail;
    const PageSource source = adopt(from, entry, folder(), &number, &thumbnail);
    if (source.isNull())
        return nullptr;
    auto *record = new ImageObject;
    record->name = entry.name;
    record->skipped = entry.state == PageStoreFolder::Skipped;
    record->size = source.size();
    record->thumbnail = thumbnail.isNull() ? makeThumbnail(source.image()) : thumbnail;
    append(record, source, number);
    return record;
}

PageSource ImageManager::adopt(const std::shared_ptr<PageStoreFolder> &from,
                               const PageStoreFolder::Entry &entry,
                               const std::shared_ptr<PageStoreFolder> &pages, int *number,
                               QImage *thumbnail)
{
    // The thumbnail is small and, whatever the folder holds, read as such.
    QByteArray bytes;
    if (PageStoreFolder::readOwnFile(from->file(entry.number, "thumb"),
                                     4 * ThumbnailSide * ThumbnailSide + 4096, &bytes)) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        *thumbnail = LosslessPage::read(&buffer);
        if (thumbnail->width() > ThumbnailSide || thumbnail->height() > ThumbnailSide)
            *thumbnail = QImage();
    }
    // The page moves over under a new number (the same file system: a rename), but only the
    // very regular file of ours checked here, within the collector's bound.
    const QString file = from->file(entry.number, "page");
    struct stat checked;
    if (!PageStoreFolder::readOwnFile(file, PageDecoder::MaxPageBytes, &bytes, &checked))
        return PageSource();
    const QByteArray there = QFile::encodeName(file);
    if (pages) {
        *number = pages->newNumber();
        const QByteArray target = QFile::encodeName(pages->file(*number, "page"));
        if (std::rename(there.constData(), target.constData()) == 0) {
            struct stat moved;
            const bool same = lstat(target.constData(), &moved) == 0 &&
                              moved.st_dev == checked.st_dev && moved.st_ino == checked.st_ino;
            const PageSource source = same ? PageSource::fromFolder(pages, *number) : PageSource();
            if (!source.isNull() && thumbnail->isNull())
                *thumbnail = makeThumbnail(source.image());
            if (!source.isNull() && writeThumbnail(pages, *number, *thumbnail) &&
                pages->record(*number, *number,
                              entry.state == PageStoreFolder::Skipped ? PageStoreFolder::Skipped
                                                                      : PageStoreFolder::Page,
                              entry.name, entry.origin)) {
                if (entry.saved)
                    source.markSaved();
                return source;
            }
            std::rename(target.constData(), there.constData()); // back where it was
            if (source.isNull())
                return PageSource(); // no page of ours
        }
        *number = 0;
    }
    // The store's folder cannot take it: the page is kept in memory, and the folder it came
    // from stays for the next start.
    from->keep();
    QImage image;
    if (LosslessPage::isLossless(bytes)) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        image = LosslessPage::read(&buffer);
    } else {
        PageDecoder::decode(bytes, &image);
    }
    if (!image.isNull() && thumbnail->isNull())
        *thumbnail = makeThumbnail(image);
    return PageSource::ofImage(image);
}

QString ImageManager::folderPath() const
{
    QMutexLocker lock(&m_mutex);
    return m_folder ? m_folder->path() : QString();
}

QString ImageManager::folderRoot() const
{
    QMutexLocker lock(&m_mutex);
    return m_root;
}

void ImageManager::setFolderRoot(const QString &root)
{
    QMutexLocker lock(&m_mutex);
    m_root = root;
}
