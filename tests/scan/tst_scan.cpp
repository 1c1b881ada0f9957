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
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool writeExecutable(const QString &path, const QString &script, bool executable = true)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(script.toUtf8());
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                               (executable ? QFile::ExeOwner : QFile::Permissions()));
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

const QString kScanning = QStringLiteral("progress 100 [扫描中...]"); // the catalogue's text

} // namespace

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

    // A ScanConsoleApp script that records its arguments, one per line, and exits with `code`.
    QString recorder(int code) const
    {
        return QStringLiteral("#!/bin/sh\n: > '%1.tmp'\n"
                              "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '%1.tmp'; done\n"
                              "mv '%1.tmp' '%1'\nexit %2\n")
            .arg(argsFile())
            .arg(code);
    }

    QStringList recordedArgs() const
    {
        QStringList lines = readFile(argsFile()).split(QLatin1Char('\n'));
        lines.removeLast(); // after the final newline
        return lines;
    }

    struct Run
    {
        QStringList events;
        qint64 elapsed = 0;
    };

    // Runs one scan the way the window does: signals queued to this (main) thread.
    Run runScanner(const QString &tempDir, int settleMs)
    {
        Run run;
        QObject sink; // queued events for it die with it, so no lambda of a finished case runs
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

    // A stand-in ping that logs its arguments and pid, then runs `body`.
    void writePing(const QString &body)
    {
        TestEnvironment::writeFakeProgram(
            QStringLiteral("ping"),
            QStringLiteral("#!/bin/sh\n{ printf 'call'; for a in \"$@\"; do printf ' [%s]' \"$a\"; "
                           "done; printf '\\n'; } >> '%1'\necho $$ >> '%2'\n")
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

    // Every index from one below to one above each table: out-of-table values drop their pair.
    void argumentMappingExhaustive()
    {
        const QStringList source{"1", "2", "3"}, colour{"3", "1", "2"};
        const QStringList dpi{"200", "200", "300", "400", "600"}; // 150 is asked for as 200
        auto pair = [](const char *option, const QStringList &values, int i) {
            return i >= 0 && i < values.size() ? QStringList{option, values.at(i)} : QStringList();
        };
        for (int s = -1; s <= 3; ++s)
            for (int c = -1; c <= 3; ++c)
                for (int r = -1; r <= 5; ++r)
                    QCOMPARE(ScanArguments::build("10.1.2.3", s, c, r, "/out/tempImage.jpg"),
                             QStringList({"-p", "10.1.2.3", "-t", "4"}) + pair("-s", source, s) +
                                 pair("-c", colour, c) + pair("-r", dpi, r) +
                                 QStringList({"-f", "/out/tempImage.jpg"}));
    }

    // The record as the program receives it: each address one argument (no shell), the page
    // folder and its missing parents created. The real folder also gets the 2-second pause.
    void runnerPassesTheRecord_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("folder"); // empty: the default "/tmp/tempimages/"
        QTest::newRow("empty address") << QString() << "a/b/c";
        QTest::newRow("blanks and quotes") << QString("127.0.0.1 -f '/etc/x' \"y\"") << "a/b/c";
        QTest::newRow("shell text") << QString("$(touch /tmp/never); `id`") << "a/b/c";
        QTest::newRow("default folder") << QString("127.0.0.1") << QString();
    }

    void runnerPassesTheRecord()
    {
        QFETCH(QString, address);
        QFETCH(QString, folder);
        QVERIFY(writeExecutable(programPath(), recorder(0)));
        p.setPrinterAddress(address);
        p.source_type = 0;
        p.image_type = 2;
        p.resolution = 2;
        QTemporaryDir temp;
        const QString dir = folder.isEmpty() ? QString("/tmp/tempimages") : temp.filePath(folder);
        if (folder.isEmpty())
            QDir(dir).removeRecursively();
        const Run run = runScanner(folder.isEmpty() ? QString() : dir, folder.isEmpty() ? -1 : 0);
        QVERIFY(QFileInfo(dir).isDir());
        QCOMPARE(recordedArgs(), QStringList({"-p", address, "-t", "4", "-s", "1", "-c", "2", "-r",
                                              "300", "-f", dir + "/tempImage.jpg"}));
        QCOMPARE(run.events, QStringList({kScanning, "progress 100 []", "finished 0"}));
        if (folder.isEmpty()) {
            QVERIFY2(run.elapsed >= 1900, qPrintable(QString::number(run.elapsed)));
            TestEnvironment::clearTempImages();
        }
    }

    // Exit codes pass unchanged; a program that is missing, cannot start or crashes is a
    // failure (-1), not the process object's 0. The collector still gets its pause.
    void failuresAreReported_data()
    {
        QTest::addColumn<QString>("script"); // empty: no program at all
        QTest::addColumn<bool>("executable");
        QTest::addColumn<int>("result");
        for (int code : {1, 3, 4, 8, 42, 255})
            QTest::newRow(qPrintable(QString::number(code))) << recorder(code) << true << code;
        QTest::newRow("missing") << QString() << true << -1;
        QTest::newRow("cannot start") << recorder(0) << false << -1;
        QTest::newRow("crashes") << QString("#!/bin/sh\nkill -SEGV $$\nexit 0\n") << true << -1;
    }

    void failuresAreReported()
    {
        QFETCH(QString, script);
        QFETCH(bool, executable);
        QFETCH(int, result);
        QFile::remove(programPath());
        if (!script.isEmpty())
            QVERIFY(writeExecutable(programPath(), script, executable));
        QTemporaryDir temp;
        const Run run = runScanner(temp.path(), 500);
        QCOMPARE(run.events, QStringList({kScanning, QStringLiteral("finished %1").arg(result)}));
        QVERIFY2(run.elapsed >= 450, qPrintable(QString::number(run.elapsed)));
        if (!executable)
            QVERIFY(!QFile::exists(argsFile()));
    }

    // No folder: a result all the same, so the window leaves its scanning state.
    void uncreatableTempDir()
    {
        QVERIFY(writeExecutable(programPath(), recorder(0)));
        QTemporaryFile blocker;
        QVERIFY(blocker.open());
        const Run run = runScanner(blocker.fileName() + "/sub/", 0);
        QCOMPARE(run.events, QStringList({"finished -2"}));
        QVERIFY(!QFile::exists(argsFile())); // the program was never started
    }

    // One ping: the answer is "TTL" in any case on stdout in time; every ping is reaped, also
    // one that hangs or ignores SIGTERM. No address, or one read as an option, starts nothing.
    void pingAnswer_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<int>("calls");
        const QString lo = "127.0.0.1", ttl = "echo ttl=64\n";
        QTest::newRow("lower case")
            << lo << QString("echo '9 bytes from 127.0.0.1: icmp_seq=1 ttl=64'\n") << true << 1;
        QTest::newRow("mixed case") << lo << QString("echo 'reply Ttl=64'\n") << true << 1;
        QTest::newRow("no answer") << lo << QString("echo '0 received'\nexit 1\n") << false << 1;
        QTest::newRow("ttl on stderr only") << lo << QString("echo 'ttl=64' >&2\n") << false << 1;
        QTest::newRow("answer too late") << lo << QString("sleep 3\n" + ttl) << false << 1;
        QTest::newRow("answers, hangs") << lo << QString(ttl + "exec sleep 30\n") << true << 1;
        QTest::newRow("ignores SIGTERM")
            << lo << QString("trap '' TERM\n" + ttl + "while :; do sleep 1; done\n") << true << 1;
        QTest::newRow("blanks, one argument")
            << QString("127.0.0.1 -c 5; echo") << ttl << true << 1;
        QTest::newRow("empty") << QString() << ttl << false << 0;
        QTest::newRow("option") << QString("-f") << ttl << false << 0;
    }

    void pingAnswer()
    {
        QFETCH(QString, address);
        QFETCH(QString, body);
        QFETCH(bool, answered);
        QFETCH(int, calls);
        writePing(body);
        DetectThread monitor;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(monitor.pingOk(address), answered);
        QVERIFY2(timer.elapsed() < 15000, "pingOk waited for the hanging ping");
        QCOMPARE(pingCalls(),
                 calls ? QStringList{"call [-s] [1] [-c] [1] [" + address + "]"} : QStringList());
        int count = 0;
        QVERIFY(allGone(pingPids(), &count));
        QCOMPARE(count, calls);
    }

    // A status every cycle, the address read anew each time; an empty one starts nothing.
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

        p.setPrinterAddress("127.0.0.2");
        QTRY_VERIFY_WITH_TIMEOUT(statuses.count(1) >= 2, 20000);
        p.setPrinterAddress(QString());
        QTest::qWait(100);
        const int calls = pingCalls().size(), before = statuses.size();
        QTRY_VERIFY_WITH_TIMEOUT(statuses.size() >= before + 3, 20000);
        QCOMPARE(pingCalls().size(), calls);
        QVERIFY(!statuses.mid(before).contains(0));
        monitor.Finish();
        QVERIFY(monitor.wait(10000));
        QVERIFY(pingCalls().contains("call [-s] [1] [-c] [1] [127.0.0.2]"));
    }

    // The default pause is 2 seconds; Finish() and the destructor of a running monitor both end
    // it at once (the destructor must not abort the process either).
    void stopEndsThePause_data()
    {
        QTest::addColumn<bool>("byDestructor");
        QTest::newRow("Finish") << false;
        QTest::newRow("destructor") << true;
    }

    void stopEndsThePause()
    {
        QFETCH(bool, byDestructor);
        writePing("echo ttl=64\n");
        QObject sink;
        QList<int> statuses;
        QList<qint64> times;
        QElapsedTimer timer;
        timer.start();
        qint64 stopped = 0;
        {
            DetectThread monitor;
            connect(&monitor, &DetectThread::UpdateStatus, &sink, [&](int s) {
                statuses << s;
                times << timer.elapsed();
            });
            monitor.start();
            QTRY_COMPARE_WITH_TIMEOUT(statuses.size(), 2, 20000);
            stopped = timer.elapsed();
            if (!byDestructor) {
                monitor.Finish();
                QVERIFY(monitor.wait(10000));
            }
        }
        QVERIFY2(timer.elapsed() - stopped < 1500, "the stop sat out the pause");
        const qint64 pause = times.at(1) - times.at(0);
        QVERIFY2(pause >= 1900, qPrintable(QString::number(pause)));
        QTest::qWait(20);
        QCOMPARE(statuses, QList<int>({0, 0}));
    }
};

SCANCONSOLE_TEST_MAIN(TestScan)
#include "tst_scan.moc"
