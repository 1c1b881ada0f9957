#pragma once

#include <QFile>
#include <QList>
#include <QLockFile>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class QIODevice;

// The folder on disk that keeps the pages of one console's page store, under the user's cache
// folder, so that they survive the console: a lock file held while the console lives (another
// console sees whether its owner is still running), one set of files per stored version of a
// page, and an index that names the pages in order.
//
// Files are written under a temporary name and renamed when complete, and never changed after:
// a rotated page is a new version with a new number. The index gets one line per version
// ("slot number state name"), appended once the version's files are in place; the last version
// of a slot is the page, and the slots come in the order they first appear. A page file taken
// from the scan program is kept at once, as it came ("taken"), and replaced by the corrected
// page ("page") once that is stored, so no page is ever only in memory; a page file that gave
// no page ends "empty". A blank page left out of the documents is a page marked "skipped" (a
// line for the same version), and "page" again when it is put back.
//
// The folder is removed with everything in it when its object is destroyed: when the store is
// cleared, or the console ends normally (the last user of a page lets go of it). A console
// that ends abnormally leaves it for the next start.
class PageStoreFolder
{
public:
    enum State
    {
        Taken,  // the scan program's file, not corrected yet
        Page,   // the page as stored
        Empty,  // a page file that gave no page
        Skipped // the page as stored, left out of the run's documents as blank
    };
    // One page of the index.
    struct Entry
    {
        int slot;
        int number;
        State state;
        QString name;
    };

    // "pages" in this program's cache folder (QStandardPaths::CacheLocation).
    static QString defaultRoot();
    // A new folder of this process under `root` (made, only for this user, when missing),
    // locked for the life of the object. Null when it cannot be made.
    static std::shared_ptr<PageStoreFolder> create(const QString &root = defaultRoot());
    // The folder at `path`, left by a console that no longer runs, locked for this process.
    // Null when a running process holds its lock, or it cannot be locked.
    static std::shared_ptr<PageStoreFolder> claim(const QString &path);
    // The page folders under `root`, oldest first (their names begin with their creation time).
    static QStringList folders(const QString &root = defaultRoot());

    ~PageStoreFolder();
    PageStoreFolder(const PageStoreFolder &) = delete;
    PageStoreFolder &operator=(const PageStoreFolder &) = delete;

    QString path() const { return m_path; }
    // Leaves the folder on disk when the object goes (only its lock is given up).
    void keep() { m_keep = true; }

    // A number for a new version of a page, never given before in this folder.
    int newNumber();
    // The file of version `number` of kind "page" (the page's pixels), "thumb" (its thumbnail)
    // or "jpeg" (its JPEG for PDFs).
    QString file(int number, const char *kind) const;
    // Writes `fill`'s content to `target` in this folder whole or not at all.
    static bool write(const QString &target, const std::function<bool(QIODevice *)> &fill);
    static bool write(const QString &target, const QByteArray &bytes);
    // Appends an index line: version `number` of the page in slot `slot` is named `name`.
    bool record(int slot, int number, State state, const QString &name);
    // The pages of the index: the last version of every slot, in the order of the slots.
    QList<Entry> entries() const { return index(m_path); }
    // The same for the folder at `path`, whoever holds it.
    static QList<Entry> index(const QString &path);
    // The settings of the run whose pages are kept here (RunSettingsFile).
    QString settingsFile() const;

private:
    PageStoreFolder(const QString &path, std::unique_ptr<QLockFile> lock);

    const QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    std::atomic<int> m_nextNumber;
    bool m_keep = false;
    QMutex m_indexMutex;
    QFile m_index;
};
