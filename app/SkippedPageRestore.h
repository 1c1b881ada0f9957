#pragma once

#include "app/RunReport.h"

#include <QObject>
#include <QString>
#include <QStringList>

class LogWindow;
class PreviewWindow;
class QLabel;
class ScanRun;

// Puts a blank page that a run skipped back into the run's documents when the operator asks
// for it in the preview window ("Restore this page"). The page is written where the run put its
// pages: in a single-page format its own file, named as the run would have named it; in the
// merged or the searchable PDF the whole document again, with the page in its place, replacing
// the old file only by a complete new one (the searchable PDF recognises its pages again, on
// worker threads, in the preview's save dialog with its progress and Cancel). Only once the
// page is written does it lose its mark: a failed or cancelled write leaves the page skipped and
// the documents as they were. A preview wrote nothing, and pages restored from a console that
// ended abnormally belong to no run here: their mark only goes.
//
// While a run is under way (until its last document is written) nothing can be put back.
// Every page put back changes the run's status line (`statusLine`: its count of skipped pages)
// and, for a scan, adds a work-log record of what was written (shown in `log`).
class SkippedPageRestore : public QObject
{
    Q_OBJECT

public:
    SkippedPageRestore(PreviewWindow *preview, QLabel *statusLine, LogWindow *log,
                       QObject *parent = nullptr);

    // `run` has been started on an emptied store: its pages can be put back once it has ended.
    void runStarted(const ScanRun *run);
    // Puts store page `index` back, if it is a skipped page and nothing else is under way.
    void restore(int index);

private:
    void onRunFinished();
    void onWritten(int generation, int index, int pages, const QStringList &failed, bool cancelled);
    // Takes the mark off page `index` and counts it as kept: a file holding `pages` pages
    // (none for a run that saves nothing) now has it.
    void putBack(int index, const QString &target, int pages);
    void allowRestore();

    PreviewWindow *m_preview;
    QLabel *m_statusLine;
    LogWindow *m_log;
    const ScanRun *m_run = nullptr; // the run whose pages the store holds, while it runs
    bool m_runEnded = true;         // no run, or its documents are written
    bool m_writing = false;
    QString m_written;    // where the page being put back was written
    int m_generation = 0; // which run's pages the store holds
    bool m_haveReport = false;
    RunReport m_report; // of that run, with the pages put back since
};
