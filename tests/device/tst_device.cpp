#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <tuple>

namespace {

const QString kFolder = QStringLiteral("/tmp/tempimages");
const QString kOutput = QStringLiteral("/tmp/tempimages/tempImage.jpg");

// The page files, in the order the console's collector takes them (case-insensitive names).
QStringList pages()
{
    QStringList names = QDir(kFolder).entryList({QStringLiteral("*.jpg")}, QDir::Files);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

QStringList everything()
{
    return QDir(kFolder).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
}

QByteArray bytes(const QString &name)
{
    QFile file(kFolder + "/" + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList scanArgs(const QString &source, const QString &colour, const QString &dpi)
{
    return {"-p", "127.0.0.1", "-t", "4", "-s", source, "-c", colour, "-r", dpi, "-f", kOutput};
}

} // namespace

class TestDevice : public QObject
{
    Q_OBJECT

private:
    QString program() const { return TestEnvironment::appDir() + "/ScanConsoleApp"; }
    QString iniFile() const { return TestEnvironment::appDir() + "/ScanConsoleApp.ini"; }

    QProcessEnvironment environment(const QMap<QString, QString> &env, const QString &delay = "0")
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("SCANCONSOLE_SHEETS");
        environment.remove("SCANCONSOLE_EXIT_CODE");
        environment.insert("SCANCONSOLE_PAGE_DELAY_MS", delay);
        for (auto it = env.begin(); it != env.end(); ++it)
            environment.insert(it.key(), it.value());
        return environment;
    }

    // Runs the program to its end; returns its exit code and the page names it reported.
    int runDevice(const QStringList &args, const QMap<QString, QString> &env = {},
                  QStringList *printed = nullptr)
    {
        QStringList ignored;
        printed = printed ? printed : &ignored;
        QProcess process;
        process.setProcessEnvironment(environment(env));
        process.start(program(), args);
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return -100;
        const QStringList lines =
            QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        for (const QString &line : lines)
            *printed << QFileInfo(line.section(": ", 1)).fileName();
        return process.exitCode();
    }

private slots:
    void initTestCase() { QVERIFY(QFileInfo(program()).isExecutable()); }
    void init() { cleanup(); }
    void cleanup()
    {
        QFile::remove(iniFile());
        TestEnvironment::clearTempImages();
    }

    void pageCountPerSource_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("sheets"); // -1: the default
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("count");
        QTest::newRow("flatbed, one page whatever the feeder holds") << "1" << 4 << 0 << 1;
        QTest::newRow("feeder, one page per sheet") << "2" << 4 << 0 << 4;
        QTest::newRow("duplex, two pages per sheet") << "3" << 4 << 0 << 8;
        QTest::newRow("feeder, default of 3 sheets") << "2" << -1 << 0 << 3;
        QTest::newRow("empty feeder has no images") << "2" << 0 << 5 << 0;
        QTest::newRow("flatbed ignores an empty feeder") << "1" << 0 << 0 << 1;
    }

    void pageCountPerSource()
    {
        QFETCH(QString, source);
        QFETCH(int, sheets);
        QFETCH(int, code);
        QFETCH(int, count);
        QCOMPARE(runDevice(scanArgs(source, "1", "150"),
                           {{"SCANCONSOLE_SHEETS", sheets < 0 ? "" : QString::number(sheets)}}),
                 code);
        QCOMPARE(pages().size(), count);
        QCOMPARE(everything().size(), count); // no temporary files left behind
    }

    // A4 at round(210 / 25.4 * dpi) x round(297 / 25.4 * dpi); grey or real colour; a document.
    void pageSizeAndFormat_data()
    {
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("dpi");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("format");
        const int grey = QImage::Format_Grayscale8;
        QTest::newRow("colour 150") << "2"
                                    << "150" << QSize(1240, 1754) << int(QImage::Format_RGB32);
        QTest::newRow("grey 200") << "1"
                                  << "200" << QSize(1654, 2339) << grey;
        QTest::newRow("black and white as grey 300") << "3"
                                                     << "300" << QSize(2480, 3508) << grey;
        QTest::newRow("grey 400") << "1"
                                  << "400" << QSize(3307, 4677) << grey;
        QTest::newRow("grey 600") << "1"
                                  << "600" << QSize(4961, 7016) << grey;
    }

    void pageSizeAndFormat()
    {
        QFETCH(QString, colour);
        QFETCH(QString, dpi);
        QFETCH(QSize, size);
        QFETCH(int, format);
        QCOMPARE(runDevice(scanArgs("1", colour, dpi)), 0);
        QCOMPARE(pages().size(), 1);
        QCOMPARE(QImageReader(kFolder + "/" + pages().first()).size(), size);
        const QImage page(kFolder + "/" + pages().first());
        QCOMPARE(int(page.format()), format);
        // A document (mostly light paper with dark marks); a colour page really carries colour
        // (its patches), it is not grey in RGB form.
        const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
        const QImage rgb = page.convertToFormat(QImage::Format_RGB32);
        int dark = 0, light = 0, coloured = 0, samples = 0;
        for (int y = 0; y < grey.height(); y += 2) {
            const uchar *line = grey.constScanLine(y);
            const QRgb *colours = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
            for (int x = 0; x < grey.width(); x += 2, ++samples) {
                dark += line[x] < 100;
                light += line[x] > 220;
                coloured += qAbs(qRed(colours[x]) - qBlue(colours[x])) > 80;
            }
        }
        QVERIFY(light > samples / 2);
        QVERIFY(dark > samples / 100);
        if (format == QImage::Format_RGB32)
            QVERIFY2(coloured > 4000, qPrintable(QString::number(coloured))); // 1000 at every 4th
    }

    // Names sort in page order, also after pages the collector has not yet taken; the same
    // sheet gives the same bytes on every run, its two sides differ.
    void namesFollowPageOrderAcrossRuns()
    {
        QStringList first, second;
        QCOMPARE(runDevice(scanArgs("3", "2", "150"), {{"SCANCONSOLE_SHEETS", "3"}}, &first), 0);
        QCOMPARE(first.size(), 6);
        QCOMPARE(pages(), first);
        for (const QString &name : first)
            QVERIFY2(name.startsWith("tempImage") && name.endsWith(".jpg"), qPrintable(name));

        const QByteArray front = bytes(first.at(0)), back = bytes(first.at(1));
        QFile::remove(kFolder + "/" + first.at(0));
        QCOMPARE(runDevice(scanArgs("3", "2", "150"), {{"SCANCONSOLE_SHEETS", "1"}}, &second), 0);
        QCOMPARE(pages(), first.mid(1) + second);
        const QStringList all = pages();
        QCOMPARE(QSet<QString>(all.begin(), all.end()).size(), 7);
        QCOMPARE(bytes(second.at(0)), front);
        QCOMPARE(bytes(second.at(1)), back);
        QVERIFY(front != back);
    }

    // The ini gives sheets and exit code; the environment wins; values that are not numbers are
    // ignored. A forced code comes after all pages are written, except 1 and 4: they write none.
    void settingsAndForcedExitCodes()
    {
        QFile ini(iniFile());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[feeder]\nsheets=2\npage_delay_ms=0\n[result]\nexit_code=6\n");
        ini.close();
        QList<std::tuple<QMap<QString, QString>, int, int>> runs{
            {{}, 6, 2},
            {{{"SCANCONSOLE_SHEETS", "1"}, {"SCANCONSOLE_EXIT_CODE", "0"}}, 0, 1},
            {{{"SCANCONSOLE_SHEETS", "lots"}}, 6, 2}};
        for (int code : {0, 1, 2, 3, 4, 5, 7, 8, 42})
            runs.append({{{"SCANCONSOLE_EXIT_CODE", QString::number(code)}},
                         code,
                         code == 1 || code == 4 ? 0 : 2});
        for (const auto &run : runs) {
            QCOMPARE(runDevice(scanArgs("2", "1", "150"), std::get<0>(run)), std::get<1>(run));
            QCOMPARE(pages().size(), std::get<2>(run));
            TestEnvironment::clearTempImages();
        }
    }

    // Bad command lines write nothing: parameter error 4 (checked before the address), 1 for no
    // printer address, 7 for an unwritable folder.
    void badCommandLines_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        auto without = [](const QString &option) {
            QStringList args = scanArgs("2", "1", "300");
            args.erase(args.begin() + args.indexOf(option),
                       args.begin() + args.indexOf(option) + 2);
            return args;
        };
        for (const char *option : {"-s", "-c", "-r", "-f"})
            QTest::newRow(qPrintable(QString("no ") + option)) << without(option) << 4;
        const QList<QPair<QString, QString>> bad{{"-s", "0"},      {"-s", "4"},   {"-s", "feeder"},
                                                 {"-c", "0"},      {"-c", "4"},   {"-c", ""},
                                                 {"-r", "100"},    {"-r", "250"}, {"-r", "1200"},
                                                 {"-r", "300dpi"}, {"-t", "5"}};
        for (const auto &b : bad) {
            QStringList args = scanArgs("2", "1", "300");
            args[args.indexOf(b.first) + 1] = b.second;
            QTest::newRow(qPrintable(b.first + " " + b.second)) << args << 4;
        }
        QTest::newRow("unknown option")
            << (scanArgs("2", "1", "300") + QStringList{"-x", "1"}) << 4;
        QTest::newRow("option without value") << (without("-f") + QStringList{"-f"}) << 4;
        QStringList noAddress = scanArgs("9", "1", "300");
        noAddress[1] = QString();
        QTest::newRow("bad -s beats empty -p") << noAddress << 4;
        noAddress[5] = "2";
        QTest::newRow("empty -p") << noAddress << 1;
        QTest::newRow("no -p") << QStringList(noAddress.mid(2)) << 1;
        // A folder that cannot be created (below a plain file) is a write error.
        QStringList unwritable = scanArgs("1", "1", "150");
        unwritable.last() = TestEnvironment::appDir() + "/ScanConsoleApp/sub/tempImage.jpg";
        QTest::newRow("unwritable folder") << unwritable << 7;
    }

