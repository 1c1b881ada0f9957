#include "account/LoginStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace LoginStore {

namespace {

const char kUserKey[] = "/LOGIN/User";
const char kPasswordKey[] = "/LOGIN/Password";

QString readKey(const char *key)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    return settings.value(QLatin1String(key), QString()).toString();
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

bool writePassword(const QString &digest)
{
    const QString path = filePath();
    // The rewrite takes the file's mode. Only its owner may read it, except where an
    // installation shares it with a group of operators who all may change the password: a file
    // their group can write stays the group's. A new file, or one an older installation left
    // readable by others, becomes the owner's only.
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    const bool shared = QFile::permissions(path).testFlag(QFile::WriteGroup);
    const QFile::Permissions mode =
        shared ? ownerOnly | QFile::ReadGroup | QFile::WriteGroup : ownerOnly;
    QFile::setPermissions(path, mode);
    QSettings settings(path, QSettings::IniFormat);
    const QVariant previous = settings.value(QLatin1String(kPasswordKey));
    settings.setValue(QLatin1String(kPasswordKey), digest);
    settings.sync();
    if (settings.status() == QSettings::NoError && QFileInfo::exists(path))
        return QFile::setPermissions(path, mode);

    // Qt keeps an unwritten value in its per-process cache of the file, where the next login
    // would find it; put the stored one back so the change is undone everywhere.
    if (previous.isValid())
        settings.setValue(QLatin1String(kPasswordKey), previous);
    else
        settings.remove(QLatin1String(kPasswordKey));
    settings.sync();
    return false;
}

} // namespace LoginStore
