#include "app/MainWindow.h"
#include "pages/ImageManager.h"
#include "settings/ParamSetting.h"
#include "tests/support/EsclScannerProcess.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/RecordFixtures.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The whole scan road with nothing stood in: the main window runs the real ScanConsoleApp,
// which reaches the simulated network scanner on 127.0.0.1 through libsane and sane-airscan.
class TestScanRoadDriver : public QObject
{
    Q_OBJECT

    ParamSetting &p = ParamSetting::instance;

    static QStringList logLines()
    {
        QFile f("./logFiles/logs.txt");
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    // Presses Scan with `source` (0 flatbed, 1 feeder, 2 duplex) against `scanner` and waits
    // for the run to end; the message boxes it showed are in `answerer`.
    static bool scan(MainWindow &window, const EsclScannerProcess &scanner, int source,
                     const QString &destination, ModalAnswerer &answerer)
    {
        startScan(window, scanner, source, destination, answerer);
        return waitIdle(window);
    }
    static void startScan(MainWindow &window, const EsclScannerProcess &scanner, int source,
                          const QString &destination, ModalAnswerer &answerer)
    {
        ParamSetting &p = ParamSetting::instance;
        qputenv("SCANCONSOLE_DEVICE_URL", scanner.urlTemplate().toUtf8());
        p.source_type = source;
        p.image_type = 2;
        p.resolution = 0; // asked for as 200 dpi
        p.save_type = 0;
        p.save_path = destination;
        p.progress = true;
        window.InitParameter();
        answerer.expectMessageBox();
        QTest::mouseClick(findChildOrDie<QPushButton>(&window, "btn_scan"), Qt::LeftButton);
    }
    static bool waitIdle(MainWindow &window)
    {
        QElapsedTimer clock;
        clock.start();
        while (window.isRunActive() && clock.elapsed() < 120000)
            QTest::qWait(50);
        return !window.isRunActive();
    }

private slots:
    void init()
    {
        TestEnvironment::clearTempImages();
        TestEnvironment::resetConfig();
        TestEnvironment::resetRecord();
    }

    void cleanup()
    {
        qunsetenv("SCANCONSOLE_DEVICE_URL");
        ImageManager::Instance()->ClearImages();
        TestEnvironment::clearTempImages();
    }

    // A duplex scan of two sheets: four pages in the destination folder, in the store, a
    // "Success" record in the work log, no message, nothing left in /tmp/tempimages.
    void scanReachesTheDestination()
    {
        EsclScannerProcess scanner("SHEETS=2");
        QVERIFY(scanner.isListening());
        QTemporaryDir destination;
        MainWindow window;
        window.show();
        const int records = logLines().size();
        ModalAnswerer answerer;
        QVERIFY(scan(window, scanner, 2, destination.path(), answerer));
        QTest::qWait(100);
        QVERIFY(answerer.seen.isEmpty());
        QCOMPARE(ImageManager::Instance()->count(), 4);
        const QStringList files = QDir(destination.path()).entryList({"*.jpg"}, QDir::Files);
        QCOMPARE(files.size(), 4);
        for (const QString &file : files)
            QCOMPARE(QImage(destination.filePath(file)).size(), QSize(1654, 2339));
        QCOMPARE(scanner.record("page").size(), 4);
        QVERIFY(scanner.record("job").value(0).contains("duplex=1 mode=RGB24 resolution=200"));
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), records + 1);
        QVERIFY(lines.last().endsWith(" Success "));
        QVERIFY(lines.last().contains(destination.path()));
        QVERIFY(QDir("/tmp/tempimages").entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    // A busy scanner: the "Scan service busy" warning and a "Fail" record.
    void busyScannerIsReported()
    {
        EsclScannerProcess scanner("FAULT=busy");
        QVERIFY(scanner.isListening());
        QTemporaryDir destination;
        MainWindow window;
        window.show();
        ModalAnswerer answerer;
        QVERIFY(scan(window, scanner, 0, destination.path(), answerer));
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.at(0).title, QString("警告"));
        QCOMPARE(answerer.seen.at(0).text, QString("        扫描服务繁忙        "));
        QVERIFY(logLines().last().endsWith(" Fail "));
        QVERIFY(QDir(destination.path()).isEmpty());
    }

    // Cancel in the middle of a feeder batch stops the real program (SIGTERM, exit code 130),
    // which ends the scanner's job: the pages before are saved, no warning, a "Cancel" record.
    void cancelStopsTheScanProgram()
    {
        EsclScannerProcess scanner("SHEETS=12 PAGE_DELAY_MS=600");
        QVERIFY(scanner.isListening());
        QTemporaryDir destination;
        MainWindow window;
        window.show();
        ModalAnswerer answerer;
        startScan(window, scanner, 1, destination.path(), answerer);
        QTRY_VERIFY_WITH_TIMEOUT(ImageManager::Instance()->count() >= 1, 60000);
        findChildOrDie<QAction>(&window, "action_cancelScan")->trigger();
        QVERIFY(waitIdle(window));
        QTest::qWait(100);
        QVERIFY(answerer.seen.isEmpty());
        const int pages = ImageManager::Instance()->count();
        QVERIFY2(pages >= 1 && pages < 12, qPrintable(QString::number(pages)));
        QCOMPARE(QDir(destination.path()).entryList({"*.jpg"}, QDir::Files).size(), pages);
        QVERIFY(logLines().last().endsWith(" Cancel "));
        QVERIFY(scanner.record("page").size() < 12);
        QVERIFY(QDir("/tmp/tempimages").entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
};

SCANCONSOLE_TEST_MAIN(TestScanRoadDriver)
#include "tst_scanroad_driver.moc"
