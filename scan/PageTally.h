#pragma once

#include <QMutex>
#include <QObject>
#include <QString>

// What one run's collector did with its pages: how many it took into the store, how many of
// them reached a file, the first file it wrote, the blank pages it left out, and what failed. The
// collector reports each event from its own thread; the window reads the totals once the collector
// has ended and follows the page count through Counted().
class PageTally : public QObject
{
    Q_OBJECT

public:
    struct Counts
    {
        int collected = 0;   // pages added to the store (empty pages included)
        int saved = 0;       // pages held by files really written
        QString firstFile;   // the first file written, empty when none was
        int failedPages = 0; // page files that gave no page
        int skipped = 0;     // blank pages left out of the documents (stored and shown, marked)
        int failedSaves = 0; // pages whose save failed
        QString failedFolder;
    };

    explicit PageTally(QObject *parent = nullptr);

    // A page went into the store.
    void pageCollected();
    // `file` was written and holds one more page.
    void pageSaved(const QString &file);
    // `file` was (re)written and holds `pages` pages in all (the merged PDF).
    void documentSaved(const QString &file, int pages);
    void pageFailed();
    // A blank page was left out.
    void pageSkipped();
    // `pages` pages could not be saved to `folder` (one file, or a merged one of `pages`).
    void saveFailed(const QString &folder, int pages = 1);

    Counts counts() const;

signals:
    // After each collected page: the pages collected so far.
    void Counted(int collected);

private:
    void noteFile(const QString &file);

    mutable QMutex m_mutex;
    Counts m_counts;
};
