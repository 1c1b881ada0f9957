#include "account/LogExport.h"

#include "account/LoginDialog.h"
#include "pages/FileCommit.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace {

// The command belongs to the main window, whose catalogue context holds its texts.
QString trMain(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

QString LogExport::logFilePath()
{
    return QStringLiteral("./logFiles") + QStringLiteral("/logs.txt");
}

void LogExport::run(QWidget *parent)
{
    {
        LoginDialog login(nullptr);
        if (login.exec() != QDialog::Accepted)
            return;
    }

    const QString log = logFilePath();
    if (!QFile::exists(log)) {
        QMessageBox::warning(nullptr, trMain("Warning"), trMain("There is no history log file"),
                             QMessageBox::Ok);
        return;
    }

    const QString target = QFileDialog::getSaveFileName(parent, trMain("export log"), QString(),
                                                        QStringLiteral("Log File(*.txt)"));
    if (target.isNull())
        return;

    if (copyReplacing(log, target))
        QMessageBox::information(nullptr, trMain("Information"), trMain("Export log successfully"),
                                 QMessageBox::Ok);
    else
        QMessageBox::warning(nullptr, trMain("Warning"), trMain("Export log failed"),
                             QMessageBox::Ok);
}

bool LogExport::copyReplacing(const QString &source, const QString &target)
{
    // The log is read only as a regular file, never through a link; the copy is a new file
    // that takes the chosen name only when complete, and replaces only the operator's own
    // regular file of that name (a link or another user's file there is left alone).
    QByteArray log;
    if (FileCommit::readRegularFile(source, MaxLogBytes, &log) != FileCommit::Read)
        return false;
    FileCommit out(target);
    return out.write(log) && out.commit(FileCommit::ReplaceOwn);
}
