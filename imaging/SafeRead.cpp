#include "imaging/SafeRead.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int SafeRead::open(int dirFd, const QByteArray &name, qint64 maxBytes, Result *result,
                   struct stat *st)
{
    const int fd = ::openat(dirFd, name.constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *result = errno == ENOENT ? Missing : errno == ELOOP ? NotOurs : Failed;
        return -1;
    }
    struct stat own;
    struct stat &info = st ? *st : own;
    if (fstat(fd, &info) != 0) {
        *result = Failed;
    } else if (!S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        *result = NotOurs;
    } else if (info.st_size > maxBytes) {
        *result = TooLarge;
    } else {
        *result = Read;
        return fd;
    }
    ::close(fd);
    return -1;
}

SafeRead::Result SafeRead::fileAt(int dirFd, const QByteArray &name, qint64 maxBytes,
                                  QByteArray *bytes, struct stat *st)
{
    bytes->clear();
    Result result = Failed;
    const int fd = open(dirFd, name, maxBytes, &result, st);
    if (fd < 0)
        return result;
    // The file may still grow: never past the bound.
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || bytes->size() + n > maxBytes) {
            result = n < 0 ? Failed : TooLarge;
            bytes->clear();
            break;
        }
        bytes->append(chunk, int(n));
    }
    ::close(fd);
    return result;
}

SafeRead::Result SafeRead::file(const QString &path, qint64 maxBytes, QByteArray *bytes)
{
    return fileAt(AT_FDCWD, QFile::encodeName(path), maxBytes, bytes);
}
