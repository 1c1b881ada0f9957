#include "app/ElidedLabel.h"
#include "app/MainWindow.h"
#include "app/ScanResultText.h"
#include "app/ScanTargetCheck.h"
#include "imaging/Deskew.h"
#include "log/LogRecord.h"
#include "log/LogWindow.h"
#include "pages/ImageManager.h"
#include "pages/PageResolution.h"
#include "pages/PageStoreFolder.h"
#include "preview/PreviewWindow.h"
#include "settings/ParamSetting.h"
#include "settings/SaveFormat.h"
#include "tests/support/DocumentPages.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/PdfFiles.h"
#include "tests/support/RecordFixtures.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TextPages.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <zip.h>

// The whole scan road from the main window, with the stand-in scan program in the test's
// application directory: pages in the store, the preview and the destination folder, result
// messages, the work log and the printer status; cancel, the page count, the checks before a
// scan, the resolution of the files, and Quit.
class TestScanRoad : public QObject
{
    Q_OBJECT

private:
    ParamSetting &p = ParamSetting::instance;
    MainWindow *w = nullptr;
    QTemporaryDir *dest = nullptr;

    template <typename T> T *find(const char *name) { return findChildOrDie<T>(w, name); }
    QStringList filesIn(const QString &folder)
    {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }
    // What a run left in the page folder: nothing, not even its own folder.
    static QStringList leftInPageFolder()
    {
        return QDir("/tmp/tempimages")
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    QStringList logLines()
    {
        QFile f("./logFiles/logs.txt");
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    int thumbnails()
    {
        return w->previewWindow()->findChild<QListWidget *>("ImageListWidget")->count();
    }
    // Sets the panel through the record, as a loaded parameter file would.
    void configure(int source, int saveType, bool hideProgress = true)
    {
        p.source_type = source;
        p.save_type = saveType;
        p.image_type = 2;
        p.save_path = dest->path();
        p.progress = hideProgress;
        w->InitParameter();
    }
    bool waitIdle(int timeoutMs = 30000)
    {
        QElapsedTimer clock;
        clock.start();
        while (w->isRunActive() && clock.elapsed() < timeoutMs)
            QTest::qWait(20);
        return !w->isRunActive();
    }
    // Until the text recognition of every searchable PDF has ended, too.
    bool waitRecognised(int timeoutMs = 120000)
    {
        QElapsedTimer clock;
        clock.start();
        while ((w->isRunActive() || w->recognisingRuns() > 0) && clock.elapsed() < timeoutMs)
            QTest::qWait(20);
        return !w->isRunActive() && w->recognisingRuns() == 0;
    }
    QString scanProgram() const { return TestEnvironment::appDir() + "/ScanConsoleApp"; }
    // The stand-in scans these pages (at the requested resolution) instead of drawn ones.
    QTemporaryDir m_pageFiles;
    void scanPages(const QList<QImage> &pages)
    {
        QDir(m_pageFiles.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_pageFiles.path()));
        for (int i = 0; i < pages.size(); ++i)
            QVERIFY(pages.at(i).save(m_pageFiles.filePath(QString("page-%1.jpg").arg(i)), "JPG"));
        qputenv("SCANCONSOLE_PAGE_FILES", QFile::encodeName(m_pageFiles.path()));
    }
    // Three A4 pages of text, each taking seconds to recognise: a scan into the searchable PDF
    // is over (its collector has ended) long before its text is.
    void scanThreeTextPages()
    {
        scanPages({TextPages::a4(1, 200), TextPages::a4(2, 200), TextPages::a4(3, 200)});
        configure(1, SaveFormat::SearchablePdf);
        p.resolution = 1; // 200 dpi
        w->InitParameter();
    }
    QLabel *textLabel() { return find<QLabel>("label_textRecognition"); }
    // The share of a page's pixels that are ink (darker than half).
    static double darkShare(const QImage &image)
    {
        const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
        qint64 dark = 0;
        for (int y = 0; y < grey.height(); ++y)
            for (int x = 0; x < grey.width(); ++x)
                dark += grey.constScanLine(y)[x] < 128;
        return grey.isNull() ? 0.0 : double(dark) / (double(grey.width()) * grey.height());
    }
    // The names of a zip package's entries, in their order.
    static QStringList zipNames(const QString &file)
    {
        int error = 0;
        zip_t *archive = zip_open(QFile::encodeName(file).constData(), ZIP_RDONLY, &error);
        QStringList names;
        for (zip_int64_t i = 0; archive && i < zip_get_num_entries(archive, 0); ++i)
            names << QString::fromUtf8(zip_get_name(archive, zip_uint64_t(i), 0));
        if (archive)
            zip_close(archive);
        return names;
    }

    // Puts a stand-in in place of the scan program: it waits (at most a minute) until release()
    // and then leaves one colour page. The real one comes back at cleanup().
    QTemporaryDir m_hold;
    void holdScanProgram()
    {
        QVERIFY(QFile::rename(scanProgram(), scanProgram() + ".parked"));
        QImage page(200, 300, QImage::Format_RGB32);
        page.fill(QColor(200, 40, 40));
        QVERIFY(page.save(m_hold.filePath("page.jpg"), "JPG"));
        QFile::remove(m_hold.filePath("release"));
        QFile script(scanProgram());
        QVERIFY(script.open(QIODevice::WriteOnly));
        // The page goes where "-f" (the last argument) says: the run's own folder.
        script.write(QString("#!/bin/sh\ni=0\nfor out; do :; done\ndir=$(dirname \"$out\")\n"
                             "while [ ! -e '%1/release' ] && [ $i -lt 600 ]; do\n"
                             "  sleep 0.1; i=$((i+1))\ndone\n"
                             "cp '%1/page.jpg' \"$dir/.held\"\n"
                             "mv \"$dir/.held\" \"$dir/held.jpg\"\n")
                         .arg(m_hold.path())
                         .toUtf8());
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
    }
    void release() { QFile(m_hold.filePath("release")).open(QIODevice::WriteOnly); }
    // The names of those commands (buttons or actions) that are enabled.
    QStringList enabled(const QStringList &names)
    {
        QStringList on;
        for (const QString &name : names) {
            QObject *object = w->findChild<QObject *>(name);
            auto *widget = qobject_cast<QWidget *>(object);
            auto *action = qobject_cast<QAction *>(object);
            if ((widget && widget->isEnabled()) || (action && action->isEnabled()))
                on << name;
        }
        return on;
    }
    // One entry of a zip package, empty when it is missing.
    static QByteArray zipEntry(const QString &file, const char *name)
    {
        int error = 0;
        zip_t *archive = zip_open(QFile::encodeName(file).constData(), ZIP_RDONLY, &error);
        QByteArray bytes;
        zip_stat_t stat;
        if (archive && zip_stat(archive, name, 0, &stat) == 0) {
            bytes.resize(int(stat.size));
            zip_file_t *entry = zip_fopen(archive, name, 0);
            if (!entry || zip_fread(entry, bytes.data(), stat.size) != zip_int64_t(stat.size))
                bytes.clear();
            if (entry)
                zip_fclose(entry);
        }
        if (archive)
            zip_close(archive);
        return bytes;
    }
    // The texts of the message boxes among the modal windows seen.
    static QStringList messageBoxes(const ModalAnswerer &answerer)
    {
        QStringList texts;
        for (const ModalAnswerer::Seen &window : answerer.seen)
            if (window.className == "QMessageBox")
                texts << window.text;
        return texts;
    }
    // Every command a run locks, which must be back exactly as before when it has ended.
    const QStringList m_commands{"btn_scan",         "btn_viewer",         "btn_resetParam",
                                 "btn_saveParam",    "action_scan",        "action_preview",
                                 "action_saveparam", "action_importparam", "action_customSetting",
                                 "action_IPSetting", "action_base",        "action_major",
                                 "action_custom"};
    // The last work-log record, by its fields.
    LogRecord lastRecord()
    {
        return LogRecord::parse(logLines().value(logLines().size() - 1).toUtf8());
    }
    QString runResult() { return find<QLabel>("label_runResult")->text(); }
    // The stand-in scans `sheets` sheets from the feeder, one each `delayMs`.
    void slowFeeder(int sheets, int delayMs)
    {
        qputenv("SCANCONSOLE_SHEETS", QByteArray::number(sheets));
        qputenv("SCANCONSOLE_PAGE_DELAY_MS", QByteArray::number(delayMs));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(scanProgram()), "the stand-in scan program is missing");
        qputenv("SCANCONSOLE_PAGE_DELAY_MS", "0");
        qputenv("SCANCONSOLE_SHEETS", "3");
        qunsetenv("SCANCONSOLE_EXIT_CODE");
        QDir("./logFiles").removeRecursively();
    }

