#include "scan/DetectThread.h"
#include "scan/PageFolder.h"
#include "scan/RunFolder.h"
#include "scan/ScanningThread.h"
#include "settings/ParamSetting.h"
#include "settings/PrinterAddress.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestRows.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

class TestScan : public QObject
{
    Q_OBJECT

    ParamSetting &p = ParamSetting::instance;
    QTemporaryDir m_work;
    const QString m_program = TestEnvironment::appDir() + "/ScanConsoleApp";

    QStringList recorded(const char *name) const
    {
        QStringList lines =
            QString::fromUtf8(TestFiles::readAll(m_work.filePath(name))).split('\n');
        lines.removeLast(); // after the last newline; an empty argument stays a line
        return lines;
    }

    // A script that records its arguments (one a line) and its process id, then runs `body`.
    // ping stays first on PATH; the scan program goes into the application folder.
    void standIn(const QString &name, const QString &body) const
    {
        const QString path = TestEnvironment::writeFakeProgram(
            name,
            QString("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '%1/args'; done\n"
                    "echo $$ >> '%1/pids'\n%2")
                .arg(m_work.path(), body));
        if (name != "ping")
            QFile::rename(path, m_program);
    }

private slots:
    void initTestCase() { QVERIFY(QFile(m_work.filePath("file")).open(QIODevice::WriteOnly)); }
    void cleanupTestCase() { init(); }
    void init()
    {
        TestEnvironment::resetRecord();
        for (const char *folder : {"link", "open", "foreign", "ours"})
            QFile::remove(m_work.filePath(folder)),
                QDir(m_work.filePath(folder)).removeRecursively();
        for (const QString &file : {m_work.filePath("args"), m_work.filePath("pids"),
                                    m_work.filePath("release"), m_program})
            QFile::remove(file);
    }

    // The run's page folder: the shared one while it is (or can be made) ours; when it is not
    // (a link, open to others, another operator's), a private one of this user, never nothing.
    void pageFolderOfTheRun_data()
    {
        // the folder's state (the tag) | the run uses it
        TestRows::add({"missing | 1", "ours | 1", "link | 0", "open | 0", "foreign | 0"});
    }
    void pageFolderOfTheRun()
    {
        QFETCH(QStringList, fields);
        const QString state = QTest::currentDataTag();
        const bool shared = fields[0] == "1";
        const QString runtime = m_work.filePath("runtime");
        QVERIFY(QDir().mkpath(runtime) && ::chmod(QFile::encodeName(runtime), 0700) == 0);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        const QString preferred = m_work.filePath(state == "missing" ? "link" : state);
        const QByteArray where = QFile::encodeName(preferred);
        if (state == "ours")
            QVERIFY(::mkdir(where, 0700) == 0);
        if (state == "link")
            QVERIFY(QFile::link(m_work.path(), preferred));
        if (state == "open")
            QVERIFY(::mkdir(where, 0700) == 0 && ::chmod(where, 0770) == 0);
        if (state == "foreign" && (::mkdir(where, 0700) != 0 || ::chown(where, 65534, 65534) != 0))
            QSKIP("only root can give a folder to another user");
        const QString folder = PageFolder::forRun(preferred);
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(folder, shared ? preferred : runtime + "/tempimages");
        QVERIFY(PageFolder(folder).isUsable());
        QCOMPARE(int(QFile::permissions(folder) & 0x0077), 0); // nobody else's business
        if (!shared)                                           // the other folder is left as it was
            QCOMPARE(QFileInfo(preferred).isSymLink(), state == "link");
        QDir(runtime).removeRecursively();
    }

    // A run's own folder: private, named so nobody can guess it, and locked; the lock goes to the
    // scan program too, so it stays held while the program runs, also once the console has let
    // go of it (as one that dies does). The folder goes with its object.
    void runFolder()
    {
        const QString pages = m_work.filePath("ours");
        std::shared_ptr<RunFolder> run = RunFolder::create(pages), other = RunFolder::create(pages);
        QVERIFY(run && other && run->path() != other->path());
        QCOMPARE(QFileInfo(run->path()).path(), pages);
        QCOMPARE(int(QFile::permissions(run->path()) & 0x0077), 0);
        QVERIFY(RunFolder::isRunFolder(run->path()) && !RunFolder::isRunFolder(pages));
        QVERIFY(RunFolder::isBusy(run->path()));
        const QString release = m_work.filePath("release"); // the program runs until it is there
        standIn("ScanConsoleApp", "while [ ! -e '" + release + "' ]; do sleep 0.02; done\n");
        ScanningThread thread(p.scanSettings(), "127.0.0.1");
        thread.setTempDir(run->path());
        thread.setInheritedDescriptor(run->lockDescriptor());
        thread.start();
        QTRY_VERIFY(!recorded("pids").isEmpty());
        const QString path = run->path();
        run->keep();
        run.reset();
        QVERIFY(RunFolder::isBusy(path));
        QVERIFY(QFile(release).open(QIODevice::WriteOnly));
        QVERIFY(thread.wait(20000));
        QVERIFY(!RunFolder::isBusy(path) && QFileInfo(path).isDir());
        const QString gone = other->path();
        other.reset();
        QVERIFY(!QFileInfo::exists(gone));
    }

