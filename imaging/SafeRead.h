#pragma once

#include <QByteArray>
#include <QString>

struct stat;

// Reads a file that something else may have put in its place: opened without following a link
// and without blocking (a pipe, a device), checked on the open descriptor to be a regular file
// of this user, and read only up to a bound. Recovery reads every file a console left behind
// this way, so a pipe cannot hold the window's thread, nor a link to /dev/zero or a huge file
// fill the memory.
class SafeRead
{
public:
    enum Result
    {
        Read,
        Missing,
        NotOurs,  // a link, pipe, device or folder, or another user's file
        TooLarge, // more than the bound
        Failed    // could not be opened or read
    };

    // `path` whole into `bytes` (emptied unless Read).
    static Result file(const QString &path, qint64 maxBytes, QByteArray *bytes);
    // The same for `name` in the folder open as `dirFd`; `st`, when given, receives what the
    // descriptor was (for telling later whether a name still holds that very file).
    static Result fileAt(int dirFd, const QByteArray &name, qint64 maxBytes, QByteArray *bytes,
                         struct stat *st = nullptr);
    // Opens `path` as SafeRead::file does and checks it, without reading: a descriptor the caller
    // closes, or -1 with the reason in `result`.
    static int open(int dirFd, const QByteArray &name, qint64 maxBytes, Result *result,
                    struct stat *st = nullptr);
};
