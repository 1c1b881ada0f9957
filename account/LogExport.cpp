#include "account/LogExport.h"

#include "account/LoginDialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

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
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;

    // QSaveFile writes beside the target and renames only on commit, so the operator's existing
    // file survives any failure before that.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return false;

    char buffer[64 * 1024];
    for (;;) {
        const qint64 got = in.read(buffer, sizeof buffer);
        if (got < 0) {
            out.cancelWriting();
            break;
        }
        if (got == 0)
            break;
        if (out.write(buffer, got) != got) {
            out.cancelWriting();
            break;
        }
    }
    return out.commit();
}
