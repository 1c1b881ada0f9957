#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTest>

// The stand-in scan program as the console sees it: command line, page files in
// "/tmp/tempimages", exit code. Pages come 10 ms apart unless a case asks otherwise.
class TestDevice : public QObject
{
    Q_OBJECT

    const QString m_folder = "/tmp/tempimages";
    const QString m_ini = TestEnvironment::appDir() + "/ScanConsoleApp.ini";

    // The console's command line for "source colour dpi"; `change` "-x value" replaces the value
    // of -x, a bare "-x" leaves the pair out.
    static QStringList args(const QString &scan, const QString &change = "-t 4")
    {
        const QStringList s = scan.split(' ');
        QStringList a{"-p", "127.0.0.1", "-t", "4",  "-s", s[0],
                      "-c", s[1],        "-r", s[2], "-f", "/tmp/tempimages/tempImage.jpg"};
        const int i = a.indexOf(change.section(' ', 0, 0)), space = change.indexOf(' ');
        if (space < 0)
            a.erase(a.begin() + i, a.begin() + i + 2);
        else
            a[i + 1] = change.mid(space + 1);
        return a;
    }

    // Runs the program to its end in a clean environment plus `env` ("NAME=value ...", without
    // the SCANCONSOLE_ prefix), calling `poll` meanwhile; its exit code, -100 if it crashed.
    static int run(
        const QStringList &arguments, const QString &env, const std::function<void()> &poll = [] {})
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.remove("SCANCONSOLE_SHEETS");
        e.remove("SCANCONSOLE_EXIT_CODE");
        for (const QString &pair : ("PAGE_DELAY_MS=10 " + env).split(' ', Qt::SkipEmptyParts))
            e.insert("SCANCONSOLE_" + pair.section('=', 0, 0), pair.section('=', 1));
        QProcess process;
        process.setProcessEnvironment(e);
        process.start(TestEnvironment::appDir() + "/ScanConsoleApp", arguments);
        if (!process.waitForStarted())
            return -100;
        while (process.state() != QProcess::NotRunning && !process.waitForFinished(2))
            poll();
        poll();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -100;
    }

    // The folder's files in the order the console's collector takes them.
    QStringList files(const QString &filter = "*") const
    {
        return QDir(m_folder).entryList({filter}, QDir::Files | QDir::Hidden,
                                        QDir::Name | QDir::IgnoreCase);
    }

    QByteArray bytes(const QString &name) const
    {
        QFile file(m_folder + "/" + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        QFile::remove(m_ini);
        TestEnvironment::clearTempImages();
    }
    void cleanup() { init(); }

    // A4 at the resolution, grey or colour; one page from the flatbed, one per sheet from the
    // feeder, front and back in duplex. Pages show one by one in name order, each complete as
    // soon as its ".jpg" name is there, and nothing else is left behind.
    void pages_data()
    {
        QTest::addColumn<QString>("scan"); // source colour dpi, and the sheets in the feeder
        QTest::addColumn<int>("count");
        QTest::addColumn<QSize>("size");
        QTest::newRow("flatbed colour") << "1 2 150 4" << 1 << QSize(1240, 1754);
        QTest::newRow("flatbed, no sheets") << "1 1 600 0" << 1 << QSize(4961, 7016);
        QTest::newRow("feeder grey") << "2 1 200 4" << 4 << QSize(1654, 2339);
        QTest::newRow("feeder, 3 by default") << "2 1 400" << 3 << QSize(3307, 4677);
        QTest::newRow("duplex black and white") << "3 3 300 2" << 4 << QSize(2480, 3508);
        QTest::newRow("duplex colour") << "3 2 200 2" << 4 << QSize(1654, 2339);
    }

    void pages()
    {
        QFETCH(QString, scan);
        QFETCH(int, count);
        QFETCH(QSize, size);
        QStringList seen, broken;
        const int code = run(args(scan), "SHEETS=" + scan.section(' ', 3), [&] {
            for (const QString &name : files("*.jpg")) {
                if (!seen.contains(name) && !bytes(name).endsWith("\xff\xd9")) // end of image
                    broken << name;
                if (!seen.contains(name))
                    seen << name;
            }
        });
        QCOMPARE(code, 0);
        QCOMPARE(broken, QStringList());
        QCOMPARE(seen, files());
        QCOMPARE(seen.size(), count);
        const bool colour = scan.section(' ', 1, 1) == "2";
        for (const QString &name : seen) {
            const QImage page(m_folder + "/" + name);
            QVERIFY(name.startsWith("tempImage") && name.endsWith(".jpg"));
            QCOMPARE(page.size(), size);
            QCOMPARE(page.format() == QImage::Format_Grayscale8, !colour);
            QCOMPARE(page.allGray(), !colour); // a colour page is not grey in RGB clothing
        }
    }

    // A later run's pages sort behind those the collector has not taken yet; a sheet gives the
    // same bytes on every run, while its two sides differ.
    void laterRun()
    {
        QCOMPARE(run(args("3 2 150"), "SHEETS=2"), 0);
        const QStringList first = files();
        const QByteArray front = bytes(first.value(0)), back = bytes(first.value(1));
        QVERIFY(QFile::remove(m_folder + "/" + first.value(0)));
        QCOMPARE(run(args("3 2 150"), "SHEETS=1"), 0);
        const QStringList now = files();
        QCOMPARE(now.mid(0, 3), first.mid(1));
        QVERIFY(now.size() == 5 && bytes(now[3]) == front && bytes(now[4]) == back &&
                front != back);
    }

    // 4 for a missing or invalid -s, -c, -r or -t, 1 for no address, 5 for an empty feeder, 7
    // for an unwritable folder. The ini beside the program and the environment (which wins) set
    // the sheets and force a code, returned after the pages, except 1 and 4 which write none.
    void exitCodes_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("ini");
        QTest::addColumn<QString>("env");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("count");
        for (const char *bad : {"-s", "-s 0", "-s 4", "-c", "-c 0", "-c 4", "-r", "-r 100",
                                "-r 1200", "-r 300dpi", "-r +300", "-t 5"})
            QTest::newRow(bad) << bad << false << "" << 4 << 0;
        QTest::newRow("empty -p") << "-p " << false << "" << 1 << 0;
        QTest::newRow("no -p") << "-p" << false << "" << 1 << 0;
        QTest::newRow("empty feeder") << "-t 4" << false << "SHEETS=0" << 5 << 0;
        const QString unwritable = "-f " + TestEnvironment::appDir() + "/ScanConsoleApp/x.jpg";
        QTest::newRow("unwritable") << unwritable << false << "" << 7 << 0;
        for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 42})
            QTest::addRow("forced %d", code)
                << "-t 4" << false << QString("SHEETS=2 EXIT_CODE=%1").arg(code) << code
                << (code == 1 || code == 4 ? 0 : 2);
        QTest::newRow("ini") << "-t 4" << true << "" << 6 << 2;
        QTest::newRow("env wins") << "-t 4" << true << "SHEETS=1 EXIT_CODE=0" << 0 << 1;
        QTest::newRow("not a number") << "-t 4" << true << "SHEETS=lots" << 6 << 2;
    }

    void exitCodes()
    {
        QFETCH(QString, change);
        QFETCH(bool, ini);
        QFETCH(QString, env);
        QFETCH(int, code);
        QFETCH(int, count);
        QFile file(m_ini);
        if (ini)
            QVERIFY(file.open(QIODevice::WriteOnly) &&
                    file.write("[feeder]\nsheets=2\n[result]\nexit_code=6\n") && file.flush());
        QCOMPARE(run(args("2 1 150", change), env), code);
        QCOMPARE(files("*.jpg").size(), count);
        QCOMPARE(files().size(), count); // nothing temporary left behind
    }
};

SCANCONSOLE_TEST_MAIN(TestDevice)
#include "tst_device.moc"
