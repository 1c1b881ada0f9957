#include "scan/DetectThread.h"
#include "scan/ScanArguments.h"
#include "scan/ScanningThread.h"
#include "settings/ParamSetting.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace {

QString readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

bool writeExecutable(const QString &path, const QString &script)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(script.toUtf8());
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Process ids written one per line by a stand-in; true when none of them still exists (a zombie
// would still count as existing, so this also proves the process was reaped).
bool allGone(const QString &pidFile, int *count)
{
    const QStringList lines = readFile(pidFile).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    *count = lines.size();
    for (const QString &line : lines) {
        const pid_t pid = pid_t(line.trimmed().toInt());
        if (pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH)
            return false;
    }
    return true;
}

} // namespace

// The scan runner (argument list, result codes, signal order, failures of the program and of
// the temporary folder) and the reachability monitor (answer detection, argument safety, no
// stray processes, cycle and stop behaviour).
class TestScan : public QObject
{
    Q_OBJECT

private:
    ParamSetting &p = ParamSetting::instance;
    QTemporaryDir m_work;
    QString m_defaultPing;

    QString programPath() const { return TestEnvironment::appDir() + "/ScanConsoleApp"; }
    QString argsFile() const { return m_work.filePath("args.txt"); }
    QString pingLog() const { return m_work.filePath("ping-calls.txt"); }
    QString pingPids() const { return m_work.filePath("ping-pids.txt"); }

    // A ScanConsoleApp that records its arguments, one per line, and exits with `code`.
    void installRecorder(int code)
    {
        QFile::remove(argsFile());
        QVERIFY(writeExecutable(
            programPath(),
            QStringLiteral("#!/bin/sh\n"
                           ": > '%1.tmp'\n"
                           "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '%1.tmp'; done\n"
                           "mv '%1.tmp' '%1'\n"
                           "exit %2\n")
                .arg(argsFile())
                .arg(code)));
    }

    QStringList recordedArgs() const
    {
        if (!QFile::exists(argsFile()))
            return {QStringLiteral("<not started>")};
        QStringList lines = readFile(argsFile()).split(QLatin1Char('\n'));
        lines.removeLast(); // after the final newline
        return lines;
    }

    struct Run
    {
        QStringList events;
        int result = 12345;
        qint64 elapsed = 0;
    };

