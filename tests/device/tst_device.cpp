#include "device/common/PageRenderer.h"
#include "tests/support/EsclScannerProcess.h"
#include "tests/support/ScannedPages.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using ScannedPages::difference;
using ScannedPages::expected;

// The scan program ScanConsoleApp as the console runs it, through libsane and sane-airscan to
// the simulated network scanner on 127.0.0.1 (or to SANE's own test device): the pages it leaves,
// their order, size, colour and resolution, and the result code of every fault. Pages go to a
// folder of the test's own; nothing here touches /tmp/tempimages.
class TestDevice : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    QTemporaryDir *const m_out = &m_folder;

    struct Result
    {
        int code = -100; // -100: crashed or did not start
        QString errors;  // standard error
        qint64 ms = 0;
    };

    // The console's command line with "source colour dpi", writing into the test's folder.
    QStringList args(const QString &scan, const QString &address = "127.0.0.1") const
    {
        const QStringList s = scan.split(' ');
        return {"-p", address,    "-t", "4",        "-s", s.value(0),
                "-c", s.value(1), "-r", s.value(2), "-f", m_out->filePath("tempImage.jpg")};
    }

    // Runs ScanConsoleApp with `env` ("NAME=value" pairs) on top of an environment without any
    // SCANCONSOLE_ variable; `poll` runs every few milliseconds while it runs.
    static Result run(
        const QStringList &arguments, const QStringList &env,
        const std::function<void(QProcess &)> &poll = [](QProcess &) {})
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const QString &key : e.keys()) {
            if (key.startsWith("SCANCONSOLE_") || key == "SANE_CONFIG_DIR")
                e.remove(key);
        }
        for (const QString &pair : env)
            e.insert(pair.section('=', 0, 0), pair.section('=', 1));
        QProcess process;
        process.setProcessEnvironment(e);
        QElapsedTimer clock;
        clock.start();
        process.start(TestEnvironment::appDir() + "/ScanConsoleApp", arguments);
        Result result;
        if (!process.waitForStarted())
            return result;
        while (process.state() != QProcess::NotRunning && !process.waitForFinished(5))
            poll(process);
        result.ms = clock.elapsed();
        result.errors = QString::fromLocal8Bit(process.readAllStandardError());
        if (process.exitStatus() == QProcess::NormalExit)
            result.code = process.exitCode();
        return result;
    }

    static Result scanFrom(
        const EsclScannerProcess &scanner, const QStringList &arguments,
        const std::function<void(QProcess &)> &poll = [](QProcess &) {})
    {
        return run(arguments, {"SCANCONSOLE_DEVICE_URL=" + scanner.urlTemplate()}, poll);
    }

    // Everything in the output folder (hidden files too), in the collector's order.
    QStringList files() const
    {
        return QDir(m_out->path())
            .entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    }
    QImage page(const QString &name) const { return QImage(m_out->filePath(name)); }

    // A loopback port with nothing listening on it, or (`listen`) one that takes connections
    // and never answers; the socket stays open until `close(fd)`.
    static int loopbackPort(bool listen, int *fd)
    {
        *fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(*fd, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
            getsockname(*fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return 0;
        if (listen)
            ::listen(*fd, 8);
        return ntohs(address.sin_port);
    }

private slots:
    void cleanup()
    {
        for (const QString &name : files())
            QFile::remove(m_out->filePath(name));
    }

    // One page from the flatbed, one per sheet from the feeder, front and back in duplex, in
    // page order (each file is the page the scanner sent in that place); A4 at the resolution,
    // which the JPEG header carries; grey or colour as asked. Black and white comes as grey
    // (the console binarises it), a resolution the scanner lacks as the nearest it has.
    void pages_data()
    {
        QTest::addColumn<QString>("scan"); // source colour dpi
        QTest::addColumn<int>("sheets");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("dpi");
        QTest::newRow("flatbed colour 300") << "1 2 300" << 3 << 1 << 300;
        QTest::newRow("flatbed grey 200") << "1 1 200" << 0 << 1 << 200;
        QTest::newRow("flatbed black and white 600") << "1 3 600" << 3 << 1 << 600;
        QTest::newRow("feeder grey 300") << "2 1 300" << 4 << 4 << 300;
        QTest::newRow("feeder colour 200") << "2 2 200" << 2 << 2 << 200;
        QTest::newRow("duplex colour 200") << "3 2 200" << 3 << 6 << 200;
        QTest::newRow("duplex grey 600") << "3 1 600" << 1 << 2 << 600;
        QTest::newRow("150 dpi is scanned at 200") << "1 1 150" << 3 << 1 << 200;
        QTest::newRow("500 dpi is scanned at 400") << "1 1 500" << 3 << 1 << 400;
    }

    void pages()
    {
        QFETCH(QString, scan);
        QFETCH(int, sheets);
        QFETCH(int, count);
        QFETCH(int, dpi);
        EsclScannerProcess scanner(QString("SHEETS=%1").arg(sheets));
        QVERIFY(scanner.isListening());
        const Result result = scanFrom(scanner, args(scan));
        QCOMPARE(result.code, 0);
        const QStringList names = files();
        QCOMPARE(names.size(), count);
        QCOMPARE(scanner.record("page").size(), count);
        const bool colour = scan.section(' ', 1, 1) == "2";
        const bool duplex = scan.startsWith('3');
        for (int i = 0; i < count; ++i) {
            QCOMPARE(names[i], QString("tempImage-%1.jpg").arg(i + 1, 6, 10, QChar('0')));
            const QImage image = page(names[i]);
            QCOMPARE(image.size(), PageRenderer::pageSize(dpi));
            QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), dpi);
            QCOMPARE(image.allGray(), !colour);
            // The right page in the right place: close to what the scanner drew for it, far
            // from its neighbour.
            const double own = difference(image, expected(i + 1, dpi, colour, duplex));
            const double other = difference(image, expected(i + 2, dpi, colour, duplex));
            QVERIFY2(own < 2.0 && other > 2 * own,
                     qPrintable(QString("page %1: %2 vs %3").arg(i + 1).arg(own).arg(other)));
        }
        if (dpi != scan.section(' ', 2).toInt())
            QVERIFY(result.errors.contains(QString("scanning at %1 dpi").arg(dpi)));
        const QString job = scanner.record("job").value(0);
        QVERIFY2(job.contains(QString("resolution=%1 ").arg(dpi)), qPrintable(job));
        QVERIFY(job.contains(colour ? "mode=RGB24" : "mode=Grayscale8"));
        QVERIFY(job.contains(duplex ? "duplex=1" : "duplex=0"));
        QVERIFY(job.contains(scan.startsWith('1') ? "source=Platen" : "source=Feeder"));
    }

    // Every fault of the scanner gives its result code and one line naming the cause; the
    // pages before a fault in the feeder stay, complete, and nothing temporary is left.
    void faults_data()
    {
        QTest::addColumn<QString>("scanner");
        QTest::addColumn<QString>("scan");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("cause");
        QTest::newRow("busy") << "FAULT=busy"
                              << "1 2 300" << 2 << 0 << "Device busy";
        QTest::newRow("stopped") << "FAULT=stopped"
                                 << "2 1 200" << 3 << 0 << "scan service is Stopped";
        QTest::newRow("feeder empty") << "SHEETS=0"
                                      << "2 1 200" << 5 << 0 << "out of documents";
        QTest::newRow("duplex, feeder empty") << "SHEETS=0"
                                              << "3 1 200" << 5 << 0 << "out of documents";
        QTest::newRow("jam after 2") << "SHEETS=4 FAULT=jam FAULT_AFTER=2"
                                     << "2 1 200" << 8 << 2 << "jammed";
        QTest::newRow("jam at once") << "FAULT=jam"
                                     << "2 2 200" << 8 << 0 << "jammed";
        QTest::newRow("cover open") << "FAULT=cover_open FAULT_AFTER=1"
                                    << "3 1 200" << 8 << 1 << "cover is open";
        QTest::newRow("third page cut off") << "SHEETS=4 FAULT=cut FAULT_AFTER=2"
                                            << "2 1 200" << 6 << 2 << "I/O";
        QTest::newRow("flatbed page cut off") << "FAULT=cut"
                                              << "1 2 300" << 6 << 0 << "I/O";
        QTest::newRow("a jam spares the flatbed") << "FAULT=jam"
                                                  << "1 1 200" << 0 << 1 << "";
    }

    void faults()
    {
        QFETCH(QString, scanner);
        QFETCH(QString, scan);
        QFETCH(int, code);
        QFETCH(int, count);
        QFETCH(QString, cause);
        EsclScannerProcess device(scanner);
        QVERIFY(device.isListening());
        const Result result = scanFrom(device, args(scan));
        QCOMPARE(result.code, code);
        QCOMPARE(files(), QDir(m_out->path()).entryList({"*.jpg"}, QDir::Files));
        QCOMPARE(files().size(), count);
        for (const QString &name : files())
            QCOMPARE(page(name).size(), PageRenderer::pageSize(scan.section(' ', 2).toInt()));
        if (code != 0) {
            QCOMPARE(result.errors.count('\n'), 1);
            QVERIFY2(result.errors.contains(cause), qPrintable(result.errors));
        }
    }

    // SIGTERM or SIGINT in the middle of a feeder batch: the job is deleted on the scanner, the
    // pages so far stay complete, and the code is 130.
    void stopInTheMiddle_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    void stopInTheMiddle()
    {
        QFETCH(int, signal);
        EsclScannerProcess scanner("SHEETS=8 PAGE_DELAY_MS=400");
        QVERIFY(scanner.isListening());
        bool signalled = false;
        const Result result = scanFrom(scanner, args("2 2 200"), [&](QProcess &process) {
            if (!signalled && QDir(m_out->path()).entryList({"*.jpg"}, QDir::Files).size() >= 2) {
                ::kill(pid_t(process.processId()), signal);
                signalled = true;
            }
        });
        QVERIFY(signalled);
        QCOMPARE(result.code, 130);
        const QStringList names = files();
        QVERIFY2(names.size() >= 2 && names.size() < 8, qPrintable(names.join(' ')));
        for (const QString &name : names) {
            QVERIFY(name.endsWith(".jpg"));
            QFile file(m_out->filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().endsWith("\xff\xd9"));
            QCOMPARE(page(name).size(), PageRenderer::pageSize(200));
        }
        QTRY_VERIFY(!scanner.record("delete").isEmpty());
        QVERIFY(scanner.record("page").size() < 8);
    }

    // No scanner at the address: 1, at once when the port is closed and after the time-out when
    // something takes the connection and never answers.
    void unreachable_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<int>("minMs");
        QTest::newRow("nothing listening") << false << 20 << 0;
        QTest::newRow("no answer") << true << 2 << 2000;
    }

    void unreachable()
    {
        QFETCH(bool, listening);
        QFETCH(int, timeout);
        QFETCH(int, minMs);
        int fd = -1;
        const int port = loopbackPort(listening, &fd);
        QVERIFY(port > 0);
        const Result result = run(
            args("2 1 200"), {"SCANCONSOLE_DEVICE_URL=http://%1:" + QString::number(port) + "/eSCL",
                              QString("SCANCONSOLE_TIMEOUT_S=%1").arg(timeout)});
        ::close(fd);
        QCOMPARE(result.code, 1);
        QVERIFY2(result.ms >= minMs && result.ms < timeout * 1000 + 3000,
                 qPrintable(QString::number(result.ms)));
        QVERIFY(result.errors.contains("cannot be"));
        QCOMPARE(files(), QStringList());
    }

    // Mistakes found before the scanner is asked for anything: nothing is scanned or written.
    void refusedBeforeScanning_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("env");
        QTest::addColumn<int>("code");
        const QString good = "1 2 300";
        QStringList unwritable = args(good);
        unwritable.last() = TestEnvironment::appDir() + "/ScanConsoleApp/tempImage.jpg";
        QTest::newRow("unwritable folder") << unwritable << "" << 7;
        QTest::newRow("empty address") << args(good, "") << "" << 1;
        QTest::newRow("address with a path") << args(good, "127.0.0.1/x?") << "" << 4;
        QTest::newRow("bad source") << args("4 2 300") << "" << 4;
        QTest::newRow("bad resolution") << args("1 2 300dpi") << "" << 4;
        QTest::newRow("unknown protocol") << args(good) << "SCANCONSOLE_DEVICE_PROTOCOL=ipp" << 4;
    }

    void refusedBeforeScanning()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, env);
        QFETCH(int, code);
        EsclScannerProcess scanner;
        QVERIFY(scanner.isListening());
        QStringList environment{"SCANCONSOLE_DEVICE_URL=" + scanner.urlTemplate()};
        if (!env.isEmpty())
            environment << env;
        const Result result = run(arguments, environment);
        QCOMPARE(result.code, code);
        QCOMPARE(result.errors.count('\n'), 1);
        QCOMPARE(scanner.record(), QStringList());
        QCOMPARE(files(), QStringList());
    }

    // ScanConsoleApp.ini beside the program points the driver at the scanner; the environment
    // wins over it.
    void settingsFile()
    {
        EsclScannerProcess scanner("SHEETS=2");
        QVERIFY(scanner.isListening());
        QFile ini(TestEnvironment::appDir() + "/ScanConsoleApp.ini");
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QString("[device]\nurl=%1\ntimeout_s=5\n").arg(scanner.urlTemplate()).toUtf8());
        ini.close();
        const int fromIni = run(args("2 1 200"), {}).code;
        const int envWins = run(args("2 1 200"), {"SCANCONSOLE_DEVICE_URL=http://%1:1/eSCL"}).code;
        ini.remove();
        QCOMPARE(fromIni, 0);
        QCOMPARE(envWins, 1);
        QCOMPARE(files().size(), 2);
    }

    // Any SANE device by name, here SANE's own test device: every frame format it can send
    // becomes the page that sane-utils' scanimage makes of the same scan (three-pass planes,
    // 16-bit samples, 1-bit line-art, frames of unknown height), and the A4 area is limited to
    // what the device offers (200 mm square).
    void saneFrames_data()
    {
        QTest::addColumn<QString>("config"); // lines of test.conf, '|' between them
        QTest::addColumn<QString>("scan");
        QTest::addColumn<QString>("mode"); // the mode scanimage is told
        QTest::addColumn<QSize>("size");   // height 0: whatever the device sent
        const QSize square(787, 787);      // 200 mm at 100 dpi
        QTest::newRow("colour") << ""
                                << "1 2 100"
                                << "Color" << square;
        QTest::newRow("three-pass RGB") << "three-pass true"
                                        << "1 2 100"
                                        << "Color" << square;
        QTest::newRow("three-pass BGR") << "three-pass true|three-pass-order BGR"
                                        << "1 2 100"
                                        << "Color" << square;
        QTest::newRow("16-bit colour") << "depth 16"
                                       << "1 2 100"
                                       << "Color" << square;
        QTest::newRow("16-bit grey") << "depth 16"
                                     << "1 1 100"
                                     << "Gray" << square;
        QTest::newRow("grey") << ""
                              << "1 1 100"
                              << "Gray" << square;
        QTest::newRow("line-art") << "depth 1"
                                  << "1 3 100"
                                  << "Gray" << square;
        QTest::newRow("line-art grid") << "depth 1|test-picture Grid"
                                       << "1 3 100"
                                       << "Gray" << square;
        QTest::newRow("unknown height") << "hand-scanner true"
                                        << "1 1 50"
                                        << "Gray" << QSize(216, 0);
    }

    void saneFrames()
    {
        QFETCH(QString, config);
        QFETCH(QString, scan);
        QFETCH(QString, mode);
        QFETCH(QSize, size);
        QTemporaryDir sane;
        QFile dll(sane.filePath("dll.conf")), conf(sane.filePath("test.conf"));
        QVERIFY(dll.open(QIODevice::WriteOnly) && dll.write("test\n") == 5);
        dll.close();
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("test-picture \"Color pattern\"\n");
        for (const QString &line : config.split('|', Qt::SkipEmptyParts))
            conf.write(line.toUtf8() + '\n');
        conf.close();
        const QString dpi = scan.section(' ', 2);
        QStringList a = args(scan, "");
        a.last() = m_out->filePath("page.jpg");
        QStringList driverEnv{"SCANCONSOLE_SANE_DEVICE=test:0", "SANE_CONFIG_DIR=" + sane.path()};
        // SANE's test backend now and then leaves its reader thread's buffer behind when a
        // line-art frame ends (a leak of the backend, unloaded by then). The program's own
        // leaks are looked for in every case against the simulated scanner.
        if (qEnvironmentVariableIsSet("ASAN_OPTIONS"))
            driverEnv << "ASAN_OPTIONS=" + qEnvironmentVariable("ASAN_OPTIONS") + ":detect_leaks=0";
        const Result result = run(a, driverEnv);
        QVERIFY2(result.code == 0,
                 qPrintable(QString("exit %1: %2").arg(result.code).arg(result.errors)));
        const QImage image(m_out->filePath("page-000001.jpg"));
        QCOMPARE(image.width(), size.width());
        QVERIFY(image.height() > 0 && (size.height() == 0 || image.height() == size.height()));
        QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), dpi.toInt());
        QCOMPARE(image.allGray(), mode == "Gray");

        QProcess scanimage;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SANE_CONFIG_DIR", sane.path());
        scanimage.setProcessEnvironment(env);
        scanimage.start("scanimage", {"-d", "test:0", "--mode", mode, "--resolution", dpi, "-l",
                                      "0", "-t", "0", "-x", "200", "-y", "200", "--format=pnm",
                                      "-o", m_out->filePath("reference.pnm")});
        QVERIFY(scanimage.waitForFinished(60000) && scanimage.exitCode() == 0);
        const QImage reference(m_out->filePath("reference.pnm"));
        QCOMPARE(reference.size(), image.size());
        const double own = difference(image, reference);
        QVERIFY2(own < 1.5, qPrintable(QString::number(own)));
    }
};

SCANCONSOLE_TEST_MAIN(TestDevice)
#include "tst_device.moc"
