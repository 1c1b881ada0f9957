#pragma once

#include "app/RunReport.h"
#include "app/ScanDocument.h"

#include <QObject>

#include <memory>

class QAction;
class QMenu;
class ScanRun;

// "继续扫描": scans on into the document of the last scan or preview (ScanDocument), from the
// File menu after any scan, or from the warning of a jam or an open cover. The window asks it
// for each run to start and for what an ending run reports (for the whole document), and has it
// show the result's warning; it asks the window to start the continuation (ContinueRequested)
// once nothing of the document is under way any more (a searchable PDF's recognition may
// outlast its scan: the continuation then waits for it).
class ScanContinuation : public QObject
{
    Q_OBJECT

public:
    // Puts the command into `menu`, after `after`.
    ScanContinuation(QMenu *menu, QAction *after, QObject *parent = nullptr);

    // The run to start: the first of a new document on `settings` (a scan when `saveFiles`), or
    // with `continued` the document's next, on the document's own settings.
    std::unique_ptr<ScanRun> makeRun(const ScanSettings &settings, const QString &address,
                                     bool saveFiles, bool continued);
    bool canContinue() const { return m_document.exists() && !m_document.running(); }
    // What `run` reports for the whole document; ended() once the run is over.
    RunReport report(const ScanRun &run) const;
    RunReport ended(const ScanRun &run);
    // The result's warning, if there is one; for a jam or an open cover with "继续扫描".
    void warn(const RunReport &report);
    // The scan commands are enabled (no run is under way).
    void setIdle(bool idle);
    // Continues now, or once the document's last run is over.
    void request();

    const ScanDocument &document() const { return m_document; }

signals:
    void ContinueRequested();

private:
    void update();

    ScanDocument m_document;
    QAction *m_action;
    bool m_idle = true;
    bool m_wanted = false;
};
