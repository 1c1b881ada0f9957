#include "app/ScannerDialog.h"
#include "app/ScannerStatusBar.h"
#include "scan/DetectThread.h"
#include "scan/ScannerCheck.h"
#include "scan/ScannerDiscovery.h"
#include "scan/ScannerStatusPoll.h"
#include "settings/ParamSetting.h"
#include "tests/support/EsclScannerProcess.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestRows.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

// Finding, checking and watching a scanner: the simulated eSCL scanner on loopback, SANE's
// test backend, and scanners listed in sane-airscan's [devices] (its network discovery is off:
// it would multicast onto the real network).
class TestScanners : public QObject
{
    Q_OBJECT

    QTemporaryDir m_sane;

private slots:
    void init()
    {
        TestEnvironment::resetConfig();
        TestEnvironment::resetRecord();
    }

    // What the scanner says, as its status line says it; and "测试连接" for the address given:
    // the scanner's make and model, or why not.
    void statusAndCheck_data()
    {
        // scanner settings ("-": not listening) | status | status line | address | checked | text
        TestRows::add({"ready |  | 2 | 扫描仪就绪 | escl:%1 | true | Veldrin eSCL Simulator",
                       "busy | FAULT=busy | 3 | 扫描仪忙 | %1 | true | Veldrin eSCL Simulator",
                       "stopped | FAULT=stopped | 4 | 扫描服务已停止 | wsd:%1 | false | "
                       "只能询问 eSCL 扫描仪的型号",
                       "feeder empty | SHEETS=0 | 5 | 进纸器无纸 | sane:test:0 | false | "
                       "本机扫描仪：请通过扫描测试",
                       "jam | FEEDER_STATE=jam | 6 | 卡纸 | | false | ",
                       "cover open | FEEDER_STATE=door_open | 7 | 盖板打开 | | false | ",
                       "not listening | - | 1 | 无法连接扫描仪 %1 | escl:%1 | false | 无法连接："});
    }
    void statusAndCheck()
    {
        QFETCH(QStringList, fields);
        EsclScannerProcess scanner(fields[0] == "-" ? QString() : fields[0]);
        QVERIFY(scanner.isListening());
        const QString url = QString("http://127.0.0.1:%1/eSCL").arg(scanner.port());
        if (fields[0] == "-")
            scanner.stop();
        QCOMPARE(int(ScannerStatusPoll::ask(url)), fields[1].toInt());
        QCOMPARE(ScannerStatusBar::statusText(fields[1].toInt(), "escl:" + url),
                 QString(fields[2]).replace("%1", url));
        if (fields[3].isEmpty())
            return;
        ScannerCheck check(QString(fields[3]).replace("%1", url));
        QSignalSpy checked(&check, &ScannerCheck::Checked);
        check.start();
        QTRY_COMPARE_WITH_TIMEOUT(checked.size(), 1, 10000);
        QCOMPARE(checked.at(0).at(0).toBool(), fields[4] == "true");
        QVERIFY2(checked.at(0).at(1).toString().startsWith(fields[5]),
                 qPrintable(checked.at(0).at(1).toString()));
    }

    // The monitor asks an eSCL scanner for its status, pings other devices, and is silent while
    // paused (a scan is under way).
    void monitor()
    {
        EsclScannerProcess scanner("FAULT=busy");
        QVERIFY(scanner.isListening());
        ParamSetting::instance.setPrinterAddress(
            QString("escl:http://127.0.0.1:%1/eSCL").arg(scanner.port()));
        DetectThread monitor;
        QSignalSpy statuses(&monitor, &DetectThread::UpdateStatus);
        monitor.setPaused(true);
        monitor.setCyclePause(50);
        monitor.setStatusPause(50);
        monitor.start();
        QTest::qWait(300); // a paused monitor has nothing to say; no signal to wait for
        QCOMPARE(statuses.size(), 0);
        QCOMPARE(scanner.record("status").size(), 0);
        monitor.setPaused(false);
        QTRY_VERIFY_WITH_TIMEOUT(!statuses.isEmpty(), 10000);
        QCOMPARE(statuses.at(0).at(0).toInt(), int(ScannerStatusPoll::Busy));
        ParamSetting::instance.setPrinterAddress("sane:test:0");
        QTRY_COMPARE_WITH_TIMEOUT(statuses.last().at(0).toInt(),
                                  int(ScannerStatusPoll::LocalDevice), 15000);
        // Another scanner chosen while a poll waits for an answer: that poll's outcome (here no
        // answer) is not shown beside the new scanner's name; the next cycle asks the new one.
        QTcpServer silent; // takes the connection, never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        QSignalSpy asked(&silent, &QTcpServer::newConnection);
        ParamSetting::instance.setPrinterAddress(
            QString("escl:http://127.0.0.1:%1/eSCL").arg(silent.serverPort()));
        QVERIFY(asked.wait(15000));
        ParamSetting::instance.setPrinterAddress("sane:test:0");
        const int before = statuses.size();
        QTRY_VERIFY_WITH_TIMEOUT(statuses.size() > before, 15000);
        QCOMPARE(statuses.at(before).at(0).toInt(), int(ScannerStatusPoll::LocalDevice));
        // A scanner chosen during a long pause is asked at once, not when the pause ends.
        DetectThread patient;
        QSignalSpy told(&patient, &DetectThread::UpdateStatus);
        patient.setCyclePause(600000);
        patient.start();
        QTRY_COMPARE_WITH_TIMEOUT(told.size(), 1, 15000);
        patient.pollNow();
        QTRY_COMPARE_WITH_TIMEOUT(told.size(), 2, 15000);
    }

