#include "scan/PageRecovery.h"

#include "imaging/PageCorrector.h"
#include "pages/ImageManager.h"
#include "pages/LosslessPage.h"
#include "pages/PageDecoder.h"
#include "scan/PageFolder.h"
#include "scan/RunFolder.h"
#include "scan/RunSettingsFile.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <algorithm>

namespace {

// Whether `bytes` can be a page: a lossless page whose header is sound, or an image whose
// decoder knows its size (within the decoder's bound) and, for a JPEG, that is not cut off.
bool looksLikePage(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    if (LosslessPage::isLossless(bytes))
        return LosslessPage::readInfo(&buffer).format != QImage::Format_Invalid;
    const QSize size = QImageReader(&buffer).size();
    return size.isValid() && qint64(size.width()) * size.height() <= PageDecoder::MaxPixels &&
           PageFolder::looksComplete(bytes);
}

QString nameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

// The number in a page name of `document` (ImageManager::pageName), 0 for another name.
int numberIn(const QString &name, const QString &document)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(document) +
                           QStringLiteral("(\\d*)-\\d{4}(-\\d\\d){5}$"))
            .match(name);
    return !match.hasMatch() ? 0 : match.captured(1).isEmpty() ? 1 : match.captured(1).toInt();
}

} // namespace

PageRecovery::PageRecovery(const QString &root, int waitMs)
{
    QElapsedTimer waited;
    waited.start();
    QList<Run> claimed;
    QSet<QString> stored; // the page files whose pages a store folder holds
    for (const QString &path : PageStoreFolder::folders(root)) {
        Run run;
        run.folder = PageStoreFolder::claim(path);
        if (!run.folder)
            continue; // a running console's, or not ours to take
        QList<PageStoreFolder::Entry> entries;
        if (!PageStoreFolder::readIndex(path, &entries)) {
            // Without its index no page there has a name or a place: each is named by its file.
            m_unreadable << QDir(path).entryList({QStringLiteral("*.page")},
                                                 QDir::Files | QDir::System, QDir::Name);
        }
        const QString runFolder = run.folder->runFolder();
        if (!runFolder.isEmpty() && RunFolder::isRunFolder(runFolder)) {
            // Its scan program finishes the page in hand when the console dies.
            while (RunFolder::isBusy(runFolder) && !waited.hasExpired(waitMs))
                QThread::msleep(50);
            if (RunFolder::isBusy(runFolder)) {
                run.folder->keep(); // still scanning: for the next start
                continue;
            }
            run.runFolder = QDir::cleanPath(runFolder);
        }
        run.settingsKnown = RunSettingsFile::read(run.folder->settingsFile(), &run.settings);
        for (const PageStoreFolder::Entry &entry : entries) {
            if (entry.state != PageStoreFolder::Left && !entry.origin.isEmpty())
                stored.insert(QDir::cleanPath(entry.origin));
            run.pages.append({entry, QString(), entry.saved});
        }
        claimed.append(run);
    }
    for (Run &run : claimed) {
        const int unreadable = m_unreadable.size();
        findPages(run, stored);
        if (run.pages.isEmpty() && m_unreadable.size() == unreadable) {
            RunFolder::remove(run.runFolder); // nothing to offer: both folders go now
            continue;
        }
        m_runs.append(run);
    }
}

PageRecovery::~PageRecovery()
{
    for (const Run &run : m_runs)
        run.folder->keep();
}

