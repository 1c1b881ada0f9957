#pragma once

#include "app/RunReport.h"
#include "settings/ScanSettings.h"

#include <QObject>
#include <QString>

#include <memory>

class ReadImageThread;
class ScanningThread;

// One scan or preview from start to end: the scan runner (ScanConsoleApp) and the page
// collector, started together on the run's own copy of the settings. When the runner reports
// its result the collector is told to take the last pages and stop; when it has, the run is
// over and report() says what happened. A cancel stops the scan program (SIGTERM, killed after
// the runner's stop timeout); the pages it wrote before are still collected, stored and saved.
// Everything is reported through signals on the thread that owns the run.
class ScanRun : public QObject
{
    Q_OBJECT

public:
    // `saveFiles`: a scan (true) or a preview (false).
    ScanRun(const ScanSettings &settings, const QString &printerAddress, bool saveFiles,
            QObject *parent = nullptr);
    // A run still under way is cancelled, and its pages collected, before it goes.
    ~ScanRun() override;

    void start();
    // Asks the scan program to stop. Has an effect only until the runner's result has arrived
    // (after that the program has ended and only the last pages are still being saved).
    void cancel();

    bool saveFiles() const { return m_saveFiles; }
    bool isCancelled() const { return m_cancelled; }
    // The scan program has ended and its result has arrived.
    bool scanEnded() const { return m_scanEnded; }
    // Both threads have ended: the run is over.
    bool isFinished() const { return m_finished; }
    RunReport report() const;

    // The workers, for settings a test shortens before start().
    ScanningThread *runner() const { return m_runner.get(); }
    ReadImageThread *collector() const { return m_collector.get(); }

signals:
    // The runner's status-bar text.
    void UpdateProgress(int value, QString text);
    // The runner's result code; the collector is taking the last pages now.
    void ScanFinished(int code);
    // The collector's sweep: the store's pages from `first` on are new.
    void UpdateImage(int first);
    // Pages collected so far, after each page.
    void PagesCounted(int collected);
    // The run is over.
    void RunFinished();

private:
    void onRunnerFinished(int code);
    void onCollectorFinished();

    const ScanSettings m_settings;
    const bool m_saveFiles;
    const QString m_pageFolder; // where the scan program leaves the run's page files
    std::unique_ptr<ScanningThread> m_runner;
    std::unique_ptr<ReadImageThread> m_collector;
    bool m_started;
    bool m_cancelled;
    bool m_scanEnded;
    bool m_finished;
    int m_code;
};
