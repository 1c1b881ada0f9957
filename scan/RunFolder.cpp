#include "scan/RunFolder.h"

#include "scan/PageFolder.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char LockName[] = ".run-lock";

// The run's lock file, opened without following a link or blocking; -1 when it is not a file
// of ours.
int openLock(const QString &folder, int flags)
{
    const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + QLatin1String(LockName));
    const int fd = ::open(path.constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::shared_ptr<RunFolder> RunFolder::create(const QString &pageFolder)
{
    if (!PageFolder::prepare(pageFolder))
        return nullptr;
    for (int attempt = 0; attempt < 100; ++attempt) {
        // 64 random bits: nobody can guess the name, nor put anything under it beforehand.
        const QString path =
            QDir::cleanPath(pageFolder) + QStringLiteral("/run-") +
            QString::number(QRandomGenerator::system()->generate64(), 36).rightJustified(13, '0');
        if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return nullptr;
        }
        const int lock = openLock(path, O_RDWR | O_CREAT | O_EXCL);
        if (lock < 0 || flock(lock, LOCK_EX | LOCK_NB) != 0) {
            if (lock >= 0)
                ::close(lock);
            remove(path);
            return nullptr;
        }
        return std::shared_ptr<RunFolder>(new RunFolder(path, lock));
    }
    return nullptr;
}

RunFolder::RunFolder(const QString &path, int lock) : m_path(path), m_lock(lock) {}

RunFolder::~RunFolder()
{
    if (!m_removed)
        remove(m_path);
    ::close(m_lock);
}

bool RunFolder::removeIfEmpty()
{
    if (!m_removed && PageFolder(m_path).pageNames().isEmpty()) {
        remove(m_path);
        m_removed = true;
    }
    return m_removed;
}

bool RunFolder::isRunFolder(const QString &path)
{
    if (!PageFolder(path).isUsable())
        return false;
    const int lock = openLock(path, O_RDONLY);
    if (lock < 0)
        return false;
    ::close(lock);
    return true;
}

bool RunFolder::isBusy(const QString &path)
{
    const int lock = openLock(path, O_RDONLY);
    if (lock < 0)
        return false;
    const bool busy = flock(lock, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(lock); // gives up the lock if it was taken here
    return busy;
}

void RunFolder::remove(const QString &path)
{
    // Only a folder of ours is emptied (a link in its place is not followed).
    if (PageFolder(path).isUsable() && !QDir(path).removeRecursively())
        qDebug() << "RunFolder: could not remove" << path;
}
