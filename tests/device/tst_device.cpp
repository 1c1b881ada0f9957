#include "device/common/PageRenderer.h"
#include "tests/support/EsclScannerProcess.h"
#include "tests/support/ScannedPages.h"
#include "tests/support/TestEnvironment.h"
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
#include <fcntl.h>
#include <netinet/in.h>
#include <string>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
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

    // An environment without any SCANCONSOLE_ variable, with `env` ("NAME=value" pairs) on top.
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

    // Runs ScanConsoleApp in environment(env); `poll` runs every few milliseconds while it runs.
    // A run that has not ended after 30 s is killed (code -100).
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
            if (clock.hasExpired(30000)) {
                process.kill();
                process.waitForFinished();
            }
        }
        result.ms = clock.elapsed();
        result.errors = QString::fromLocal8Bit(process.readAllStandardError());
        if (process.exitStatus() == QProcess::NormalExit)
            result.code = process.exitCode();
        return result;
    }

    // `driver`: "NAME=value ..." for the scan program's SCANCONSOLE_NAME variables.
    static Result scanFrom(
        const EsclScannerProcess &scanner, const QStringList &arguments,
        const std::function<void(QProcess &)> &poll = [](QProcess &) {},
        const QString &driver = QString())
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
    QImage page(const QString &name) const { return QImage(m_out->filePath(name)); }
    QStringList pageFiles() const { return QDir(m_out->path()).entryList({"*.jpg"}, QDir::Files); }

    // Every page the scanner sent whole is in the folder, complete, and nothing else is.
    void verifyEverySentPageKept(const EsclScannerProcess &scanner, int dpi) const
    {
        QCOMPARE(files(), pageFiles());
        QCOMPARE(files().size(), scanner.record("sent").size());
        for (const QString &name : files()) {
            QFile file(m_out->filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().endsWith("\xff\xd9"));
            QCOMPARE(page(name).size(), PageRenderer::pageSize(dpi));
        }
        // A job the program started is deleted on the scanner.
        QVERIFY(scanner.record("job").isEmpty() || !scanner.record("delete").isEmpty());
    }

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

    // Runs ScanConsoleApp as the console does, as the child of a stand-in console process that
    // reads its output, and kills that console with SIGKILL as soon as `when` says so. The
    // program's exit code (-signal when a signal ended it, -100 when it did not end): the test
    // takes the orphan in (a subreaper) to learn it.
    int runBelowConsole(const EsclScannerProcess &scanner, const QStringList &arguments,
                        const std::function<bool()> &when) const
    {
        std::vector<std::string> argv{
            (TestEnvironment::appDir() + "/ScanConsoleApp").toStdString()};
        for (const QString &a : arguments)
            argv.push_back(a.toStdString());
        std::vector<std::string> envp;
        const QProcessEnvironment e =
            environment({"SCANCONSOLE_DEVICE_URL=" + scanner.urlTemplate()});
        for (const QString &key : e.keys())
            envp.push_back((key + '=' + e.value(key)).toStdString());
        auto pointers = [](std::vector<std::string> &strings) {
            std::vector<char *> list;
            for (std::string &s : strings)
                list.push_back(&s[0]);
            list.push_back(nullptr);
            return list;
        };
        std::vector<char *> argvList = pointers(argv), envList = pointers(envp);
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        int report[2];
        if (pipe2(report, O_CLOEXEC) != 0)
            return -100;
        const pid_t console = fork();
        if (console == 0) {
            // The console: only what is safe after fork() in a program with threads.
            int output[2];
            if (pipe(output) != 0)
                _exit(1);
            const pid_t program = fork();
            if (program == 0) {
                dup2(output[1], 1);
                dup2(output[1], 2);
                close(output[0]);
                close(output[1]);
                execve(argvList[0], argvList.data(), envList.data());
                _exit(127);
            }
            close(output[1]);
            if (write(report[1], &program, sizeof program) != sizeof program)
                _exit(1);
            char buffer[4096];
            while (read(output[0], buffer, sizeof buffer) > 0) {
            }
            _exit(0);
        }
        close(report[1]);
        pid_t program = -1;
        const bool started = read(report[0], &program, sizeof program) == sizeof program;
        close(report[0]);
        QElapsedTimer clock;
        clock.start();
        while (started && !when() && !clock.hasExpired(30000))
            QThread::msleep(5);
        ::kill(console, SIGKILL);
        waitpid(console, nullptr, 0);
        int status = 0, code = -100;
        while (started && !clock.hasExpired(60000)) {
            if (waitpid(program, &status, WNOHANG) == program) {
                code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
                break;
            }
            QThread::msleep(5);
        }
        if (code == -100 && started) {
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
    // (the console binarises it), a resolution the scanner lacks as the nearest it has.
    void pages_data()
    {
        QTest::addColumn<QString>("scan"); // source colour dpi
        QTest::addColumn<int>("sheets");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("dpi");
        QTest::newRow("flatbed colour 300") << "1 2 300" << 3 << 1 << 300;
        QTest::newRow("flatbed grey 200") << "1 1 200" << 0 << 1 << 200;
        QTest::newRow("flatbed black and white 200") << "1 3 200" << 3 << 1 << 200;
        QTest::newRow("feeder grey 300") << "2 1 300" << 3 << 3 << 300;
        QTest::newRow("feeder colour 200") << "2 2 200" << 2 << 2 << 200;
        QTest::newRow("duplex colour 200") << "3 2 200" << 2 << 4 << 200;
        QTest::newRow("duplex grey 300") << "3 1 300" << 1 << 2 << 300;
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
        QFile note(m_out->filePath("tempImage.scan")); // the resolution used, the largest area
        QVERIFY(note.open(QIODevice::ReadOnly));
        QCOMPARE(note.readAll(), QString("dpi=%1\nmax_area_mm=215.9x297.0\n").arg(dpi).toUtf8());
        const QString job = scanner.record("job").value(0);
        QVERIFY2(job.contains(QString("resolution=%1 ").arg(dpi)), qPrintable(job));
        QVERIFY(job.contains(colour ? "mode=RGB24" : "mode=Grayscale8"));
        QVERIFY(job.contains(duplex ? "duplex=1" : "duplex=0"));
        QVERIFY(job.contains(scan.startsWith('1') ? "source=Platen" : "source=Feeder"));
    }

    // Every fault of the scanner gives its result code and one line naming the cause; the
    // pages before a fault in the feeder stay, complete, and nothing temporary is left. A
    // hostile scanner (bodies without end or trickling, a feeder without end, a JPEG cut off
    // but sent as whole) is bounded the same way. "scanner | driver": the settings of each (the
    // bodies without end get a long time-out, so that the memory bound stops them on a slow day).
    // Busy and stopped both answer the job with 503 (about 10 s of sane-airscan's retries each):
    // only the scanner's status tells them apart.
    void faults_data()
    {
        // scanner | driver | source colour dpi | code | pages kept | cause
        TestRows::add(
            {"busy | FAULT=busy | | 1 1 200 | 2 | 0 | Device busy",
             "stopped | FAULT=stopped | | 2 1 200 | 3 | 0 | scan service is Stopped",
             "feeder empty | SHEETS=0 | | 2 1 200 | 5 | 0 | out of documents",
             "duplex, feeder empty | SHEETS=0 | | 3 1 200 | 5 | 0 | out of documents",
             "jam after 2 | SHEETS=4 FAULT=jam FAULT_AFTER=2 | | 2 1 200 | 9 | 2 | jammed",
             "jam at once | FAULT=jam | | 2 2 200 | 9 | 0 | jammed",
             "cover open | FAULT=cover_open FAULT_AFTER=1 | | 3 1 200 | 10 | 1 | cover is open",
             "third page cut off | SHEETS=4 FAULT=cut FAULT_AFTER=2 | | 2 1 200 | 6 | 2 | I/O",
             "flatbed page cut off | FAULT=cut | | 1 2 300 | 6 | 0 | I/O",
             "a jam spares the flatbed | FAULT=jam | | 1 1 200 | 0 | 1 |",
             "JPEG cut off, sent whole | FAULT=truncated_jpeg FAULT_AFTER=1 | | 2 1 200 | 6 | 1 | "
             "cut off",
             "page trickles | BODY=page_trickle FAULT_AFTER=1 TRICKLE_MS=100 | TIMEOUT_S=1 | "
             "2 1 200 | 6 | 1 | no progress for 1 s",
             "status trickles | BODY=status_trickle TRICKLE_MS=100 | TIMEOUT_S=1 | 2 1 200 | 6 | 0 "
             "| no progress for 1 s",
             "page without end | BODY=page_endless FAULT_AFTER=1 | MAX_MEMORY_MB=256 TIMEOUT_S=600 "
             "| 2 1 200 | "
             "8 | 1 | more than the program may hold",
             // sane-airscan gives a status request about 5 s: on a slow day that ends it first.
             "status without end | BODY=status_endless | MAX_MEMORY_MB=256 TIMEOUT_S=600 | 1 1 200 "
             "| 8 or 6 | 0 | more than the program may hold or Error during device I/O",
             "feeder without end | SHEETS=1000000 | MAX_PAGES=3 | 2 1 200 | 8 | 3 | "
             "more pages than any feeder holds"});
    }

    void faults()
    {
        QFETCH(QStringList, fields);
        const QString scan = fields[2];
        const int count = fields[4].toInt();
        EsclScannerProcess device(fields[0]);
        QVERIFY(device.isListening());
        const Result result = scanFrom(
            device, args(scan), [](QProcess &) {}, fields[1]);
        // "a or b": either code, each with its cause.
        const int which = fields[3].split(" or ").indexOf(QString::number(result.code));
        QVERIFY2(which >= 0, qPrintable(QString::number(result.code) + " " + result.errors));
        const int code = result.code;
        const QString cause = fields[5].split(" or ").value(which);
        QCOMPARE(files(), pageFiles());
        QCOMPARE(files().size(), count);
        for (const QString &name : files())
            QCOMPARE(page(name).size(), PageRenderer::pageSize(scan.section(' ', 2).toInt()));
        if (code != 0) {
            QCOMPARE(result.errors.count('\n'), 1);
            QVERIFY2(result.errors.contains(cause), qPrintable(result.errors));
        }
    }

    // A stop in the middle of a feeder batch (SIGTERM, SIGINT, or the end of the console that
    // started the program, which leaves it with a broken pipe for its output): the page in hand
    // and every page the scanner sent are written whole, the job is deleted on the scanner, and
    // the code is 130. Stopped while a page is between scanner and file, or while the scanner's
    // status trickles in.
    void stopInTheMiddle_data()
    {
        QTest::addColumn<int>("signal"); // 0: the console is killed
        QTest::addColumn<QString>("scanner");
        QTest::addColumn<QString>("moment");
        const QString eight = "SHEETS=8", page = "page";
        QTest::newRow("SIGTERM, page in hand") << int(SIGTERM) << eight << page;
        QTest::newRow("SIGINT, page in hand") << int(SIGINT) << eight << page;
        QTest::newRow("console killed, page in hand") << 0 << eight << page;
        QTest::newRow("console killed, between pages") << 0 << eight << QString("written");
        QTest::newRow("SIGTERM, status trickles")
            << int(SIGTERM) << "BODY=status_trickle TRICKLE_MS=100" << QString("status");
    }

    void stopInTheMiddle()
    {
        QFETCH(int, signal);
        QFETCH(QString, scanner);
        QFETCH(QString, moment);
        EsclScannerProcess device(scanner + " PAGE_DELAY_MS=200");
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
            bool signalled = false;
            code = scanFrom(device, args("2 2 200"), [&](QProcess &process) {
                       if (!signalled && now()) {
                           ::kill(pid_t(process.processId()), signal);
                           signalled = true;
                       }
                   }).code;
            QVERIFY(signalled);
        }
        QCOMPARE(code, 130);
        verifyEverySentPageKept(device, 200);
        QVERIFY(device.record("sent").size() < 8);
    }

    // No scanner at the address: 1, at once when the port is closed and after the time-out when
    // something takes the connection and never answers.
    void unreachable_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<int>("minMs");
        QTest::newRow("nothing listening") << false << 20 << 0;
        QTest::newRow("no answer") << true << 1 << 1000;
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

    // The program talks to the address it was given and to nothing else: a URL with a port
    // reaches the scanner; a zero-padded IPv4 address (which the resolver would read as another
    // address; its other forms: DeviceTarget's rows in tst_deviceparts) is refused with 4 before
    // any contact; a job the scanner
    // places on another host is not followed (8). Listeners on the other candidate addresses,
    // on the scanner's port, see no connection.
    void addresses_data()
    {
        // scanner | address (PORT: the scanner's port) | listeners elsewhere | code
        TestRows::add({"URL with port | | http://127.0.0.1:PORT/eSCL | | 0",
                       "chosen eSCL scanner | | escl:http://127.0.0.1:PORT/eSCL | | 0",
                       "URL, path left out | | http://localhost:PORT | | 0",
                       "zero-padded octet | | 127.0.0.010 | 127.0.0.8 127.0.0.10 | 4",
                       "job on another host | FAULT=foreign_job | 127.0.0.1 | 127.0.0.2 | 8"});
    }

    void addresses()
    {
        QFETCH(QStringList, fields);
        const QString address = fields[1];
        const QStringList elsewhere = fields[2].split(' ', Qt::SkipEmptyParts);
        const int code = fields[3].toInt();
        EsclScannerProcess device(fields[0] + " SHEETS=1");
        QVERIFY(device.isListening());
        std::vector<int> listeners;
        for (const QString &host : elsewhere) {
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
            const int contact = accept(fd, nullptr, nullptr);
            QVERIFY2(contact < 0, "a listener elsewhere was contacted");
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
        const Result result = scanFrom(
            scanner, arguments, [](QProcess &) {}, QString("MIN_FREE_MB=%1").arg(keepFreeMb));
        QStringList written =
            QDir(small.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
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
        // Bad values on the command line: ScanCommandLine's rows in tst_deviceparts.
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
        // lines of test.conf, '/' between them | source colour dpi | the mode scanimage is told |
        // width x height (height 0: whatever the device sent; 787: 200 mm at 100 dpi)
        // (Plain 8-bit grey and colour frames: every scan through sane-airscan.)
        TestRows::add({"three-pass RGB | three-pass true | 1 2 100 | Color | 787 787",
                       "16-bit colour | depth 16 | 1 2 100 | Color | 787 787",
                       "line-art | depth 1 | 1 3 100 | Gray | 787 787",
                       "unknown height | hand-scanner true | 1 1 50 | Gray | 216 0"});
    }

    void saneFrames()
    {
        QFETCH(QStringList, fields);
        const QString config = fields[0], scan = fields[1], mode = fields[2];
        const QSize size(fields[3].section(' ', 0, 0).toInt(), fields[3].section(' ', 1).toInt());
        QTemporaryDir sane;
        QFile dll(sane.filePath("dll.conf")), conf(sane.filePath("test.conf"));
        QVERIFY(dll.open(QIODevice::WriteOnly) && dll.write("test\n") == 5);
        dll.close();
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("test-picture \"Color pattern\"\n");
        for (const QString &line : config.split('/', Qt::SkipEmptyParts))
            conf.write(line.toUtf8() + '\n');
        conf.close();
        const QString dpi = scan.section(' ', 2);
        // The device as the console names a chosen one.
        QStringList a = args(scan, "sane:test:0");
        a.last() = m_out->filePath("page.jpg");
        QStringList driverEnv{"SANE_CONFIG_DIR=" + sane.path()};
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
