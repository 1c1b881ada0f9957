#pragma once

#include <QByteArray>
#include <QString>

struct stat;

// Puts a file in place whole or not at all, never through a link and never over a file of
// another user. Every file the console writes goes through it.
//
// The content goes into a new file made in the target's folder (O_CREAT | O_EXCL | O_NOFOLLOW,
// under a hidden name), is flushed to disk, and the file is then renamed to the final name:
// first without replacing anything (renameat2 RENAME_NOREPLACE). An existing file of that name
// is replaced only when it is a regular file of the user the console runs as; it keeps its
// mode (and, where allowed, its group). Anything else there (a link, a folder, another user's
// file) is never replaced: the write fails, or the file takes the next free name
// "<stem>-1.<suffix>", "<stem>-2.<suffix>", ..., as the caller chooses. The folder is held open
// for the whole write, so a folder renamed meanwhile cannot redirect the file.
class FileCommit
{
public:
    enum Existing
    {
        ReplaceOwn,       // replace the operator's own regular file; anything else: fail
        ReplaceOwnOrFree, // replace the operator's own regular file; anything else: next free name
        KeepOrFree        // never replace: an existing name gives the next free name
    };
    // How far the next free name is looked for.
    static const int MaxFreeNames = 1000;

    // Makes the new file in the folder of `target`; isOpen() tells whether that worked.
    explicit FileCommit(const QString &target);
    // A file that was not committed is removed.
    ~FileCommit();
    FileCommit(const FileCommit &) = delete;
    FileCommit &operator=(const FileCommit &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // The new file's descriptor, for writers that stream (-1 when not open).
    int handle() const { return m_fd; }
    // A name that opens the new file itself, for reading it back before it is committed.
    QString readBackPath() const;
    QString target() const { return m_target; }

    // Appends `bytes` with checked writes; false (and the commit will fail) on any error.
    bool write(const QByteArray &bytes);
    // A writer that streamed into handle() reports its own failure here.
    void fail() { m_failed = true; }
    // The mode of a new file (default 0666 less the umask); a replaced file keeps its own.
    void setNewFileMode(unsigned mode) { m_newMode = int(mode); }

    // Flushes, closes and renames the file into place. Returns false (the new file removed)
    // after a failed write or when no name could be had; `written` gets the final path.
    bool commit(Existing existing = ReplaceOwn, QString *written = nullptr);
    // Removes the new file.
    void discard();

    // The whole file in one step. Empty `bytes` (a failed encoding) write nothing.
    static bool write(const QByteArray &bytes, const QString &target,
                      Existing existing = ReplaceOwn, QString *written = nullptr);
    // "<folder>/<stem>-<n><.suffix>" for `target` "<folder>/<stem><.suffix>" (the suffix is
    // what follows the last dot of the file name, if any).
    static QString numberedName(const QString &target, int n);
    // True when `path` (not followed if it is a link) is a regular file of the user the console
    // runs as: the only kind of existing file a commit replaces.
    static bool isOwnRegularFile(const QString &path);

    // Reading a file the console keeps (settings, the password file, the work log): never
    // through a link, only a regular file, at most `maxBytes`. `info` gets its status.
    enum ReadResult
    {
        Missing, // nothing of that name
        Read,
        Refused // a link, no regular file, too large, or unreadable
    };
    static ReadResult readRegularFile(const QString &path, qint64 maxBytes, QByteArray *bytes,
                                      struct stat *info = nullptr);

private:
    bool renameInto(const QByteArray &finalName, Existing existing, bool *taken);

    QString m_target;
    QString m_folder;
    int m_dirFd = -1;
    int m_fd = -1;
    QByteArray m_stagedName;
    int m_newMode = -1;
    bool m_failed = false;
};
