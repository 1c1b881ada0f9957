#include "app/MainWindow.h"
#include "app/ScanResultText.h"
#include "imaging/ImageManager.h"
#include "log/LogWindow.h"
#include "preview/PreviewWindow.h"
#include "settings/ParamSetting.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/RecordFixtures.h"
#include "tests/support/TestEnvironment.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

// The whole scan road from the main window, with the stand-in scan program in the test's
// application directory: pages in the store, the preview and the destination folder, result
// messages, the work log and the printer status.
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
    QString scanProgram() const { return TestEnvironment::appDir() + "/ScanConsoleApp"; }

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
        script.write(QString("#!/bin/sh\ni=0\n"
                             "while [ ! -e '%1/release' ] && [ $i -lt 600 ]; do\n"
                             "  sleep 0.1; i=$((i+1))\ndone\n"
                             "cp '%1/page.jpg' /tmp/tempimages/.held\n"
                             "mv /tmp/tempimages/.held /tmp/tempimages/held.jpg\n")
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
        qputenv("SCANCONSOLE_SHEETS", "3");
        dest = new QTemporaryDir;
        w = new MainWindow();
        w->show();
    }

    void cleanup()
    {
        release();
        waitIdle();
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
        QVERIFY(lines.last().contains(dest->path() + "/Image.jpg"));
        QCOMPARE(w->logWindow()->findChild<QTableWidget *>("tableWidget")->rowCount(),
                 lines.size());
        QVERIFY(find<QPushButton>("btn_scan")->isEnabled());
        QVERIFY(find<QAction>("action_preview")->isEnabled());
        QVERIFY(filesIn("/tmp/tempimages").isEmpty());
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

    void progressDialogStaysAt99UntilTheResult()
    {
        // The scan program waits for the test, so the start command's progress loop has ended
        // when the click returns: the dialog then stands at 99 until the result arrives.
        configure(1, 0, false);
        holdScanProgram();
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        auto *dialog = w->findChild<QProgressDialog *>("progressDialog");
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QString("请等待"));
        QCOMPARE(dialog->labelText(), QString("扫描中..."));
        QCOMPARE(dialog->value(), 99);
        release();
        QVERIFY(waitIdle());
        QTRY_VERIFY(w->findChild<QProgressDialog *>("progressDialog") == nullptr);
    }

    void aRunKeepsItsSettingsAndLocksTheRecord()
    {
        // While a run is under way (no progress dialog in the way) every command that changes
        // the settings record is disabled; a change made to the record all the same does not
        // reach the run, which saves where and how it was started.
        configure(0, 0);
        holdScanProgram();
        const QStringList commands{"btn_scan",         "btn_viewer",         "btn_resetParam",
                                   "btn_saveParam",    "action_scan",        "action_preview",
                                   "action_saveparam", "action_importparam", "action_customSetting",
                                   "action_IPSetting", "action_base",        "action_major",
                                   "action_custom"};
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
        bool dialogSeen = false;
        QString statusDuringScan;
        QTimer::singleShot(500, this, [&] {
            dialogSeen = w->findChild<QProgressDialog *>("progressDialog") != nullptr;
            statusDuringScan = w->statusBar()->currentMessage();
        });
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(waitIdle());
        QVERIFY(!dialogSeen);
        QCOMPARE(statusDuringScan, QString("扫描中..."));
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

    void unsavedPagesAreReported()
    {
        configure(1, 0);
        QFile blocker(dest->filePath("plainfile"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        p.save_path = dest->filePath("plainfile/sub");
        w->InitParameter();
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        QTest::mouseClick(find<QPushButton>("btn_scan"), Qt::LeftButton);
        QVERIFY(waitIdle());
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.at(0).text,
                 QString("3 页未能保存到 %1").arg(dest->filePath("plainfile/sub")));
        QCOMPARE(ImageManager::Instance()->count(), 3); // the pages are still in the store
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
            ImageManager::Instance()->AddImage(new QImage(page, QImage::Format_RGB32)));
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
};

SCANCONSOLE_TEST_MAIN(TestScanRoad)
#include "tst_scanroad.moc"
