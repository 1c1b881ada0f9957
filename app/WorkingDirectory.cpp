#include "app/WorkingDirectory.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace WorkingDirectory {

QString choose(const QString &current, const QString &home,
               const std::function<bool(const QString &)> &isWritable)
{
    const bool currentUsable =
        !current.isEmpty() && current != QLatin1String("/") && isWritable(current);
    if (currentUsable)
        return current;
    const bool homeUsable = !home.isEmpty() && home != QLatin1String("/") && isWritable(home);
    return homeUsable ? home : current;
}

bool isWritable(const QString &folder)
{
    // access() asks the kernel, so read-only file systems and ACLs count too.
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

QString apply()
{
    const QString current = QDir::currentPath();
    const QString chosen = choose(current, QDir::homePath(), &WorkingDirectory::isWritable);
    if (chosen != current && !QDir::setCurrent(chosen))
        return current;
    return chosen;
}

} // namespace WorkingDirectory
