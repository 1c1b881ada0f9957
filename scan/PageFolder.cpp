#include "scan/PageFolder.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char *const PageFolder::DefaultPath = "/tmp/tempimages";

namespace {

bool isOurs(const struct stat &st)
{
    return st.st_uid == geteuid();
}

// A directory of ours that nobody else may write to (a folder others can write to could get
// their links and pipes put into it, or our pages swapped).
int openFolder(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || !isOurs(st) ||
        (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        qDebug() << "PageFolder: refusing" << path << "(not a folder of ours)";
        ::close(fd);
        return -1;
    }
    return fd;
}

QByteArray identity(const struct stat &st)
{
    return QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino)) +
           ':' + QByteArray::number(qint64(st.st_size)) + ':' +
           QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
           QByteArray::number(qint64(st.st_mtim.tv_nsec));
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Appends what can be read from `fd` now; false on a read error.
bool readMore(int fd, QByteArray &bytes)
{
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.append(chunk, static_cast<int>(n));
    }
}

enum class Removal
{
    Removed,     // the file that was read is deleted
    NotThere,    // the name holds another file now, or nothing: ours is gone from it anyway
    CannotRemove // the folder or the file does not allow it
};

// Deletes `name` only when it still is the file `read` describes. Deleting by name could hit a
// pipe or another file put there after the read, so the entry is first moved to a private name
// (atomically, whatever it is by then), checked there, and deleted only if it is ours; anything
// else is put back.
Removal removeIfSame(int dirFd, const QByteArray &name, const struct stat &read)
{
    QByteArray parked;
    for (int attempt = 0;; ++attempt) {
        parked = ".veldrin-taking-" + QByteArray::number(qint64(getpid())) + '-' +
                 QByteArray::number(attempt);
        if (renameat2(dirFd, name.constData(), dirFd, parked.constData(), RENAME_NOREPLACE) == 0)
            break;
        if (errno == EEXIST && attempt < 100)
            continue;
        if (errno == ENOENT)
            return Removal::NotThere;
        if (errno != EINVAL && errno != ENOSYS)
            return Removal::CannotRemove;
        // A file system without atomic no-replace renames: check, then delete.
        struct stat now;
        if (fstatat(dirFd, name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
            !sameFile(now, read))
            return Removal::NotThere;
        return unlinkat(dirFd, name.constData(), 0) == 0 ? Removal::Removed : Removal::CannotRemove;
    }
    struct stat now;
    if (fstatat(dirFd, parked.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(now, read) &&
        unlinkat(dirFd, parked.constData(), 0) == 0)
        return Removal::Removed;
    if (renameat2(dirFd, parked.constData(), dirFd, name.constData(), RENAME_NOREPLACE) != 0)
        qWarning() << "PageFolder: could not put back" << name << "(left as" << parked << ")";
    return Removal::NotThere;
}

} // namespace

bool PageFolder::prepare(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    const QByteArray encoded = QFile::encodeName(clean);
    struct stat st;
    if (lstat(encoded.constData(), &st) != 0) {
        if (errno != ENOENT || !QDir().mkpath(QFileInfo(clean).absolutePath()))
            return false;
        if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    const int fd = openFolder(clean);
    if (fd < 0)
        return false;
    // Our pages are nobody else's business either.
    struct stat now;
    if (fstat(fd, &now) == 0 && (now.st_mode & 0077) != 0)
        fchmod(fd, 0700);
    ::close(fd);
    return true;
}

QString PageFolder::forRun(const QString &preferred)
{
    if (prepare(preferred))
        return QDir::cleanPath(preferred);
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) {
        const QString own = QDir(runtime).filePath(QStringLiteral("tempimages"));
        if (prepare(own)) {
            qDebug() << "PageFolder:" << preferred << "is not ours; the run uses" << own;
            return own;
        }
    }
    return QDir::cleanPath(preferred);
}

PageFolder::PageFolder(const QString &path) : m_fd(openFolder(QDir::cleanPath(path))) {}

PageFolder::~PageFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QStringList PageFolder::pageNames() const
{
    QStringList names;
    if (m_fd < 0)
        return names;
    const int listing = fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    DIR *dir = listing >= 0 ? fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0)
            ::close(listing);
        return names;
    }
    rewinddir(dir);
    while (const dirent *entry = readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        // Hidden names are never pages (they include our own parked files).
        if (name.startsWith(QLatin1Char('.')) ||
            !name.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive))
            continue;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st;
            regular =
                fstatat(m_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
        }
        if (regular)
            names << name;
    }
    closedir(dir);
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.toLower() < b.toLower(); });
    return names;
}

PageFolder::Page PageFolder::take(const QString &name, QSet<QByteArray> &kept,
                                  const std::function<bool(const Page &)> &keep, int waitMs) const
{
    Page page;
    if (m_fd < 0)
        return page;
    const QByteArray encoded = QFile::encodeName(name);
    // No link is followed and a pipe does not block the open; what it is shows on the
    // descriptor, which stays this very file whatever happens to the name.
    const int fd = openat(m_fd, encoded.constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return page;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !isOurs(st)) {
        ::close(fd);
        return page;
    }
    if (kept.contains(identity(st))) {
        ::close(fd);
        page.state = Page::Known;
        return page;
    }

    if (st.st_size > MaxPageBytes) {
        page.oversized = true;
    } else {
        bool readable = readMore(fd, page.bytes);
        QElapsedTimer waited;
        waited.start();
        while (readable && !looksComplete(page.bytes) && waited.elapsed() < waitMs &&
               page.bytes.size() <= MaxPageBytes) {
            QThread::msleep(100);
            readable = readMore(fd, page.bytes);
        }
        page.complete = readable && looksComplete(page.bytes);
        fstat(fd, &st);
    }
    ::close(fd);

    // A page nowhere else stays where it is: the run goes on with it in memory, and should the
    // console end, recovery finds it here.
    if (keep && !keep(page) && !page.oversized) {
        kept.insert(identity(st));
        page.state = Page::Kept;
        return page;
    }
    switch (removeIfSame(m_fd, encoded, st)) {
    case Removal::Removed:
    case Removal::NotThere:
        page.state = Page::Taken;
        break;
    case Removal::CannotRemove:
        qDebug() << "PageFolder: could not delete" << name << "- taken once";
        kept.insert(identity(st));
        page.state = Page::Kept;
        break;
    }
    return page;
}

bool PageFolder::looksComplete(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return false;
    if (!bytes.startsWith("\xff\xd8"))
        return true;
    // Some writers pad the file after the marker with zero bytes.
    int end = bytes.size();
    while (end > 0 && bytes.at(end - 1) == '\0')
        --end;
    return end >= 4 && bytes.at(end - 2) == '\xff' && bytes.at(end - 1) == '\xd9';
}
