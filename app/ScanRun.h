#pragma once

#include "app/RunReport.h"
#include "pages/PageSource.h"
#include "settings/ScanSettings.h"

#include <QObject>
#include <QString>

#include <memory>

class ReadImageThread;
class RunFolder;
class ScanningThread;
class SearchablePdfJob;

// One scan or preview from start to end: the scan runner (ScanConsoleApp) and the page
// collector, started together on the run's own copy of the settings, and a folder of the run's
// own (RunFolder) in the page folder, where the one leaves the page files and the other takes
// them. The run folder and the settings are noted in the page store's folder before the scan
// program starts, so whatever happens the run's pages can be found again. When the runner reports
// its result the collector is told to take the last pages and stop; when it has, the scan is
// over (CollectorFinished). A scan into the searchable PDF then goes on: its pages are
// recognised on a SearchablePdfJob, which the collector fed while the scan ran, and the run is
// over when the PDF is written (RunFinished). Any other run is over with its collector.
// report() says what happened.
//
// cancel() stops what is under way: first the scan program (SIGTERM, killed after the runner's
// stop timeout; the pages it wrote before are still collected, stored and saved), then, once the
// scan has ended, the text recognition (the PDF is written all the same, the pages not
// recognised yet without text). Everything is reported through signals on the thread that owns
// the run.
class ScanRun : public QObject
{
    Q_OBJECT

public:
    // `saveFiles`: a scan (true) or a preview (false).
    ScanRun(const ScanSettings &settings, const QString &printerAddress, bool saveFiles,
            QObject *parent = nullptr);
    // A run still under way is cancelled, its pages collected and its PDF written, before it
    // goes.
    ~ScanRun() override;

    // Continues a document: its earlier pages (in order) go into this run's searchable PDF
    // before the new ones, so that the file it writes holds the whole document. Before start().
    void continueDocument(const QList<PageSource> &earlierPages);
    void start();
    // Stops the stage under way: the scan program while it runs (only once), otherwise the text
    // recognition.
    void cancel();
    // Stops both (the console is closing).
    void cancelAll();
    // Whether cancel() would still stop something.
    bool canCancel() const;

    bool saveFiles() const { return m_saveFiles; }
    bool isCancelled() const { return m_cancelled; }
    bool isTextCancelled() const { return m_textCancelled; }
    // The scan program has ended and its result has arrived.
    bool scanEnded() const { return m_scanEnded; }
    // The collector has ended: the pages are stored (and, but for the searchable PDF, saved).
    bool isCollected() const { return m_collected; }
    // Text recognition goes on after the collector.
    bool isRecognising() const { return m_collected && !m_finished; }
    // Everything has ended: the run is over.
    bool isFinished() const { return m_finished; }
    // A scan into the searchable PDF: its text recognition, pages done and pages handed over.
    bool recognisesText() const { return m_textJob != nullptr; }
    bool textEnded() const { return m_textEnded; }
    int textDone() const { return m_textDone; }
    int textTotal() const;
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
    // The page store's folder could not keep a page (the disk is full): the page goes on in
    // memory and stays in the run folder. Once a run.
    void PageCacheFull();
    // The collector has ended; isFinished() tells whether the run has too.
    void CollectorFinished();
    // Pages recognised (with or without text) and pages handed to the recognition so far.
    void TextProgress(int done, int total);
    // The run is over (right after CollectorFinished when nothing is left to do).
    void RunFinished();

private:
    void onRunnerFinished(int code);
    void onCollectorFinished();
    void onTextProgress(int done);
    void onTextFinished(bool written, int withText, int pages);
    // Stops the scan program once; false when it has ended or was stopped already.
    bool cancelScan();
    void cancelText();

    const ScanSettings m_settings;
    const QString m_address;
    const bool m_saveFiles;
    // Where the scan program leaves the run's page files; null when it could not be made.
    const std::shared_ptr<RunFolder> m_runFolder;
    // Declared before the collector, which hands it pages: it goes last.
    std::unique_ptr<SearchablePdfJob> m_textJob;
    std::unique_ptr<ScanningThread> m_runner;
    std::unique_ptr<ReadImageThread> m_collector;
    bool m_started;
    bool m_cancelled;
    bool m_textCancelled;
    bool m_scanEnded;
    bool m_collected;
    bool m_textEnded;
    bool m_finished;
    int m_code;
    int m_textDone;
};