    // Each record field through its table and one past both ends (its pair is then left out);
    // the address as one argument, even empty or full of shell text. Exit codes pass on
    // unchanged; a program that is missing or crashes is -1, never 0; no page folder is -2.
    // A cancel ("cancel: ...") stops the program with SIGTERM: one that obeys ends with its own
    // code, one that dies of it or ignores it (killed after the stop timeout) is "cancelled",
    // and a cancel before the start starts nothing. None is waited for to its natural end.
    void scan_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("fields"); // source_type image_type resolution, then the pairs
        QTest::addColumn<QString>("body");   // after recording; empty: no program at all
        QTest::addColumn<QString>("folder"); // empty: the real one
        QTest::addColumn<int>("result");
        const QString lo = "127.0.0.1", normal = "0 2 2 -s 1 -c 2 -r 300", ok = "exit 0\n";
        const QString pages = m_work.filePath("made/on/demand");
        for (const char *row :
             {"-1 2 2 -c 2 -r 300", "1 2 2 -s 2 -c 2 -r 300", "2 2 2 -s 3 -c 2 -r 300",
              "3 2 2 -c 2 -r 300", "0 -1 2 -s 1 -r 300", "0 0 2 -s 1 -c 3 -r 300",
              "0 1 2 -s 1 -c 1 -r 300", "0 3 2 -s 1 -r 300", "0 2 -1 -s 1 -c 2",
              "0 2 0 -s 1 -c 2 -r 150", "0 2 1 -s 1 -c 2 -r 200", "0 2 3 -s 1 -c 2 -r 400",
              "0 2 4 -s 1 -c 2 -r 600", "0 2 5 -s 1 -c 2", "5 -1 7",
              "0 2 2 -s 1 -c 2 -r 300 -a 297x420"})
            QTest::newRow(row) << lo << row << ok << pages << 0;
        QTest::newRow("empty address") << QString() << normal << ok << pages << 0;
        QTest::newRow("shell text")
            << "1.2.3.4 -f '/x' $(id) `id`; \"y\"" << normal << ok << pages << 0;
        QTest::newRow("real folder") << lo << normal << ok << QString() << 0;
        for (int code : {3, 8, 42, 255})
            QTest::addRow("exit %d", code)
                << lo << normal << QString("exit %1\n").arg(code) << pages << code;
        QTest::newRow("missing") << lo << normal << QString() << pages << -1;
        QTest::newRow("crashes") << lo << normal << "ulimit -c 0\nkill -SEGV $$\n" << pages << -1;
        // A folder not ours (a link, open to others, another's) is refused by the same check:
        // pageFolderOfTheRun.
        QTest::newRow("no folder") << lo << normal << ok << m_work.filePath("file/sub") << -2;
        const QString work = "i=0\nwhile [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done\nexit 0\n";
        QTest::newRow("cancel: obeys")
            << lo << normal << "trap 'exit 3' TERM\n" + work << pages << 3;
        QTest::newRow("cancel: dies of it") << lo << normal << "exec sleep 30\n" << pages << 130;
        QTest::newRow("cancel: ignores it") << lo << normal << "trap '' TERM\nexec sleep 30\n"
                                            << pages << 130;
        QTest::newRow("cancel: before start") << lo << normal << work << pages << 130;
    }

    void scan()
    {
        QFETCH(QString, address);
        QFETCH(QString, fields);
        QFETCH(QString, body);
        QFETCH(QString, folder);
        QFETCH(int, result);
        const QString tag = QTest::currentDataTag();
        const bool cancel = tag.startsWith("cancel"), early = tag.endsWith("before start");
        if (!body.isEmpty())
            standIn("ScanConsoleApp", body);
        const QStringList f = fields.split(' ');
        p.setPrinterAddress(address);
        p.source_type = f[0].toInt(), p.image_type = f[1].toInt(), p.resolution = f[2].toInt();
        p.paper_size = fields.endsWith("-a 297x420") ? 16 : 0; // A3
        QStringList seen; // in the order sent; the window gets them queued, in the same order
        ScanningThread thread(p.scanSettings(), address);
        thread.setStopTimeout(500);
        if (!folder.isEmpty())
            thread.setTempDir(folder);
        connect(&thread, &ScanningThread::UpdateProgress,
                [&](int value, QString text) { seen << QString("%1 [%2]").arg(value).arg(text); });
        connect(&thread, &ScanningThread::ThreadFinished,
                [&](int code) { seen << QString("finished %1").arg(code); });
        if (early)
            thread.cancel();
        thread.start();
        if (cancel && !early) {
            QTRY_VERIFY(!recorded("pids").isEmpty()); // it runs
            thread.cancel();
        }
        QVERIFY(thread.wait(20000)); // a cancelled program's own end is 30 s away
        const QString run = "100 [扫描中...]", done = QString("finished %1").arg(result);
        QCOMPARE(seen, (result == -2  ? QStringList{done}
                        : result != 0 ? QStringList{run, done}
                                      : QStringList{run, "100 []", done}));
        const QString page = (folder.isEmpty() ? "/tmp/tempimages" : folder) + "/tempImage.jpg";
        if (result != -2) // made (or kept) for our eyes only
            QCOMPARE(int(QFile::permissions(QFileInfo(page).path())),
                     int(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                         QFile::WriteUser | QFile::ExeUser));
        QCOMPARE(recorded("args"), (body.isEmpty() || result == -2 || early
                                        ? QStringList()
                                        : QStringList{"-p", address, "-t", "4"} + f.mid(3) +
                                              QStringList{"-f", page}));
        for (const QString &pid : recorded("pids")) // gone, killed if need be
            QVERIFY(::kill(pid.toInt(), 0) != 0 && errno == ESRCH);
    }

    // The scan program's note: the resolution it scanned at and the scanner's largest area;
    // anything else in it is passed over, nothing out of bounds is believed.
    void deviceNote()
    {
        ScanningThread::DeviceNote note =
            ScanningThread::readNote("dpi=200\nmax_area_mm=215.9x297\nother=1\n");
        QCOMPARE(note.dpi, 200);
        QCOMPARE(note.maxArea, QSizeF(215.9, 297));
        note = ScanningThread::readNote("dpi=x\nmax_area_mm=1e9x297\nmax_area_mm");
        QVERIFY(note.dpi == 0 && note.maxArea.isEmpty());
    }

    // A status every cycle for the address of that cycle: 0 for "TTL" in any letter case on
    // standard output in time. A ping that hangs, even ignoring SIGTERM, is killed and reaped.
    // No address, or one that ping would take for an option, starts nothing.
    void monitor_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("status");
        const QString lo = "127.0.0.1", ttl = "echo 'icmp_seq=1 ttl=64'\n";
        QTest::newRow("lower case") << lo << ttl << 0;
        QTest::newRow("upper case") << lo << "echo 'Reply from 127.0.0.1: TTL=128'\n" << 0;
        QTest::newRow("no answer") << lo << "echo '0 received'\nexit 1\n" << 1;
        QTest::newRow("on stderr") << lo << "echo ttl=64 >&2\n" << 1;
        const QString late = "trap 'kill $!; exit' TERM\necho PING\nsleep 5 & wait\n" + ttl;
        QTest::newRow("too late") << lo << late << 1;
        QTest::newRow("hangs") << lo << "trap '' TERM\n" + ttl + "exec sleep 60\n" << 0;
        QTest::newRow("blanks") << "127.0.0.1 -c 9; x" << ttl << 1;
        // A WSD scanner has no status to ask: its host is pinged.
        QTest::newRow("WSD URL: its host alone") << "wsd:http://127.0.0.1:5358/WSD" << ttl << 0;
        QTest::newRow("empty") << QString() << ttl << 1;
        QTest::newRow("option") << "-fc9" << ttl << 1;
    }

    void monitor()
    {
        QFETCH(QString, address);
        QFETCH(QString, body);
        QFETCH(int, status);
        standIn("ping", body);
        p.setPrinterAddress(address);
        QObject sink;
        QList<int> statuses;
        DetectThread monitor;
        monitor.setCyclePause(20);
        connect(&monitor, &DetectThread::UpdateStatus, &sink, [&](int s) { statuses << s; });
        monitor.start();
        QTRY_VERIFY_WITH_TIMEOUT(statuses.size() >= 2, 10000);
        p.setPrinterAddress("127.0.0.9"); // taken up by a later cycle
        QTRY_VERIFY_WITH_TIMEOUT(recorded("args").contains("127.0.0.9"), 10000);
        monitor.Finish();
        QVERIFY(monitor.wait(5000));
        QVERIFY(statuses[0] == status && statuses[1] == status);
        // Only an address the address field accepts is pinged, by its host.
        const QString host = PrinterAddress::host(address);
        QCOMPARE(recorded("args").mid(0, 5),
                 QStringList({"-s", "1", "-c", "1", host.isEmpty() ? "127.0.0.9" : host}));
        for (const QString &pid : recorded("pids")) // gone, so not even a zombie is left
            QVERIFY(::kill(pid.toInt(), 0) != 0 && errno == ESRCH);
    }
};

SCANCONSOLE_TEST_MAIN(TestScan)
#include "tst_scan.moc"