    void badCommandLines()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QCOMPARE(runDevice(args, {{"SCANCONSOLE_EXIT_CODE", "0"}}), code);
        QCOMPARE(everything(), QStringList());
    }

    // While the program runs, every ".jpg" that can be seen is already complete: it ends with
    // its end-of-image marker and decodes at full size.
    void noHalfWrittenPageIsEverVisible()
    {
        QProcess process;
        process.setProcessEnvironment(environment({{"SCANCONSOLE_SHEETS", "4"}}, "50"));
        process.start(program(), scanArgs("3", "2", "300"));
        QVERIFY(process.waitForStarted());
        QSet<QString> checked;
        QElapsedTimer timer;
        timer.start();
        for (bool running = true; running;) {
            running = process.state() != QProcess::NotRunning;
            for (const QString &name : everything()) {
                if (!name.endsWith(".jpg") || checked.contains(name))
                    continue;
                const QByteArray data = bytes(name);
                QVERIFY2(data.endsWith("\xff\xd9"), qPrintable(name));
                QCOMPARE(QImage::fromData(data, "JPG").size(), QSize(2480, 3508));
                checked.insert(name);
            }
            QVERIFY(timer.elapsed() < 120000);
            QTest::qWait(2);
        }
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(checked.size(), 8);
        QCOMPARE(everything().size(), 8);
    }
};

SCANCONSOLE_TEST_MAIN(TestDevice)
#include "tst_device.moc"
