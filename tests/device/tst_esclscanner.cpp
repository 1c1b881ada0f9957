#include "tests/support/EsclScannerProcess.h"
#include "tests/support/ScannedPages.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"

#include <httplib.h>

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The simulated network scanner escl-scanner as clients other than ours see it: sane-backends'
// own eSCL backend (through scanimage) scans from it, and its HTTP answers follow eSCL.
class TestEsclScanner : public QObject
{
    Q_OBJECT

private slots:
    // A two-page feeder batch through sane-backends' escl backend alone (a private
    // SANE_CONFIG_DIR); its flatbed is every scan of tst_device.
    void scannedBySaneEscl()
    {
        EsclScannerProcess scanner("SHEETS=2");
        QVERIFY(scanner.isListening());
        QTemporaryDir dir;
        // The escl backend needs its configuration file, even with no device in it.
        QVERIFY(TestFiles::writeFile(dir.filePath("dll.conf"), "escl\n") &&
                TestFiles::writeFile(dir.filePath("escl.conf"), "# named on the command line\n"));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SANE_CONFIG_DIR", dir.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start("scanimage",
                      {"-d", QString("escl:http://127.0.0.1:%1").arg(scanner.port()), "--source",
                       "ADF", "--format=pnm", "--batch=feeder-%d.pnm", "--mode", "Color",
                       "--resolution", "300", "-x", "210", "-y", "297"});
        // A batch ends when the feeder is empty, which scanimage reports as code 0 or 7.
        QVERIFY(process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
                (process.exitCode() == 0 || process.exitCode() == 7));
        QCOMPARE(QDir(dir.path()).entryList({"feeder-*.pnm"}).size(), 2);
        QCOMPARE(scanner.record("page").size(), 2);
        QVERIFY(scanner.record("job").value(0).contains("mode=RGB24 resolution=300"));
        for (int i = 0; i < 2; ++i) {
            const QImage page(dir.filePath(QString("feeder-%1.pnm").arg(i + 1)));
            QVERIFY(qAbs(page.width() - 2480) <= 2 && qAbs(page.height() - 3508) <= 2);
            // Each the page the scanner drew in its place, not its neighbour.
            const double own =
                ScannedPages::difference(page, ScannedPages::expected(i + 1, 300, true, false));
            QVERIFY2(own < 2.0, qPrintable(QString::number(own)));
            QVERIFY(ScannedPages::difference(
                        page, ScannedPages::expected(i + 2, 300, true, false)) > 2 * own);
        }
    }

    // It listens on 127.0.0.1 alone (the kernel's table of listening sockets says so; nothing
    // is sent anywhere to find out), and answers what a client may get wrong.
    void loopbackOnlyAndHttpAnswers()
    {
        EsclScannerProcess scanner;
        QVERIFY(scanner.isListening());
        QFile table("/proc/net/tcp");
        QVERIFY(table.open(QIODevice::ReadOnly));
        const QString port = QString("%1").arg(scanner.port(), 4, 16, QChar('0')).toUpper();
        QStringList listening;
        for (const QString &line : QString::fromLatin1(table.readAll()).split('\n')) {
            const QStringList f = line.simplified().split(' ');
            if (f.size() > 3 && f[1].endsWith(':' + port) && f[3] == "0A") // 0A: listening
                listening << f[1];
        }
        QCOMPARE(listening, QStringList{"0100007F:" + port});

        httplib::Client client("127.0.0.1", scanner.port());
        const auto capabilities = client.Get("/eSCL/ScannerCapabilities");
        QVERIFY(capabilities && capabilities->status == 200 &&
                capabilities->body.find("<scan:AdfDuplexInputCaps>") != std::string::npos);
        const auto badSettings = client.Post("/eSCL/ScanJobs", "<nothing/>", "text/xml");
        QVERIFY(badSettings && badSettings->status == 400);
        const auto unknownJob = client.Delete("/eSCL/ScanJobs/1234-abcd");
        QVERIFY(unknownJob && unknownJob->status == 404);
        const auto other = client.Get("/eSCL/ScanBufferInfo");
        QVERIFY(other && other->status == 404);
    }
};

SCANCONSOLE_TEST_MAIN(TestEsclScanner)
#include "tst_esclscanner.moc"
