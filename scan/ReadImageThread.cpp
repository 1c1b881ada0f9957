#include "scan/ReadImageThread.h"

#include "documents/OfdWriter.h"
#include "documents/PageWriter.h"
#include "documents/PdfPageWriter.h"
#include "documents/SearchablePdfJob.h"
#include "imaging/PageCorrector.h"
#include "pages/ImageManager.h"
#include "pages/PageDecoder.h"
#include "scan/PageFolder.h"
#include "scan/RunSettingsFile.h"
#include "settings/SaveFormat.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QMutexLocker>

#include <algorithm>
#include <memory>

const char *const ReadImageThread::TempDir = PageFolder::DefaultPath;

namespace {

// The corrections left the page exactly as it was decoded (pixels, format and resolution), so
// the page file itself is the page.
bool unchanged(const QImage &decoded, const QImage &corrected)
{
    if (decoded.format() != corrected.format() || decoded.size() != corrected.size() ||
        decoded.dotsPerMeterX() != corrected.dotsPerMeterX() ||
        decoded.dotsPerMeterY() != corrected.dotsPerMeterY())
        return false;
    return decoded.constBits() == corrected.constBits() || decoded == corrected;
}

// The store's pages that go into the run's documents (not the skipped ones), in order, and the
// name of the first of them.
QList<PageSource> documentPages(QString *firstName)
{
    ImageManager *store = ImageManager::Instance();
    QList<PageSource> pages;
    for (int i = 0; i < store->count(); ++i) {
        const ImageObject *record = store->at(i);
        if (!record || record->skipped)
            continue;
        if (firstName->isEmpty())
            *firstName = record->name;
        pages.append(store->sourceAt(i));
    }
    return pages;
}

} // namespace

ReadImageThread::ReadImageThread(const ScanSettings &settings, const QString &pageFolder)
    : QThread(nullptr), m_settings(settings), m_pageFolder(pageFolder), m_finish(false),
      m_saveFlag(true), m_taken(0), m_mergedPages(false), m_queuedPages(0), m_inFlight(0),
      m_mostInFlight(0)
{
}

ReadImageThread::~ReadImageThread()
{
    wait();
}

void ReadImageThread::SetSaveFlag(bool save)
{
    m_saveFlag = save;
}

void ReadImageThread::Finish()
{
    m_finish = true;
}

int ReadImageThread::mostPagesInFlight() const
{
    QMutexLocker lock(&m_queueMutex);
    return m_mostInFlight;
}

void ReadImageThread::run()
{
    // Pages taken but not stored yet when the console ends are corrected with these at the
    // next start.
    ImageManager::Instance()->keepRunSettings(RunSettingsFile::writer(m_settings));
    std::unique_ptr<QThread> writer(QThread::create([this] { writePages(); }));
    writer->start();
    // The stop request is looked at between sweeps only, so a sweep always ends whole.
    while (!m_finish) {
        // An empty folder is looked into again after a short pause; pages are taken at once.
        if (sweep() == 0 && !m_finish)
            QThread::msleep(IdlePollMs);
    }
    // The stop request comes after the scan program has ended, so page files still waiting
    // belong to this run: a collector slower than the feeder (a slow format, a big page) takes
    // them now instead of leaving them to the next scan. A sweep that could take none ends it.
    while (pageFilesWaiting() && sweep() > 0) {
    }
    hand({Item::End, QImage(), QByteArray(), QString(), 0, QString()});
    writer->wait();
    emit ThreadFinished();
}

int ReadImageThread::sweep()
{
    hand({Item::SweepStart, QImage(), QByteArray(), QString(), 0, QString()});
    readImages();
    hand({Item::SweepEnd, QImage(), QByteArray(), QString(), 0, QString()});
    return m_taken;
}

bool ReadImageThread::pageFilesWaiting() const
{
    // Regular files only: a directory, link or pipe under a page name is never taken.
    return !PageFolder(m_pageFolder).pageNames().isEmpty();
}

