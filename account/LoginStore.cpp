#include "account/LoginStore.h"

#include "pages/FileCommit.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <sys/stat.h>
#include <unistd.h>

namespace LoginStore {

namespace {

const char kUserKey[] = "/LOGIN/User";
const char kPasswordKey[] = "/LOGIN/Password";

bool onlyRootOrOperatorWrites(const struct stat &st)
{
    return (st.st_uid == 0 || st.st_uid == ::geteuid()) && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

QString readKey(const char *key)
{
    QByteArray content;
    struct stat st;
    if (SettingsFile::read(filePath(), &content, &st) != SettingsFile::Read ||
        !onlyRootOrOperatorWrites(st))
        return QString();
    SettingsFile file(content);
    return file.settings().value(QLatin1String(key), QString()).toString();
}

} // namespace

QString filePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/config/Login.ini");
}

QString storedUser()
{
    return readKey(kUserKey);
}

QString storedPassword()
{
    return readKey(kPasswordKey);
}

bool isTrusted()
{
    QByteArray content;
    struct stat st;
    const SettingsFile::Status status = SettingsFile::read(filePath(), &content, &st);
    return status == SettingsFile::Missing ||
           (status == SettingsFile::Read && onlyRootOrOperatorWrites(st));
}

bool canWrite()
{
    const QString path = filePath();
    const QFileInfo info(path);
    const bool own = (!info.exists() && !info.isSymLink()) || FileCommit::isOwnRegularFile(path);
    return own && ::access(QFile::encodeName(info.path()).constData(), W_OK) == 0;
}

bool writePassword(const QString &digest)
{
    const bool written = SettingsFile::update(
        filePath(), [&digest](QSettings &s) { s.setValue(QLatin1String(kPasswordKey), digest); },
        0600);
    return written && storedPassword() == digest;
}

} // namespace LoginStore
