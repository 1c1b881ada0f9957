#include "device/common/PageFileWriter.h"

#include "device/common/JpegEncoder.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

PageFileWriter::PageFileWriter(const QString &outputPath)
    : m_dir(QFileInfo(outputPath).absolutePath()), m_stem(QFileInfo(outputPath).completeBaseName())
{
    if (m_stem.isEmpty())
        m_stem = QStringLiteral("tempImage");
}

QString PageFileWriter::pathFor(const QString &pattern, int number) const
{
    return m_dir.filePath(
        pattern.arg(m_stem, QStringLiteral("%1").arg(number, 6, 10, QLatin1Char('0'))));
}

bool PageFileWriter::prepare(QString *error)
{
    if (!m_dir.exists() && !QDir().mkpath(m_dir.path())) {
        *error = QStringLiteral("cannot create the folder %1").arg(m_dir.path());
        return false;
    }
    const QRegularExpression pattern(
        QStringLiteral("^\\.?%1-(\\d+)\\.(jpg|part)$").arg(QRegularExpression::escape(m_stem)),
        QRegularExpression::CaseInsensitiveOption);
    int highest = 0;
    const QStringList names = m_dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (match.hasMatch())
            highest = qMax(highest, match.captured(1).toInt());
    }
    m_nextNumber = highest + 1;
    // Permissions do not tell (root may write anywhere, a read-only mount refuses everyone):
    // try it.
    const QString probe = pathFor(QStringLiteral(".%1-%2.part"), m_nextNumber);
    QFile file(probe);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *error = QStringLiteral("cannot write in %1: %2").arg(m_dir.path(), file.errorString());
        return false;
    }
    file.close();
    file.remove();
    return hasRoom(0, QStringLiteral("no page can be written"), error);
}

bool PageFileWriter::hasRoom(qint64 bytes, const QString &what, QString *error) const
{
    struct statvfs space;
    if (m_keepFree <= 0 || statvfs(QFile::encodeName(m_dir.path()).constData(), &space) != 0)
        return true;
    const qint64 free = qint64(space.f_bavail) * qint64(space.f_frsize);
    if (free - bytes >= m_keepFree)
        return true;
    *error = QStringLiteral("%1: %2 (%3 MB free in %4, %5 MB are kept free)")
                 .arg(what, systemText(ENOSPC))
                 .arg(free >> 20)
                 .arg(m_dir.path())
                 .arg(m_keepFree >> 20);
    return false;
}

bool PageFileWriter::writeFile(const QString &path, const QByteArray &bytes, QString *error) const
{
    const QByteArray name = QFile::encodeName(path);
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, systemText(errno));
        return false;
    }
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    int failure = 0;
    while (left > 0 && !failure) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno != EINTR)
            failure = errno;
        if (n > 0) {
            data += n;
            left -= n;
        }
    }
    if (::close(fd) != 0 && !failure)
        failure = errno;
    if (failure) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, systemText(failure));
        ::unlink(name.constData());
        return false;
    }
    return true;
}

bool PageFileWriter::writeNote(const QByteArray &text, QString *error)
{
    // Written whole under a hidden name, then put in place of an earlier run's note.
    const QString part = m_dir.filePath(QStringLiteral(".%1.scan.part").arg(m_stem));
    const QString note = m_dir.filePath(m_stem + QStringLiteral(".scan"));
    if (!writeFile(part, text, error))
        return false;
    if (::rename(QFile::encodeName(part).constData(), QFile::encodeName(note).constData()) == 0)
        return true;
    *error = QStringLiteral("cannot rename %1 to %2: %3").arg(part, note, systemText(errno));
    ::unlink(QFile::encodeName(part).constData());
    return false;
}

bool PageFileWriter::write(const QImage &page, int dpi, QString *finalPath, QString *error)
{
    const QByteArray bytes = JpegEncoder::encode(page, dpi);
    if (bytes.isEmpty()) {
        *error = QStringLiteral("cannot encode page %1 as JPEG").arg(m_written + 1);
        return false;
    }
    if (!hasRoom(bytes.size(), QStringLiteral("page %1 cannot be written").arg(m_written + 1),
                 error))
        return false;
    const QString partPath = pathFor(QStringLiteral(".%1-%2.part"), m_nextNumber);
    *finalPath = pathFor(QStringLiteral("%1-%2.jpg"), m_nextNumber);
    if (!writeFile(partPath, bytes, error))
        return false;
    // The rename makes the complete page appear under its ".jpg" name in one step; it never
    // replaces anything that is already there (where the file system cannot promise that in
    // one step, a name that exists is refused).
    const QByteArray from = QFile::encodeName(partPath), to = QFile::encodeName(*finalPath);
    int renamed = renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    if (renamed != 0 && errno == EINVAL) {
        struct stat there;
        if (lstat(to.constData(), &there) == 0)
            errno = EEXIST;
        else
            renamed = ::rename(from.constData(), to.constData());
    }
    if (renamed != 0) {
        *error = QStringLiteral("cannot rename %1 to %2: %3")
                     .arg(partPath, *finalPath, systemText(errno));
        ::unlink(from.constData());
        return false;
    }
    ++m_nextNumber;
    ++m_written;
    return true;
}
