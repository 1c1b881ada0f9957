#include "app/SkippedPageRestore.h"

#include "app/ScanRun.h"
#include "log/LogOutput.h"
#include "log/LogWindow.h"
#include "pages/ImageManager.h"
#include "preview/PageExport.h"
#include "preview/PageSaveProgress.h"
#include "preview/PageSaveThread.h"
#include "preview/PreviewWindow.h"
#include "settings/SaveFormat.h"

#include <QDir>
#include <QLabel>

SkippedPageRestore::SkippedPageRestore(PreviewWindow *preview, QLabel *statusLine, LogWindow *log,
                                       QObject *parent)
    : QObject(parent), m_preview(preview), m_statusLine(statusLine), m_log(log)
{
    connect(preview, &PreviewWindow::RestorePageRequested, this, &SkippedPageRestore::restore);
}

void SkippedPageRestore::runStarted(const ScanRun *run)
{
    m_run = run;
    m_runEnded = false;
    m_haveReport = false;
    ++m_generation;
    connect(run, &ScanRun::RunFinished, this, &SkippedPageRestore::onRunFinished);
    allowRestore();
}

void SkippedPageRestore::onRunFinished()
{
    // An earlier run may end after a later one has started: its pages are gone from the store.
    const auto *run = qobject_cast<const ScanRun *>(sender());
    if (!run || run != m_run)
        return;
    m_report = run->report();
    m_haveReport = true;
    m_runEnded = true;
    m_run = nullptr;
    allowRestore();
}

void SkippedPageRestore::allowRestore()
{
    m_preview->setRestoreAllowed(m_runEnded && !m_writing);
}

void SkippedPageRestore::restore(int index)
{
    ImageManager *store = ImageManager::Instance();
    const ImageObject *page = store->at(index);
    if (!page || !page->skipped || !m_runEnded || m_writing)
        return;
    QList<PageExport::File> files;
    const bool merged = SaveFormat::isMerged(m_report.saveType);
    if (m_haveReport && m_report.saveFiles) {
        const QList<PageExport::Page> pages =
            merged ? PageExport::storePages(index)
                   : QList<PageExport::Page>{{page->name, store->sourceAt(index)}};
        files = PageExport(m_report.folder, m_report.saveType, pages, m_report.languages).files();
    }
    if (files.isEmpty()) { // nothing was written for the run's pages, so nothing is now
        putBack(index, QString(), 0);
        return;
    }
    // The document the run wrote is the one written again.
    if (merged && !m_report.counts.firstFile.isEmpty())
        files.first().target = m_report.counts.firstFile;
    QDir().mkpath(m_report.folder);
    m_writing = true;
    allowRestore();
    const int pages = files.first().pages.size();
    const int generation = m_generation;
    m_written = files.first().target;
    // Replaces a file only by a complete new one, as the run does (a name that is not the
    // operator's file gives the next free name); tells of a failure itself.
    PageSaveProgress::start(m_preview, files, true, [=](PageSaveThread *worker) {
        connect(worker, &PageSaveThread::FileWritten, this,
                [this](const QString &path) { m_written = path; });
        connect(worker, &PageSaveThread::SaveFinished, this,
                [=](const QStringList &failed, bool cancelled) {
                    onWritten(generation, index, pages, failed, cancelled);
                });
    });
}

void SkippedPageRestore::onWritten(int generation, int index, int pages, const QStringList &failed,
                                   bool cancelled)
{
    m_writing = false;
    const bool written = !cancelled && failed.isEmpty();
    LogOutput::WriteFile(cancelled ? LogRecord::Cancel
                         : written ? LogRecord::Success
                                   : LogRecord::Fail,
                         written ? m_written : QString(), written ? pages : 0);
    m_log->ReadLog();
    // A new run may have emptied the store meanwhile: the file is written, the page gone.
    if (written && generation == m_generation)
        putBack(index, m_written, pages);
    allowRestore();
}

void SkippedPageRestore::putBack(int index, const QString &target, int pages)
{
    ImageManager::Instance()->setSkipped(index, false);
    if (!target.isEmpty()) // written: recovery can say so
        ImageManager::Instance()->sourceAt(index).markSaved();
    m_preview->refreshPage(index);
    if (!m_haveReport)
        return;
    PageTally::Counts &counts = m_report.counts;
    --counts.skipped;
    ++counts.collected;
    if (!target.isEmpty()) {
        counts.saved = SaveFormat::isMerged(m_report.saveType) ? pages : counts.saved + 1;
        if (counts.firstFile.isEmpty())
            counts.firstFile = target;
    }
    m_statusLine->setText(m_report.statusText());
    m_statusLine->setToolTip(m_statusLine->text());
}