    // The list through the scan program's -l, with a deadline and a program that cannot start.
    void discoveryFails_data()
    {
        TestRows::add({"deadline | exec sleep 30 | 搜索扫描仪超过 1 秒，已停止",
                       "no program | | 无法开始搜索扫描仪："});
    }
    void discoveryFails()
    {
        QFETCH(QStringList, fields);
        ScannerDiscovery discovery;
        discovery.setDeadline(1000);
        discovery.setProgram(fields[0].isEmpty() ? TestEnvironment::appDir() + "/missing"
                                                 : TestEnvironment::writeFakeProgram(
                                                       "slowlist", "#!/bin/sh\n" + fields[0]));
        QSignalSpy finished(&discovery, &ScannerDiscovery::Finished);
        discovery.search();
        QVERIFY(finished.wait(10000));
        QVERIFY(finished.at(0).at(0).value<QList<FoundScanner>>().isEmpty());
        QVERIFY2(finished.at(0).at(1).toString().startsWith(fields[1]),
                 qPrintable(finished.at(0).at(1).toString()));
        QVERIFY(!discovery.isSearching());
    }

    // The dialog lists what SANE finds (network scanners first), tests the chosen one and
    // stores it; the scanner's name then shows in the status bar.
    void dialog()
    {
        EsclScannerProcess scanner;
        QVERIFY(scanner.isListening());
        const QString url = QString("http://127.0.0.1:%1/eSCL").arg(scanner.port());
        // The test backend (two devices) and sane-airscan with discovery off and two devices.
        QVERIFY(TestFiles::writeFile(m_sane.filePath("dll.conf"), "airscan\ntest\n"));
        QVERIFY(TestFiles::writeFile(
            m_sane.filePath("airscan.conf"),
            QString("[options]\ndiscovery = disable\nws-discovery = off\n[devices]\n\"Sim eSCL\" = "
                    "%1, eSCL\n\"Sim WSD\" = http://127.0.0.1:%2/WSD, WSD\n")
                .arg(url)
                .arg(scanner.port())
                .toUtf8()));
        qputenv("SANE_CONFIG_DIR", QFile::encodeName(m_sane.path()));
        ScannerDialog dialog;
        dialog.show();
        auto *table = dialog.findChild<QTableWidget *>("table_scanners");
        QVERIFY(dialog.findChild<QProgressBar *>("progress_search")->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(table->rowCount() > 0, 20000);
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row)
            rows << table->item(row, 0)->text() + " | " + table->item(row, 1)->text() + " | " +
                        table->item(row, 2)->text();
        QCOMPARE(rows, QStringList(
                           {"Sim eSCL | eSCL | " + url,
                            QString("Sim WSD | WSD | http://127.0.0.1:%1/WSD").arg(scanner.port()),
                            "Noname frontend-tester | SANE | test:0",
                            "Noname frontend-tester | SANE | test:1"}));
        QCOMPARE(dialog.findChild<QLabel *>("label_searchState")->text(),
                 QString("找到 4 台扫描仪"));
        QVERIFY(!dialog.findChild<QProgressBar *>("progress_search")->isVisible());

        table->selectRow(0);
        QCOMPARE(dialog.findChild<QLineEdit *>("edit_address")->text(), "escl:" + url);
        QTest::mouseClick(dialog.findChild<QPushButton *>("btn_test"), Qt::LeftButton);
        auto *result = dialog.findChild<QLabel *>("label_testResult");
        QTRY_COMPARE_WITH_TIMEOUT(result->text(), QString("连接成功：Veldrin eSCL Simulator"),
                                  10000);
        TestEnvironment::screenshot(&dialog, "scanner-dialog");
        QTest::mouseClick(dialog.findChild<QPushButton *>("btn_Ok"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(ParamSetting::instance.printerAddress(), "escl:" + url);
        QCOMPARE(ParamSetting::instance.printer_name, QString("Sim eSCL"));
        QCOMPARE(ScannerStatusBar::scannerName("", "sane:test:1"), QString("test:1"));

        // The status bar names the chosen scanner; its button opens the dialog.
        QMainWindow window;
        QMenu *file = window.menuBar()->addMenu("file");
        QAction *quit = file->addAction("quit");
        auto *bar = new ScannerStatusBar(&window, file, quit);
        auto *button = window.findChild<QToolButton *>("btn_scanner");
        QCOMPARE(button->text(), QString("Sim eSCL"));
        bar->showStatus(ScannerStatusPoll::Jam);
        QCOMPARE(window.findChild<QLabel *>("label_status")->text(), QString("卡纸"));
        ModalAnswerer answerer;
        answerer.expectReject();
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.at(0).title, QString("选择扫描仪"));
        QCOMPARE(window.findChild<QLabel *>("label_status")->text(), QString("卡纸"));
    }
};

SCANCONSOLE_TEST_MAIN(TestScanners)
#include "tst_scanners.moc"
