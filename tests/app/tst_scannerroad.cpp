#include "app/MainWindow.h"
#include "log/LogRecord.h"
#include "pages/ImageManager.h"
#include "preview/PreviewWindow.h"
#include "settings/ParamSetting.h"
#include "settings/SaveFormat.h"
#include "tests/support/EsclScannerProcess.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/PdfFiles.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestRows.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The main window over the real scan road (ScanConsoleApp, SANE, sane-airscan, the simulated
// scanner on loopback): a jam and "继续扫描" into the same document; the paper size and the
// resolution the scanner has or lacks.
class TestScannerRoad : public QObject
{
    Q_OBJECT

    ParamSetting &p = ParamSetting::instance;
    std::unique_ptr<MainWindow> w;
    std::unique_ptr<EsclScannerProcess> scanner;
    QTemporaryDir dest;

    void useScanner(const QString &settings)
    {
        scanner = std::make_unique<EsclScannerProcess>(settings);
        QVERIFY(scanner->isListening());
        qputenv("SCANCONSOLE_DEVICE_URL", scanner->urlTemplate().toUtf8());
    }
    static LogRecord record(int fromEnd)
    {
        QFile f("./logFiles/logs.txt");
        const QList<QByteArray> lines =
            f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().split('\n') : QList<QByteArray>();
        return LogRecord::parse(lines.value(lines.size() - 1 - fromEnd));
    }

private slots:
    void init()
    {
        TestEnvironment::clearTempImages();
        TestEnvironment::resetConfig();
        TestEnvironment::resetRecord();
        QDir("./logFiles").removeRecursively();
        QVERIFY(QDir(dest.path()).removeRecursively() && QDir().mkpath(dest.path()));
        w = std::make_unique<MainWindow>();
        w->show();
    }
    void cleanup()
    {
        QVERIFY(QTest::qWaitFor([&] { return !w->isRunActive(); }, 60000));
        w.reset();
        scanner.reset();
        ImageManager::Instance()->ClearImages();
        TestEnvironment::clearTempImages();
    }

    void jamThenContinueScan()
    {
        // The feeder jams after 2 of 5 sheets: the warning says what is kept and offers
        // "继续扫描", which (the jam cleared, 3 sheets put back) scans on into the same merged
        // PDF: 5 pages in order under the first page's name, numbered on, and the work log's
        // last record names the whole document.
        useScanner("SHEETS=5 FAULT=jam FAULT_AFTER=2");
        p.source_type = 1;
        p.save_type = SaveFormat::MergedPdf;
        p.image_type = 1;
        p.resolution = 1;
        p.save_path = dest.path();
        p.progress = true;
        w->InitParameter();
        ModalAnswerer answerer;
        QString onward;
        answerer.expect([&](QWidget *box) {
            useScanner("SHEETS=3");
            QPushButton *button = box->findChild<QPushButton *>("btn_continueScan");
            onward = button ? button->text() : QString();
            if (button)
                button->click();
        });
        QTest::mouseClick(w->findChild<QPushButton *>("btn_scan"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(1, 60000));
        QCOMPARE(answerer.seen.value(0).text,
                 QString("卡纸：已保存前 2 页。请取出卡住的纸张，把第 3 张起的纸重新放入进纸器，"
                         "然后点击\"继续扫描\"。"));
        QCOMPARE(onward, QString("继续扫描"));
        QVERIFY(QTest::qWaitFor([&] { return w->isRunActive(); }, 10000));
        QVERIFY(QTest::qWaitFor([&] { return !w->isRunActive(); }, 60000));

        ImageManager *store = ImageManager::Instance();
        QCOMPARE(store->count(), 5);
        const QString pdf = dest.filePath(store->at(0)->name + ".pdf");
        QCOMPARE(QDir(dest.path()).entryList(QDir::Files), QStringList(QFileInfo(pdf).fileName()));
        QCOMPARE(PdfFiles::pdfinfoPages(pdf), 5);
        for (int i = 1; i < 5; ++i)
            QVERIFY(store->at(i)->name.startsWith(QString("Image%1-").arg(i + 1)));
        QCOMPARE(w->previewWindow()->findChild<QListWidget *>("ImageListWidget")->count(), 5);
        QCOMPARE(record(1).status + " " + record(1).path, "Fail " + pdf);
        QCOMPARE(record(0).status + " " + record(0).path, "Success " + pdf);
        QCOMPARE(w->findChild<QLabel *>("label_runResult")->text(), "已保存 5 页到 " + pdf);
        QCOMPARE(answerer.seen.size(), 1);
        QVERIFY(w->findChild<QAction *>("action_continueScan")->isEnabled());
    }

    // 稿件大小 is the area scanned, from the top left corner; a size beyond the scanner's (8.5 x
    // 11.7 inch) is scanned as far as it reaches, with a warning naming both sizes; a resolution
    // it lacks (150 dpi) is said in the status line with the one used, and the files state it.
    void paperSizeAndResolution_data()
    {
        // paper size | resolution index | page in pixels | warning | status line's remark
        TestRows::add(
            {"A5 at 200 dpi | 4 | 1 | 1165x1654 | |",
             "A3 on an A4 scanner | 16 | 1 | 1700x2339 | 扫描仪最大支持 216 × 297 mm，已按 "
             "216 × 297 mm 扫描 |",
             "150 dpi scanned at 200 | 8 | 0 | 1654x2339 | | ，扫描仪不支持 150 dpi，已按 "
             "200 dpi 扫描"});
    }
    void paperSizeAndResolution()
    {
        QFETCH(QStringList, fields);
        useScanner("");
        p.source_type = 0;
        p.save_type = SaveFormat::Jpg;
        p.paper_size = fields[0].toInt();
        p.resolution = fields[1].toInt();
        p.save_path = dest.path();
        p.progress = true;
        w->InitParameter();
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        QTest::mouseClick(w->findChild<QPushButton *>("btn_scan"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return w->isRunActive(); }, 10000));
        QVERIFY(QTest::qWaitFor([&] { return !w->isRunActive(); }, 60000));
        QCOMPARE(answerer.seen.value(0).text, fields[3]); // none when empty
        const QString file = QDir(dest.path()).entryList(QDir::Files).value(0);
        const QImage page(dest.filePath(file));
        const QStringList size = fields[2].split('x');
        QVERIFY2(qAbs(page.width() - size[0].toInt()) <= 2 &&
                     qAbs(page.height() - size[1].toInt()) <= 2,
                 qPrintable(QString("%1x%2").arg(page.width()).arg(page.height())));
        QCOMPARE(qRound(page.dotsPerMeterX() * 0.0254), 200);
        QCOMPARE(w->findChild<QLabel *>("label_runResult")->text(),
                 "已保存 1 页到 " + dest.path() + fields[4]);
    }
};

SCANCONSOLE_TEST_MAIN(TestScannerRoad)
#include "tst_scannerroad.moc"