    // Runs one scan the way the window does: signals queued to this (main) thread.
    Run runScanner(const QString &tempDir, int settleMs)
    {
        Run run;
        // Receives the queued signals; events still queued for it die with it, so no lambda
        // of a finished case can run later.
        QObject sink;
        ScanningThread thread;
        if (!tempDir.isEmpty())
            thread.setTempDir(tempDir);
        if (settleMs >= 0)
            thread.setSettleDelay(settleMs);
        bool finished = false;
        connect(&thread, &ScanningThread::UpdateProgress, &sink, [&](int value, QString text) {
            run.events << QStringLiteral("progress %1 [%2]").arg(value).arg(text);
        });
        connect(&thread, &ScanningThread::ThreadFinished, &sink, [&](int result) {
            run.events << QStringLiteral("finished %1").arg(result);
            run.result = result;
            finished = true;
        });
        QElapsedTimer timer;
        timer.start();
        thread.start();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(finished, 60000); }();
        run.elapsed = timer.elapsed();
        thread.wait();
        QTest::qWait(20); // anything emitted after ThreadFinished would show up here
        return run;
    }

    // What the status bar shows while the program runs (the catalogue's text).
    QString scanningText() const { return QStringLiteral("扫描中..."); }

    void writePing(const QString &body)
    {
        TestEnvironment::writeFakeProgram(
            QStringLiteral("ping"),
            QStringLiteral("#!/bin/sh\n"
                           "{ printf 'call'; for a in \"$@\"; do printf ' [%s]' \"$a\"; done; "
                           "printf '\\n'; } >> '%1'\n"
                           "echo $$ >> '%2'\n")
                    .arg(pingLog(), pingPids()) +
                body);
    }

    QStringList pingCalls() const
    {
        return readFile(pingLog()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        m_defaultPing = readFile(TestEnvironment::fakeBinDir() + "/ping");
        QVERIFY(!m_defaultPing.isEmpty());
    }

    void cleanupTestCase()
    {
        QFile::remove(programPath());
        TestEnvironment::writeFakeProgram(QStringLiteral("ping"), m_defaultPing);
        TestEnvironment::resetRecord();
    }

    void init()
    {
        TestEnvironment::resetRecord();
        QFile::remove(argsFile());
        QFile::remove(pingLog());
        QFile::remove(pingPids());
    }

    // --- argument list ---------------------------------------------------------------------

    void argumentMapping_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("colour");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<QStringList>("middle"); // between "-t" "4" and "-f"

        const QStringList all{"-s", "2", "-c", "1", "-r", "300"};
        QTest::newRow("flatbed") << 0 << 1 << 2 << QStringList{"-s", "1", "-c", "1", "-r", "300"};
        QTest::newRow("feeder") << 1 << 1 << 2 << all;
        QTest::newRow("duplex") << 2 << 1 << 2 << QStringList{"-s", "3", "-c", "1", "-r", "300"};
        QTest::newRow("black and white")
            << 1 << 0 << 2 << QStringList{"-s", "2", "-c", "3", "-r", "300"};
        QTest::newRow("colour") << 1 << 2 << 2 << QStringList{"-s", "2", "-c", "2", "-r", "300"};
        QTest::newRow("150 asks 200")
            << 1 << 1 << 0 << QStringList{"-s", "2", "-c", "1", "-r", "200"};
        QTest::newRow("200") << 1 << 1 << 1 << QStringList{"-s", "2", "-c", "1", "-r", "200"};
        QTest::newRow("400") << 1 << 1 << 3 << QStringList{"-s", "2", "-c", "1", "-r", "400"};
        QTest::newRow("600") << 1 << 1 << 4 << QStringList{"-s", "2", "-c", "1", "-r", "600"};
        QTest::newRow("source 5 dropped") << 5 << 1 << 2 << QStringList{"-c", "1", "-r", "300"};
        QTest::newRow("source -1 dropped") << -1 << 1 << 2 << QStringList{"-c", "1", "-r", "300"};
        QTest::newRow("colour -1 dropped") << 1 << -1 << 2 << QStringList{"-s", "2", "-r", "300"};
        QTest::newRow("colour 3 dropped") << 1 << 3 << 2 << QStringList{"-s", "2", "-r", "300"};
        QTest::newRow("resolution 7 dropped") << 1 << 1 << 7 << QStringList{"-s", "2", "-c", "1"};
        QTest::newRow("resolution -1 dropped") << 1 << 1 << -1 << QStringList{"-s", "2", "-c", "1"};
        QTest::newRow("all dropped") << 9 << 9 << 9 << QStringList{};
    }

    // The table alone, without a thread.
    void argumentMapping()
    {
        QFETCH(int, source);
        QFETCH(int, colour);
        QFETCH(int, resolution);
        QFETCH(QStringList, middle);
        const QStringList expected = QStringList{"-p", "10.1.2.3", "-t", "4"} + middle +
                                     QStringList{"-f", "/out/tempImage.jpg"};
        QCOMPARE(ScanArguments::build("10.1.2.3", source, colour, resolution, "/out/tempImage.jpg"),
                 expected);
    }

    // The same table as the program really receives it from the runner.
    void runnerPassesArguments_data() { argumentMapping_data(); }
    void runnerPassesArguments()
    {
        QFETCH(int, source);
        QFETCH(int, colour);
        QFETCH(int, resolution);
        QFETCH(QStringList, middle);
        installRecorder(0);
        p.setPrinterAddress("127.0.0.1");
        p.source_type = source;
        p.image_type = colour;
        p.resolution = resolution;
        QTemporaryDir temp;
        const Run run = runScanner(temp.path(), 0);
        QCOMPARE(run.result, 0);
        const QStringList expected = QStringList{"-p", "127.0.0.1", "-t", "4"} + middle +
                                     QStringList{"-f", temp.path() + "/tempImage.jpg"};
        QCOMPARE(recordedArgs(), expected);
    }

    void oddAddressesStayOneArgument_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks and quotes") << QString("127.0.0.1 -f '/etc/x' \"y\"");
        QTest::newRow("shell text") << QString("$(touch /tmp/never); `id`");
    }

    void oddAddressesStayOneArgument()
    {
        QFETCH(QString, address);
        installRecorder(0);
        p.setPrinterAddress(address);
        p.source_type = 0;
        p.image_type = 2;
        p.resolution = 2;
        QTemporaryDir temp;
        QCOMPARE(runScanner(temp.path(), 0).result, 0);
        QCOMPARE(recordedArgs(), QStringList({"-p", address, "-t", "4", "-s", "1", "-c", "2", "-r",
                                              "300", "-f", temp.path() + "/tempImage.jpg"}));
    }

    // The real folder: created when missing, named in "-f", and the full 2-second pause.
    void defaultFolderAndPause()
    {
        QDir("/tmp/tempimages").removeRecursively();
        installRecorder(0);
        p.source_type = 2;
        p.image_type = 2;
        p.resolution = 2;
        const Run run = runScanner(QString(), -1);
        QVERIFY(QFileInfo("/tmp/tempimages").isDir());
        QCOMPARE(recordedArgs(), QStringList({"-p", "127.0.0.1", "-t", "4", "-s", "3", "-c", "2",
                                              "-r", "300", "-f", "/tmp/tempimages/tempImage.jpg"}));
        QVERIFY2(run.elapsed >= 1900, qPrintable(QString::number(run.elapsed)));
        TestEnvironment::clearTempImages();
    }

    // --- results and signal order --------------------------------------------------------------

    void successSignalOrder()
    {
        installRecorder(0);
        QTemporaryDir temp;
        const Run run = runScanner(temp.path(), 0);
        QCOMPARE(run.events, QStringList({"progress 100 [" + scanningText() + "]",
                                          "progress 100 []", "finished 0"}));
    }

    void failureCodesPassUnchanged_data()
    {
        QTest::addColumn<int>("code");
        for (int code : {1, 3, 4, 8, 42, 255})
            QTest::newRow(qPrintable(QString::number(code))) << code;
    }

    void failureCodesPassUnchanged()
    {
        QFETCH(int, code);
        installRecorder(code);
        QTemporaryDir temp;
        const Run run = runScanner(temp.path(), 0);
        QCOMPARE(run.events, QStringList({"progress 100 [" + scanningText() + "]",
                                          QStringLiteral("finished %1").arg(code)}));
    }

    void missingProgramIsAFailure()
    {
        QFile::remove(programPath());
        QTemporaryDir temp;
        const Run run = runScanner(temp.path(), 0);
        QCOMPARE(run.result, ScanningThread::ResultProgramFailed);
        QCOMPARE(run.events, QStringList({"progress 100 [" + scanningText() + "]", "finished -1"}));
    }

    void programThatCannotStartIsAFailure()
    {
        installRecorder(0);
        QVERIFY(QFile::setPermissions(programPath(), QFile::ReadOwner | QFile::WriteOwner));
        QTemporaryDir temp;
        QCOMPARE(runScanner(temp.path(), 0).result, ScanningThread::ResultProgramFailed);
        QVERIFY(!QFile::exists(argsFile()));
    }

    void crashingProgramIsAFailure()
    {
        QVERIFY(writeExecutable(programPath(), "#!/bin/sh\nkill -SEGV $$\nexit 0\n"));
        QTemporaryDir temp;
        const Run run = runScanner(temp.path(), 0);
        QCOMPARE(run.events, QStringList({"progress 100 [" + scanningText() + "]", "finished -1"}));
    }

    void failedProgramStillWaitsForTheCollector()
    {
        QFile::remove(programPath());
        QTemporaryDir temp;
        const Run run = runScanner(temp.path(), 1500);
        QCOMPARE(run.result, ScanningThread::ResultProgramFailed);
        QVERIFY2(run.elapsed >= 1400, qPrintable(QString::number(run.elapsed)));
    }

    void uncreatableTempDir()
    {
        installRecorder(0);
        QTemporaryFile blocker;
        QVERIFY(blocker.open());
        const Run run = runScanner(blocker.fileName() + "/sub/", 0);
        QCOMPARE(run.events, QStringList({"finished -2"}));
        QCOMPARE(ScanningThread::ResultTempDirFailed, -2);
        QVERIFY(!QFile::exists(argsFile())); // the program was never started
    }

    void createsMissingParents()
    {
        installRecorder(0);
        QTemporaryDir temp;
        const QString nested = temp.path() + "/a/b/c";
        QCOMPARE(runScanner(nested, 0).result, 0);
        QVERIFY(QFileInfo(nested).isDir());
        QCOMPARE(recordedArgs().last(), nested + "/tempImage.jpg");
    }

    // --- reachability monitor: one ping --------------------------------------------------------

    void pingAnswer_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("answered");
        QTest::newRow("lower case") << QString("echo '9 bytes from 127.0.0.1: icmp_seq=1 ttl=64'\n"
                                               "exit 0\n")
                                    << true;
        QTest::newRow("upper case")
            << QString("echo 'Reply from 127.0.0.1: bytes=1 TTL=64'\nexit 0\n") << true;
        QTest::newRow("mixed case") << QString("echo 'reply Ttl=64'\n") << true;
        QTest::newRow("no answer")
            << QString("echo '1 packets transmitted, 0 received'\nexit 1\n") << false;
        QTest::newRow("ttl on stderr only") << QString("echo 'ttl=64' >&2\nexit 0\n") << false;
        QTest::newRow("silent") << QString("exit 2\n") << false;
        QTest::newRow("answer too late") << QString("sleep 3\necho ttl=64\n") << false;
    }

    void pingAnswer()
    {
        QFETCH(QString, body);
        QFETCH(bool, answered);
        writePing(body);
        DetectThread monitor;
        QCOMPARE(monitor.pingOk("127.0.0.1"), answered);
        QCOMPARE(pingCalls(), QStringList{"call [-s] [1] [-c] [1] [127.0.0.1]"});
        int count = 0;
        QVERIFY(allGone(pingPids(), &count));
        QCOMPARE(count, 1);
    }

    void pingNotStarted_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("empty") << QString();
        QTest::newRow("option") << QString("-f");
        QTest::newRow("option with host") << QString("-I lo 127.0.0.1");
    }

    void pingNotStarted()
    {
        QFETCH(QString, address);
        writePing("echo ttl=64\n");
        DetectThread monitor;
        QVERIFY(!monitor.pingOk(address));
        QVERIFY(!QFile::exists(pingLog()));
    }

    void pingAddressWithBlanksIsOneArgument()
    {
        writePing("echo 'ttl=64'\n");
        DetectThread monitor;
        monitor.pingOk("127.0.0.1 -c 5; echo");
        QCOMPARE(pingCalls(), QStringList{"call [-s] [1] [-c] [1] [127.0.0.1 -c 5; echo]"});
        // The harness's own stand-in answers only a plain loopback address.
        TestEnvironment::writeFakeProgram("ping", m_defaultPing);
        QVERIFY(!monitor.pingOk("127.0.0.1 -c 5"));
        QVERIFY(monitor.pingOk("127.0.0.1"));
    }

    void hangingPingIsKilledAndReaped_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("answered");
        QTest::newRow("silent") << QString("exec sleep 30\n") << false;
        QTest::newRow("answer, then hangs") << QString("echo ttl=64\nexec sleep 30\n") << true;
        QTest::newRow("ignores SIGTERM") << QString("trap '' TERM\necho ttl=64\n"
                                                    "while :; do sleep 1; done\n")
                                         << true;
    }

    void hangingPingIsKilledAndReaped()
    {
        QFETCH(QString, body);
        QFETCH(bool, answered);
        writePing(body);
        DetectThread monitor;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(monitor.pingOk("127.0.0.1"), answered);
        QVERIFY2(timer.elapsed() < 15000, "pingOk waited for the hanging ping");
        int count = 0;
        QVERIFY(allGone(pingPids(), &count));
        QCOMPARE(count, 1);
    }

    void missingPingCommand()
    {
        const QByteArray path = qgetenv("PATH");
        QTemporaryDir empty;
        qputenv("PATH", QFile::encodeName(empty.path()));
        DetectThread monitor;
        const bool ok = monitor.pingOk("127.0.0.1");
        qputenv("PATH", path);
        QVERIFY(!ok);
    }

    // --- reachability monitor: the loop ----------------------------------------------------------

    void statusEveryCycleFollowsTheAddress()
    {
        writePing("case \"$5\" in 127.0.0.1) echo 'icmp_seq=1 ttl=64' ;; *) echo lost ;; esac\n");
        QObject sink;
        DetectThread monitor;
        monitor.setCyclePause(20);
        QList<int> statuses;
        connect(&monitor, &DetectThread::UpdateStatus, &sink, [&](int s) { statuses << s; });
        monitor.start();
        QTRY_VERIFY_WITH_TIMEOUT(statuses.size() >= 3, 20000);
        QVERIFY(!statuses.contains(1));

        // Read anew every cycle: an unanswered address, then no address at all.
        p.setPrinterAddress("127.0.0.2");
        QTRY_VERIFY_WITH_TIMEOUT(statuses.count(1) >= 2, 20000);
        p.setPrinterAddress(QString());
        QTest::qWait(100);
        const int callsBefore = pingCalls().size();
        const int statusesBefore = statuses.size();
        QTRY_VERIFY_WITH_TIMEOUT(statuses.size() >= statusesBefore + 3, 20000);
        QCOMPARE(pingCalls().size(), callsBefore); // an empty address starts nothing
        for (int i = statusesBefore; i < statuses.size(); ++i)
            QCOMPARE(statuses.at(i), 1);

        p.setPrinterAddress("127.0.0.1");
        QTRY_VERIFY_WITH_TIMEOUT(statuses.last() == 0, 20000);
        monitor.Finish();
        QVERIFY(monitor.wait(10000));
        QVERIFY(pingCalls().contains("call [-s] [1] [-c] [1] [127.0.0.2]"));
    }

    void noStrayProcessesAfterManyCycles()
    {
        writePing("exec sleep 30\n");
        QObject sink;
        DetectThread monitor;
        monitor.setCyclePause(0);
        int statuses = 0;
        connect(&monitor, &DetectThread::UpdateStatus, &sink, [&](int s) {
            QCOMPARE(s, 1);
            ++statuses;
        });
        monitor.start();
        QTRY_VERIFY_WITH_TIMEOUT(statuses >= 4, 30000);
        monitor.Finish();
        QVERIFY(monitor.wait(10000));
        int count = 0;
        QVERIFY(allGone(pingPids(), &count));
        QVERIFY(count >= 4);
    }

    void finishCutsThePauseShort()
    {
        writePing("echo ttl=64\n");
        QObject sink;
        DetectThread monitor;
        monitor.setCyclePause(600000);
        QList<int> statuses;
        connect(&monitor, &DetectThread::UpdateStatus, &sink, [&](int s) { statuses << s; });
        monitor.start();
        QTRY_COMPARE_WITH_TIMEOUT(statuses.size(), 1, 10000);
        monitor.Finish();
        QVERIFY(monitor.wait(10000));
        QTest::qWait(20);
        QCOMPARE(statuses, QList<int>{0});
    }

    void finishBeforeStartDoesNothing()
    {
        writePing("echo ttl=64\n");
        QObject sink;
        DetectThread monitor;
        int statuses = 0;
        connect(&monitor, &DetectThread::UpdateStatus, &sink, [&](int) { ++statuses; });
        monitor.Finish();
        monitor.start();
        QVERIFY(monitor.wait(10000));
        QTest::qWait(20);
        QCOMPARE(statuses, 0);
        QVERIFY(!QFile::exists(pingLog()));
    }

    void defaultPauseIsTwoSeconds()
    {
        writePing("echo ttl=64\n");
        QObject sink;
        DetectThread monitor;
        QList<qint64> times;
        QElapsedTimer timer;
        timer.start();
        connect(&monitor, &DetectThread::UpdateStatus, &sink,
                [&](int) { times << timer.elapsed(); });
        monitor.start();
        QTRY_VERIFY_WITH_TIMEOUT(times.size() >= 2, 20000);
        monitor.Finish();
        QVERIFY(monitor.wait(10000));
        QVERIFY2(times.at(1) - times.at(0) >= 1900,
                 qPrintable(QString::number(times.at(1) - times.at(0))));
    }

    void destroyingARunningMonitorStopsIt()
    {
        writePing("echo ttl=64\n");
        int statuses = 0;
        QObject sink;
        {
            DetectThread monitor;
            connect(&monitor, &DetectThread::UpdateStatus, &sink, [&](int) { ++statuses; });
            monitor.start();
            QTRY_VERIFY_WITH_TIMEOUT(statuses >= 1, 10000);
        } // must not abort the process
        QVERIFY(statuses >= 1);
    }
};

SCANCONSOLE_TEST_MAIN(TestScan)
#include "tst_scan.moc"