    void init()
    {
        TestEnvironment::clearTempImages();
        TestEnvironment::resetConfig();
        TestEnvironment::resetRecord();
        qunsetenv("SCANCONSOLE_EXIT_CODE");
        qunsetenv("SCANCONSOLE_PAGE_FILES");
        qputenv("SCANCONSOLE_SHEETS", "3");
        qputenv("SCANCONSOLE_PAGE_DELAY_MS", "0");
        dest = new QTemporaryDir;
        w = new MainWindow();
        w->show();
    }

    void cleanup()
    {
        release();
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

    void scanOfThreeFeederPages()
    {
        configure(1, 0);
        const int recordsBefore = logLines().size();
        ModalAnswerer answerer; // a scan that went well shows no message
        answerer.expectMessageBox();
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(w->isRunActive());
        QVERIFY(!find<QPushButton>("btn_scan")->isEnabled());
        QVERIFY(!find<QPushButton>("btn_viewer")->isEnabled());
        QVERIFY(!find<QAction>("action_scan")->isEnabled());
        QVERIFY(waitIdle());

        QCOMPARE(ImageManager::Instance()->count(), 3);
        QCOMPARE(thumbnails(), 3);
        QVERIFY(w->previewWindow()->isVisible());
        const QStringList files = filesIn(dest->path());
        QCOMPARE(files.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QString name = ImageManager::Instance()->at(i)->name;
            QVERIFY2(files.contains(name + ".jpg"), qPrintable(name));
            QCOMPARE(QImage(dest->filePath(name + ".jpg")).size(), QSize(2480, 3508));
        }
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), recordsBefore + 1);
        QVERIFY(lines.last().endsWith(" Success "));
        // The record names the first page's file, which is there.
        QCOMPARE(lastRecord().path, dest->filePath(ImageManager::Instance()->at(0)->name + ".jpg"));
        QCOMPARE(runResult(), "已保存 3 页到 " + dest->path());
        TestEnvironment::screenshot(w, "statusbar-finished");
        QCOMPARE(w->logWindow()->findChild<QTableWidget *>("tableWidget")->rowCount(),
                 lines.size());
        QVERIFY(find<QPushButton>("btn_scan")->isEnabled());
        QVERIFY(find<QAction>("action_preview")->isEnabled());
        QCOMPARE(leftInPageFolder(), QStringList());
        QTest::qWait(100);
        QVERIFY(answerer.seen.isEmpty());
    }

    void previewWritesNoFileButARecord()
    {
        configure(2, 1);
        const int recordsBefore = logLines().size();
        QTest::mouseClick(find<QPushButton>("btn_viewer"), Qt::LeftButton);
        QVERIFY(waitIdle());
        QCOMPARE(ImageManager::Instance()->count(), 6); // duplex: front and back of 3 sheets
        QCOMPARE(thumbnails(), 6);
        QVERIFY(filesIn(dest->path()).isEmpty());
        QCOMPARE(logLines().size(), recordsBefore + 1);
        QVERIFY(logLines().last().endsWith(" Success "));
    }

    void emptyRunLogsFail()
    {
        configure(1, 0);
        qputenv("SCANCONSOLE_SHEETS", "0");
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(waitIdle());
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.at(0).text, QString("没有可获取的图像用于扫描"));
        QVERIFY(logLines().last().endsWith(" Fail "));
        QCOMPARE(ImageManager::Instance()->count(), 0);
    }

    void resultMessages_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1 << "        无法连接打印机        ";
        QTest::newRow("2") << 2 << "        扫描服务繁忙        ";
        QTest::newRow("3") << 3 << "        扫描服务停止        ";
        QTest::newRow("4") << 4 << "        参数校验失败        ";
        QTest::newRow("5") << 5 << "没有可获取的图像用于扫描";
        QTest::newRow("6") << 6 << "       文件接收错误        ";
        QTest::newRow("7") << 7 << "        文件写入错误        ";
        QTest::newRow("8") << 8 << "       扫描服务内部错误     ";
        QTest::newRow("42") << 42 << "        未知错误        ";
    }

    void resultMessages()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        configure(0, 0);
        qputenv("SCANCONSOLE_EXIT_CODE", QByteArray::number(code));
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(waitIdle());
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.at(0).title, QString("警告"));
        QCOMPARE(answerer.seen.at(0).text, text);
        QVERIFY(find<QPushButton>("btn_scan")->isEnabled());
    }

    void missingScanProgram()
    {
        configure(0, 0);
        const QString parked = scanProgram() + ".parked";
        QVERIFY(QFile::rename(scanProgram(), parked));
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        const bool idle = waitIdle();
        QFile::rename(parked, scanProgram());
        QVERIFY(idle);
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.at(0).text, QString("无法启动扫描程序"));
        QVERIFY(logLines().last().endsWith(" Fail "));
    }

    void consoleSideResultTexts()
    {
        QCOMPARE(ScanResultText::message(-2), QString("无法创建临时图像文件夹"));
        QCOMPARE(ScanResultText::message(-7), QString("        未知错误        "));
    }

    void feederGuard()
    {
        configure(2, 0);
        find<QComboBox>("combox_material")->setCurrentIndex(1); // 铜板
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.at(0).text,
                 QString("进稿器只能扫描普通白纸，其他类型纸张请使用平台扫描"));
        QVERIFY(!w->isRunActive());
        QCOMPARE(p.paper_material, 1); // the record keeps what the panel showed

        // The same paper from the flatbed scans.
        find<QComboBox>("combox_source")->setCurrentIndex(0);
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(w->isRunActive());
        QVERIFY(waitIdle());
        QCOMPARE(ImageManager::Instance()->count(), 1);
    }

    void progressCountsPagesAsTheyArrive_data()
    {
        QTest::addColumn<bool>("dialog");
        QTest::newRow("dialog") << true;
        QTest::newRow("status bar") << false;
    }
    void progressCountsPagesAsTheyArrive()
    {
        // A feeder batch: the pages scanned so far, one by one as they arrive, in the dialog and
        // in the status bar (all there is when the dialog is hidden); the bar is busy, since
        // nobody knows how many sheets the feeder holds, and Cancel is offered.
        QFETCH(bool, dialog);
        configure(1, 0, !dialog);
        slowFeeder(3, 1200);
        QStringList labels, messages;
        connect(w->statusBar(), &QStatusBar::messageChanged, this, [&](const QString &m) {
            if (m.startsWith("已扫描"))
                messages << m;
        });
        QTimer watch; // the dialog's label has no signal of its own
        connect(&watch, &QTimer::timeout, this, [&] {
            if (auto *d = w->findChild<QProgressDialog *>("progressDialog")) {
                const QString count = d->labelText().section('\n', 1);
                if (labels.value(labels.size() - 1) != count)
                    labels << count;
            }
        });
        watch.start(5);
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        auto *progress = w->findChild<QProgressDialog *>("progressDialog");
        QCOMPARE(progress != nullptr, dialog);
        if (dialog) {
            QVERIFY(progress->isVisible());
            QCOMPARE(progress->windowTitle(), QString("请等待"));
            QCOMPARE(progress->labelText(), QString("扫描中...\n已扫描 0 页"));
            QCOMPARE(progress->minimum(), 0);
            QCOMPARE(progress->maximum(), 0);
            auto *cancel = progress->findChild<QPushButton *>("btn_cancelScan");
            QVERIFY(cancel && cancel->isVisible() && cancel->isEnabled());
            QCOMPARE(cancel->text(), QString("取消"));
            QVERIFY(find<QAction>("action_cancelScan")->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(labels.contains("已扫描 2 页"), 20000);
            TestEnvironment::screenshot(progress, "progress-dialog");
            TestEnvironment::screenshot(w->findChild<QMenu *>("menu"), "file-menu-running");
        }
        QVERIFY(waitIdle());
        watch.stop();
        const QStringList counts{"已扫描 1 页", "已扫描 2 页", "已扫描 3 页"};
        QCOMPARE(messages, counts);
        if (dialog)
            QCOMPARE(labels, QStringList{"已扫描 0 页"} + counts);
        QTRY_VERIFY(w->findChild<QProgressDialog *>("progressDialog") == nullptr);
    }

    void cancelInTheMiddleOfAFeederBatch_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : {"button", "close button", "Escape", "menu, no dialog"})
            QTest::newRow(how) << QString(how);
    }
    void cancelInTheMiddleOfAFeederBatch()
    {
        // The pages scanned before the cancel are stored, shown and saved; the run ends quietly
        // as cancelled, the commands come back, and the next scan works.
        QFETCH(QString, how);
        configure(1, 0, how.startsWith("menu"));
        slowFeeder(8, 1000);
        const int records = logLines().size();
        ImageManager *store = ImageManager::Instance();
        ModalAnswerer answerer; // the progress dialog is modal too
        for (int i = 0; i < 3; ++i)
            answerer.expectMessageBox();
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        auto *cancelAction = find<QAction>("action_cancelScan");
        QVERIFY(cancelAction->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(store->count() >= 2, 30000);
        auto *dialog = w->findChild<QProgressDialog *>("progressDialog");
        if (how == "button")
            QTest::mouseClick(dialog->findChild<QPushButton *>("btn_cancelScan"), Qt::LeftButton);
        else if (how == "close button")
            dialog->close();
        else if (how == "Escape")
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            cancelAction->trigger();
        QVERIFY(!cancelAction->isEnabled());
        if (dialog) {
            QVERIFY(dialog->isVisible()); // until the run has ended
            QVERIFY(dialog->labelText().startsWith("正在取消..."));
            TestEnvironment::screenshot(dialog, "progress-cancelling");
        }
        QVERIFY(waitIdle());

        const int pages = store->count();
        QVERIFY2(pages >= 2 && pages < 8, qPrintable(QString::number(pages)));
        QCOMPARE(thumbnails(), pages);
        QStringList names;
        for (int i = 0; i < pages; ++i)
            names << store->at(i)->name + ".jpg";
        QCOMPARE(filesIn(dest->path()), names);
        QCOMPARE(logLines().size(), records + 1);
        QCOMPARE(lastRecord().status, QString("Cancel"));
        QCOMPARE(lastRecord().path, dest->filePath(names.first()));
        QCOMPARE(runResult(), QString("扫描已取消，已保存 %1 页").arg(pages));
        if (how == "button")
            TestEnvironment::screenshot(w, "statusbar-cancelled");
        QTest::qWait(100);
        QCOMPARE(messageBoxes(answerer), QStringList());
        QCOMPARE(enabled(m_commands), m_commands);
        QVERIFY(!cancelAction->isEnabled());
        QVERIFY(w->findChild<QProgressDialog *>("progressDialog") == nullptr);
        QCOMPARE(leftInPageFolder(), QStringList());

        slowFeeder(2, 0);
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(waitIdle());
        QCOMPARE(store->count(), 2);
        QCOMPARE(filesIn(dest->path()).size(), pages + 2);
        QCOMPARE(lastRecord().status, QString("Success"));
        QCOMPARE(runResult(), "已保存 2 页到 " + dest->path());
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
        slowFeeder(3, 300);
        ModalAnswerer answerer;
        bool during = false;
        answerer.expect([&](QWidget *box) {
            during = w->isRunActive();
            qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
        });
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(waitIdle());
        store->setFolderRoot(PageStoreFolder::defaultRoot());
        QCOMPARE(messageBoxes(answerer),
                 QStringList{"页面缓存空间不足，未保存的页面在程序异常退出时可能丢失"});
        QVERIFY(during);
        QCOMPARE(filesIn(dest->path()).size(), 3);
        const QStringList left = leftInPageFolder();
        QVERIFY(left.size() == 1 && filesIn("/tmp/tempimages/" + left.first()).size() == 3);
        store->ClearImages();
        QCOMPARE(leftInPageFolder(), QStringList());
    }

    void cancelBeforeTheFirstPageLeavesNothing()
    {
        configure(1, 0, true);
        p.save_path = dest->filePath("new/folder"); // made only for a first page
        w->InitParameter();
        slowFeeder(3, 5000);
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        find<QAction>("action_cancelScan")->trigger();
        QVERIFY(waitIdle());
        QCOMPARE(ImageManager::Instance()->count(), 0);
        QVERIFY(QDir(dest->path()).isEmpty());
        QCOMPARE(lastRecord().status, QString("Cancel"));
        QCOMPARE(lastRecord().path, QString());
        QCOMPARE(runResult(), QString("扫描已取消，已保存 0 页"));
        QTest::qWait(100);
        QVERIFY(answerer.seen.isEmpty());
        QCOMPARE(leftInPageFolder(), QStringList());
        QCOMPARE(enabled(m_commands), m_commands);
    }

    void logRecordsWhatHappened_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("file");       // the record names the first page's file
        QTest::addColumn<QString>("result");  // %2: the first page's file
        QTest::addColumn<QString>("warning"); // %1: the destination folder
        QTest::newRow("merged PDF") << "merged"
                                    << "Success" << true << "已保存 3 页到 %2"
                                    << "";
        QTest::newRow("none saved") << "unwritable"
                                    << "Fail" << false << "已保存 0 页到 %1/sub"
                                    << "3 页未能保存到 %1/sub";
        QTest::newRow("preview") << "preview"
                                 << "Success" << false << "已扫描 3 页"
                                 << "";
        QTest::newRow("jam after the pages") << "jam"
                                             << "Fail" << true << "已保存 3 页到 %1"
                                             << "       扫描服务内部错误     ";
    }
    void logRecordsWhatHappened()
    {
        // "Success" only when every page collected was saved (a preview: collected); the path is
        // a file that was really written, or nothing.
        QFETCH(QString, run);
        QFETCH(QString, status);
        QFETCH(bool, file);
        QFETCH(QString, result);
        QFETCH(QString, warning);
        configure(1, run == "merged" ? 6 : 0);
        if (run == "unwritable") {
            p.save_path = dest->filePath("sub");
            w->InitParameter();
        }
        if (run == "jam")
            qputenv("SCANCONSOLE_EXIT_CODE", "8");
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        QTest::mouseClick(find<QPushButton>(run == "preview" ? "btn_viewer" : "btn_scan"),
                          Qt::LeftButton);
        if (run == "unwritable") { // the folder could be made when checked; now it cannot
            QFile blocker(dest->filePath("sub"));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        QVERIFY(waitIdle());
        ImageManager *store = ImageManager::Instance();
        QCOMPARE(store->count(), 3);
        const QString first =
            dest->filePath(store->at(0)->name + (run == "merged" ? ".pdf" : ".jpg"));
        QCOMPARE(lastRecord().status, status);
        QCOMPARE(lastRecord().path, file ? first : QString());
        QCOMPARE(QFile::exists(first), file);
        if (run == "merged")
            QCOMPARE(filesIn(dest->path()), QStringList(QFileInfo(first).fileName()));
        QCOMPARE(runResult(), QString(result).replace("%1", dest->path()).replace("%2", first));
        QTest::qWait(100);
        QCOMPARE(answerer.seen.size(), warning.isEmpty() ? 0 : 1);
        if (!warning.isEmpty())
            QCOMPARE(answerer.seen.at(0).text, QString(warning).replace("%1", dest->path()));
    }

    void scanTargetIsCheckedFirst_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("folder"); // %1: a temporary folder, %1/file a plain file
        QTest::addColumn<bool>("preview");
        QTest::addColumn<QString>("warning");
        const QString ok = "%1/new/folder";
        QTest::newRow("empty name") << "" << ok << false << "文档名称为空";
        QTest::newRow("slash") << "a/b" << ok << false << "文档名称不能包含“/”";
        QTest::newRow("line feed") << "a\nb" << ok << false << "文档名称不能包含控制字符";
        QTest::newRow("escape") << "a\x1b[2J" << ok << false << "文档名称不能包含控制字符";
        QTest::newRow("dot") << "." << ok << false << "文档名称不能是“.”或“..”";
        QTest::newRow("dot dot") << ".." << ok << true << "文档名称不能是“.”或“..”";
        QTest::newRow("201 bytes") << QString(67, QChar(0x6587)) // 3 bytes each
                                   << ok << false << "文档名称超过 200 字节";
        QTest::newRow("no folder") << "Image"
                                   << "" << false << "未设置保存路径";
        QTest::newRow("under a file") << "Image"
                                      << "%1/file/sub" << false << "无法创建保存文件夹 %1/file/sub";
        QTest::newRow("a file") << "Image"
                                << "%1/file" << false << "保存路径 %1/file 不是文件夹";
        QTest::newRow("not writable") << "Image"
                                      << "/proc/self" << false << "保存文件夹 /proc/self 不可写入";
        QTest::newRow("not creatable")
            << "Image"
            << "/proc/self/scans" << false << "无法创建保存文件夹 /proc/self/scans";
    }
    void scanTargetIsCheckedFirst()
    {
        // A name no file can have, or a folder that cannot take the pages (and no ~/Scans to
        // fall back on): a warning that says why, and nothing starts (no run, no record, the
        // store as it was).
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", "/proc/self");
        auto restoreHome = qScopeGuard([&home] { qputenv("HOME", home); });
        QFETCH(QString, name);
        QFETCH(QString, folder);
        QFETCH(bool, preview);
        QFETCH(QString, warning);
        QFile file(dest->filePath("file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        configure(1, 0);
        p.name = name;
        p.save_path = QString(folder).replace("%1", dest->path());
        w->InitParameter();
        ImageManager::Instance()->AddImage(new QImage(8, 8, QImage::Format_RGB32), p.name);
        const int records = logLines().size();
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        QTest::mouseClick(find<QPushButton>(preview ? "btn_viewer" : "btn_scan"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.at(0).title, QString("警告"));
        QCOMPARE(answerer.seen.at(0).text, QString(warning).replace("%1", dest->path()));
        QVERIFY(!w->isRunActive());
        QCOMPARE(logLines().size(), records);
        QCOMPARE(ImageManager::Instance()->count(), 1);
        QCOMPARE(enabled(m_commands), m_commands);
        QVERIFY(!QFileInfo::exists(dest->filePath("new")));
    }

    void nameAndFolderLimits()
    {
        // Just within the limits; a preview writes nothing, so its folder is not looked at.
        QCOMPARE(ScanTargetCheck::checkName(QString(66, QChar(0x6587)) + "ab"),
                 ScanTargetCheck::NameOk);
        QCOMPARE(ScanTargetCheck::checkName("..."), ScanTargetCheck::NameOk);
        QCOMPARE(ScanTargetCheck::checkFolder(dest->filePath("a/b/c")), ScanTargetCheck::FolderOk);
        QVERIFY(QDir(dest->path()).isEmpty()); // the probes are gone
        configure(0, 0);
        p.save_path = "/proc/self/scans";
        w->InitParameter();
        QTest::mouseClick(find<QPushButton>("btn_viewer"), Qt::LeftButton);
        QVERIFY(w->isRunActive());
        QVERIFY(waitIdle());
        QCOMPARE(lastRecord().status, QString("Success"));
    }

    void filesKeepTheScanResolution_data()
    {
        QTest::addColumn<int>("resolution"); // the panel's index
        QTest::addColumn<int>("saveType");
        QTest::addColumn<int>("dpi");
        for (int index : {1, 2})
            for (int type : {0, 1, 2, 3, 4, 5, 6})
                QTest::addRow(
                    "%d dpi %s", index == 1 ? 200 : 300,
                    qPrintable(QString("jpg pdf tiff ofd png bmp merged-pdf").split(' ')[type]))
                    << index << type << (index == 1 ? 200 : 300);
    }
    void filesKeepTheScanResolution()
    {
        // Every correction on (at 300 dpi in colour with a filter, at 200 dpi in black and white
        // with halftoning): each file states the resolution the page was scanned at.
        QFETCH(int, resolution);
        QFETCH(int, saveType);
        QFETCH(int, dpi);
        configure(0, saveType);
        p.resolution = resolution;
        p.image_type = dpi == 300 ? 2 : 0;
        p.halftone = 1, p.filter = 1, p.angle_correct = 0.7f, p.gamma_correct = 1.2f;
        p.brightness = 95, p.descreen = true, p.descreen_radius = 3, p.impermeable = 1;
        p.change_bkg = true, p.bkg_red = 250, p.bkg_green = 245, p.bkg_blue = 230;
        w->InitParameter();
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(waitIdle(60000));
        QCOMPARE(lastRecord().status, QString("Success"));
        const QString file = lastRecord().path;
        const QSize pixels = ImageManager::Instance()->at(0)->size;
        if (saveType == 1 || saveType == 6) { // the page's box: its pixels at the scan resolution
            const QList<PdfFiles::Page> pages = PdfFiles::pages(file);
            QCOMPARE(pages.size(), 1);
            QCOMPARE(pages.first().pixels, pixels);
            QVERIFY(qAbs(pixels.width() * 72.0 / pages.first().box.width() - dpi) < 0.05);
            QVERIFY(qAbs(pixels.height() * 72.0 / pages.first().box.height() - dpi) < 0.05);
            return;
        }
        QImage page(file);
        if (saveType == 3) { // the package's parts, the page's JPEG and its physical box
            const QStringList parts = zipNames(file);
            qInfo("%s: %s", qPrintable(QFileInfo(file).fileName()), qPrintable(parts.join(", ")));
            QCOMPARE(parts, QStringList({"OFD.xml", "Doc_0/Document.xml", "Doc_0/PublicRes.xml",
                                         "Doc_0/DocumentRes.xml", "Doc_0/Pages/Page_0/Content.xml",
                                         "Doc_0/Res/Image_0.jpg"}));
            page.loadFromData(zipEntry(file, "Doc_0/Res/Image_0.jpg"));
            const QRegularExpressionMatch box =
                QRegularExpression("PhysicalBox>0 0 ([0-9.]+) ([0-9.]+)<")
                    .match(QString::fromUtf8(zipEntry(file, "Doc_0/Pages/Page_0/Content.xml")));
            QVERIFY(box.hasMatch());
            QVERIFY(qAbs(pixels.width() * 25.4 / box.captured(1).toDouble() - dpi) < 0.05);
            QVERIFY(qAbs(pixels.height() * 25.4 / box.captured(2).toDouble() - dpi) < 0.05);
        }
        QCOMPARE(page.size(), pixels);
        QCOMPARE(PageResolution::dpi(page), QPointF(dpi, dpi));
    }

    void aRunKeepsItsSettingsAndLocksTheRecord()
    {
        // While a run is under way (no progress dialog in the way) every command that changes
        // the settings record is disabled; a change made to the record all the same does not
        // reach the run, which saves where and how it was started.
        configure(0, 0);
        holdScanProgram();
        const QStringList &commands = m_commands;
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QCOMPARE(enabled(commands), QStringList());
        QTemporaryDir elsewhere;
        p.initParamSetting(); // as the reset would: black and white, another folder and name
        p.save_path = elsewhere.path();
        p.name = "Changed";
        release();
        QVERIFY(waitIdle());
        QCOMPARE(enabled(commands), commands);
        const QStringList files = filesIn(dest->path());
        QCOMPARE(files.size(), 1);
        QVERIFY2(files.first().startsWith("Image") && files.first().endsWith(".jpg"),
                 qPrintable(files.first()));
        QVERIFY(filesIn(elsewhere.path()).isEmpty());
        QVERIFY(!ImageManager::Instance()->imageAt(0).isGrayscale()); // not thresholded
    }

    void hiddenProgressShowsNoDialog()
    {
        configure(0, 0, true);
        holdScanProgram(); // the scan stays under way, before its page, until released
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QTRY_COMPARE(w->statusBar()->currentMessage(), QString("扫描中..."));
        QVERIFY(!w->findChild<QProgressDialog *>("progressDialog"));
        release();
        QTRY_COMPARE(w->statusBar()->currentMessage(), QString("已扫描 1 页"));
        QVERIFY(!w->findChild<QProgressDialog *>("progressDialog"));
        QVERIFY(waitIdle());
        QVERIFY(w->statusBar()->currentMessage().isEmpty());
    }

    void scanWhileRunningDoesNothing()
    {
        configure(1, 0);
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(w->isRunActive());
        const int recordsBefore = logLines().size();
        // Neither the disabled button nor a direct call starts a second run.
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QMetaObject::invokeMethod(w, "onStartScan");
        QMetaObject::invokeMethod(w, "onPreview");
        QVERIFY(waitIdle());
        QCOMPARE(logLines().size(), recordsBefore + 1);
        QCOMPARE(ImageManager::Instance()->count(), 3);

        // A second scan right away gets its own workers and only its own pages.
        qputenv("SCANCONSOLE_SHEETS", "2");
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(waitIdle());
        QCOMPARE(ImageManager::Instance()->count(), 2);
        QCOMPARE(thumbnails(), 2);
        QCOMPARE(filesIn(dest->path()).size(), 5);
        QCOMPARE(logLines().size(), recordsBefore + 2);
    }

    void paperSizeCheck_data()
    {
        QTest::addColumn<QSize>("page");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<int>("paperSize");
        QTest::addColumn<bool>("warning");
        QTest::newRow("A4 at 300 dpi") << QSize(2480, 3508) << 2 << 8 << false;
        QTest::newRow("landscape A4") << QSize(3508, 2480) << 2 << 8 << false;
        QTest::newRow("letter for A4") << QSize(2550, 3300) << 2 << 8 << true;
        QTest::newRow("automatic size") << QSize(2550, 3300) << 2 << 0 << false;
        // Index 0 ("150") is checked as 200 dpi; 7 mm off still matches, 8 mm does not.
        QTest::newRow("A5 7 mm off") << QSize(1221, 1654) << 0 << 4 << false;
        QTest::newRow("A5 8 mm off") << QSize(1229, 1654) << 0 << 4 << true;
    }
    void paperSizeCheck()
    {
        QFETCH(QSize, page);
        QFETCH(int, resolution);
        QFETCH(int, paperSize);
        QFETCH(bool, warning);
        p.resolution = resolution;
        p.paper_size = paperSize;
        w->checkPaperSize(
            ImageManager::Instance()->AddImage(new QImage(page, QImage::Format_RGB32), p.name));
        QCOMPARE(w->statusBar()->currentMessage(),
                 warning ? QString("警告：稿件大小与参数设置的大小不一致") : QString());
    }

    void printerStatusLabel()
    {
        // The window opens showing "Failed" until the monitor's first answer arrives.
        delete w;
        w = new MainWindow();
        auto *label = find<QLabel>("label_status");
        QCOMPARE(label->text(), QString("无法连接复合机，请检查网络端口"));
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), QString("成功连接复合机"), 8000);

        // Equal reports do not rewrite the label.
        label->setText("marker");
        QMetaObject::invokeMethod(w, "onUpdateStatus", Q_ARG(int, 0));
        QCOMPARE(label->text(), QString("marker"));
        QMetaObject::invokeMethod(w, "onUpdateStatus", Q_ARG(int, 1));
        QCOMPARE(label->text(), QString("无法连接复合机，请检查网络端口"));
    }

    void searchablePdfOfThreeScannedPages()
    {
        // The scan ends as any other (commands back, pages shown) while the text is still being
        // recognised, "文字识别 N/3" in the status bar; then the PDF is there, the status line
        // says so and the work log records it. Every page has its own text (pdftotext), the
        // pages look like the scan (pdftoppm).
        scanThreeTextPages();
        const int records = logLines().size();
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        QStringList progress;
        QTimer watch; // the label has no signal of its own
        connect(&watch, &QTimer::timeout, this, [&] {
            if (textLabel()->isVisible() &&
                progress.value(progress.size() - 1) != textLabel()->text())
                progress << textLabel()->text();
        });
        watch.start(5);
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(waitIdle());
        QCOMPARE(w->recognisingRuns(), 1);
        QCOMPARE(enabled(m_commands), m_commands);
        QVERIFY(find<QAction>("action_cancelScan")->isEnabled()); // the recognition's cancel
        QCOMPARE(ImageManager::Instance()->count(), 3);
        QCOMPARE(thumbnails(), 3);
        QVERIFY(w->previewWindow()->isVisible());
        QCOMPARE(runResult(), QString("已扫描 3 页"));
        QVERIFY(textLabel()->isVisible());
        QVERIFY(textLabel()->text().startsWith("文字识别 ") && textLabel()->text().endsWith("/3"));
        QCOMPARE(logLines().size(), records); // recorded when the file is there
        TestEnvironment::screenshot(w, "statusbar-recognising");

        QVERIFY(waitRecognised());
        watch.stop();
        QVERIFY(!textLabel()->isVisible());
        // Pages recognised of those handed over so far, both only growing.
        int done = 0, total = 0;
        for (const QString &shown : progress) {
            const QRegularExpressionMatch m =
                QRegularExpression("^文字识别 (\\d)/([1-3])$").match(shown);
            QVERIFY2(m.hasMatch() && m.captured(1).toInt() >= done &&
                         m.captured(2).toInt() >= total,
                     qPrintable(shown));
            done = m.captured(1).toInt();
            total = m.captured(2).toInt();
        }
        const QString pdf = dest->filePath(ImageManager::Instance()->at(0)->name + ".pdf");
        QCOMPARE(filesIn(dest->path()), QStringList(QFileInfo(pdf).fileName()));
        QCOMPARE(runResult(), "已保存 3 页到 " + pdf);
        QCOMPARE(logLines().size(), records + 1);
        QCOMPARE(lastRecord().status, QString("Success"));
        QCOMPARE(lastRecord().path, pdf);
        TestEnvironment::screenshot(w, "statusbar-searchable-saved");
        QVERIFY(!find<QAction>("action_cancelScan")->isEnabled());

        QCOMPARE(PdfFiles::pdfinfoPages(pdf), 3);
        for (int page = 1; page <= 3; ++page) {
            const QString text = PdfFiles::pageText(pdf, page);
            QVERIFY2(text.contains(QString("第%1页Page%1").arg(page)) &&
                         text.contains("甲方乙方签订合同contractpayment"),
                     qPrintable(text));
            // Drawn at 50 dpi the page is A4 and shows its lines: as much ink as the scan.
            const QImage drawn = PdfFiles::render(pdf, page, 50);
            QVERIFY(qAbs(drawn.width() - 413) <= 1 && qAbs(drawn.height() - 585) <= 1);
            const QImage scanned = TextPages::a4(page, 50);
            const double ink = darkShare(drawn), expected = darkShare(scanned);
            QVERIFY2(ink > 0.5 * expected && ink < 2 * expected,
                     qPrintable(QString("%1 against %2").arg(ink).arg(expected)));
            if (page == 1)
                TestEnvironment::keepPicture(PdfFiles::render(pdf, page, 100), "searchable-page-1");
        }
        QTest::qWait(100);
        QVERIFY(answerer.seen.isEmpty());
    }

    void aSecondScanWhileTheTextIsRecognised()
    {
        // The commands come back when the scan is over: a second scan (here to JPG) starts while
        // the first one's text is still recognised, and each run is recorded when it is over.
        // The preview shows the second scan's pages.
        scanThreeTextPages();
        const int records = logLines().size();
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(waitIdle());
        const QString pdf = dest->filePath(ImageManager::Instance()->at(0)->name + ".pdf");
        qunsetenv("SCANCONSOLE_PAGE_FILES");
        find<QComboBox>("combox_saveType")->setCurrentIndex(SaveFormat::Jpg);
        QCOMPARE(w->recognisingRuns(), 1);
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(w->isRunActive() && w->recognisingRuns() == 1); // side by side
        QVERIFY(waitIdle());
        QCOMPARE(ImageManager::Instance()->count(), 3);
        QCOMPARE(thumbnails(), 3);
        const QString jpg = dest->filePath(ImageManager::Instance()->at(0)->name + ".jpg");
        QVERIFY(waitRecognised());
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), records + 2);
        QStringList recorded; // in the order the runs ended, which depends on the machine's load
        for (int i = records; i < lines.size(); ++i) {
            const LogRecord record = LogRecord::parse(lines.at(i).toUtf8());
            QCOMPARE(record.status, QString("Success"));
            recorded << record.path;
        }
        QStringList expected{jpg, pdf};
        recorded.sort();
        expected.sort();
        QCOMPARE(recorded, expected);
        const bool pdfLast = lastRecord().path == pdf;
        QCOMPARE(runResult(), "已保存 3 页到 " + (pdfLast ? pdf : dest->path()));
        QCOMPARE(PdfFiles::pdfinfoPages(pdf), 3);
        QVERIFY(PdfFiles::pageText(pdf, 3).contains("第3页Page3"));
        QCOMPARE(filesIn(dest->path()).size(), 4);
    }

    void stoppingTheRecognitionKeepsThePages_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("文件 → 取消扫描") << "menu";
        QTest::newRow("closing the window") << "close";
    }
    void stoppingTheRecognitionKeepsThePages()
    {
        // Stopped once the scan is over, the PDF is still written at once with every page, the
        // pages not recognised yet without text; the status line and the record say so. Closing
        // the window stops it the same way and waits for the file and the record.
        QFETCH(QString, how);
        scanThreeTextPages();
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(waitIdle());
        QCOMPARE(w->recognisingRuns(), 1);
        const QString pdf = dest->filePath(ImageManager::Instance()->at(0)->name + ".pdf");
        if (how == "menu") {
            auto *cancel = find<QAction>("action_cancelScan");
            QVERIFY(cancel->isEnabled());
            cancel->trigger();
            QVERIFY(!cancel->isEnabled());
        } else {
            QVERIFY(!w->close());
            QVERIFY(w->isVisible());
        }
        QVERIFY(waitRecognised(30000)); // no longer the seconds per page
        if (how == "close")
            QTRY_VERIFY(!w->isVisible());
        QCOMPARE(lastRecord().status, QString("Success-TextCancelled"));
        QCOMPARE(lastRecord().path, pdf);
        QCOMPARE(runResult(), "已保存 3 页到 " + pdf + "，文字识别已取消");
        QCOMPARE(PdfFiles::pdfinfoPages(pdf), 3);
        QCOMPARE(PdfFiles::pageText(pdf, 3), QString()); // the last page had no time
        const QList<PdfFiles::Page> pages = PdfFiles::pages(pdf);
        QCOMPARE(pages.size(), 3);
        for (const PdfFiles::Page &page : pages)
            QVERIFY(page.pixels == QSize(1654, 2339) && page.filter == "/DCTDecode");
        if (how == "menu") {
            // Too long for the status bar: the folder gives way, the remark stays in view.
            const QString shown = findChildOrDie<ElidedLabel>(w, "label_runResult")->shownText();
            QVERIFY2(shown.startsWith("已保存 3 页到 ") && shown.contains(QChar(0x2026)) &&
                         shown.endsWith(".pdf，文字识别已取消"),
                     qPrintable(shown));
            TestEnvironment::screenshot(w, "statusbar-recognition-cancelled");
        }
    }

    void blankPagesAndSkewedPagesFromTheFeeder()
    {
        // 去除空白页 and 自动纠偏 from the panel: the blank sheet is stored and shown as skipped,
        // not saved, and counted in the status line; the skewed page is stored straight.
        DocumentPages::Options text, blank;
        text.dpi = blank.dpi = 200;
        text.skewDegrees = 2.0;
        text.noise = blank.noise = blank.showThrough = blank.holes = true;
        blank.textLines = 0;
        scanPages({DocumentPages::page(text, 1), DocumentPages::page(blank, 2),
                   DocumentPages::page(text, 3)});
        configure(1, SaveFormat::Jpg);
        p.resolution = 1;
        p.image_type = 1;
        w->InitParameter();
        QTest::mouseClick(find<QCheckBox>("cb_deskew"), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(find<QCheckBox>("cb_skip_blank"), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(waitIdle(60000));
        ImageManager *store = ImageManager::Instance();
        QCOMPARE(store->count(), 3);
        QCOMPARE(thumbnails(), 3);
        QVERIFY(store->at(1)->skipped);
        QCOMPARE(filesIn(dest->path()).size(), 2);
        QCOMPARE(runResult(), "已保存 2 页到 " + dest->path() + "，已跳过 1 页空白页");
        QCOMPARE(lastRecord().status, QString("Success"));
        TestEnvironment::screenshot(w, "statusbar-blank-skipped");
        for (int i = 0; i < 2; ++i) {
            const Deskew::Skew skew =
                Deskew::measure(QImage(dest->filePath(filesIn(dest->path()).at(i))));
            QVERIFY(skew.measured && qAbs(skew.degrees) < Deskew::kMinDegrees);
        }
        QCOMPARE(leftInPageFolder(), QStringList());
    }

    void skippedPageGoesBack_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("scan");
        // "name": a folder holds the page's file name (the next free name is taken); "folder": a
        // file stands where the destination folder was (the write fails).
        QTest::addColumn<QString>("obstacle");
        QTest::newRow("JPG") << int(SaveFormat::Jpg) << true << "";
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
        p.resolution = 1;
        p.skip_blank = true;
        w->InitParameter();
        QTest::mouseClick(find<QPushButton>(scan ? "btn_scan" : "btn_viewer"), Qt::LeftButton);
        QVERIFY(waitRecognised());
        ImageManager *store = ImageManager::Instance();
        QVERIFY(store->count() == 3 && store->at(1)->skipped);
        const bool merged = SaveFormat::isMerged(format);
        const QString first = dest->filePath(store->at(0)->name + SaveFormat::suffix(format));
        const QString saved = "已保存 %1 页到 " + (merged ? first : dest->path());
        QCOMPARE(runResult(), (scan ? saved.arg(2) : "已扫描 2 页") + "，已跳过 1 页空白页");
        const int records = logLines().size();
        PreviewWindow *preview = w->previewWindow();
        auto *restore = preview->findChild<QAction *>("action_restorePage");
        preview->SetCurImage(1);
        QString page = dest->filePath(store->at(1)->name + SaveFormat::suffix(format));
        if (obstacle == "folder") {
            QVERIFY(QDir(dest->path()).removeRecursively());
            QVERIFY(QFile(dest->path()).open(QIODevice::WriteOnly));
            ModalAnswerer answerer;
            answerer.expectMessageBox();
            restore->trigger();
            QVERIFY(answerer.waitSeen(1));
            QFile::remove(dest->path());
            QCOMPARE(answerer.seen.first().text, "无法写入 " + page);
            QVERIFY(store->at(1)->skipped && restore->isEnabled());
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
        if (!scan) {
            QVERIFY(filesIn(dest->path()).isEmpty());
            return;
        }
        QCOMPARE(lastRecord().status, QString("Success"));
        if (!merged) {
            QCOMPARE(filesIn(dest->path()).size(), 3);
            QCOMPARE(lastRecord().path, page);
            QVERIFY(QImage(page).size() == QSize(827, 583));
            return;
        }
        QCOMPARE(filesIn(dest->path()), QStringList(QFileInfo(first).fileName()));
        QCOMPARE(lastRecord().path, first);
        const QList<PdfFiles::Page> pages = PdfFiles::pages(first);
        QCOMPARE(pages.size(), 3);
        for (int i = 0; i < 3; ++i) // the blank card in its place
            QCOMPARE(darkShare(QImage::fromData(pages.at(i).data)) == 0.0, i == 1);
        if (format == SaveFormat::SearchablePdf)
            QCOMPARE(PdfFiles::pageText(first, 3), QString("付款日期Delivery"));
    }

    void closingDuringAScanSavesItsPagesFirst()
    {
        // The window's close button during a scan: the scan is cancelled, the window stays until
        // its pages are saved and its record written, then it closes.
        configure(1, 0);
        slowFeeder(8, 1000);
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(ImageManager::Instance()->count() >= 1, 30000);
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QVERIFY(waitIdle());
        QTRY_VERIFY(!w->isVisible());
        QCOMPARE(lastRecord().status, QString("Cancel"));
        QCOMPARE(filesIn(dest->path()).size(), ImageManager::Instance()->count());
    }

    void quitEndsTheProgram_data()
    {
        QTest::addColumn<bool>("scanning");
        QTest::newRow("idle") << false;
        QTest::newRow("during a scan") << true;
    }
    void quitEndsTheProgram()
    {
        // "退出" with the preview and log windows open closes all three and ends the event
        // loop; a scan under way is cancelled first and its pages are saved.
        QFETCH(bool, scanning);
        configure(1, 0);
        w->logWindow()->show();
        w->previewWindow()->show();
        ImageManager *store = ImageManager::Instance();
        if (scanning) {
            slowFeeder(8, 1000);
            QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(store->count() >= 1, 30000);
        }
        QTimer::singleShot(0, find<QAction>("action_quit"), &QAction::trigger);
        QTimer guard; // a loop that does not end fails the case instead of hanging
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(60000);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!w->isVisible() && !w->previewWindow()->isVisible() &&
                !w->logWindow()->isVisible());
        QVERIFY(!w->isRunActive());
        if (scanning) {
            QVERIFY(store->count() >= 1 && store->count() < 8);
            QCOMPARE(filesIn(dest->path()).size(), store->count());
            QCOMPARE(lastRecord().status, QString("Cancel"));
        }
    }
};

SCANCONSOLE_TEST_MAIN(TestScanRoad)
#include "tst_scanroad.moc"
