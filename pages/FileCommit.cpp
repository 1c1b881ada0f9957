#include "pages/FileCommit.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Hidden, and short enough for any final name: a file name may have 255 bytes.
QByteArray stagingName()
{
    const quint64 token = QRandomGenerator::system()->generate64();
    return ".veldrin-" + QByteArray::number(token, 16) + ".part";
}

bool isOwnRegular(const struct stat &st)
{
    return S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

} // namespace

FileCommit::FileCommit(const QString &target) : m_target(target)
{
    const QFileInfo info(target);
    m_folder = info.absolutePath();
    if (info.fileName().isEmpty())
        return;
    m_dirFd = ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd < 0)
        return;
    for (int attempt = 0; attempt < 16 && m_fd < 0; ++attempt) {
        m_stagedName = stagingName();
        m_fd = ::openat(m_dirFd, m_stagedName.constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0)
        m_stagedName.clear();
}

FileCommit::~FileCommit()
{
    discard();
    if (m_dirFd >= 0)
        ::close(m_dirFd);
}

QString FileCommit::readBackPath() const
{
    return m_fd < 0 ? QString() : QStringLiteral("/proc/self/fd/%1").arg(m_fd);
}

bool FileCommit::write(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0 && !m_failed && m_fd >= 0) {
        const ssize_t n = ::write(m_fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            m_failed = true;
        else {
            data += n;
            left -= n;
        }
    }
    return m_fd >= 0 && !m_failed;
}

void FileCommit::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_stagedName.isEmpty()) {
        ::unlinkat(m_dirFd, m_stagedName.constData(), 0);
        m_stagedName.clear();
    }
}

bool FileCommit::renameInto(const QByteArray &finalName, Existing existing, bool *taken)
{
    *taken = false;
    if (::renameat2(m_dirFd, m_stagedName.constData(), m_dirFd, finalName.constData(),
                    RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EINVAL || errno == ENOSYS) {
        // A file system without RENAME_NOREPLACE: a hard link fails just as surely on an
        // existing name.
        if (::linkat(m_dirFd, m_stagedName.constData(), m_dirFd, finalName.constData(), 0) == 0) {
            ::unlinkat(m_dirFd, m_stagedName.constData(), 0);
            return true;
        }
    }
    if (errno != EEXIST)
        return false;
    *taken = true;
    if (existing == KeepOrFree)
        return false;
    struct stat old;
    if (::fstatat(m_dirFd, finalName.constData(), &old, AT_SYMLINK_NOFOLLOW) != 0 ||
        !isOwnRegular(old))
        return false;
    // The operator's own file: the new one takes its place, with its mode and group. rename(2)
    // never follows a link at the final name, so a link planted meanwhile is replaced itself.
    const QByteArray staged = m_stagedName;
    ::fchmodat(m_dirFd, staged.constData(), old.st_mode & 07777, 0);
    if (::fchownat(m_dirFd, staged.constData(), uid_t(-1), old.st_gid, AT_SYMLINK_NOFOLLOW) != 0)
        ::fchmodat(m_dirFd, staged.constData(), old.st_mode & 0777, 0); // no set-group-id then
    if (::renameat(m_dirFd, staged.constData(), m_dirFd, finalName.constData()) != 0)
        return false;
    *taken = false;
    return true;
}

bool FileCommit::commit(Existing existing, QString *written)
{
    if (m_fd < 0 || m_failed) {
        discard();
        return false;
    }
    if (m_newMode >= 0)
        ::fchmod(m_fd, mode_t(m_newMode));
    // Flushed before the rename: after a power cut the name holds the old file or the new one.
    const bool flushed = ::fdatasync(m_fd) == 0 || errno == EINVAL;
    struct stat mine;
    const bool stated = ::fstat(m_fd, &mine) == 0;
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    // The hidden name must still be the file written: in a folder others may write, it could
    // have been swapped meanwhile.
    struct stat there;
    if (!flushed || !stated || !closed ||
        ::fstatat(m_dirFd, m_stagedName.constData(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
        there.st_ino != mine.st_ino || there.st_dev != mine.st_dev) {
        discard();
        return false;
    }

    QString name = m_target;
    for (int n = 0; n <= MaxFreeNames; ++n) {
        if (n > 0)
            name = numberedName(m_target, n);
        bool taken = false;
        if (renameInto(QFile::encodeName(QFileInfo(name).fileName()),
                       n == 0 ? existing : KeepOrFree, &taken)) {
            m_stagedName.clear();
            if (written)
                *written = name;
            return true;
        }
        if (!taken || existing == ReplaceOwn)
            break;
    }
    discard();
    return false;
}

bool FileCommit::write(const QByteArray &bytes, const QString &target, Existing existing,
                       QString *written)
{
    if (bytes.isEmpty())
        return false;
    FileCommit file(target);
    return file.write(bytes) && file.commit(existing, written);
}

QString FileCommit::numberedName(const QString &target, int n)
{
    const int slash = target.lastIndexOf(QLatin1Char('/'));
    const int dot = target.lastIndexOf(QLatin1Char('.'));
    const int at = dot > slash + 1 ? dot : target.size();
    return target.left(at) + QLatin1Char('-') + QString::number(n) + target.mid(at);
}

bool FileCommit::isOwnRegularFile(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && isOwnRegular(st);
}

FileCommit::ReadResult FileCommit::readRegularFile(const QString &path, qint64 maxBytes,
                                                   QByteArray *bytes, struct stat *info)
{
    bytes->clear();
    // O_NONBLOCK: a pipe planted under the name must not hold the console up.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? Missing : Refused;
    struct stat st;
    ReadResult result = Refused;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= maxBytes) {
        bytes->resize(int(st.st_size));
        qint64 got = 0;
        while (got < st.st_size) {
            const ssize_t n = ::read(fd, bytes->data() + got, size_t(st.st_size - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        bytes->resize(int(got));
        result = got == st.st_size ? Read : Refused;
        if (info)
            *info = st;
    }
    ::close(fd);
    if (result != Read)
        bytes->clear();
    return result;
}
