#pragma once

#include "imaging/PageTally.h"
#include "settings/ScanSettings.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QThread>

#include <atomic>

struct ImageObject;

// Collects the page files the scan program leaves in "/tmp/tempimages" while a scan or preview
// runs: about once a second it loads every "*.jpg" there, deletes the file, corrects the page
// as the settings record says, adds it to the page store and, for a scan, saves it to the
// destination folder. One object serves one run, on the settings it was given (never the
// record, which the window may change meanwhile); it reports through its signals and its tally
// (pages collected, saved, the first file written, failures).
class ReadImageThread : public QThread
{
    Q_OBJECT

public:
    static const char *const TempDir;

    // `settings`: the run's own copy, taken when it starts.
    explicit ReadImageThread(const ScanSettings &settings);

    // true: save every page (scan); false: only collect (preview). Set before start().
    void SetSaveFlag(bool save);
    // Asks the thread to stop after the sweep under way (or before the first one); page files
    // still waiting then are taken before it ends.
    void Finish();

    // One sweep of the page folder (runs in the collector's thread).
    void readImages();
    // Writes one page in the run's single-page format.
    void saveImage(ImageObject *record);
    // Rewrites the merged PDF from every page in the store.
    void saveMutiImage();

    // What the run did with its pages so far. Safe to read from any thread; its Counted()
    // signal follows each page.
    const PageTally *tally() const { return &m_tally; }
    // Page files that gave no page (unreadable, cut off, too large): each is an empty page in
    // the store.
    int failedPages() const { return m_tally.counts().failedPages; }
    // Saves of pages that failed during the run (folder not creatable, writer error, unknown
    // format), and the destination folder they were meant for.
    int failedSaves() const { return m_tally.counts().failedSaves; }
    QString failedFolder() const { return m_tally.counts().failedFolder; }

signals:
    void UpdateImage(int firstNewIndex);
    void ThreadFinished();

protected:
    void run() override;

private:
    // One sweep followed by its UpdateImage(); returns the page files it took away.
    int sweep();
    static bool pageFilesWaiting();
    void noteFailedPage(const QString &file, const char *why);
    void noteFailedSave(const QString &folder, const QString &what);
    bool makeFolder(const QString &folder);

    const ScanSettings m_settings;
    std::atomic<bool> m_finish;
    bool m_saveFlag;
    int m_taken; // page files the last sweep took away
    // Page files taken that could not be deleted: each is taken once only.
    QSet<QByteArray> m_kept;

    PageTally m_tally;
};