void ReadImageThread::readImages()
{
    // A folder that is not ours (a link, someone else's) gives no names: nothing in it is read
    // or deleted. Files written from now on belong to the next sweep. The scan program puts
    // each page file in place only when it is complete, and a JPEG that still looks cut off is
    // waited for, so the pages are taken at once.
    const PageFolder folder(m_pageFolder);
    const QStringList entries = folder.pageNames();
    ImageManager *store = ImageManager::Instance();
    m_taken = 0;

    for (const QString &entry : entries) {
        // The page is named when it is taken, and its file kept in the store's folder before it
        // is deleted here: from then on the page survives the console, also while it waits for
        // its turn. One the store's folder cannot keep stays in the run folder.
        QString name;
        int slot = 0;
        const QString origin = QDir(m_pageFolder).absoluteFilePath(entry);
        const PageFolder::Page file = folder.take(entry, m_kept, [&](const PageFolder::Page &read) {
            name = store->newPageName(m_settings.name);
            if (read.oversized || read.bytes.isEmpty())
                return true; // no page to keep: taken away
            slot = store->keepTaken(read.bytes, name, origin);
            if (slot == 0)
                noteStoreFull(name, origin);
            return slot != 0;
        });
        if (file.state == PageFolder::Page::NoPage || file.state == PageFolder::Page::Known)
            continue;
        if (file.state != PageFolder::Page::NoPage)
            ++m_taken;
        {
            QMutexLocker lock(&m_queueMutex);
            m_mostInFlight = qMax(m_mostInFlight, ++m_inFlight);
        }
        QImage image;
        // A page that cannot be read (or is far too large to be one) is a failed page: it is
        // still taken away and stays an empty page in the store, reported, and the sweep goes on.
        if (file.oversized)
            noteFailedPage(entry, "too large a file");
        else if (!file.complete)
            noteFailedPage(entry, "cut off");
        else if (PageDecoder::decode(file.bytes, &image) == PageDecoder::TooLarge)
            noteFailedPage(entry, "too many pixels");
        else if (image.isNull())
            noteFailedPage(entry, "unreadable");

        const QImage decoded = image;
        PageCorrector::correct(&image, m_settings);
        const bool asDecoded = !image.isNull() && unchanged(decoded, image);
        hand({Item::Page, image, asDecoded ? file.bytes : QByteArray(), name, slot, origin,
              PageCorrector::dropsAsBlank(image, m_settings)});
    }
}

void ReadImageThread::hand(Item item)
{
    QMutexLocker lock(&m_queueMutex);
    // Pages wait for the writing stage only up to the queue's size: memory stays bounded, and
    // a page folder that fills up shows how far the collector is behind.
    while (item.kind == Item::Page && m_queuedPages >= QueueSize)
        m_queueChanged.wait(&m_queueMutex);
    if (item.kind == Item::Page)
        ++m_queuedPages;
    m_queue.enqueue(std::move(item));
    m_queueChanged.wakeAll();
}

ReadImageThread::Item ReadImageThread::next()
{
    QMutexLocker lock(&m_queueMutex);
    while (m_queue.isEmpty())
        m_queueChanged.wait(&m_queueMutex);
    Item item = m_queue.dequeue();
    if (item.kind == Item::Page)
        --m_queuedPages;
    m_queueChanged.wakeAll();
    return item;
}

void ReadImageThread::writePages()
{
    int before = 0;
    for (;;) {
        const Item item = next();
        switch (item.kind) {
        case Item::SweepStart:
            before = ImageManager::Instance()->count();
            break;
        case Item::Page: {
            storePage(item);
            QMutexLocker lock(&m_queueMutex);
            --m_inFlight;
            break;
        }
        case Item::SweepEnd:
            emit UpdateImage(before);
            break;
        case Item::End:
            if (m_mergedPages)
                saveMutiImage();
            if (m_textJob)
                finishTextJob();
            return;
        }
    }
}

