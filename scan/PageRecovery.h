#pragma once

#include "pages/PageStoreFolder.h"
#include "settings/ScanSettings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class ImageManager;

// Every page of the runs of consoles that ended abnormally (a crash, a kill, a power cut of the
// session): the pages in their page store folders and the page files their scan programs left in
// their run folders, each run in scanner order, none twice (a page kept in the store and still in
// the run folder is one page), each known as saved or not. Finding them claims those folders for
// this process: a console still running keeps its folder, and a second console starting at the
// same time cannot offer the same pages again. A run whose scan program still writes pages (it
// finishes the page in hand when its console dies) is waited for a while, and left for the next
// start if it goes on. Folders without a page are removed at once.
//
// Nothing in those folders is trusted: every file is read without following links or blocking,
// only when it is a regular file of ours, and within a bound (PageStoreFolder::readOwnFile); the
// run's settings go through the parameter file's checks (RunSettingsFile). A page that cannot be
// read is named in unreadable(), never dropped without a word.
class PageRecovery
{
public:
    // How long a dead run's scan program is waited for, at most, in all.
    static const int ScanProgramWaitMs = 12000;

    explicit PageRecovery(const QString &root, int waitMs = ScanProgramWaitMs);
    ~PageRecovery(); // folders neither restored nor discarded stay for the next start
    PageRecovery(const PageRecovery &) = delete;
    PageRecovery &operator=(const PageRecovery &) = delete;

    // The pages that can be restored, in all folders, and how many of them were not saved (a
    // blank page left out of the documents is not counted there).
    int pageCount() const;
    int unsavedCount() const;
    // The names of the pages that cannot be read (a page's name, or its file's).
    QStringList unreadable() const { return m_unreadable; }

    // Puts the pages into `store`, oldest run first, each in its order and with its name; their
    // folders are removed (a folder whose page the store can only hold in memory stays for the
    // next start). A page that turns out unreadable now is added to unreadable(). Returns the
    // number of pages added.
    int restore(ImageManager *store);
    // Deletes them with their folders.
    void discard();

private:
    struct Page
    {
        PageStoreFolder::Entry entry; // from the index; state Left for a run folder's file
        QString file;                 // a run folder's page file (its name there)
        bool saved = false;
    };
    struct Run
    {
        std::shared_ptr<PageStoreFolder> folder;
        QString runFolder; // empty when none was kept, or it is no run folder of ours
        ScanSettings settings;
        bool settingsKnown = false;
        QList<Page> pages;
        int nextNumber = 0; // for naming its files no page names: after its pages' numbers
    };

    void findPages(Run &run, const QSet<QString> &stored);
    bool checkPage(const Run &run, const Page &page);
    QByteArray readPage(const Run &run, const Page &page) const;
    bool restorePage(ImageManager *store, Run &run, const Page &page);

    QList<Run> m_runs;
    QStringList m_unreadable;
};
