#include "app/MainWindow.h"
#include "app/Startup.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
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
        QCOMPARE(QCoreApplication::translate("RunProgressDialog", "Scanning..."),
                 QString("扫描中..."));
        QCOMPARE(QCoreApplication::translate("MainWindow", "Parameter error"),
                 QString("        参数校验失败        "));
        QCOMPARE(QCoreApplication::translate("MainWindow", "扫描"), QString("扫描"));
        // Qt's own standard buttons read in Chinese.
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Ok)->text(), QString("确定"));
    }

    void styleSheetFromTheResources()
    {
        const QString sheet = Startup::readStyleSheet();
        QVERIFY(sheet.size() > 2000);
        QVERIFY(sheet.contains("#CCD5F0", Qt::CaseInsensitive));
        QVERIFY(Startup::readStyleSheet(":/qss/res/missing.qss").isEmpty());
    }

    void mainWindowHasNoMaximiseButton()
    {
        MainWindow window;
        Startup::removeMaximizeButton(window);
        const Qt::WindowFlags flags = window.windowFlags();
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QCOMPARE(window.windowTitle(), QString("Veldrin扫描软件V2.0"));
    }

    void startsWithoutAnyConfigFolder()
    {
        // A copy of the console in an empty application directory: no config/ at all.
        const QString console = QDir(TestEnvironment::appDir()).filePath("../../veldrin-scan");
        QVERIFY2(QFile::exists(console), qPrintable(console));
        QTemporaryDir appDir;
        const QString copy = appDir.filePath("veldrin-scan");
        QVERIFY(QFile::copy(console, copy));

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("PATH", TestEnvironment::fakeBinDir() + ":" + env.value("PATH"));
        process.setProcessEnvironment(env);
        QTemporaryDir work;
        process.setWorkingDirectory(work.path());
        process.start(copy, QStringList());
        QVERIFY(process.waitForStarted(10000));
        QVERIFY(!process.waitForFinished(3000)); // still running: the window is up
        QCOMPARE(process.state(), QProcess::Running);
        process.kill();
        process.waitForFinished(5000);
        // Loading never creates the settings files.
        QVERIFY(!QFile::exists(appDir.filePath("config/ParamSetting.ini")));
        QVERIFY(!QFile::exists(appDir.filePath("config/VisibleSetting.ini")));
    }
};

SCANCONSOLE_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
