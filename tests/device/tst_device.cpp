#include "device/common/PageRenderer.h"
#include "tests/support/EsclScannerProcess.h"
#include "tests/support/ScannedPages.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestRows.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

    // Runs ScanConsoleApp in an environment without any SCANCONSOLE_ variable, with `env`
    // ("NAME=value" pairs) on top; `poll` runs every few milliseconds while it runs. A run that
    // has not ended after 30 s is killed (code -100).
    static Result run(
        const QStringList &arguments, const QStringList &env,
        const std::function<void(QProcess &)> &poll = [](QProcess &) {})
    {
        QProcess process;
        process.setProcessEnvironment(environment(env));
        QElapsedTimer clock;
        clock.start();
        process.start(TestEnvironment::appDir() + "/ScanConsoleApp", arguments);
        Result result;
        if (!process.waitForStarted())
            return result;
        while (process.state() != QProcess::NotRunning && !process.waitForFinished(5)) {
            poll(process);
            if (clock.hasExpired(30000))
                process.kill();
        }
        result.ms = clock.elapsed();
        result.errors = QString::fromLocal8Bit(process.readAllStandardError());
        if (process.exitStatus() == QProcess::NormalExit)
            result.code = process.exitCode();
        return result;
    }

    static QProcessEnvironment environment(const QStringList &env)
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const QString &key : e.keys()) {
            if (key.startsWith("SCANCONSOLE_") || key == "SANE_CONFIG_DIR")
                e.remove(key);
        }
        for (const QString &pair : env)
            e.insert(pair.section('=', 0, 0), pair.section('=', 1));
        return e;
    }

    // `driver`: "NAME=value ..." for the scan program's SCANCONSOLE_NAME variables.
    static Result scanFrom(
        const EsclScannerProcess &scanner, const QStringList &arguments,
        const QString &driver = QString(),
        const std::function<void(QProcess &)> &poll = [](QProcess &) {})
    {
        QStringList env{"SCANCONSOLE_DEVICE_URL=" + scanner.urlTemplate()};
        for (const QString &pair : driver.split(' ', Qt::SkipEmptyParts))
            env << "SCANCONSOLE_" + pair;
        return run(arguments, env, poll);
    }

    // Everything in the output folder (hidden files too), in the collector's order, but the
    // program's note for the console (tempImage.scan).
    QStringList files() const
    {
        QStringList all = QDir(m_out->path())
                              .entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
        all.removeOne("tempImage.scan");
        return all;
    }

    QStringList pageFiles() const { return QDir(m_out->path()).entryList({"*.jpg"}, QDir::Files); }

    // Every page the scanner sent whole is in the folder, complete, and nothing else is.
    void verifyEverySentPageKept(const EsclScannerProcess &scanner, int dpi) const
    {
        QCOMPARE(files(), pageFiles());
        QCOMPARE(files().size(), scanner.record("sent").size());
        for (const QString &name : files()) {
            QVERIFY(TestFiles::readAll(m_out->filePath(name)).endsWith("\xff\xd9"));
            QCOMPARE(QImage(m_out->filePath(name)).size(), PageRenderer::pageSize(dpi));
        }
        // A job the program started is deleted on the scanner.
        QVERIFY(scanner.record("job").isEmpty() || !scanner.record("delete").isEmpty());
    }

    // A loopback port that takes connections and never answers, open until `close(*fd)`.
    static int silentPort(int *fd)
    {
        *fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(*fd, reinterpret_cast<sockaddr *>(&address), length) != 0 || listen(*fd, 8) != 0 ||
            getsockname(*fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return 0;
        return ntohs(address.sin_port);
    }

    // Runs ScanConsoleApp as the console does, as the child of a stand-in console (a shell that
    // reads its output itself), and kills that console with SIGKILL as soon as `when` says so.
    // The program's exit code (-signal when a signal ended it, -100 when it did not end): the
    // test takes the orphan in (a subreaper) to learn it.
    int runBelowConsole(const EsclScannerProcess &scanner, const QStringList &arguments,
                        const std::function<bool()> &when) const
    {
        QTemporaryDir dir;
        const QString pidFile = dir.filePath("pid");
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        QProcess console;
        console.setProcessEnvironment(
            environment({"SCANCONSOLE_DEVICE_URL=" + scanner.urlTemplate()}));
        console.start("sh", QStringList{"-c",
                                        "f=$1 p=$2; shift 2; mkfifo \"$f\" || exit 1\n"
                                        "\"$@\" >\"$f\" 2>&1 & echo $! >\"$p\"\n"
                                        "while read -r line; do :; done <\"$f\"\n",
                                        "sh", dir.filePath("out"), pidFile,
                                        TestEnvironment::appDir() + "/ScanConsoleApp"} +
                                arguments);
        QElapsedTimer clock;
        clock.start();
        pid_t program = 0;
        while (!clock.hasExpired(30000) && (program <= 0 || !when())) {
            program = TestFiles::readAll(pidFile).trimmed().toInt();
            QThread::msleep(5);
        }
        console.kill();
        console.waitForFinished();
        int status = 0, code = -100;
        while (program > 0 && code == -100 && !clock.hasExpired(60000)) {
            if (waitpid(program, &status, WNOHANG) == program)
                code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            QThread::msleep(5);
        }
        if (code == -100 && program > 0) {
            ::kill(program, SIGKILL);
            waitpid(program, nullptr, 0);
        }
        prctl(PR_SET_CHILD_SUBREAPER, 0);
        return code;
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
    // (the console binarises it). (A resolution the scanner lacks: the nearest it has, with a
    // remark and in the note for the console: tst_scannerroad's paperSizeAndResolution.)
    void pages_data()
    {
        // source colour dpi | sheets | pages
        TestRows::add({"flatbed colour 300 | 1 2 300 | 3 | 1",
                       "flatbed black and white 200 | 1 3 200 | 3 | 1",
                       "feeder grey 300 | 2 1 300 | 3 | 3", "duplex colour 200 | 3 2 200 | 2 | 4"});
    }

    void pages()
    {
        QFETCH(QStringList, fields);
        const QString scan = fields[0];
        const int count = fields[2].toInt(), dpi = scan.section(' ', 2).toInt();
        EsclScannerProcess scanner("SHEETS=" + fields[1]);
        QVERIFY(scanner.isListening());
        // ScanConsoleApp.ini beside the program points the driver at the scanner (which key wins
        // over which: DriverSettings' rows in tst_deviceparts).
        const QString ini = TestEnvironment::appDir() + "/ScanConsoleApp.ini";
        QVERIFY(TestFiles::writeFile(ini, "[device]\nurl=" + scanner.urlTemplate().toUtf8()));
        const Result result = run(args(scan), {});
        QFile::remove(ini);
        QCOMPARE(result.code, 0);
        const QStringList names = files();
        QCOMPARE(names.size(), count);
        QCOMPARE(scanner.record("page").size(), count);
        const bool colour = scan.section(' ', 1, 1) == "2", duplex = scan.startsWith('3');
        for (int i = 0; i < count; ++i) {
            QCOMPARE(names[i], QString("tempImage-%1.jpg").arg(i + 1, 6, 10, QChar('0')));
            const QImage image(m_out->filePath(names[i]));
            QCOMPARE(image.size(), PageRenderer::pageSize(dpi));
            QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), dpi);
            QCOMPARE(image.allGray(), !colour);
            // The right page in the right place: close to what the scanner drew for it, far
            // from its neighbour.
            const double own = difference(image, expected(i + 1, dpi, colour, duplex));
            const double other = difference(image, expected(i + 2, dpi, colour, duplex));
            QVERIFY2(own < 2.0 && other > 2 * own, qPrintable(QString("page %1").arg(i + 1)));
        }
        // The resolution used and the largest area, for the console.
        QCOMPARE(TestFiles::readAll(m_out->filePath("tempImage.scan")),
                 QString("dpi=%1\nmax_area_mm=215.9x297.0\n").arg(dpi).toUtf8());
        const QString job = scanner.record("job").value(0);
        QVERIFY2(job.contains(QString("resolution=%1 ").arg(dpi)), qPrintable(job));
        QVERIFY(job.contains(colour ? "mode=RGB24" : "mode=Grayscale8"));
        QVERIFY(job.contains(duplex ? "duplex=1" : "duplex=0"));
        QVERIFY(job.contains(scan.startsWith('1') ? "source=Platen" : "source=Feeder"));
    }

    // Every fault of the scanner gives its result code and one line naming the cause; the
    // pages before a fault in the feeder stay, complete, and nothing temporary is left. A
    // hostile scanner (a body without end or trickling, a feeder without end, a JPEG cut off
    // but sent as whole) is bounded the same way. "scanner | driver": the settings of each (the
    // body without end gets a long time-out, so that the memory bound stops it on a slow day).
    // Busy and stopped both answer the job with 503 (about 10 s of sane-airscan's retries each):
    // only the scanner's status tells them apart.
    void faults_data()
    {
        // scanner | driver | source colour dpi | code | pages kept | cause
        TestRows::add(
            {"busy | FAULT=busy | | 1 1 200 | 2 | 0 | Device busy",
             "stopped | FAULT=stopped | | 2 1 200 | 3 | 0 | scan service is Stopped",
             "feeder empty | SHEETS=0 | | 2 1 200 | 5 | 0 | out of documents",
             "jam after 2 | SHEETS=4 FAULT=jam FAULT_AFTER=2 | | 2 1 200 | 9 | 2 | jammed",
             "cover open | FAULT=cover_open FAULT_AFTER=1 | | 3 1 200 | 10 | 1 | cover is open",
             "third page cut off | SHEETS=4 FAULT=cut FAULT_AFTER=2 | | 2 1 200 | 6 | 2 | I/O",
             "JPEG cut off, sent whole | FAULT=truncated_jpeg FAULT_AFTER=1 | | 2 1 200 | 6 | 1 | "
             "cut off",
             "page trickles | BODY=page_trickle FAULT_AFTER=1 TRICKLE_MS=100 | TIMEOUT_S=1 | "
             "2 1 200 | 6 | 1 | no progress for 1 s",
             "page without end | BODY=page_endless FAULT_AFTER=1 | MAX_MEMORY_MB=256 TIMEOUT_S=600 "
             "| 2 1 200 | 8 | 1 | more than the program may hold",
             "feeder without end | SHEETS=1000000 | MAX_PAGES=3 | 2 1 200 | 8 | 3 | "
             "more pages than any feeder holds"});
    }

    void faults()
    {
        QFETCH(QStringList, fields);
        EsclScannerProcess device(fields[0]);
        QVERIFY(device.isListening());
        const Result result = scanFrom(device, args(fields[2]), fields[1]);
        QVERIFY2(result.code == fields[3].toInt(), qPrintable(result.errors));
        QCOMPARE(files(), pageFiles());
        QCOMPARE(files().size(), fields[4].toInt());
        for (const QString &name : files())
            QCOMPARE(QImage(m_out->filePath(name)).size(), PageRenderer::pageSize(200));
        QCOMPARE(result.errors.count('\n'), 1);
        QVERIFY2(result.errors.contains(fields[5]), qPrintable(result.errors));
    }

    // A stop in the middle of a feeder batch (SIGTERM, SIGINT, or the end of the console that
    // started the program, which leaves it with a broken pipe for its output): the page in hand
    // and every page the scanner sent are written whole, the job is deleted on the scanner, and
    // the code is 130. Stopped while a page is between scanner and file, between pages, or
    // while the scanner's status trickles in.
    void stopInTheMiddle_data()
    {
        // signal (0: the console is killed) | scanner | moment
        TestRows::add(
            {"SIGINT, page in hand | 2 | SHEETS=8 | page",
             "console killed, between pages | 0 | SHEETS=8 | written",
             "SIGTERM, status trickles | 15 | BODY=status_trickle TRICKLE_MS=100 | status"});
    }

    void stopInTheMiddle()
    {
        QFETCH(QStringList, fields);
        int signal = fields[0].toInt();
        const QString moment = fields[2];
        EsclScannerProcess device(fields[1] + " PAGE_DELAY_MS=200");
        QVERIFY(device.isListening());
        // "page": a page has come from the scanner and is not written yet.
        auto now = [&] {
            if (moment == "status")
                return !device.record("status").isEmpty();
            const int written = pageFiles().size();
            return written >= 1 && (moment == "written" || device.record("sent").size() > written);
        };
        int code = -100;
        if (signal == 0) {
            code = runBelowConsole(device, args("2 2 200"), now);
        } else {
            code = scanFrom(device, args("2 2 200"), {}, [&](QProcess &process) {
                       if (signal != 0 && now())
                           ::kill(pid_t(process.processId()), std::exchange(signal, 0));
                   }).code;
            QCOMPARE(signal, 0); // sent
        }
        QCOMPARE(code, 130);
        verifyEverySentPageKept(device, 200);
        QVERIFY(device.record("sent").size() < 8);
    }

    // Nothing is scanned or written, and one line says why: mistakes found before the scanner
    // is asked for anything (bad values on the command line: ScanCommandLine's rows in
    // tst_deviceparts), and no scanner at the address (1: at once when the port is closed,
    // after the time-out when something takes the connection and never answers).
    void refusedOrUnreachable_data()
    {
        // address | driver (SILENT: a port that never answers) | code
        TestRows::add({"unwritable folder | 127.0.0.1 | | 7", "empty address | | | 1",
                       "address with a path | 127.0.0.1/x? | | 4",
                       "unknown protocol | 127.0.0.1 | DEVICE_PROTOCOL=ipp | 4",
                       "nothing listening | 127.0.0.1 | DEVICE_URL=http://%1:1/eSCL | 1",
                       "no answer | 127.0.0.1 | DEVICE_URL=http://%1:SILENT/eSCL TIMEOUT_S=1 | 1"});
    }

    void refusedOrUnreachable()
    {
        QFETCH(QStringList, fields);
        EsclScannerProcess scanner;
        QVERIFY(scanner.isListening());
        int fd = -1;
        const QString silent = QString::number(silentPort(&fd));
        QStringList arguments = args("2 1 200", fields[0]);
        if (QTest::currentDataTag() == QString("unwritable folder"))
            arguments.last() = TestEnvironment::appDir() + "/ScanConsoleApp/tempImage.jpg";
        const Result result =
            scanFrom(scanner, arguments, QString(fields[1]).replace("SILENT", silent));
        ::close(fd);
        QVERIFY2(result.code == fields[2].toInt(), qPrintable(result.errors));
        QCOMPARE(result.errors.count('\n'), 1);
        QCOMPARE(scanner.record(), QStringList());
        QCOMPARE(files(), QStringList());
        // At once, but for the silent port: after its time-out of 1 s.
        QVERIFY2(result.ms < 4000 && (result.ms >= 1000 || !fields[1].contains("SILENT")),
                 qPrintable(QString::number(result.ms)));
    }

    // The program talks to the address it was given and to nothing else: a chosen scanner's
    // URL with a port reaches the scanner; a zero-padded IPv4 address (which the resolver would
    // read as another address; its other forms: DeviceTarget's rows in tst_deviceparts) is
    // refused with 4 before any contact; a job the scanner places on another host is not
    // followed (8). Listeners on the other candidate addresses, on the scanner's port, see no
    // connection.
    void addresses_data()
    {
        // scanner | address (PORT: the scanner's port) | listeners elsewhere | code
        TestRows::add({"chosen eSCL scanner | | escl:http://127.0.0.1:PORT/eSCL | | 0",
                       "zero-padded octet | | 127.0.0.010 | 127.0.0.8 127.0.0.10 | 4",
                       "job on another host | FAULT=foreign_job | 127.0.0.1 | 127.0.0.2 | 8"});
    }

    void addresses()
    {
        QFETCH(QStringList, fields);
        const QString address = fields[1];
        const int code = fields[3].toInt();
        EsclScannerProcess device(fields[0] + " SHEETS=1");
        QVERIFY(device.isListening());
        std::vector<int> listeners;
        for (const QString &host : fields[2].split(' ', Qt::SkipEmptyParts)) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            sockaddr_in at{};
            at.sin_family = AF_INET;
            at.sin_port = htons(quint16(device.port()));
            inet_pton(AF_INET, qPrintable(host), &at.sin_addr);
            QVERIFY(bind(fd, reinterpret_cast<sockaddr *>(&at), sizeof at) == 0 &&
                    ::listen(fd, 8) == 0);
            listeners.push_back(fd);
        }
        // The template's port is a closed one: only a URL in -p reaches the scanner.
        const QString port = QString::number(device.port());
        const Result result = run(args("1 1 200", QString(address).replace("PORT", port)),
                                  {"SCANCONSOLE_DEVICE_URL=http://%1:" +
                                   (address.contains("PORT") ? QString("1") : port) + "/eSCL"});
        for (const int fd : listeners) {
            QVERIFY2(accept(fd, nullptr, nullptr) < 0, "a listener elsewhere was contacted");
            ::close(fd);
        }
        QVERIFY2(result.code == code, qPrintable(result.errors));
        QCOMPARE(pageFiles().size(), code == 0 ? 1 : 0);
        if (code == 4)
            QCOMPARE(device.record(), QStringList());
    }

    // A page folder on a small file system of its own (a tmpfs): the scan ends with 7 and the
    // system's words for ENOSPC, the pages before kept complete, when the space kept free
    // (min_free_mb) would be used, and where nothing is kept free and the disk itself is full.
    void diskFull_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<int>("keepFreeMb");
        QTest::newRow("space kept free") << "3m" << 2;
        QTest::newRow("file system full") << "1m" << 0;
    }

    void diskFull()
    {
        QFETCH(QString, size);
        QFETCH(int, keepFreeMb);
        QTemporaryDir small;
        if (mount("tmpfs", QFile::encodeName(small.path()).constData(), "tmpfs", 0,
                  qPrintable("size=" + size)) != 0)
            QSKIP("cannot mount a tmpfs here (needs root)");
        EsclScannerProcess scanner("SHEETS=10");
        QVERIFY(scanner.isListening());
        QStringList arguments = args("2 2 200");
        arguments.last() = small.filePath("tempImage.jpg");
        const Result result =
            scanFrom(scanner, arguments, QString("MIN_FREE_MB=%1").arg(keepFreeMb));
        QStringList written = QDir(small.path()).entryList(QDir::Files | QDir::Hidden);
        written.removeOne("tempImage.scan");
        bool whole = true;
        for (const QString &name : written)
            whole = whole && QImage(small.filePath(name)).size() == PageRenderer::pageSize(200);
        umount2(QFile::encodeName(small.path()).constData(), MNT_DETACH);
        QCOMPARE(result.code, 7);
        QVERIFY2(result.errors.contains("No space left on device"), qPrintable(result.errors));
        QVERIFY2(!written.isEmpty() && written.size() < 10 && whole, qPrintable(written.join(' ')));
        QTRY_VERIFY(!scanner.record("delete").isEmpty());
    }

    // Any SANE device by name, here SANE's own test device: the frame formats sane-airscan never
    // sends become pages (three-pass planes, frames of unknown height; their pixels and the
    // other formats: PageAssembler's rows in tst_deviceparts), and the A4 area is limited to
    // what the device offers (200 mm square).
    void saneFrames_data()
    {
        // line of test.conf | source colour dpi | colour or grey | width x height
        // (height 0: whatever the device sent; 787: 200 mm at 100 dpi)
        TestRows::add({"three-pass RGB | three-pass true | 1 2 100 | Color | 787 787",
                       "unknown height | hand-scanner true | 1 1 50 | Gray | 216 0"});
    }

    void saneFrames()
    {
        QFETCH(QStringList, fields);
        const QString scan = fields[1], mode = fields[2], dpi = scan.section(' ', 2);
        const QSize size(fields[3].section(' ', 0, 0).toInt(), fields[3].section(' ', 1).toInt());
        QTemporaryDir sane;
        QVERIFY(TestFiles::writeFile(sane.filePath("dll.conf"), "test\n"));
        QVERIFY(TestFiles::writeFile(sane.filePath("test.conf"),
                                     "test-picture \"Color pattern\"\n" + fields[0].toUtf8()));
        // The device as the console names a chosen one.
        QStringList a = args(scan, "sane:test:0");
        a.last() = m_out->filePath("page.jpg");
        const Result result = run(a, {"SANE_CONFIG_DIR=" + sane.path()});
        QVERIFY2(result.code == 0, qPrintable(result.errors));
        const QImage image(m_out->filePath("page-000001.jpg"));
        QCOMPARE(image.width(), size.width());
        QVERIFY(image.height() > 0 && (size.height() == 0 || image.height() == size.height()));
        QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), dpi.toInt());
        QCOMPARE(image.allGray(), mode == "Gray");
    }
};

SCANCONSOLE_TEST_MAIN(TestDevice)
#include "tst_device.moc"
