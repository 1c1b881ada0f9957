#include "account/AdminPasswordChange.h"

#include "account/LoginStore.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

// pkexec's own exit codes: the authorisation was refused or dismissed, or it could not start.
const int kNotAuthorised = 126;
const int kCannotRun = 127;

} // namespace

QString AdminPasswordChange::helperPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/veldrin-scan-password");
}

QString AdminPasswordChange::helperCommand()
{
    return QStringLiteral("sudo ") + helperPath();
}

AdminPasswordChange::Result AdminPasswordChange::store(const QString &digest)
{
    if (LoginStore::canWrite())
        return LoginStore::writePassword(digest) ? Saved : Failed;

    const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
    if (pkexec.isEmpty() || !QFileInfo(helperPath()).isExecutable())
        return NeedsAdministrator;
    // The digest, never the password, goes to the helper, on its standard input. The dialog
    // stays painted while the desktop's authentication agent asks.
    QProcess helper;
    QEventLoop loop;
    QObject::connect(&helper, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop,
                     &QEventLoop::quit);
    QObject::connect(&helper, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    helper.start(pkexec, {helperPath()});
    if (!helper.waitForStarted(10000))
        return NeedsAdministrator;
    helper.write(digest.toLatin1() + '\n');
    helper.closeWriteChannel();
    if (helper.state() != QProcess::NotRunning)
        loop.exec();
    helper.waitForFinished(1000);
    if (helper.exitStatus() != QProcess::NormalExit)
        return Failed;
    switch (helper.exitCode()) {
    case 0:
        return LoginStore::storedPassword() == digest ? Saved : Failed;
    case kNotAuthorised:
        return NotAuthorised;
    case kCannotRun:
        return NeedsAdministrator;
    default:
        return Failed;
    }
}

QString AdminPasswordChange::resultText(Result result)
{
    switch (result) {
    case Saved:
        break;
    case NeedsAdministrator:
        return tr("Changing the administrator password needs the system administrator's rights. "
                  "Ask the system administrator to run:\n%1")
            .arg(helperCommand());
    case NotAuthorised:
        return tr("The system administrator's authorisation was not given; the password is "
                  "unchanged");
    case Failed:
        return tr("Failed to save the new password");
    }
    return QString();
}
