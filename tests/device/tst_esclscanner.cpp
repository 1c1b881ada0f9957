#include "tests/support/EsclScannerProcess.h"
#include "tests/support/ScannedPages.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestRows.h"

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

    QTemporaryDir m_dir;

    // Runs scanimage on SANE's escl backend alone (a private SANE_CONFIG_DIR) against the
    // scanner, with `options`, in the test's folder.
    int scanimage(const EsclScannerProcess &scanner, const QStringList &options)
    {
        QDir(m_dir.path()).mkpath("sane");
        QFile dll(m_dir.filePath("sane/dll.conf")), escl(m_dir.filePath("sane/escl.conf"));
        dll.open(QIODevice::WriteOnly);
        dll.write("escl\n");
        // The escl backend needs its configuration file, even with no device in it.
        escl.open(QIODevice::WriteOnly);
        escl.write("# no devices: the device is named on the command line\n");
        dll.close();
        escl.close();
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SANE_CONFIG_DIR", m_dir.filePath("sane"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start("scanimage",
                      QStringList{"-d", QString("escl:http://127.0.0.1:%1").arg(scanner.port())} +
                          options);
        if (!process.waitForFinished(120000))
            return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

private slots:
    // A flatbed page and a two-page feeder batch through sane-backends' escl backend.
    void scannedBySaneEscl_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("pages");
        QTest::newRow("flatbed") << QStringList{"--source", "Flatbed", "--format=pnm", "-o",
                                                "flatbed-1.pnm"}
                                 << 1;
        QTest::newRow("feeder batch")
            << QStringList{"--source", "ADF", "--format=pnm", "--batch=feeder-%d.pnm"} << 2;
    }

    void scannedBySaneEscl()
    {
        QFETCH(QStringList, options);
        QFETCH(int, pages);
        EsclScannerProcess scanner("SHEETS=2");
        QVERIFY(scanner.isListening());
        const int code = scanimage(scanner, options + QStringList{"--mode", "Color", "--resolution",
                                                                  "300", "-x", "210", "-y", "297"});
        // A batch ends when the feeder is empty, which scanimage reports as code 0 or 7.
        QVERIFY2(code == 0 || (pages > 1 && code == 7), qPrintable(QString::number(code)));
        const QString prefix = options.contains("ADF") ? "feeder-" : "flatbed-";
        const QStringList files =
            QDir(m_dir.path()).entryList({prefix + "*.pnm"}, QDir::Files, QDir::Name);
        QCOMPARE(files.size(), pages);
        QCOMPARE(scanner.record("page").size(), pages);
        QVERIFY(scanner.record("job").value(0).contains("mode=RGB24 resolution=300"));
        for (int i = 0; i < pages; ++i) {
            const QImage page(m_dir.filePath(QString("%1%2.pnm").arg(prefix).arg(i + 1)));
            QVERIFY(qAbs(page.width() - 2480) <= 2 && qAbs(page.height() - 3508) <= 2);
            // Each the page the scanner drew in its place, not its neighbour.
            const double own =
                ScannedPages::difference(page, ScannedPages::expected(i + 1, 300, true, false));
            QVERIFY2(own < 2.0, qPrintable(QString::number(own)));
            QVERIFY(ScannedPages::difference(
                        page, ScannedPages::expected(i + 2, 300, true, false)) > 2 * own);
        }
    }

    // eSCL's answers to what a client may get wrong, and to a deletion.
    void http_data()
    {
        // method | path | body | status | what the answer contains
        TestRows::add(
            {"capabilities | GET | /eSCL/ScannerCapabilities | | 200 | <scan:AdfDuplexInputCaps>",
             "status | GET | /eSCL/ScannerStatus | | 200 | <pwg:State>Idle</pwg:State>",
             "bad settings | POST | /eSCL/ScanJobs | <nothing/> | 400 |",
             "deleting an unknown job | DELETE | /eSCL/ScanJobs/1234-abcd | | 404 |",
             "other resource | GET | /eSCL/ScanBufferInfo | | 404 |"});
    }

    void http()
    {
        QFETCH(QStringList, fields);
        const QString method = fields[0], path = fields[1], body = fields[2], contains = fields[4];
        const int status = fields[3].toInt();
        EsclScannerProcess scanner;
        QVERIFY(scanner.isListening());
        httplib::Client client("127.0.0.1", scanner.port());
        httplib::Result result =
            method == "GET"    ? client.Get(path.toStdString())
            : method == "POST" ? client.Post(path.toStdString(), body.toStdString(), "text/xml")
                               : client.Delete(path.toStdString());
        QVERIFY(result);
        QCOMPARE(result->status, status);
        QVERIFY(QString::fromStdString(result->body).contains(contains));
    }

    // It listens on 127.0.0.1 alone (the kernel's table of listening sockets says so; nothing
    // is sent anywhere to find out).
    void listensOnLoopbackOnly()
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
    }
};

SCANCONSOLE_TEST_MAIN(TestEsclScanner)
#include "tst_esclscanner.moc"
