#include "app/ScanRun.h"

#include "documents/SearchablePdfJob.h"
#include "pages/ImageManager.h"
#include "scan/PageFolder.h"
#include "scan/PageTally.h"
#include "scan/ReadImageThread.h"
#include "scan/RunFolder.h"
#include "scan/RunSettingsFile.h"
#include "scan/ScanArguments.h"
#include "scan/ScanningThread.h"
#include "settings/PaperSize.h"
#include "settings/SaveFormat.h"

#include <QThread>

ScanRun::ScanRun(const ScanSettings &settings, const QString &printerAddress, bool saveFiles,
                 QObject *parent)
    : QObject(parent), m_settings(settings), m_address(printerAddress), m_saveFiles(saveFiles),
      m_runFolder(RunFolder::create(PageFolder::forRun())),
      m_runner(new ScanningThread(settings, printerAddress)),
      m_collector(new ReadImageThread(settings, m_runFolder ? m_runFolder->path() : QString())),
      m_started(false), m_cancelled(false), m_textCancelled(false), m_scanEnded(false),
      m_collected(false), m_textEnded(false), m_finished(false), m_code(0), m_textDone(0)
{
    // Without a run folder the runner reports the page folder's failure and starts nothing.
    m_runner->setTempDir(m_runFolder ? m_runFolder->path() : QString());
    if (m_runFolder)
        m_runner->setInheritedDescriptor(m_runFolder->lockDescriptor());
    m_collector->SetSaveFlag(saveFiles);
    if (saveFiles && SaveFormat::isSearchable(settings.save_type)) {
        // One engine per core; the workers run below the console's own threads, so the
        // collector keeps up with the feeder while they recognise. The target is named after
        // the first page when the collector ends.
        m_textJob.reset(
            new SearchablePdfJob(QString(), QThread::idealThreadCount(), settings.ocr_languages));
        m_collector->setTextJob(m_textJob.get());
        connect(m_textJob.get(), &SearchablePdfJob::Progress, this, &ScanRun::onTextProgress);
        connect(m_textJob.get(), &SearchablePdfJob::Finished, this, &ScanRun::onTextFinished);
    }
    connect(m_runner.get(), &ScanningThread::UpdateProgress, this, &ScanRun::UpdateProgress);
    connect(m_runner.get(), &ScanningThread::ThreadFinished, this, &ScanRun::onRunnerFinished);
    connect(m_collector.get(), &ReadImageThread::UpdateImage, this, &ScanRun::UpdateImage);
    connect(m_collector.get(), &ReadImageThread::ThreadFinished, this,
            &ScanRun::onCollectorFinished);
    connect(m_collector->tally(), &PageTally::Counted, this, &ScanRun::PagesCounted);
    connect(m_collector.get(), &ReadImageThread::StoreFull, this, &ScanRun::PageCacheFull);
}

ScanRun::~ScanRun()
{
    if (!m_started || m_finished)
        return;
    if (!m_collected) {
        // The program stops after the page in hand; every page it wrote is still taken.
        m_runner->cancel();
        m_runner->wait();
        m_collector->Finish();
        m_collector->wait();
    }
    // The pages not recognised yet go in without text; the job writes the PDF as it goes.
    cancelText();
}

void ScanRun::continueDocument(const QList<PageSource> &earlierPages)
{
    if (!m_textJob || m_started)
        return;
    for (const PageSource &page : earlierPages)
        m_textJob->addPage(page);
}

void ScanRun::start()
{
    if (m_started)
        return;
    m_started = true;
    if (m_runFolder) // before the first page can be there
        ImageManager::Instance()->keepRun(RunSettingsFile::writer(m_settings), m_runFolder->path(),
                                          m_runFolder);
    m_runner->start(QThread::InheritPriority);
    m_collector->start(QThread::InheritPriority);
}

void ScanRun::cancel()
{
    if (m_started && !cancelScan())
        cancelText();
}

void ScanRun::cancelAll()
{
    cancelScan();
    cancelText();
}

bool ScanRun::cancelScan()
{
    if (!m_started || m_scanEnded || m_cancelled)
        return false;
    m_cancelled = true;
    m_runner->cancel();
    return true;
}

void ScanRun::cancelText()
{
    if (!m_textJob || m_textEnded || m_textCancelled)
        return;
    m_textCancelled = true;
    m_textJob->cancel();
}

bool ScanRun::canCancel() const
{
    return m_started &&
           ((!m_scanEnded && !m_cancelled) || (m_textJob && !m_textEnded && !m_textCancelled));
}

void ScanRun::onRunnerFinished(int code)
{
    m_runner->wait(); // its last signal: the thread is ending
    m_code = code;
    m_scanEnded = true;
    // The program has ended: what it wrote is taken before the collector stops.
    m_collector->Finish();
    emit ScanFinished(code);
}

void ScanRun::onCollectorFinished()
{
    m_collector->wait();
    m_collected = true;
    // The scan program has ended and every page is taken: an empty run folder goes now (one
    // holding pages the store could not keep stays with the store's pages).
    if (m_runFolder)
        m_runFolder->removeIfEmpty();
    const bool done = !m_textJob || m_textEnded;
    m_finished = done;
    emit CollectorFinished();
    if (done)
        emit RunFinished();
}

int ScanRun::textTotal() const
{
    return m_textJob ? m_textJob->pageCount() : 0;
}

void ScanRun::onTextProgress(int done)
{
    m_textDone = done;
    emit TextProgress(done, textTotal());
}

void ScanRun::onTextFinished(bool written, int, int pages)
{
    m_textEnded = true;
    // The collector handed every page over before it ended, so the job's end is the PDF's.
    PageTally *tally = m_collector->tally();
    if (written) {
        m_collector->markTextPagesSaved();
        tally->documentSaved(m_textJob->target(), pages);
    } else if (pages > 0)
        tally->saveFailed(m_settings.save_path, pages);
    if (m_collected && !m_finished) {
        m_finished = true;
        emit RunFinished();
    }
}

RunReport ScanRun::report() const
{
    RunReport report;
    report.saveFiles = m_saveFiles;
    report.saveType = m_settings.save_type;
    report.languages = m_settings.ocr_languages;
    report.cancelled = m_cancelled;
    report.textCancelled = m_textCancelled;
    report.resultCode = m_code;
    report.folder = m_settings.save_path;
    report.address = m_address;
    report.duplex = m_settings.source_type == 2;
    report.askedDpi = ScanArguments::resolutionValue(m_settings.resolution).toInt();
    int shortSide = 0, longSide = 0;
    if (PaperSize::millimetres(m_settings.paper_size, &shortSide, &longSide))
        report.askedArea = QSizeF(shortSide, longSide);
    if (m_scanEnded) { // the runner's thread has ended: its note is there
        const ScanningThread::DeviceNote note = m_runner->deviceNote();
        report.usedDpi = note.dpi;
        report.maxArea = note.maxArea;
    }
    report.counts = m_collector->tally()->counts();
    return report;
}
