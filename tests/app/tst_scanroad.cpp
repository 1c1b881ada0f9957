#include "app/ElidedLabel.h"
#include "app/MainWindow.h"
#include "app/ScanTargetCheck.h"
#include "imaging/Deskew.h"
#include "log/LogRecord.h"
#include "log/LogWindow.h"
#include "pages/ImageManager.h"
#include "pages/PageStoreFolder.h"
#include "preview/PreviewWindow.h"
#include "settings/ParamSetting.h"
#include "settings/SaveFormat.h"
#include "tests/support/DocumentPages.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/PdfFiles.h"
#include "tests/support/RecordFixtures.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestRows.h"
#include "tests/support/TextPages.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The whole scan road from the main window, with the stand-in scan program in the test's
// application directory: pages in the store, the preview and the destination folder, result
// messages, the work log and the printer status; cancel, the page count, the checks before a
// scan, and Quit. (Each correction keeps the page's resolution: the image algorithms' test; each
// writer states it: the collector's; a scanned file at its resolution: the scanner road.)
class TestScanRoad : public QObject
{
    Q_OBJECT

    ParamSetting &p = ParamSetting::instance;
    MainWindow *w = nullptr;
    QTemporaryDir *dest = nullptr;
    QTemporaryDir m_pageFiles;
    // Every command a run locks, which must be back exactly as before when it has ended.
    const QStringList m_commands{"btn_scan",         "btn_viewer",           "btn_resetParam",
                                 "btn_saveParam",    "action_scan",          "action_preview",
                                 "action_saveparam", "action_importparam",   "action_customSetting",
                                 "action_IPSetting", "action_base",          "action_major",
                                 "action_custom",    "action_chooseScanner", "btn_scanner"};

    template <typename T> T *find(const char *name) { return findChildOrDie<T>(w, name); }
    void click(const char *button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    static QStringList filesIn(const QString &folder)
    {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }
    // What a run left in the page folder: nothing, not even its own folder.
    static QStringList leftInPageFolder()
    {
        return QDir("/tmp/tempimages")
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    static QStringList logLines()
    {
        QFile f("./logFiles/logs.txt");
        return f.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
    static LogRecord lastRecord()
    {
        return LogRecord::parse(logLines().value(-1 + logLines().size()).toUtf8());
    }
    int thumbnails()
    {
        return w->previewWindow()->findChild<QListWidget *>("ImageListWidget")->count();
    }
    QString runResult() { return find<QLabel>("label_runResult")->text(); }
    QString firstFile(int format)
    {
        return dest->filePath(ImageManager::Instance()->at(0)->name + SaveFormat::suffix(format));
    }
    // Sets the panel through the record, as a loaded parameter file would (200 dpi unless said).
    void configure(int source, int saveType, bool hideProgress = true, int resolution = 1)
    {
        p.source_type = source;
        p.save_type = saveType;
        p.image_type = 2;
        p.resolution = resolution;
        p.save_path = dest->path();
        p.progress = hideProgress;
        w->InitParameter();
    }
    bool waitIdle(int ms = 60000)
    {
        return QTest::qWaitFor([&] { return !w->isRunActive(); }, ms);
    }
    // Until the text recognition of every searchable PDF has ended, too.
    bool waitRecognised(int ms = 120000)
    {
        return QTest::qWaitFor([&] { return !w->isRunActive() && w->recognisingRuns() == 0; }, ms);
    }
    static QString scanProgram() { return TestEnvironment::appDir() + "/ScanConsoleApp"; }
    // The stand-in scans these pages (at the requested resolution) instead of drawn ones.
    void scanPages(const QList<QImage> &pages)
    {
        QDir(m_pageFiles.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_pageFiles.path()));
        for (int i = 0; i < pages.size(); ++i)
            QVERIFY(pages.at(i).save(m_pageFiles.filePath(QString("page-%1.jpg").arg(i)), "JPG"));
        qputenv("SCANCONSOLE_PAGE_FILES", QFile::encodeName(m_pageFiles.path()));
    }
    // The stand-in scans `sheets` sheets from the feeder; with `holdAfter` it holds once that
    // many pages are written (the scan under way) until release() or a stop.
    void feeder(int sheets, int holdAfter = -1)
    {
        qputenv("SCANCONSOLE_SHEETS", QByteArray::number(sheets));
        qputenv("SCANCONSOLE_PAGE_DELAY_MS", "0");
        if (holdAfter < 0)
            qunsetenv("SCANCONSOLE_HOLD_AFTER");
        else
            qputenv("SCANCONSOLE_HOLD_AFTER", QByteArray::number(holdAfter));
        qputenv("SCANCONSOLE_RELEASE", QFile::encodeName(m_pageFiles.filePath("release")));
        QFile::remove(m_pageFiles.filePath("release"));
    }
    void release() { QFile(m_pageFiles.filePath("release")).open(QIODevice::WriteOnly); }
    // The names of those commands (buttons or actions) that are enabled.
    QStringList enabled(const QStringList &names)
    {
        QStringList on;
        for (const QString &name : names)
            if (w->findChild<QObject *>(name)->property("enabled").toBool())
                on << name;
        return on;
    }
private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(scanProgram()), "the stand-in scan program is missing");
        QDir("./logFiles").removeRecursively();
    }

