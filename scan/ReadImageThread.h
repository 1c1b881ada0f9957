#pragma once

#include "pages/PageSource.h"
#include "scan/PageTally.h"
#include "settings/ScanSettings.h"

#include <QByteArray>
#include <QImage>
#include <QMutex>
#include <QQueue>
#include <QSet>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <atomic>

struct ImageObject;
class SearchablePdfJob;

// Collects the page files the scan program leaves in its run's folder (RunFolder) while a scan or
// preview runs: it takes every "*.jpg" there, keeps it in the page store's folder and deletes it,
// corrects the page as the settings say, adds it to the page store and, for a scan, saves it to
// the destination folder. A page file the store's folder cannot keep (a full disk) is not
// deleted: the run goes on with that page in memory, and StoreFull() tells the window at once. One
// object serves one run, on the settings it was given (never the record, which the window may
// change meanwhile); it reports through its signals and its tally (pages collected, saved, the
// first file written, failures).
//
// Two stages share the work, so that two cores are busy with two pages: this thread sweeps the
// folder, decodes and corrects each page, and hands it on (at most QueueSize pages wait between
// the stages); a second thread stores each page and writes its file, in the order the pages
// came. A sweep's UpdateImage() is emitted once the store holds the sweep's pages, with the
// count the store had before them, as one thread doing both would. The merged PDF (or OFD) is
// written once, when the run ends, from the pages in the store (which keeps them safe meanwhile).
// For the searchable PDF each stored page goes to a SearchablePdfJob, which recognises the text on
// threads of its own: the stages hand the page over and go on, they never wait for it.
//
// A run that removes blank pages checks each page after its corrections, in the first stage: a
// blank page is taken and stored like any other, marked skipped (ImageObject::skipped) and
// counted (PageTally::skipped), but it is not saved: it stays out of the run's documents (the
// merged PDF is named after its first page that is not skipped) until the operator puts it back.
//
// Every page written to the destination is marked saved in the store's folder (PageSource::
// markSaved): a single-page file when it is written, the merged PDF's pages when it is, the
// searchable PDF's when its job has written it (markTextPagesSaved).
class ReadImageThread : public QThread
{
    Q_OBJECT

public:
    static const char *const TempDir;
    // Pages decoded and waiting for the writing stage, at most.
    static const int QueueSize = 2;
    // The pause before the next look into an empty page folder.
    static const int IdlePollMs = 250;

    // `settings`: the run's own copy, taken when it starts. `pageFolder`: where the scan program
    // leaves its pages (TempDir; a benchmark may give its own).
    explicit ReadImageThread(const ScanSettings &settings,
                             const QString &pageFolder = QString::fromLatin1(TempDir));
    ~ReadImageThread() override;

    // true: save every page (scan); false: only collect (preview). Set before start().
    void SetSaveFlag(bool save);
    // For the searchable PDF: the job that gets every stored page, and is told to finish (its
    // target named after the store's first page) when the run ends. The caller's; it must
    // outlive the thread. Set before start().
    void setTextJob(SearchablePdfJob *job) { m_textJob = job; }
    // Asks the thread to stop after the sweep under way (or before the first one); page files
    // still waiting then are taken before it ends.
    void Finish();

    // Writes one page in the run's single-page format (the writing stage).
    void saveImage(ImageObject *record, const PageSource &page);
    // Writes the merged PDF of every page in the store (the writing stage, at the run's end).
    void saveMutiImage();
    // The searchable PDF has been written: its pages are marked saved. After the thread ended.
    void markTextPagesSaved();

    // What the run did with its pages so far. Safe to read from any thread; its Counted()
    // signal follows each page.
    const PageTally *tally() const { return &m_tally; }
    // The tally for what happens after the collector: the searchable PDF written (or not) when
    // its recognition ends.
    PageTally *tally() { return &m_tally; }
    // Page files that gave no page (unreadable, cut off, too large): each is an empty page in
    // the store.
    int failedPages() const { return m_tally.counts().failedPages; }
    // Pages whose save failed during the run (folder not creatable, writer error, unknown
    // format; every page of a merged PDF that could not be written), and the destination
    // folder they were meant for.
    int failedSaves() const { return m_tally.counts().failedSaves; }
    QString failedFolder() const { return m_tally.counts().failedFolder; }
    // The most pages taken from the folder and not yet stored and saved at one time: above one,
    // the two stages worked on pages side by side. Safe to read from any thread.
    int mostPagesInFlight() const;

signals:
    void UpdateImage(int firstNewIndex);
    void ThreadFinished();
    // Once, when the first page file could not be kept in the store's folder.
    void StoreFull();

protected:
    void run() override;

private:
    // What the first stage hands to the second, in order.
    struct Item
    {
        enum Kind
        {
            SweepStart,
            Page,
            SweepEnd,
            End
        };
        Kind kind;
        QImage page;          // as corrected (null for a page file that gave no page)
        QByteArray original;  // the page file, when the corrections left the page as decoded
        QString name;         // the page name, given when the file was taken
        int slot = 0;         // where the store keeps the file it was taken from
        QString origin;       // the page file, when the store could not keep it (slot 0)
        bool skipped = false; // a blank page, left out of the documents
    };

    // One sweep of the page folder, its pages handed on; returns the page files it took away.
    int sweep();
    void readImages();
    bool pageFilesWaiting() const;
    void hand(Item item);
    Item next();
    // The writing stage's body.
    void writePages();
    void storePage(const Item &item);
    void finishTextJob();
    void noteStoreFull(const QString &name, const QString &origin);
    void noteFailedPage(const QString &file, const char *why);
    void noteFailedSave(const QString &folder, const QString &what, int pages = 1);
    bool makeFolder(const QString &folder);

    const ScanSettings m_settings;
    const QString m_pageFolder;
    std::atomic<bool> m_finish;
    bool m_saveFlag;
    int m_taken; // page files the last sweep took (away, or left in place)
    // Page files taken and left in place: each is taken once only.
    QSet<QByteArray> m_kept;
    bool m_storeFull = false;
    // The pages handed to the searchable PDF's job.
    QList<PageSource> m_textPages;
    bool m_mergedPages; // the writing stage stored a page for the merged PDF
    SearchablePdfJob *m_textJob = nullptr;

    mutable QMutex m_queueMutex;
    QWaitCondition m_queueChanged;
    QQueue<Item> m_queue;
    int m_queuedPages;
    int m_inFlight; // handed on and not yet stored
    int m_mostInFlight;

    PageTally m_tally;
};
