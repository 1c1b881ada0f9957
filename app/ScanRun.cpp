#include "app/ScanRun.h"

#include "imaging/PageTally.h"
#include "imaging/ReadImageThread.h"
#include "scan/PageFolder.h"
#include "scan/ScanningThread.h"

ScanRun::ScanRun(const ScanSettings &settings, const QString &printerAddress, bool saveFiles,
                 QObject *parent)
    : QObject(parent), m_settings(settings), m_saveFiles(saveFiles),
      m_pageFolder(PageFolder::forRun()), m_runner(new ScanningThread(settings, printerAddress)),
      m_collector(new ReadImageThread(settings, m_pageFolder)), m_started(false),
      m_cancelled(false), m_scanEnded(false), m_finished(false), m_code(0)
{
    m_runner->setTempDir(m_pageFolder);
    m_collector->SetSaveFlag(saveFiles);
    connect(m_runner.get(), &ScanningThread::UpdateProgress, this, &ScanRun::UpdateProgress);
    connect(m_runner.get(), &ScanningThread::ThreadFinished, this, &ScanRun::onRunnerFinished);
    connect(m_collector.get(), &ReadImageThread::UpdateImage, this, &ScanRun::UpdateImage);
    connect(m_collector.get(), &ReadImageThread::ThreadFinished, this,
            &ScanRun::onCollectorFinished);
    connect(m_collector->tally(), &PageTally::Counted, this, &ScanRun::PagesCounted);
}

ScanRun::~ScanRun()
{
    if (!m_started || m_finished)
        return;
    // The program stops after the page in hand; every page it wrote is still taken.
    m_runner->cancel();
    m_runner->wait();
    m_collector->Finish();
    m_collector->wait();
}

void ScanRun::start()
{
    if (m_started)
        return;
    m_started = true;
    m_runner->start(QThread::InheritPriority);
    m_collector->start(QThread::InheritPriority);
}

void ScanRun::cancel()
{
    if (!m_started || m_scanEnded || m_cancelled)
        return;
    m_cancelled = true;
    m_runner->cancel();
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
    m_finished = true;
    emit RunFinished();
}

RunReport ScanRun::report() const
{
    RunReport report;
    report.saveFiles = m_saveFiles;
    report.saveType = m_settings.save_type;
    report.cancelled = m_cancelled;
    report.resultCode = m_code;
    report.folder = m_settings.save_path;
    report.counts = m_collector->tally()->counts();
    return report;
}