    void init()
    {
        TestEnvironment::clearTempImages();
        TestEnvironment::resetConfig();
        TestEnvironment::resetRecord();
        qunsetenv("SCANCONSOLE_PAGE_FILES");
        feeder(3);
        dest = new QTemporaryDir;
        w = new MainWindow();
        w->show();
    }

    void cleanup()
    {
        waitRecognised();
        if (QFile::exists(scanProgram() + ".parked")) {
            QFile::remove(scanProgram());
            QFile::rename(scanProgram() + ".parked", scanProgram());
        }
        delete w;
        w = nullptr;
        delete dest;
        dest = nullptr;
        ImageManager::Instance()->ClearImages();
        TestEnvironment::clearTempImages();
    }

    // How a run ends, from the scan program's side and the destination's: the pages in the store,
    // the preview and the folder; one record whose path is a file really written, or nothing;
    // the status line and the warnings (none when all went well); the commands back, and
    // nothing left in the page folder.
    void runEnds_data()
    {
        // setup | pages | files | status | result (%1: the folder) | warning
        // (%1: the folder). "folder gone": the folder could be made when checked; a file takes
        // its place during the scan. (Jams: the scanner road's; other formats: their writers'.)
        TestRows::add({"feeder to JPG | | 3 | 3 | Success | 已保存 3 页到 %1 |",
                       "no scan program | missing | 0 | 0 | Fail | | 无法启动扫描程序",
                       "folder gone | unwritable | 3 | 0 | Fail | 已保存 0 页到 %1/sub | "
                       "3 页未能保存到 %1/sub"});
    }
    void runEnds()
    {
        QFETCH(QStringList, fields);
        const QString setup = fields[0];
        QString warning = fields[5];
        const int pages = fields[1].toInt(), files = fields[2].toInt();
        configure(1, 0);
        if (setup == "unwritable") {
            p.save_path = dest->filePath("sub");
            w->InitParameter();
        }
        if (setup == "missing")
            QVERIFY(QFile::rename(scanProgram(), scanProgram() + ".parked"));
        const int records = logLines().size();
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        click("btn_scan");
        if (setup == "unwritable")
            QVERIFY(QFile(dest->filePath("sub")).open(QIODevice::WriteOnly));
        QVERIFY(waitIdle());
        QCOMPARE(ImageManager::Instance()->count(), pages);
        QCOMPARE(thumbnails(), pages);
        QCOMPARE(filesIn(dest->path()).size(), files + (setup == "unwritable")); // and the file
        const QString first = files ? firstFile(0) : QString();
        QCOMPARE(logLines().size(), records + 1);
        QCOMPARE(lastRecord().status, fields[3]);
        QCOMPARE(lastRecord().path, first);
        QCOMPARE(runResult(), QString(fields[4]).replace("%1", dest->path()));
        QCOMPARE(answerer.seen.value(0).title + answerer.seen.value(0).text,
                 warning.isEmpty() ? QString() : "警告" + warning.replace("%1", dest->path()));
        QCOMPARE(enabled(m_commands), m_commands);
        QCOMPARE(leftInPageFolder(), QStringList());
        QVERIFY(w->previewWindow()->isVisible() || !pages);
        QCOMPARE(w->logWindow()->findChild<QTableWidget *>("tableWidget")->rowCount(),
                 logLines().size());
    }

