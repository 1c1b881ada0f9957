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
struct stat;

// The folder on disk that keeps the pages of one console's page store, under the user's cache
// folder, so that they survive the console: a lock file held while the console lives (another
// console sees whether its owner is still running), one set of files per stored version of a
// page, an index that names the pages in order, the run's settings (run.ini) and the run folder
// its scan program writes into ("run").
//
// Files are written under a temporary name and renamed when complete, and never changed after:
// a rotated page is a new version with a new number. The index gets one line per version
// ("slot number state name origin"), appended once the version's files are in place; the last
// version of a slot is the page, and the slots come in the order they first appear. A page file
// taken from the scan program is kept at once, as it came ("taken"), and replaced by the
// corrected page ("page") once that is stored, so no page is ever only in memory; a page file
// that gave no page ends "empty"; one the store could not keep stays in the run folder ("left",
// no version here). A blank page left out of the documents is a page marked "skipped" (a line
// for the same version), and "page" again when it is put back. The origin is the page file's path
// in the run folder: a page kept here and still in the run folder when the console ended is one
// page, not two. A line "saved" marks the page of a version as written to the destination.
//
// The folder is removed with everything in it when its object is destroyed: when the store is
// cleared, or the console ends normally (the last user of a page lets go of it). A console
// that ends abnormally leaves it for the next start.
class PageStoreFolder
{
public:
    enum State
    {
        Taken,   // the scan program's file, not corrected yet
        Page,    // the page as stored
        Empty,   // a page file that gave no page
        Skipped, // the page as stored, left out of the run's documents as blank
        Left     // the page is its file in the run folder (the store could not keep it)
    };
    // One page of the index.
    struct Entry
    {
        int slot = 0;
        int number = 0; // its version's files; 0 for a page left in the run folder
        State state = Empty;
        QString name;
        QString origin;     // the page file it was taken from (a path), empty when unknown
        bool saved = false; // written to the destination folder
    };

    // Indexes larger than this are not read (a page's line is some hundred bytes).
    static constexpr qint64 MaxIndexBytes = 16LL * 1024 * 1024;
    // Small files of the folder (run.ini, the run folder's name) are not read beyond this.
    static constexpr qint64 MaxSmallFileBytes = 64 * 1024;

    // "pages" in this program's cache folder (QStandardPaths::CacheLocation).
    static QString defaultRoot();
    // A new folder of this process under `root` (made, only for this user, when missing),
    // locked for the life of the object. Null when it cannot be made.
    static std::shared_ptr<PageStoreFolder> create(const QString &root = defaultRoot());
    // The folder at `path`, left by a console that no longer runs, locked for this process.
    // Null when a running process holds its lock, or it is no folder of ours.
    static std::shared_ptr<PageStoreFolder> claim(const QString &path);
    // The page folders under `root`, oldest first (their names begin with their creation time).
    static QStringList folders(const QString &root = defaultRoot());

    ~PageStoreFolder();
    PageStoreFolder(const PageStoreFolder &) = delete;
    PageStoreFolder &operator=(const PageStoreFolder &) = delete;

    QString path() const { return m_path; }
    // Leaves the folder on disk when the object goes (only its lock is given up).
    void keep() { m_keep = true; }
    bool isKept() const { return m_keep; }

    // A number for a new version of a page, never given before in this folder.
    int newNumber();
    // The file of version `number` of kind "page" (the page's pixels), "thumb" (its thumbnail)
    // or "jpeg" (its JPEG for PDFs).
    QString file(int number, const char *kind) const;
    // Writes `fill`'s content to `target` in this folder whole or not at all.
    static bool write(const QString &target, const std::function<bool(QIODevice *)> &fill);
    static bool write(const QString &target, const QByteArray &bytes);
    // Appends an index line: version `number` of the page in slot `slot` is named `name`, taken
    // from the page file `origin`.
    bool record(int slot, int number, State state, const QString &name,
                const QString &origin = QString());
    // Appends the mark that the page of version `number` has been saved.
    bool recordSaved(int number);
    // The pages of the index: the last version of every slot, in the order of the slots.
    QList<Entry> entries() const { return index(m_path); }
    // The same for the folder at `path`, whoever holds it; false (and nothing) when the index is
    // no file of ours or too large to be one.
    static bool readIndex(const QString &path, QList<Entry> *entries);
    static QList<Entry> index(const QString &path);
    // The settings of the run whose pages are kept here (RunSettingsFile).
    QString settingsFile() const;
    // The folder the run's scan program writes its page files into, kept here before it starts;
    // empty when none was kept.
    bool recordRunFolder(const QString &runFolder);
    QString runFolder() const;

    // Reads a file a console left behind as recovery must: never through a link nor from a pipe
    // (FileCommit::readRegularFile), and only a regular file of this user within `maxBytes`.
    // False (and nothing) otherwise, or when it is missing; `info` gets what the file was.
    static bool readOwnFile(const QString &path, qint64 maxBytes, QByteArray *bytes,
                            struct stat *info = nullptr);

private:
    PageStoreFolder(const QString &path, std::unique_ptr<QLockFile> lock);

    const QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    std::atomic<int> m_nextNumber;
    bool m_keep = false;
    QMutex m_indexMutex;
    QFile m_index;
};
