#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QSet>
#include <QTemporaryFile>
#include <QTest>

#include <algorithm>

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

// A JPEG is complete when it ends with its end-of-image marker and decodes.
bool completeJpeg(const QString &path, QSize *size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    if (data.size() < 4 || quint8(data.at(data.size() - 2)) != 0xff ||
        quint8(data.at(data.size() - 1)) != 0xd9)
        return false;
    const QImage image = QImage::fromData(data, "JPG");
    *size = image.size();
    return !image.isNull();
}

} // namespace

class TestDevice : public QObject
{
    Q_OBJECT

private:
    struct Result
    {
        int code = -100;
        QStringList printed; // the paths the program reported, page by page
    };

    QString program() const { return TestEnvironment::appDir() + "/ScanConsoleApp"; }
    QString iniFile() const { return TestEnvironment::appDir() + "/ScanConsoleApp.ini"; }

    // Runs the program to its end; pages come without delay unless the caller sets one.
    Result runDevice(const QStringList &args, const QMap<QString, QString> &env = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("SCANCONSOLE_SHEETS");
        environment.remove("SCANCONSOLE_EXIT_CODE");
        environment.insert("SCANCONSOLE_PAGE_DELAY_MS", "0");
        for (auto it = env.begin(); it != env.end(); ++it)
            environment.insert(it.key(), it.value());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program(), args);
        Result result;
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return result;
        result.code = process.exitCode();
        const QStringList lines =
            QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        for (const QString &line : lines)
            result.printed << QFileInfo(line.section(": ", 1)).fileName();
        return result;
    }

    static QStringList scanArgs(const QString &source, const QString &colour, const QString &dpi)
    {
        return {"-p", "127.0.0.1", "-t", "4", "-s", source, "-c", colour, "-r", dpi, "-f", kOutput};
    }