    // A scan after a preview asks before it drops the preview's pages, none of them saved: No
    // keeps them and starts nothing; Yes scans. (A scan after a scan, whose pages are saved,
    // asks nothing: the cancel's next scan would otherwise not start.)
    void unsavedPreviewIsAskedFor()
    {
        configure(1, 0);
        click("btn_viewer");
        QVERIFY(waitIdle());
        const QString first = ImageManager::Instance()->at(0)->name;
        ModalAnswerer answerer;
        for (QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
            answerer.expectMessageBox(answer);
            click("btn_scan");
            QVERIFY(answerer.waitSeen(answer == QMessageBox::No ? 1 : 2) && waitIdle());
            QCOMPARE(answerer.seen.last().text, QString("预览中有 3 页尚未保存，是否丢弃？"));
            QCOMPARE(ImageManager::Instance()->at(0)->name == first, answer == QMessageBox::No);
            QCOMPARE(filesIn(dest->path()).size(), answer == QMessageBox::No ? 0 : 3);
        }
    }

    void feederGuard()
    {
        // Coated paper from the feeder is refused (the record keeps what the panel showed); the
        // same paper from the flatbed scans.
        configure(2, 0);
        find<QComboBox>("combox_material")->setCurrentIndex(1); // 铜板
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        click("btn_scan");
        QVERIFY(answerer.waitSeen(1) && !w->isRunActive() && p.paper_material == 1);
        QCOMPARE(answerer.seen.at(0).text,
                 QString("进稿器只能扫描普通白纸，其他类型纸张请使用平台扫描"));
        find<QComboBox>("combox_source")->setCurrentIndex(0);
        click("btn_scan");
        QVERIFY(w->isRunActive() && waitIdle());
    }