void PageRecovery::findPages(Run &run, const QSet<QString> &stored)
{
    const QStringList files =
        run.runFolder.isEmpty() ? QStringList() : PageFolder(run.runFolder).pageNames();
    const auto inRunFolder = [&](const QString &origin) {
        return !run.runFolder.isEmpty() && QFileInfo(origin).path() == run.runFolder;
    };
    QList<Page> found;
    QSet<QString> placed; // run folder files among the pages
    for (Page page : qAsConst(run.pages)) {
        if (page.entry.state == PageStoreFolder::Empty)
            continue;
        if (page.entry.state == PageStoreFolder::Left) {
            // The store could not keep it: its file, unless a later version holds the page.
            const QString origin = QDir::cleanPath(page.entry.origin);
            page.file = nameOf(origin);
            if (!inRunFolder(origin) || stored.contains(origin) || !files.contains(page.file) ||
                placed.contains(page.file))
                continue;
            placed.insert(page.file);
        } else {
            // A file that is gone was moved out by a restore that did not finish.
            QFileInfo file(run.folder->file(page.entry.number, "page"));
            if (!file.exists() && !file.isSymLink())
                continue;
        }
        found.append(page);
    }
    // The files no page names yet: each before the first page taken from a later file, so the
    // run keeps the scanner's order.
    for (const QString &file : files) {
        if (placed.contains(file) || stored.contains(run.runFolder + QLatin1Char('/') + file))
            continue;
        Page page;
        page.entry.state = PageStoreFolder::Left;
        page.file = file;
        int at = 0;
        while (at < found.size()) {
            const Page &other = found.at(at);
            const QString taken = !other.file.isEmpty()             ? other.file
                                  : inRunFolder(other.entry.origin) ? nameOf(other.entry.origin)
                                                                    : QString();
            if (!taken.isEmpty() && taken.toLower() > file.toLower())
                break;
            ++at;
        }
        found.insert(at, page);
    }
    run.pages.clear();
    for (const Page &page : qAsConst(found)) {
        if (checkPage(run, page))
            run.pages.append(page);
        if (const int number = numberIn(page.entry.name, run.settings.name))
            run.nextNumber = qMax(run.nextNumber, number + 1);
    }
}

QByteArray PageRecovery::readPage(const Run &run, const Page &page) const
{
    QByteArray bytes;
    PageStoreFolder::readOwnFile(page.file.isEmpty() ? run.folder->file(page.entry.number, "page")
                                                     : run.runFolder + QLatin1Char('/') + page.file,
                                 PageFolder::MaxPageBytes, &bytes);
    return bytes;
}

bool PageRecovery::checkPage(const Run &run, const Page &page)
{
    if (looksLikePage(readPage(run, page)))
        return true;
    m_unreadable << (page.entry.name.isEmpty() ? page.file : page.entry.name);
    return false;
}

int PageRecovery::pageCount() const
{
    int pages = 0;
    for (const Run &run : m_runs)
        pages += run.pages.size();
    return pages;
}

int PageRecovery::unsavedCount() const
{
    int pages = 0;
    for (const Run &run : m_runs)
        pages += int(std::count_if(run.pages.begin(), run.pages.end(), [](const Page &page) {
            // A blank page left out of the documents is not meant to be saved.
            return !page.saved && page.entry.state != PageStoreFolder::Skipped;
        }));
    return pages;
}

bool PageRecovery::restorePage(ImageManager *store, Run &run, const Page &page)
{
    if (page.file.isEmpty() &&
        (page.entry.state == PageStoreFolder::Page || page.entry.state == PageStoreFolder::Skipped))
        return store->adoptPage(run.folder, page.entry) != nullptr;
    // The scanner's file, taken or left: corrected now as its run would have.
    const QByteArray bytes = readPage(run, page);
    QImage image;
    PageDecoder::decode(bytes, &image);
    if (image.isNull())
        return false;
    const QImage decoded = image;
    if (run.settingsKnown)
        PageCorrector::correct(&image, run.settings);
    const bool asDecoded = image.constBits() == decoded.constBits() || image == decoded;
    // A file no page names yet is named on from the run's numbering, so that no two pages of
    // the run share a name (the stem of their files).
    QString name = page.entry.name;
    if (name.isEmpty())
        name = run.nextNumber > 0 ? ImageManager::pageName(run.settings.name, run.nextNumber++)
                                  : store->newPageName(run.settings.name);
    const QString origin =
        page.file.isEmpty() ? page.entry.origin : run.runFolder + QLatin1Char('/') + page.file;
    bool onDisk = false;
    if (!store->restorePage(image, asDecoded ? bytes : QByteArray(), name, page.saved, origin,
                            &onDisk))
        return false;
    if (!onDisk)
        run.folder->keep(); // held in memory only: its files stay for the next start
    return true;
}

int PageRecovery::restore(ImageManager *store)
{
    int restored = 0;
    for (Run &run : m_runs) {
        for (const Page &page : qAsConst(run.pages)) {
            if (restorePage(store, run, page))
                ++restored;
            else
                m_unreadable << (page.entry.name.isEmpty() ? page.file : page.entry.name);
        }
        if (run.folder->isKept())
            run.runFolder.clear(); // stays with its store folder
    }
    discard();
    return restored;
}

void PageRecovery::discard()
{
    // Each store folder is removed with its last user (unless kept).
    for (const Run &run : qAsConst(m_runs))
        RunFolder::remove(run.runFolder);
    m_runs.clear();
}
