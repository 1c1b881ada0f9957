#include "log/LogOutput.h"

#include "log/LogRecord.h"
#include "settings/ParamSetting.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <pwd.h>
#include <unistd.h>

namespace {

const char kLogDir[] = "./logFiles";

bool appendToLog(const QByteArray &bytes)
{
    if (!QDir().mkpath(QString::fromLatin1(kLogDir)))
        return false;
    const QString path =
        QString::fromLatin1(kLogDir) + QLatin1Char('/') + ParamSetting::instance.log_file_name;
    // A record starts on a line of its own, also after a last line that was cut off (a crash
    // while writing, a full disk): otherwise it would become the end of that line.
    QByteArray record = bytes;
    QFile last(path);
    if (last.open(QIODevice::ReadOnly) && last.size() > 0 && last.seek(last.size() - 1) &&
        last.read(1) != "\n")
        record.prepend('\n');
    last.close();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    // One write per record, so a record is never split by another writer's.
    const bool ok = file.write(record) == record.size();
    file.close();
    return ok;
}

} // namespace

QByteArray LogOutput::currentUser()
{
    const uid_t uid = getuid();
    const passwd *entry = getpwuid(uid);
    return LogRecord::userField(entry ? entry->pw_name : nullptr, uid);
}

void LogOutput::WriteFile(LogRecord::Result result, const QString &documentPath)
{
    ParamSetting::instance.log_file_name = QStringLiteral("logs.txt");
    appendToLog(
        LogRecord::format(currentUser(), documentPath, QDateTime::currentDateTime(), result));
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
