#pragma once

#include <QString>

#include <memory>

// The folder of one scan or preview: made fresh (mode 0700, an unpredictable name) inside the
// page folder for the scan program to leave the run's page files in, and the only folder the
// run's collector takes pages from, so no page of another run (or of a console that died) ever
// enters it. The console holds a lock on a file in it and hands that lock to the scan program
// (an inherited descriptor), so it stays held while either lives: recovery tells from it
// whether a dead console's scan program may still be writing pages.
//
// The folder goes with this object, with whatever is left in it; removeIfEmpty() takes it away
// as soon as the run is over when no page file is left in it.
class RunFolder
{
public:
    // A new run folder in `pageFolder` (a folder of ours, see PageFolder::prepare); null when
    // it cannot be made.
    static std::shared_ptr<RunFolder> create(const QString &pageFolder);
    ~RunFolder();
    RunFolder(const RunFolder &) = delete;
    RunFolder &operator=(const RunFolder &) = delete;

    QString path() const { return m_path; }
    // The lock's descriptor (close-on-exec; the scan runner lets the scan program inherit it).
    int lockDescriptor() const { return m_lock; }
    // Removes the folder now when no page file is left in it; true when it is gone.
    bool removeIfEmpty();
    // Leaves the folder on disk when the object goes (only the lock is given up), as a console
    // that dies does.
    void keep() { m_removed = true; }

    // Whether `path` is a run folder: a folder (not a link) of this user that nobody else may
    // write to, holding the run's lock file.
    static bool isRunFolder(const QString &path);
    // Whether a process still holds the lock of the run folder at `path`: its scan program
    // (or its console) still runs.
    static bool isBusy(const QString &path);
    // Removes the run folder at `path` with everything in it.
    static void remove(const QString &path);

private:
    RunFolder(const QString &path, int lock);

    const QString m_path;
    int m_lock;
    bool m_removed = false;
};
