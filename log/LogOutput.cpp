#include "log/LogOutput.h"

#include "log/JournalRecord.h"
#include "log/LogRecord.h"
#include "settings/ParamSetting.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kLogDir[] = "./logFiles";

// Opens the log for appending, never through a link, and only when it is a regular file of
// the operator's own; a missing log is made as a new file. The folder too is opened without
// following a link.
int openLog(const QByteArray &name)
{
    const int dir = ::open(kLogDir, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0)
        return -1;
    int fd = ::openat(dir, name.constData(), O_RDWR | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        fd = ::openat(dir, name.constData(),
                      O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    ::close(dir);
    struct stat st;
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool appendToLog(const QByteArray &bytes)
{
    if (!QDir().mkpath(QString::fromLatin1(kLogDir)))
        return false;
    const int fd = openLog(QFile::encodeName(ParamSetting::instance.log_file_name));
    if (fd < 0)
        return false;
    // A record starts on a line of its own, also after a last line that was cut off (a crash
    // while writing, a full disk): otherwise it would become the end of that line.
    QByteArray record = bytes;
    struct stat st;
    char last = '\n';
    if (::fstat(fd, &st) == 0 && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 &&
        last != '\n')
        record.prepend('\n');
    // One write per record, so a record is never split by another writer's.
    const bool ok = ::write(fd, record.constData(), size_t(record.size())) == record.size();
    return ::close(fd) == 0 && ok;
}

} // namespace

QByteArray LogOutput::currentUser()
{
    const uid_t uid = getuid();
    const passwd *entry = getpwuid(uid);
    return LogRecord::userField(entry ? entry->pw_name : nullptr, uid);
}

void LogOutput::WriteFile(LogRecord::Result result, const QString &documentPath, int pages)
{
    ParamSetting::instance.log_file_name = QStringLiteral("logs.txt");
    const QByteArray user = currentUser();
    appendToLog(LogRecord::format(user, documentPath, QDateTime::currentDateTime(), result));
    JournalRecord::send(JournalRecord::fields(result, pages, documentPath, user));
}

void LogOutput::WriteFile(bool success)
{
    const ParamSetting &p = ParamSetting::instance;
    WriteFile(success ? LogRecord::Success : LogRecord::Fail,
              LogRecord::documentPath(p.save_path, p.name, p.save_type));
}

void LogOutput::WriteFile(QString text)
{
    ParamSetting &p = ParamSetting::instance;
    if (p.log_file_name.isEmpty())
        p.log_file_name =
            QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt");
    appendToLog(text.toUtf8() + '\n');
}