void ReadImageThread::storePage(const Item &item)
{
    // Kept on disk before it counts as collected; `page` keeps the pixels in hand for saving.
    PageSource page;
    ImageObject *record =
        ImageManager::Instance()->addPage(item.page, item.original, item.name, item.slot, &page,
                                          item.skipped, item.slot ? QString() : item.origin);
    if (item.skipped) {
        m_tally.pageSkipped();
        return;
    }
    m_tally.pageCollected();
    if (!m_saveFlag || page.isNull()) // an empty page is counted as a failed page already
        return;
    if (SaveFormat::isSearchable(m_settings.save_type)) {
        // Recognised on the job's threads; the file is written when the last page is done.
        if (!m_textJob || !m_textJob->addPage(page))
            noteFailedSave(m_settings.save_path, record->name);
        else
            m_textPages.append(page.withoutPixels());
        return;
    }
    if (SaveFormat::isMerged(m_settings.save_type)) {
        // Written when the run ends; the page's JPEG is made now, beside the next page's
        // correction, rather than all at the end.
        m_mergedPages = true;
        page.documentJpeg();
        return;
    }
    saveImage(record, page);
}

bool ReadImageThread::makeFolder(const QString &folder)
{
    if (!folder.isEmpty() && QDir().mkpath(folder))
        return true;
    noteFailedSave(folder, QStringLiteral("(no folder)"));
    return false;
}

void ReadImageThread::saveImage(ImageObject *record, const PageSource &page)
{
    if (!record || page.isNull())
        return;
    const QString folder = m_settings.save_path;
    if (!makeFolder(folder))
        return;
    const int saveType = m_settings.save_type;
    const QString target = folder + QLatin1Char('/') + record->name + SaveFormat::suffix(saveType);
    // An unknown format writes nothing and counts as a failed save too: the page is not where
    // the operator expects it.
    // A name taken by anything but the operator's own file gives the next free name.
    QString written;
    if (PageWriter::write(page, saveType, target, FileCommit::ReplaceOwnOrFree, &written)) {
        page.markSaved();
        m_tally.pageSaved(written);
    } else
        noteFailedSave(folder, record->name);
}

void ReadImageThread::saveMutiImage()
{
    const QString folder = m_settings.save_path;
    if (!makeFolder(folder))
        return;
    QString first;
    const QList<PageSource> pages = documentPages(&first);
    if (first.isEmpty())
        return;
    const int saveType = m_settings.save_type;
    const QString target = folder + QLatin1Char('/') + first + SaveFormat::suffix(saveType);
    // Empty pages are left out (and counted when they arrived). The writer replaces the file
    // only with a complete new one, so a failed write keeps what was there.
    const int written = int(
        std::count_if(pages.begin(), pages.end(), [](const PageSource &p) { return !p.isNull(); }));
    if (written == 0)
        return;
    QString file;
    const bool saved =
        saveType == SaveFormat::MergedOfd
            ? OfdWriter::write(OfdWriter::pages(pages), target, FileCommit::ReplaceOwnOrFree, &file)
            : PdfPageWriter::write(pages, target, FileCommit::ReplaceOwnOrFree, &file);
    if (saved) {
        for (const PageSource &page : pages)
            page.markSaved();
        m_tally.documentSaved(file, written);
    } else
        noteFailedSave(folder, first + SaveFormat::suffix(saveType), written); // all its pages
}

void ReadImageThread::finishTextJob()
{
    // Named after its first page, like the merged PDF. A folder that cannot be made fails the
    // write, which the job's end reports.
    QString first;
    documentPages(&first);
    if (!first.isEmpty() && m_textJob->pageCount() > 0) {
        QDir().mkpath(m_settings.save_path);
        m_textJob->setTarget(m_settings.save_path + QLatin1Char('/') + first +
                             SaveFormat::suffix(m_settings.save_type));
    }
    m_textJob->finish();
}

void ReadImageThread::markTextPagesSaved()
{
    for (const PageSource &page : qAsConst(m_textPages))
        page.markSaved();
}

void ReadImageThread::noteStoreFull(const QString &name, const QString &origin)
{
    qDebug() << "ReadImageThread: the store cannot keep" << origin << "- left in place";
    ImageManager::Instance()->keepLeft(name, origin);
    if (!m_storeFull) {
        m_storeFull = true;
        emit StoreFull();
    }
}

void ReadImageThread::noteFailedPage(const QString &file, const char *why)
{
    qDebug() << "ReadImageThread: failed page" << file << "-" << why;
    m_tally.pageFailed();
}

void ReadImageThread::noteFailedSave(const QString &folder, const QString &what, int pages)
{
    qDebug() << "ReadImageThread: could not save" << what << "in" << folder;
    m_tally.saveFailed(folder, pages);
}
