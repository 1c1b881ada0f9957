#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/WorkingDirectory.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestRows.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// What start-up gives every window: both catalogues, the style sheet, the window flags, and a
// program that starts without any settings files.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void cataloguesTranslateCodeTextsAndKeepFormTexts()
    {
        // (The run dialog's texts are read in Chinese by the scan road's tests.)
        QCOMPARE(QCoreApplication::translate("MainWindow", "Parameter error"),
                 QString("        参数校验失败        "));
        // Qt's own standard buttons read in Chinese.
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Ok)->text(), QString("确定"));
    }

    void styleSheetAndWindowFlags()
    {
        const QString sheet = Startup::readStyleSheet();
        QVERIFY(sheet.size() > 2000 && sheet.contains("#CCD5F0", Qt::CaseInsensitive));
        QVERIFY(Startup::readStyleSheet(":/qss/res/missing.qss").isEmpty());
        MainWindow window;
        Startup::removeMaximizeButton(window);
        const Qt::WindowFlags flags = window.windowFlags();
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint) && (flags & Qt::WindowMinimizeButtonHint) &&
                (flags & Qt::WindowCloseButtonHint));
        QCOMPARE(window.windowTitle(), QString("Veldrin扫描软件V2.0"));
    }

    void workingDirectoryRule_data()
    {
        // current | home | the folders writable | the folder chosen
        TestRows::add(
            {"writable folder kept | /srv/scans | /home/op | /srv/scans /home/op | /srv/scans",
             "desktop launch in / | / | /home/op | / /home/op | /home/op",
             "working directory gone | | /home/op | /home/op | /home/op",
             "home not writable either | /usr | /home/op | | /usr",
             "no home: / stays | / | / | / | /"});
    }
    void workingDirectoryRule()
    {
        QFETCH(QStringList, fields);
        const QStringList writable = fields[2].split(' ');
        const auto isWritable = [&](const QString &folder) { return writable.contains(folder); };
        QCOMPARE(WorkingDirectory::choose(fields[0], fields[1], isWritable), fields[3]);
        QVERIFY(WorkingDirectory::isWritable(QDir::tempPath()));
        QVERIFY(!WorkingDirectory::isWritable(QDir::tempPath() + "/missing/folder"));
    }

    // The console itself, started from the desktop menu (in /) without any config/ folder: it
    // runs, creates no settings files, and works in the home folder. (Started in a writable
    // folder, it stays there: the console process test's consoles.)
    void startsWithoutAnyConfigFolder()
    {
        // A copy of the console in an empty application directory: no config/ at all.
        QTemporaryDir appDir, home, work;
        const QString copy = appDir.filePath("veldrin-scan");
        QVERIFY(QFile::copy(QDir(TestEnvironment::appDir()).filePath("../../veldrin-scan"), copy));
        // The window is up once the console pings the printer.
        const QString pings = work.filePath("pings");
        TestEnvironment::writeFakeProgram("ping",
                                          QString("#!/bin/sh\necho \"$*\" >>'%1'\n").arg(pings));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("PATH", TestEnvironment::fakeBinDir() + ":" + env.value("PATH"));
        env.insert("HOME", home.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QStringLiteral("/"));
        process.start(copy, QStringList());
        QVERIFY(process.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(pings), 20000);
        QCOMPARE(process.state(), QProcess::Running);
        const QString cwd =
            QFileInfo(QString("/proc/%1/cwd").arg(process.processId())).symLinkTarget();
        process.kill();
        process.waitForFinished(5000);
        QCOMPARE(cwd, QFileInfo(home.path()).canonicalFilePath());
        QVERIFY(!QFileInfo::exists(appDir.filePath("config"))); // loading creates no file
    }
};

SCANCONSOLE_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