private slots:
    void initTestCase() { QVERIFY(QFileInfo(program()).isExecutable()); }

    void init()
    {
        QFile::remove(iniFile());
        TestEnvironment::clearTempImages();
    }

    void cleanup()
    {
        QFile::remove(iniFile());
        TestEnvironment::clearTempImages();
    }

    void pageCountPerSource_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("sheets");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("count");
        QTest::newRow("flatbed, one page whatever the feeder holds") << "1"
                                                                     << "4" << 0 << 1;
        QTest::newRow("feeder, one page per sheet") << "2"
                                                    << "4" << 0 << 4;
        QTest::newRow("duplex, two pages per sheet") << "3"
                                                     << "4" << 0 << 8;
        QTest::newRow("feeder, default of 3 sheets") << "2"
                                                     << "" << 0 << 3;
        QTest::newRow("empty feeder has no images") << "2"
                                                    << "0" << 5 << 0;
        QTest::newRow("flatbed ignores an empty feeder") << "1"
                                                         << "0" << 0 << 1;
    }

    void pageCountPerSource()
    {
        QFETCH(QString, source);
        QFETCH(QString, sheets);
        QFETCH(int, code);
        QFETCH(int, count);
        const Result result =
            runDevice(scanArgs(source, "1", "150"), {{"SCANCONSOLE_SHEETS", sheets}});
        QCOMPARE(result.code, code);
        QCOMPARE(pages().size(), count);
        QCOMPARE(everything().size(), count); // no temporary files left behind
    }

    void pageSizePerResolution_data()
    {
        QTest::addColumn<QString>("dpi");
        QTest::addColumn<QSize>("size");
        QTest::newRow("150") << "150" << QSize(1240, 1754);
        QTest::newRow("200") << "200" << QSize(1654, 2339);
        QTest::newRow("300") << "300" << QSize(2480, 3508);
        QTest::newRow("400") << "400" << QSize(3307, 4677);
        QTest::newRow("600") << "600" << QSize(4961, 7016);
    }

    void pageSizePerResolution()
    {
        QFETCH(QString, dpi);
        QFETCH(QSize, size);
        QCOMPARE(runDevice(scanArgs("1", "1", dpi)).code, 0);
        QCOMPARE(pages().size(), 1);
        QImageReader reader(kFolder + "/" + pages().first());
        QCOMPARE(reader.size(), size);
    }

    void greyAndColourPages_data()
    {
        QTest::addColumn<QString>("colour");
        QTest::addColumn<int>("format");
        QTest::newRow("grey") << "1" << int(QImage::Format_Grayscale8);
        QTest::newRow("colour") << "2" << int(QImage::Format_RGB32);
        QTest::newRow("black and white comes as grey") << "3" << int(QImage::Format_Grayscale8);
    }

    void greyAndColourPages()
    {
        QFETCH(QString, colour);
        QFETCH(int, format);
        QCOMPARE(runDevice(scanArgs("1", colour, "150")).code, 0);
        const QImage page(kFolder + "/" + pages().value(0));
        QCOMPARE(int(page.format()), format);
        // A colour page must really carry colour (its patches), not grey in RGB form.
        if (format == QImage::Format_RGB32) {
            int coloured = 0;
            for (int y = 0; y < page.height(); y += 4) {
                const QRgb *line = reinterpret_cast<const QRgb *>(page.constScanLine(y));
                for (int x = 0; x < page.width(); x += 4)
                    coloured += qAbs(qRed(line[x]) - qBlue(line[x])) > 80;
            }
            QVERIFY2(coloured > 1000, qPrintable(QString::number(coloured)));
        }
        // A document: mostly light paper with dark marks on it.
        const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
        int dark = 0, light = 0;
        for (int y = 0; y < grey.height(); y += 2) {
            const uchar *line = grey.constScanLine(y);
            for (int x = 0; x < grey.width(); x += 2) {
                dark += line[x] < 100;
                light += line[x] > 220;
            }
        }
        const int samples = (grey.height() / 2) * (grey.width() / 2);
        QVERIFY(light > samples / 2);
        QVERIFY(dark > samples / 100);
    }

    void namesFollowPageOrderAcrossRuns()
    {
        const QMap<QString, QString> env{{"SCANCONSOLE_SHEETS", "3"}};
        const Result first = runDevice(scanArgs("3", "1", "150"), env);
        QCOMPARE(first.code, 0);
        QCOMPARE(first.printed.size(), 6);
        QCOMPARE(pages(), first.printed);
        for (const QString &name : first.printed)
            QVERIFY2(name.startsWith("tempImage") && name.endsWith(".jpg"), qPrintable(name));

        // Pages the collector has not taken yet stay in front of the next run's pages.
        QFile::remove(kFolder + "/" + first.printed.at(0));
        const Result second = runDevice(scanArgs("2", "1", "150"), env);
        QCOMPARE(second.code, 0);
        QCOMPARE(pages(), first.printed.mid(1) + second.printed);
        const QStringList all = pages();
        QCOMPARE(QSet<QString>(all.begin(), all.end()).size(), 8);
    }

    void pagesAreDeterministic()
    {
        QCOMPARE(runDevice(scanArgs("3", "2", "150"), {{"SCANCONSOLE_SHEETS", "1"}}).code, 0);
        QCOMPARE(runDevice(scanArgs("3", "2", "150"), {{"SCANCONSOLE_SHEETS", "1"}}).code, 0);
        const QStringList names = pages();
        QCOMPARE(names.size(), 4);
        auto bytes = [](const QString &name) {
            QFile f(kFolder + "/" + name);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        QCOMPARE(bytes(names.at(0)), bytes(names.at(2))); // front, front
        QCOMPARE(bytes(names.at(1)), bytes(names.at(3))); // back, back
        QVERIFY(bytes(names.at(0)) != bytes(names.at(1)));
    }

    void forcedExitCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("count");
        for (int code : {0, 2, 3, 5, 6, 7, 8, 42})
            QTest::newRow(qPrintable(QString::number(code))) << code << 2;
        QTest::newRow("1 writes nothing") << 1 << 0;
        QTest::newRow("4 writes nothing") << 4 << 0;
    }

    void forcedExitCodes()
    {
        QFETCH(int, code);
        QFETCH(int, count);
        const Result result = runDevice(
            scanArgs("2", "1", "150"),
            {{"SCANCONSOLE_SHEETS", "2"}, {"SCANCONSOLE_EXIT_CODE", QString::number(code)}});
        QCOMPARE(result.code, code);
        QCOMPARE(pages().size(), count);
    }

    void iniSettingsAndEnvironmentOverride()
    {
        {
            QFile ini(iniFile());
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[feeder]\nsheets=2\npage_delay_ms=0\n[result]\nexit_code=6\n");
        }
        // The test's environment sets only the delay; the ini gives sheets and code.
        QCOMPARE(runDevice(scanArgs("2", "1", "150")).code, 6);
        QCOMPARE(pages().size(), 2);
        TestEnvironment::clearTempImages();

        const Result result =
            runDevice(scanArgs("2", "1", "150"),
                      {{"SCANCONSOLE_SHEETS", "1"}, {"SCANCONSOLE_EXIT_CODE", "0"}});
        QCOMPARE(result.code, 0);
        QCOMPARE(pages().size(), 1);
        TestEnvironment::clearTempImages();

        // Values that are not numbers are ignored: the ini's values stay.
        QCOMPARE(runDevice(scanArgs("2", "1", "150"), {{"SCANCONSOLE_SHEETS", "lots"}}).code, 6);
        QCOMPARE(pages().size(), 2);
    }

    void parameterErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        auto without = [](const QString &option) {
            QStringList args = scanArgs("2", "1", "300");
            const int i = args.indexOf(option);
            args.removeAt(i);
            args.removeAt(i);
            return args;
        };
        QTest::newRow("no -s") << without("-s");
        QTest::newRow("no -c") << without("-c");
        QTest::newRow("no -r") << without("-r");
        QTest::newRow("no -f") << without("-f");
        QTest::newRow("-s 0") << scanArgs("0", "1", "300");
        QTest::newRow("-s 4") << scanArgs("4", "1", "300");
        QTest::newRow("-s text") << scanArgs("feeder", "1", "300");
        QTest::newRow("-c 0") << scanArgs("2", "0", "300");
        QTest::newRow("-c 4") << scanArgs("2", "4", "300");
        QTest::newRow("-c empty") << scanArgs("2", "", "300");
        QTest::newRow("-r 100") << scanArgs("2", "1", "100");
        QTest::newRow("-r 250") << scanArgs("2", "1", "250");
        QTest::newRow("-r 1200") << scanArgs("2", "1", "1200");
        QTest::newRow("-r text") << scanArgs("2", "1", "300dpi");
        QTest::newRow("-t 5") << (QStringList{"-t", "5"} + without("-t"));
        QTest::newRow("unknown option") << (scanArgs("2", "1", "300") + QStringList{"-x", "1"});
        QTest::newRow("option without value") << (without("-f") + QStringList{"-f"});
        QTest::newRow("bad -s beats empty -p")
            << QStringList{"-p", "", "-t", "4", "-s", "9", "-c", "1", "-r", "300", "-f", kOutput};
    }

    void parameterErrors()
    {
        QFETCH(QStringList, args);
        QCOMPARE(runDevice(args, {{"SCANCONSOLE_EXIT_CODE", "0"}}).code, 4);
        QCOMPARE(everything(), QStringList());
    }

    void unreachablePrinter_data()
    {
        QTest::addColumn<QStringList>("args");
        QStringList empty = scanArgs("2", "2", "300");
        empty[1] = QString();
        QTest::newRow("empty -p") << empty;
        QTest::newRow("no -p") << QStringList(scanArgs("2", "2", "300").mid(2));
    }

    void unreachablePrinter()
    {
        QFETCH(QStringList, args);
        QCOMPARE(runDevice(args).code, 1);
        QCOMPARE(everything(), QStringList());
    }

    void unwritableFolderIsAWriteError()
    {
        QTemporaryFile blocker;
        QVERIFY(blocker.open());
        QStringList args = scanArgs("1", "1", "150");
        args.last() = blocker.fileName() + "/sub/tempImage.jpg";
        QCOMPARE(runDevice(args).code, 7);
    }

    // While the program runs, every ".jpg" that can be seen is already complete.
    void noHalfWrittenPageIsEverVisible()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("SCANCONSOLE_PAGE_DELAY_MS", "50");
        environment.insert("SCANCONSOLE_SHEETS", "4");
        environment.remove("SCANCONSOLE_EXIT_CODE");
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program(), scanArgs("3", "2", "300"));
        QVERIFY(process.waitForStarted());

        QSet<QString> checked;
        bool sawTemporary = false;
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            const bool running = process.state() != QProcess::NotRunning;
            const QStringList names = everything();
            for (const QString &name : names) {
                if (!name.endsWith(".jpg")) {
                    sawTemporary = true;
                    continue;
                }
                if (checked.contains(name))
                    continue;
                QSize size;
                QVERIFY2(completeJpeg(kFolder + "/" + name, &size), qPrintable(name));
                QCOMPARE(size, QSize(2480, 3508));
                checked.insert(name);
            }
            if (!running)
                break;
            QVERIFY(timer.elapsed() < 120000);
            QTest::qWait(2);
        }
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(checked.size(), 8);
        QCOMPARE(everything().size(), 8);
        // Not a requirement, but shows the poll really ran while pages were being written.
        if (!sawTemporary)
            qWarning("no temporary page file was seen while polling");
    }
};

SCANCONSOLE_TEST_MAIN(TestDevice)
#include "tst_device.moc"
