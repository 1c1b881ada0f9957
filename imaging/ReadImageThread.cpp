#include "imaging/ReadImageThread.h"

#include "imaging/ImageManager.h"
#include "imaging/PageCorrector.h"
#include "imaging/PageDecoder.h"
#include "imaging/PageWriter.h"
#include "imaging/PdfPageWriter.h"
#include "imaging/SaveFormat.h"
#include "scan/PageFolder.h"

#include <QDebug>
#include <QDir>
#include <QFile>

#include <algorithm>

const char *const ReadImageThread::TempDir = PageFolder::DefaultPath;

ReadImageThread::ReadImageThread(const ScanSettings &settings)
    : QThread(nullptr), m_settings(settings), m_finish(false), m_saveFlag(true), m_taken(0)
{
}

void ReadImageThread::SetSaveFlag(bool save)
{
    m_saveFlag = save;
}

void ReadImageThread::Finish()
{
    m_finish = true;
}

void ReadImageThread::run()
{
    // The stop request is looked at between sweeps only, so a sweep always ends whole.
    while (!m_finish)
        sweep();
    // The stop request comes after the scan program has ended, so page files still waiting
    // belong to this run: a collector slower than the feeder (a slow format, a big page) takes
    // them now instead of leaving them to the next scan. A sweep that could take none ends it.
    while (pageFilesWaiting() && sweep() > 0) {
    }
    emit ThreadFinished();
}

int ReadImageThread::sweep()
{
    const int before = ImageManager::Instance()->count();
    readImages();
    emit UpdateImage(before);
    return m_taken;
}

bool ReadImageThread::pageFilesWaiting()
{
    // Regular files only: a directory, link or pipe under a page name is never taken.
    return !PageFolder(QString::fromLatin1(TempDir)).pageNames().isEmpty();
}

void ReadImageThread::readImages()
{
    // A folder that is not ours (a link, someone else's) gives no names: nothing in it is read
    // or deleted. Files written from now on belong to the next sweep.
    const PageFolder folder(QString::fromLatin1(TempDir));
    const QStringList entries = folder.pageNames();
    // Gives the scan program time to finish the files just listed, and paces the sweeps.
    QThread::sleep(1);
    const int saveType = m_settings.save_type;
    m_taken = 0;

    for (const QString &entry : entries) {
        const PageFolder::Page file = folder.take(entry, m_kept);
        if (file.state == PageFolder::Page::NoPage || file.state == PageFolder::Page::Known)
            continue;
        if (file.state == PageFolder::Page::Taken)
            ++m_taken;
        auto *image = new QImage;
        // A page that cannot be read (or is far too large to be one) is a failed page: it is
        // still taken away and stays an empty page in the store, reported, and the sweep goes on.
        if (file.oversized)
            noteFailedPage(entry, "too large a file");
        else if (!file.complete)
            noteFailedPage(entry, "cut off");
        else if (PageDecoder::decode(file.bytes, image) == PageDecoder::TooLarge)
            noteFailedPage(entry, "too many pixels");
        else if (image->isNull())
            noteFailedPage(entry, "unreadable");

        PageCorrector::correct(image, m_settings);
        ImageObject *record = ImageManager::Instance()->AddImage(image, m_settings.name);
        m_tally.pageCollected();

        if (!m_saveFlag)
            continue;
        if (image->isNull()) // counted as a failed page already
            continue;
        if (saveType == SaveFormat::MergedPdf)
            saveMutiImage();
        else
            saveImage(record);
    }
}

bool ReadImageThread::makeFolder(const QString &folder)
{
    if (!folder.isEmpty() && QDir().mkpath(folder))
        return true;
    noteFailedSave(folder, QStringLiteral("(no folder)"));
    return false;
}

void ReadImageThread::saveImage(ImageObject *record)
{
    if (!record || !record->image)
        return;
    const QString folder = m_settings.save_path;
    if (!makeFolder(folder))
        return;
    const int saveType = m_settings.save_type;
    const QString target = folder + QLatin1Char('/') + record->name + SaveFormat::suffix(saveType);
    // The page was added in this sweep; the window learns of it only after the sweep, so
    // nothing else touches it yet. An empty page or an unknown format writes nothing and
    // counts as a failed save too: the page is not where the operator expects it.
    if (PageWriter::write(*record->image, saveType, target))
        m_tally.pageSaved(target);
    else
        noteFailedSave(folder, record->name);
}

void ReadImageThread::saveMutiImage()
{
    const QString folder = m_settings.save_path;
    if (!makeFolder(folder))
        return;
    ImageManager *store = ImageManager::Instance();
    const ImageObject *first = store->at(0);
    if (!first)
        return;
    const QString target = folder + QLatin1Char('/') + first->name + QStringLiteral(".pdf");
    const QList<QImage> pages = store->images();
    // Empty pages are left out (and counted when they arrive); with nothing but empty pages
    // there is nothing to write yet.
    const int written =
        int(std::count_if(pages.begin(), pages.end(), [](const QImage &p) { return !p.isNull(); }));
    if (written == 0)
        return;
    // The file already holds every page so far; the writer replaces it only with a complete
    // new one, so a failed rewrite keeps the pages saved before.
    if (PdfPageWriter::writeMerged(pages, target))
        m_tally.documentSaved(target, written);
    else
        noteFailedSave(folder, first->name + QStringLiteral(".pdf"));
}

void ReadImageThread::noteFailedPage(const QString &file, const char *why)
{
    qDebug() << "ReadImageThread: failed page" << file << "-" << why;
    m_tally.pageFailed();
}

void ReadImageThread::noteFailedSave(const QString &folder, const QString &what)
{
    qDebug() << "ReadImageThread: could not save" << what << "in" << folder;
    m_tally.saveFailed(folder);
}
