#include "app/Console.h"
#include "app/ConsoleInstance.h"
#include "app/MainWindow.h"
#include "pages/ImageManager.h"
#include "pages/PageStoreFolder.h"
#include "settings/ParamSetting.h"
#include "settings/SaveFormat.h"
#include "tests/support/EsclScannerProcess.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/PdfFiles.h"
#include "tests/support/ScannedPages.h"
#include "tests/support/TestEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(QString(line).replace('\n', "\\n")));
    std::fflush(stdout);
}

// Child: the console as main builds it, driven through its window. Arguments: document name,
// format, colour (1 grey, 2 colour), source (0 flatbed, 1 feeder), destination, a folder for
// the restored pages, and what to do: "scan" (press 扫描 once the window is up), "idle", or
// "hold" (leave the first prompt open). It says on standard output what it saw: "box <text>"
// for each prompt, "restored <name>" for each page recovery gave back, in order (a quarter-size
// picture of page k goes to the folder as "k.png"), "ready", "scanning", "idle" (the scan is
// over), "raised".
int console(QApplication &app, const QStringList &a)
{
    ModalAnswerer answerer;
    if (a.value(8) == "hold")
        answerer.expect(
            [](QWidget *w) { say("prompt " + qobject_cast<QMessageBox *>(w)->text()); });
    for (int i = 0; i < 20; ++i)
        answerer.expect([](QWidget *w) {
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                say("box " + box->text());
                (box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)
                                               : box->button(QMessageBox::Ok))
                    ->click();
            }
        });
    QTimer idle;
    return Console::run(app, [&](MainWindow &window, ConsoleInstance &instance) {
        QObject::connect(&instance, &ConsoleInstance::RaiseRequested, [] { say("raised"); });
        ImageManager *store = ImageManager::Instance();
        for (int i = 0; i < store->count(); ++i) {
            const QImage page = store->imageAt(i);
            page.scaled(page.size() / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .save(QString("%1/%2.png").arg(a.value(7)).arg(i));
            say("restored " + store->at(i)->name);
        }
        ParamSetting &p = ParamSetting::instance;
        p.name = a.value(2);
        p.save_type = a.value(3).toInt();
        p.image_type = a.value(4).toInt();
        p.source_type = a.value(5).toInt();
        p.save_path = a.value(6);
        p.resolution = 0; // asked for as 200 dpi
        p.progress = true;
        window.InitParameter();
        say("ready");
        if (a.value(8) != "scan")
            return;
        QTest::mouseClick(window.findChild<QPushButton *>("btn_scan"), Qt::LeftButton);
        say("scanning");
        QObject::connect(&idle, &QTimer::timeout, [&] {
            if (!window.isRunActive() && window.recognisingRuns() == 0) {
                idle.stop();
                say("idle");
            }
        });
        idle.start(50);
    });
}