    void cancelInTheMiddleOfAFeederBatch_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how :
             {"button", "close button", "Escape", "menu, no dialog", "menu, before the first page"})
            QTest::newRow(how) << QString(how);
    }
    void cancelInTheMiddleOfAFeederBatch()
    {
        // A feeder batch counts the pages scanned so far, one by one as they arrive, in the
        // dialog and in the status bar (all there is when the dialog is hidden); the bar is busy,
        // since nobody knows how many sheets the feeder holds, and Cancel is offered. The pages
        // scanned before the cancel are stored, shown and saved; the run ends quietly as
        // cancelled, the commands come back, and the next scan works. Cancelled before its
        // first page, a run leaves nothing, not even the folder it would have made.
        QFETCH(QString, how);
        const bool before = how.endsWith("first page");
        configure(1, 0, how.startsWith("menu"));
        if (before) {
            p.save_path = dest->filePath("new/folder");
            w->InitParameter();
        }
        feeder(8, before ? 0 : 2);
        const int records = logLines().size();
        ImageManager *store = ImageManager::Instance();
        QStringList messages;
        connect(w->statusBar(), &QStatusBar::messageChanged, this, [&](const QString &m) {
            if (m.contains("已扫描"))
                messages << QString(m).remove("正在取消... "); // a page after the cancel
        });
        ModalAnswerer answerer; // the progress dialog is modal too
        for (int i = 0; i < 3; ++i)
            answerer.expectMessageBox();
        click("btn_scan");
        auto *cancelAction = find<QAction>("action_cancelScan");
        QVERIFY(cancelAction->isEnabled());
        auto *dialog = w->findChild<QProgressDialog *>("progressDialog");
        QCOMPARE(dialog != nullptr, !how.startsWith("menu"));
        if (dialog) {
            auto *cancel = dialog->findChild<QPushButton *>("btn_cancelScan");
            QVERIFY(dialog->isVisible() && dialog->maximum() == 0 && cancel->isVisible());
            QCOMPARE(dialog->windowTitle() + "|" + dialog->labelText() + "|" + cancel->text(),
                     QString("请等待|扫描中...\n已扫描 0 页|取消"));
            if (!before)
                QTRY_COMPARE_WITH_TIMEOUT(dialog->labelText(), QString("扫描中...\n已扫描 2 页"),
                                          30000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(store->count(), before ? 0 : 2, 30000);
        if (how == "button")
            QTest::mouseClick(dialog->findChild<QPushButton *>("btn_cancelScan"), Qt::LeftButton);
        else if (how == "close button")
            dialog->close();
        else if (how == "Escape") // where the keyboard is, with the preview window shown
            QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key_Escape);
        else
            cancelAction->trigger();
        QVERIFY(!cancelAction->isEnabled());
        // The dialog stays until the run has ended.
        QVERIFY(!dialog || (dialog->isVisible() && dialog->labelText().startsWith("正在取消...")));
        QVERIFY(waitIdle());

        const int pages = before ? 0 : 2;
        QVERIFY(store->count() == pages && thumbnails() == pages);
        QCOMPARE(messages, QStringList({"已扫描 1 页", "已扫描 2 页"}).mid(0, pages));
        QCOMPARE(QDir(dest->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(),
                 pages); // no folder made when nothing came
        QCOMPARE(logLines().size(), records + 1);
        QCOMPARE(lastRecord().status, QString("Cancel"));
        QCOMPARE(lastRecord().path, before ? QString() : firstFile(0));
        QVERIFY(before || QFile::exists(firstFile(0)));
        QCOMPARE(runResult(), QString("扫描已取消，已保存 %1 页").arg(pages));
        QCOMPARE(answerer.seen.size(), dialog ? 1 : 0); // no message box
        QCOMPARE(enabled(m_commands), m_commands);
        QVERIFY(!cancelAction->isEnabled() && !w->findChild<QProgressDialog *>("progressDialog"));
        QVERIFY(w->statusBar()->currentMessage().isEmpty());
        QCOMPARE(leftInPageFolder(), QStringList());
        if (before)
            return;
        feeder(2);
        click("btn_scan");
        QVERIFY(waitIdle());
        QCOMPARE(store->count(), 2);
        QCOMPARE(lastRecord().status, QString("Success"));
    }

    void quitAndClose_data()
    {
        QTest::addColumn<bool>("scanning");
        QTest::newRow("quit, idle") << false;
        QTest::newRow("close button during a scan") << true;
    }
    void quitAndClose()
    {
        // "退出" with the preview and log windows open closes all three and ends the event loop.
        // The window's close button during a scan keeps the window until the scan is cancelled
        // and its pages are saved and recorded. (Quit during a scan: the console process test's
        // SIGTERM.)
        QFETCH(bool, scanning);
        configure(1, 0);
        w->logWindow()->show();
        w->previewWindow()->show();
        if (!scanning) {
            QTimer::singleShot(0, find<QAction>("action_quit"), &QAction::trigger);
            QTimer guard; // a loop that does not end fails the case instead of hanging
            connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
            guard.start(60000);
            QCOMPARE(QApplication::exec(), 0);
            QVERIFY(!w->isVisible() && !w->previewWindow()->isVisible() &&
                    !w->logWindow()->isVisible());
            return;
        }
        feeder(8, 1);
        click("btn_scan");
        QTRY_COMPARE_WITH_TIMEOUT(ImageManager::Instance()->count(), 1, 30000);
        QVERIFY(!w->close() && w->isVisible());
        QVERIFY(waitIdle());
        QTRY_VERIFY(!w->isVisible());
        QCOMPARE(filesIn(dest->path()).size(), 1);
        QCOMPARE(lastRecord().status, QString("Cancel"));
    }

    void fullPageCacheIsToldAtOnce()
    {
        // The store's folder cannot keep pages (as on a full disk): the operator is told while
        // the scan runs; every page is saved all the same; their files stay in the run's folder
        // while the pages are in the store, and go with them.
        QTemporaryDir cache;
        QFile(cache.filePath("file")).open(QIODevice::WriteOnly);
        ImageManager *store = ImageManager::Instance();
        store->setFolderRoot(cache.filePath("file/pages"));
        configure(1, 0);
        feeder(3, 1);
        ModalAnswerer answerer;
        bool during = false;
        answerer.expect([&](QWidget *box) {
            during = w->isRunActive();
            release();
            qobject_cast<QMessageBox *>(box)->accept();
        });
        click("btn_scan");
        QVERIFY(waitIdle() && during);
        store->setFolderRoot(PageStoreFolder::defaultRoot());
        QCOMPARE(answerer.seen.value(0).text,
                 QString("页面缓存空间不足，未保存的页面在程序异常退出时可能丢失"));
        QCOMPARE(filesIn(dest->path()).size(), 3);
        const QStringList left = leftInPageFolder();
        QVERIFY(left.size() == 1 && filesIn("/tmp/tempimages/" + left.first()).size() == 3);
        store->ClearImages();
        QCOMPARE(leftInPageFolder(), QStringList());
    }

    void scanTargetIsCheckedFirst_data()
    {
        // name | folder (%1: a temporary folder holding the plain file "file") | button | warning
        // (%67: 67 times 文, 3 bytes each)
        TestRows::add(
            {"empty name | | %1/new/folder | scan | 文档名称为空",
             "slash | a/b | %1/new/folder | scan | 文档名称不能包含“/”",
             "escape | a\x1b[2J | %1/new/folder | scan | 文档名称不能包含控制字符",
             "dot dot | .. | %1/new/folder | viewer | 文档名称不能是“.”或“..”",
             "201 bytes | %67 | %1/new/folder | scan | 文档名称超过 200 字节",
             "no folder | Image | | scan | 未设置保存路径",
             "under a file | Image | %1/file/sub | scan | 无法创建保存文件夹 %1/file/sub",
             "a file | Image | %1/file | scan | 保存路径 %1/file 不是文件夹",
             "not writable | Image | /proc/self | scan | 保存文件夹 /proc/self 不可写入"});
    }
    void scanTargetIsCheckedFirst()
    {
        // A name no file can have, or a folder that cannot take the pages (and no ~/Scans to
        // fall back on): a warning that says why, and nothing starts (no run, no record, the
        // store as it was).
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", "/proc/self");
        auto restoreHome = qScopeGuard([&home] { qputenv("HOME", home); });
        QFETCH(QStringList, fields);
        QVERIFY(QFile(dest->filePath("file")).open(QIODevice::WriteOnly));
        configure(1, 0);
        p.name = QString(fields[0]).replace("%67", QString(67, QChar(0x6587)));
        p.save_path = QString(fields[1]).replace("%1", dest->path());
        w->InitParameter();
        ImageManager::Instance()->AddImage(new QImage(8, 8, QImage::Format_RGB32), p.name);
        const int records = logLines().size();
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        click(qPrintable("btn_" + fields[2]));
        QVERIFY(answerer.waitSeen(1) && !w->isRunActive());
        QCOMPARE(answerer.seen.at(0).title + answerer.seen.at(0).text,
                 "警告" + QString(fields[3]).replace("%1", dest->path()));
        QCOMPARE(logLines().size(), records);
        QCOMPARE(ImageManager::Instance()->count(), 1);
        QCOMPARE(enabled(m_commands), m_commands);
        QVERIFY(!QFileInfo::exists(dest->filePath("new")));
    }

    void nameAndFolderLimits()
    {
        // Just within the limits. (A preview writes nothing, so its folder is not looked at: the
        // shared machine's destinationFolder.)
        QCOMPARE(ScanTargetCheck::checkName(QString(66, QChar(0x6587)) + "ab"),
                 ScanTargetCheck::NameOk);
        QCOMPARE(ScanTargetCheck::checkName("..."), ScanTargetCheck::NameOk);
        QCOMPARE(ScanTargetCheck::checkFolder(dest->filePath("a/b/c")), ScanTargetCheck::FolderOk);
        QVERIFY(QDir(dest->path()).isEmpty()); // the probes are gone
    }

    void aRunKeepsItsSettingsAndLocksTheRecord()
    {
        // While a run is under way every command that changes the settings record is disabled,
        // and neither the disabled button nor a direct call starts a second run; a change made
        // to the record all the same does not reach the run, which saves where and how it was
        // started. (The next scan, with only its own pages: the cancel's case.)
        configure(0, 0);
        feeder(1, 0); // under way, before its page
        const int records = logLines().size();
        click("btn_scan");
        QCOMPARE(enabled(m_commands), QStringList());
        QTRY_COMPARE(w->statusBar()->currentMessage(), QString("扫描中..."));
        click("btn_scan");
        QMetaObject::invokeMethod(w, "onStartScan");
        QMetaObject::invokeMethod(w, "onPreview");
        QTemporaryDir elsewhere;
        p.initParamSetting(); // as the reset would: black and white, another folder and name
        p.save_path = elsewhere.path();
        p.name = "Changed";
        release();
        QVERIFY(waitIdle());
        QCOMPARE(enabled(m_commands), m_commands);
        QCOMPARE(logLines().size(), records + 1);
        QCOMPARE(filesIn(dest->path()),
                 QStringList(ImageManager::Instance()->at(0)->name + ".jpg"));
        QVERIFY(filesIn(elsewhere.path()).isEmpty() &&
                ImageManager::Instance()->at(0)->name.startsWith("Image"));
        QVERIFY(!ImageManager::Instance()->imageAt(0).isGrayscale()); // not thresholded
    }

    void paperSizeCheck()
    {
        // The scanned page against the paper size chosen, at the resolution asked for (a page
        // that states none): 7 mm off still matches, 8 mm does not; no check for the automatic
        // size.
        const struct
        {
            QSize page;
            int resolution, paperSize;
            bool warning;
        } rows[] = {{{3508, 2480}, 2, 8, false}, // landscape
                    {{2550, 3300}, 2, 0, false},
                    {{916, 1240}, 0, 4, false},
                    {{922, 1240}, 0, 4, true}};
        for (const auto &row : rows) {
            p.resolution = row.resolution;
            p.paper_size = row.paperSize;
            w->statusBar()->clearMessage();
            w->checkPaperSize(ImageManager::Instance()->AddImage(
                new QImage(row.page, QImage::Format_RGB32), p.name));
            QCOMPARE(w->statusBar()->currentMessage(),
                     row.warning ? QString("警告：稿件大小与参数设置的大小不一致") : QString());
        }
    }

    void printerStatusLabel()
    {
        // The window opens showing "Failed" until the monitor's first answer arrives; a printer
        // that goes away shows it again.
        delete w;
        w = new MainWindow();
        auto *label = find<QLabel>("label_status");
        QCOMPARE(label->text(), QString("无法连接复合机，请检查网络端口"));
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), QString("成功连接复合机"), 8000);
        QMetaObject::invokeMethod(w, "onUpdateStatus", Q_ARG(int, 1)); // gone again
        QCOMPARE(label->text(), QString("无法连接复合机，请检查网络端口"));
    }

    void searchablePdfBesideASecondScan()
    {
        // A scan to JPG starts beside a searchable PDF whose text is still being recognised and
        // shows its own pages. The PDF's run ends after the later one has started (the document,
        // the skipped pages and the window's report are the later run's by then): each run is
        // recorded with its own file when it is over.
        scanPages({TextPages::a4(1, 200, 8), TextPages::a4(2, 200, 8), TextPages::a4(3, 200, 8)});
        configure(1, SaveFormat::SearchablePdf);
        const int records = logLines().size();
        click("btn_scan");
        QVERIFY(waitIdle() && w->recognisingRuns() == 1);
        const QString pdf = firstFile(SaveFormat::SearchablePdf);
        qunsetenv("SCANCONSOLE_PAGE_FILES");
        find<QComboBox>("combox_saveType")->setCurrentIndex(SaveFormat::Jpg);
        click("btn_scan");
        QVERIFY(w->isRunActive() && w->recognisingRuns() == 1); // side by side
        QVERIFY(waitIdle());
        QCOMPARE(thumbnails(), 3);
        const QString jpg = firstFile(SaveFormat::Jpg);
        QVERIFY(waitRecognised());
        QStringList recorded; // in the order the runs ended, which depends on the machine's load
        for (const QString &line : logLines().mid(records)) {
            const LogRecord record = LogRecord::parse(line.toUtf8());
            recorded << record.status + " " + record.path;
        }
        QStringList expected{"Success " + jpg, "Success " + pdf};
        recorded.sort();
        expected.sort();
        QCOMPARE(recorded, expected);
        QCOMPARE(runResult(), "已保存 3 页到 " + (lastRecord().path == pdf ? pdf : dest->path()));
        QCOMPARE(filesIn(dest->path()).size(), 4);
        QCOMPARE(PdfFiles::pdfinfoPages(pdf), 3);
        // The number from the Chinese half: "Page3" reads as "Pagel" as often as not.
        QVERIFY(PdfFiles::pageText(pdf, 3).contains("第3页Page"));
    }

    void stoppingTheRecognitionKeepsThePages_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("文件 → 取消扫描") << false;
        QTest::newRow("closing the window") << true;
    }
    void stoppingTheRecognitionKeepsThePages()
    {
        // A searchable PDF's scan ends as any other (commands back, so a next scan may start
        // beside it, pages shown) while the text is still being recognised, "文字识别 N/3" in
        // the status bar; it is recorded when the file is there. Stopped then, the PDF is still
        // written at once with every page, the pages not recognised yet without text; the status
        // line and the record say so. Closing the window stops it the same way and waits for the
        // file and the record. (Three A4 pages of text each take a second or more.)
        QFETCH(bool, close);
        scanPages({TextPages::a4(1, 200, 8), TextPages::a4(2, 200, 8), TextPages::a4(3, 200, 8)});
        configure(1, SaveFormat::SearchablePdf);
        const int records = logLines().size();
        click("btn_scan");
        QVERIFY(waitIdle() && w->recognisingRuns() == 1);
        QCOMPARE(enabled(m_commands), m_commands);
        QVERIFY(thumbnails() == 3 && w->previewWindow()->isVisible());
        QCOMPARE(runResult(), QString("已扫描 3 页"));
        QVERIFY(QRegularExpression("^文字识别 [0-3]/3$")
                    .match(find<QLabel>("label_textRecognition")->text())
                    .hasMatch());
        QCOMPARE(logLines().size(), records);
        const QString pdf = firstFile(SaveFormat::SearchablePdf);
        auto *cancel = find<QAction>("action_cancelScan");
        QVERIFY(cancel->isEnabled()); // the recognition's cancel
        if (close) {
            QVERIFY(!w->close() && w->isVisible());
        } else {
            cancel->trigger();
            QVERIFY(!cancel->isEnabled());
        }
        QVERIFY(waitRecognised(30000)); // no longer the seconds per page
        QTRY_VERIFY(w->isVisible() != close);
        QCOMPARE(lastRecord().status + " " + lastRecord().path, "Success-TextCancelled " + pdf);
        QCOMPARE(runResult(), "已保存 3 页到 " + pdf + "，文字识别已取消");
        // Too long for the status bar: the folder gives way, the remark stays in view.
        const QString shown = findChildOrDie<ElidedLabel>(w, "label_runResult")->shownText();
        QVERIFY2(close || (shown.contains(QChar(0x2026)) && shown.endsWith(".pdf，文字识别已取消")),
                 qPrintable(shown));
        QCOMPARE(PdfFiles::pageText(pdf, 3), QString()); // the last page had no time
        QCOMPARE(PdfFiles::pdfinfoPages(pdf), 3);
        QVERIFY(!find<QLabel>("label_textRecognition")->isVisible());
    }

    void blankPagesAndSkewedPagesFromTheFeeder_data()
    {
        QTest::addColumn<bool>("basic");
        QTest::newRow("专业") << false;
        QTest::newRow("简洁: hidden, so off") << true;
    }
    void blankPagesAndSkewedPagesFromTheFeeder()
    {
        // 去除空白页 and 自动纠偏 from the panel: the blank sheet is stored and shown as skipped,
        // not saved, and counted in the status line; the skewed page is stored straight. In 简洁
        // mode, where nobody sees them, they are off: every page is saved as it came.
        QFETCH(bool, basic);
        DocumentPages::Options text, blank; // noisy, the blank one showing through, with holes
        text.dpi = blank.dpi = 200;
        text.skewDegrees = 2.0;
        text.noise = blank.noise = blank.showThrough = blank.holes = true;
        blank.textLines = 0;
        scanPages({DocumentPages::page(text, 1), DocumentPages::page(blank, 2),
                   DocumentPages::page(text, 3)});
        configure(1, SaveFormat::Jpg);
        p.image_type = 1;
        w->InitParameter();
        QTest::mouseClick(find<QCheckBox>("cb_deskew"), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(find<QCheckBox>("cb_skip_blank"), Qt::LeftButton, {}, QPoint(5, 5));
        if (basic)
            find<QAction>("action_base")->trigger();
        click("btn_scan");
        QVERIFY(waitIdle());
        ImageManager *store = ImageManager::Instance();
        QVERIFY(store->count() == 3 && thumbnails() == 3 && store->at(1)->skipped != basic);
        QCOMPARE(filesIn(dest->path()).size(), basic ? 3 : 2);
        QCOMPARE(runResult(), basic ? "已保存 3 页到 " + dest->path()
                                    : "已保存 2 页到 " + dest->path() + "，已跳过 1 页空白页");
        const Deskew::Skew skew = Deskew::measure(QImage(firstFile(SaveFormat::Jpg)));
        QVERIFY(skew.measured && (qAbs(skew.degrees) < Deskew::kMinDegrees) != basic);
        QCOMPARE(leftInPageFolder(), QStringList());
    }

    void skippedPageGoesBack_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("scan");
        // "name": a folder holds the page's file name (the next free name is taken); "folder": a
        // file stands where the destination folder was (the write fails).
        QTest::addColumn<QString>("obstacle");
        QTest::newRow("JPG, its name taken") << int(SaveFormat::Jpg) << true << "name";
        QTest::newRow("JPG, its folder gone") << int(SaveFormat::Jpg) << true << "folder";
        QTest::newRow("merged PDF") << int(SaveFormat::MergedPdf) << true << "";
        QTest::newRow("searchable PDF") << int(SaveFormat::SearchablePdf) << true << "";
        QTest::newRow("preview") << int(SaveFormat::Jpg) << false << "";
    }
    void skippedPageGoesBack()
    {
        // 恢复此页 on the blank card between two text cards writes it into the scan's documents
        // in its place: its own file, named as the run would have named it, or the merged PDF
        // again whole under its name (recognised again for the searchable one). The status line
        // no longer counts it and the work log says what was written. A preview writes nothing.
        // A write that fails leaves the page skipped.
        QFETCH(int, format);
        QFETCH(bool, scan);
        QFETCH(QString, obstacle);
        scanPages({TextPages::card("合同条款", "Invoice", 200), TextPages::card("", "", 200),
                   TextPages::card("付款日期", "Delivery", 200)});
        configure(1, format);
        p.skip_blank = true;
        w->InitParameter();
        click(scan ? "btn_scan" : "btn_viewer");
        QVERIFY(waitRecognised());
        ImageManager *store = ImageManager::Instance();
        QVERIFY(store->count() == 3 && store->at(1)->skipped);
        const bool merged = SaveFormat::isMerged(format);
        const QString first = firstFile(format);
        const QString saved = "已保存 %1 页到 " + (merged ? first : dest->path());
        QCOMPARE(runResult(), (scan ? saved.arg(2) : "已扫描 2 页") + "，已跳过 1 页空白页");
        const int records = logLines().size();
        auto *restore = w->previewWindow()->findChild<QAction *>("action_restorePage");
        w->previewWindow()->SetCurImage(1);
        QString page = dest->filePath(store->at(1)->name + SaveFormat::suffix(format));
        if (obstacle == "folder") {
            QVERIFY(QDir(dest->path()).removeRecursively());
            QVERIFY(QFile(dest->path()).open(QIODevice::WriteOnly));
            ModalAnswerer answerer;
            answerer.expectMessageBox();
            restore->trigger();
            QVERIFY(answerer.waitSeen(1) && QFile::remove(dest->path()));
            QCOMPARE(answerer.seen.first().text, "无法写入 " + page);
            // The box is answered before its caller returns: the write ends after it.
            QTRY_VERIFY(restore->isEnabled());
            QVERIFY(store->at(1)->skipped);
            QCOMPARE(runResult(), saved.arg(2) + "，已跳过 1 页空白页");
            QCOMPARE(lastRecord().status, QString("Fail"));
            return;
        }
        if (obstacle == "name") {
            QVERIFY(QDir().mkdir(page));
            page.replace(".jpg", "-1.jpg");
        }
        restore->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!store->at(1)->skipped, 60000);
        QCOMPARE(runResult(), scan ? saved.arg(3) : "已扫描 3 页");
        QVERIFY(!restore->isEnabled());
        QCOMPARE(logLines().size(), records + (scan ? 1 : 0));
        QCOMPARE(filesIn(dest->path()).size(), !scan ? 0 : merged ? 1 : 3);
        if (!scan)
            return;
        QCOMPARE(lastRecord().status + " " + lastRecord().path,
                 "Success " + (merged ? first : page));
        if (!merged)
            QCOMPARE(QImage(page).size(), QSize(827, 583));
        else
            QCOMPARE(PdfFiles::pdfinfoPages(first), 3);
        if (format == SaveFormat::SearchablePdf) // the blank card in its place, recognised again
            QCOMPARE(PdfFiles::pageText(first, 2) + "|" + PdfFiles::pageText(first, 3),
                     QString("|付款日期Delivery"));
    }
};

SCANCONSOLE_TEST_MAIN(TestScanRoad)
#include "tst_scanroad.moc"
