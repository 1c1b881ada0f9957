#include "app/RunReport.h"
#include "imaging/SaveFormat.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QTest>

// What a finished run says about itself, from what it did: the work log's result and path, the
// status-bar line and the warning, for scans, previews, cancels and failures.
class TestRunReport : public QObject
{
    Q_OBJECT

private slots:
    void report_data()
    {
        QTest::addColumn<bool>("scan");
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("saveType");
        QTest::addColumn<int>("collected");
        QTest::addColumn<int>("saved");
        QTest::addColumn<QString>("result"); // the log's status and path, then the status line
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("warning");
        const QString first = "/d/Image-2024.jpg", merged = "/d/Image-2024.pdf";
        const int jpg = SaveFormat::Jpg, pdf = SaveFormat::MergedPdf;
        // clang-format off
        QTest::newRow("all saved") << true << false << 0 << jpg << 3 << 3
            << "Success" << first << "已保存 3 页到 /d" << "";
        QTest::newRow("merged PDF") << true << false << 0 << pdf << 3 << 3
            << "Success" << merged << "已保存 3 页到 " + merged << "";
        QTest::newRow("one not saved") << true << false << 0 << jpg << 3 << 2
            << "Fail" << first << "已保存 2 页到 /d" << "";
        QTest::newRow("none saved") << true << false << 0 << jpg << 3 << 0
            << "Fail" << "" << "已保存 0 页到 /d" << "";
        QTest::newRow("no page") << true << false << 5 << jpg << 0 << 0
            << "Fail" << "" << "" << "没有可获取的图像用于扫描";
        QTest::newRow("jam after pages") << true << false << 8 << jpg << 2 << 2
            << "Fail" << first << "已保存 2 页到 /d" << "       扫描服务内部错误     ";
        QTest::newRow("cancelled") << true << true << 130 << jpg << 2 << 2
            << "Cancel" << first << "扫描已取消，已保存 2 页" << "";
        QTest::newRow("cancelled at once") << true << true << 130 << jpg << 0 << 0
            << "Cancel" << "" << "扫描已取消，已保存 0 页" << "";
        QTest::newRow("130 without a cancel") << true << false << 130 << jpg << 1 << 1
            << "Fail" << first << "已保存 1 页到 /d" << "        未知错误        ";
        QTest::newRow("preview") << false << false << 0 << jpg << 4 << 0
            << "Success" << "" << "已扫描 4 页" << "";
        QTest::newRow("empty preview") << false << false << 0 << jpg << 0 << 0
            << "Fail" << "" << "已扫描 0 页" << "";
        QTest::newRow("cancelled preview") << false << true << 130 << jpg << 1 << 0
            << "Cancel" << "" << "扫描已取消，已扫描 1 页" << "";
        // clang-format on
    }
    void report()
    {
        QFETCH(bool, scan);
        QFETCH(bool, cancelled);
        QFETCH(int, code);
        QFETCH(int, saveType);
        QFETCH(int, collected);
        QFETCH(int, saved);
        QFETCH(QString, result);
        QFETCH(QString, path);
        QFETCH(QString, status);
        QFETCH(QString, warning);
        RunReport r;
        r.saveFiles = scan;
        r.cancelled = cancelled;
        r.resultCode = code;
        r.saveType = saveType;
        r.folder = "/d";
        r.counts.collected = collected;
        r.counts.saved = saved;
        if (scan && saved > 0)
            r.counts.firstFile =
                saveType == SaveFormat::MergedPdf ? "/d/Image-2024.pdf" : "/d/Image-2024.jpg";
        QCOMPARE(QString(LogRecord::resultText(r.logResult())), result);
        QCOMPARE(r.logPath(), path);
        QCOMPARE(r.statusText(), status);
        QCOMPARE(r.resultWarning(), warning);
    }
};

SCANCONSOLE_TEST_MAIN(TestRunReport)
#include "tst_runreport.moc"