// A page's look at an eighth of its size, in grey: enough to tell the simulated pages apart.
QImage signature(const QImage &page)
{
    return page.convertToFormat(QImage::Format_Grayscale8)
        .scaled(206, 292, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

// The console as a process of its own: killed with SIGKILL at random moments of a feeder batch
// and started again, it loses no page, offers none twice and mixes none into another document;
// SIGTERM, SIGINT and SIGHUP take its own quit road, also from an open prompt; a second start
// by the same user brings the first console forward, another user's runs beside it.
class TestConsoleProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    const int m_sheets = 5;
    QList<QImage> m_expected[2]; // page n's signature, grey and colour

    struct Child
    {
        QProcess process;
        QStringList lines;
        void read()
        {
            while (process.canReadLine())
                lines << QString::fromUtf8(process.readLine()).trimmed();
        }
        bool waitFor(const QString &prefix, int ms = 30000)
        {
            QElapsedTimer clock;
            clock.start();
            for (;;) {
                read();
                for (const QString &line : lines)
                    if (line.startsWith(prefix))
                        return true;
                if (clock.elapsed() > ms || process.state() == QProcess::NotRunning)
                    return false;
                process.waitForReadyRead(50);
            }
        }
        QStringList with(const QString &prefix)
        {
            read();
            QStringList found;
            for (const QString &line : lines)
                if (line.startsWith(prefix + ' '))
                    found << line.mid(prefix.size() + 1);
            return found;
        }
        bool end(int signal, int *code = nullptr)
        {
            ::kill(pid_t(process.processId()), signal);
            const bool ended = process.waitForFinished(60000);
            lines << QString::fromUtf8(process.readAllStandardOutput()).split('\n');
            if (code)
                *code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
            return ended;
        }
    };
    std::unique_ptr<Child> start(const QStringList &arguments, const QString &cache = QString())
    {
        auto child = std::make_unique<Child>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!cache.isEmpty())
            env.insert("XDG_CACHE_HOME", cache);
        child->process.setProcessEnvironment(env);
        child->process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->process.start(QCoreApplication::applicationFilePath(),
                             QStringList{"--console"} + arguments);
        return child;
    }
    QString folder(const QString &name) const
    {
        QDir().mkpath(m_work.filePath(name));
        return m_work.filePath(name);
    }
    // The simulated page a scanned one is (1..m_sheets), 0 when it is none of them.
    int identify(const QImage &page, bool colour) const
    {
        // A page scanned (and shrunk) differs from its original by under two grey levels on
        // average here, from any other page by four and more.
        const QImage look = signature(page);
        for (int n = 1; n <= m_sheets; ++n) {
            const QImage &original = m_expected[colour].at(n - 1);
            double sum = 0;
            for (int y = 0; y < look.height(); ++y)
                for (int x = 0; x < look.width(); ++x)
                    sum += std::abs(int(look.constScanLine(y)[x]) - original.constScanLine(y)[x]);
            if (sum < 3.0 * look.width() * look.height())
                return n;
        }
        return 0;
    }
    // The pages of the documents in `folder`, in document order, each identified.
    QList<int> savedPages(const QString &folder, bool colour, QStringList *names)
    {
        QList<int> pages;
        for (const QString &file : QDir(folder).entryList(QDir::Files, QDir::Name)) {
            *names << file;
            if (file.endsWith(".pdf")) {
                for (const PdfFiles::Page &page : PdfFiles::pages(QDir(folder).filePath(file)))
                    pages << identify(QImage::fromData(page.data), colour);
            } else {
                pages << identify(QImage(QDir(folder).filePath(file)), colour);
            }
        }
        return pages;
    }
    static QStringList leftInPageFolder()
    {
        return QDir("/tmp/tempimages")
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // The pages the scanner delivered (their bodies went out whole): job and page number.
    static QList<QPair<QString, int>> delivered(const EsclScannerProcess &scanner)
    {
        QList<QPair<QString, int>> pages;
        for (const QString &line : scanner.record("sent"))
            pages.append({line.section(' ', 1, 1), line.section(' ', 2, 2).toInt()});
        return pages;
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::clearTempImages();
        for (int colour = 0; colour < 2; ++colour)
            for (int n = 1; n <= m_sheets; ++n)
                m_expected[colour] << signature(ScannedPages::expected(n, 200, colour, false));
    }
    void cleanupTestCase() { TestEnvironment::clearTempImages(); }

    void killedConsolesLoseNoPage()
    {
        // A feeder batch, killed at a random moment of it, in turn into JPG, merged PDF and
        // searchable PDF, grey and colour; each start accepts what the last one left. The last
        // start scans one page from the flatbed and is ended by SIGTERM.
        EsclScannerProcess scanner(QString("SHEETS=%1 PAGE_DELAY_MS=60").arg(m_sheets));
        QVERIFY(scanner.isListening());
        qputenv("SCANCONSOLE_DEVICE_URL", scanner.urlTemplate().toUtf8());
        const quint32 seed = qEnvironmentVariableIsSet("KILL_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("KILL_SEED"))
                                 : QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        // Six starts take each format grey and colour once; KILL_COUNT=<n> soaks longer.
        const int kills = qEnvironmentVariableIsSet("KILL_COUNT")
                              ? qEnvironmentVariableIntValue("KILL_COUNT")
                              : 6;
        const int formats[] = {SaveFormat::Jpg, SaveFormat::MergedPdf, SaveFormat::SearchablePdf};
        const auto doc = [](int i) { return QString("Run%1_").arg(i); };
        QList<int> jobsBefore;       // the scanner's jobs before start i scanned
        QList<QStringList> restored; // what start i restored
        QStringList prompts;         // what start i asked
        for (int i = 0; i <= kills; ++i) {
            const bool last = i == kills;
            std::unique_ptr<Child> child =
                start({doc(i), QString::number(last ? SaveFormat::Jpg : formats[i % 3]),
                       QString::number(1 + i % 2), last ? "0" : "1", folder("saved/" + doc(i)),
                       folder("restored/" + doc(i)), "scan"});
            QVERIFY2(child->waitFor("ready"), qPrintable(doc(i)));
            jobsBefore << scanner.record("job").size();
            restored << child->with("restored");
            prompts << child->with("box").value(0);
            QVERIFY(child->waitFor("scanning"));
            if (last) {
                QVERIFY(child->waitFor("idle", 60000));
                int code = -1;
                QVERIFY(child->end(SIGTERM, &code));
                QCOMPARE(code, 0);
                break;
            }
            QTest::qWait(int(random.bounded(4000)));
            QVERIFY(child->end(SIGKILL));
        }
        jobsBefore << scanner.record("job").size();

        // Every page the scanner delivered is in a document of its run or came back, once; no
        // document and no restored page holds another run's page.
        const QList<QPair<QString, int>> pages = delivered(scanner);
        const QStringList jobs = scanner.record("job");
        int sentAll = 0, savedAll = 0, backAll = 0, lost = 0, twice = 0, mixed = 0;
        for (int i = 0; i < kills; ++i) {
            const bool colour = i % 2;
            QList<int> sent;
            for (int j = jobsBefore[i]; j < jobsBefore[i + 1]; ++j)
                for (const auto &page : pages)
                    if (jobs.at(j).section(' ', 1, 1) == page.first)
                        sent << page.second;
            QStringList files;
            const QList<int> saved = savedPages(m_work.filePath("saved/" + doc(i)), colour, &files);
            const QDir dumps(m_work.filePath("restored/" + doc(i + 1)));
            QList<int> back;
            for (int k = 0; k < restored[i + 1].size(); ++k)
                back << (restored[i + 1][k].startsWith(doc(i))
                             ? identify(QImage(dumps.filePath(QString("%1.png").arg(k))), colour)
                             : -1);
            // Each page keeps a name of its own: it is the stem of its files.
            QStringList names = restored[i + 1];
            twice += names.removeDuplicates();
            for (const QString &file : files)
                mixed += !file.startsWith(doc(i));
            for (int n : saved + back)
                mixed += !sent.contains(n);
            for (int n = 1; n <= m_sheets; ++n) {
                twice += std::max(0, int(saved.count(n)) - 1) + std::max(0, int(back.count(n)) - 1);
                lost += sent.contains(n) && !saved.contains(n) && !back.contains(n);
            }
            // The question counts what comes back and never calls a page saved that is not.
            const QRegularExpressionMatch asked =
                QRegularExpression("共 (\\d+) 页，其中 (\\d+) 页尚未保存").match(prompts[i + 1]);
            const int unsaved = int(
                std::count_if(back.begin(), back.end(), [&](int n) { return !saved.contains(n); }));
            QVERIFY2(back.isEmpty() || (asked.captured(1).toInt() == back.size() &&
                                        asked.captured(2).toInt() >= unsaved),
                     qPrintable(prompts[i + 1]));
            sentAll += sent.size();
            savedAll += saved.size();
            backAll += back.size();
        }
        // The scan after the last kill: its document holds its one page only.
        QStringList files;
        QCOMPARE(savedPages(m_work.filePath("saved/" + doc(kills)), false, &files), QList<int>{1});
        qInfo("seed %u: kills %d, pages delivered %d, saved %d, restored %d, lost %d, "
              "duplicated %d, mixed %d",
              seed, kills, sentAll, savedAll, backAll, lost, twice, mixed);
        QCOMPARE(lost, 0);
        QCOMPARE(twice, 0);
        QCOMPARE(mixed, 0);
        // The last start ended on its own road: nothing of any run is left behind.
        QCOMPARE(PageStoreFolder::folders(), QStringList());
        QCOMPARE(leftInPageFolder(), QStringList());
        qunsetenv("SCANCONSOLE_DEVICE_URL");
    }

    void signalsTakeTheQuitRoad_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("atPrompt"); // sent while the recovery question is open
        QTest::newRow("SIGTERM during a scan") << int(SIGTERM) << false;
        QTest::newRow("SIGTERM at the recovery question") << int(SIGTERM) << true;
    }
    void signalsTakeTheQuitRoad()
    {
        // During a scan: cancelled, its pages saved and recorded, the store and the run folder
        // removed, the job deleted on the scanner, exit code 0. At the question: the console
        // ends, and the pages wait for the next start. (SIGINT and SIGHUP take the same road:
        // oneConsolePerUser ends its consoles with them.)
        QFETCH(int, signal);
        QFETCH(bool, atPrompt);
        EsclScannerProcess scanner("SHEETS=6 PAGE_DELAY_MS=200");
        QVERIFY(scanner.isListening());
        qputenv("SCANCONSOLE_DEVICE_URL", scanner.urlTemplate().toUtf8());
        const QString saved = folder(QString("quit/%1-%2").arg(signal).arg(atPrompt));
        const QStringList scan{"Quit", "0", "2", "1", saved, folder("quit/restored"), "scan"};
        std::unique_ptr<Child> child = start(scan);
        QVERIFY(child->waitFor("scanning"));
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(saved).isEmpty(), 30000);
        int code = -1;
        if (atPrompt) {
            QVERIFY(child->end(SIGKILL));
            child = start(QStringList(scan.mid(0, 6)) << "hold");
            QVERIFY(child->waitFor("prompt"));
        }
        QVERIFY(child->end(signal, &code));
        QCOMPARE(code, 0);
        QFile log("./logFiles/logs.txt");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> records = log.readAll().trimmed().split('\n');
        if (!atPrompt) {
            QVERIFY(records.last().endsWith(" Cancel"));
            const int pages = QDir(saved).entryList(QDir::Files).size();
            QVERIFY2(pages >= 1 && pages < 6, qPrintable(QString::number(pages)));
            QTRY_VERIFY(!scanner.record("delete").isEmpty());
            QCOMPARE(PageStoreFolder::folders(), QStringList());
            QCOMPARE(leftInPageFolder(), QStringList());
            return;
        }
        QCOMPARE(PageStoreFolder::folders().size(), 1); // still there
        child = start(QStringList(scan.mid(0, 6)) << "idle");
        QVERIFY(child->waitFor("ready"));
        QVERIFY(QRegularExpression("^发现上次未正常结束的扫描：共 [1-6] 页，其中 [0-6] 页尚未保存")
                    .match(child->with("box").value(0))
                    .hasMatch());
        QVERIFY(child->end(SIGTERM, &code));
        QCOMPARE(code, 0);
        QCOMPARE(PageStoreFolder::folders(), QStringList());
        QCOMPARE(leftInPageFolder(), QStringList());
    }

    void oneConsolePerUser()
    {
        // A second start by the same user brings the first console forward and ends. Another
        // user (another cache folder; here one too deep for a socket beside it) runs a console
        // of their own beside it, which their second start brings forward.
        const QString other = m_work.filePath(QString(100, 'u') + "/cache");
        const QStringList idle{"One", "0", "2", "0", folder("one"), folder("one/restored"), "idle"};
        std::unique_ptr<Child> first = start(idle), third = start(idle, other);
        QVERIFY(first->waitFor("ready") && third->waitFor("ready"));
        for (const QString &cache : {QString(), other}) {
            std::unique_ptr<Child> second = start(idle, cache);
            QVERIFY(second->process.waitForFinished(30000));
            QCOMPARE(second->process.exitCode(), 0);
            QVERIFY(!second->waitFor("ready", 0));
            QVERIFY((cache.isEmpty() ? first : third)->waitFor("raised"));
        }
        int code = -1;
        QVERIFY(first->end(SIGINT, &code) && code == 0);
        QVERIFY(third->end(SIGHUP, &code) && code == 0);
        QVERIFY(first->lines.count("raised") == 1 && third->lines.count("raised") == 1);
    }
};

int main(int argc, char *argv[])
{
    // The test's own /tmp, as SCANCONSOLE_TEST_MAIN gives it (its consoles inherit it): without it
    // the page folder is the machine's, which other test programs empty and fill meanwhile.
    if (argc < 2 || std::strcmp(argv[1], "--console") != 0)
        TestEnvironment::isolateTmp();
    QApplication app(argc, argv);
    if (app.arguments().value(1) == "--console")
        return console(app, app.arguments());
    TestEnvironment::prepare(app);
    TestConsoleProcess tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_consoleprocess.moc"
