#include "app/RunReport.h"
#include "app/ScanResultText.h"
#include "settings/SaveFormat.h"
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
        QTest::addColumn<int>("skipped");        // blank pages left out
        QTest::addColumn<bool>("textCancelled"); // the searchable PDF's recognition stopped
        const QString first = "/d/Image-2024.jpg", merged = "/d/Image-2024.pdf";
        const int jpg = SaveFormat::Jpg, pdf = SaveFormat::MergedPdf;
        // clang-format off
        QTest::newRow("all saved") << true << false << 0 << jpg << 3 << 3
            << "Success" << first << "已保存 3 页到 /d" << "" << 0 << false;
        QTest::newRow("merged PDF") << true << false << 0 << pdf << 3 << 3
            << "Success" << merged << "已保存 3 页到 " + merged << "" << 0 << false;
        QTest::newRow("one not saved") << true << false << 0 << jpg << 3 << 2
            << "Fail" << first << "已保存 2 页到 /d" << "" << 0 << false;
        QTest::newRow("none saved") << true << false << 0 << jpg << 3 << 0
            << "Fail" << "" << "已保存 0 页到 /d" << "" << 0 << false;
        QTest::newRow("no page") << true << false << 5 << jpg << 0 << 0
            << "Fail" << "" << "" << "没有可获取的图像用于扫描" << 0 << false;
        QTest::newRow("jam after pages") << true << false << 8 << jpg << 2 << 2
            << "Fail" << first << "已保存 2 页到 /d" << "       扫描服务内部错误     " << 0 << false;
        QTest::newRow("cancelled") << true << true << 130 << jpg << 2 << 2
            << "Cancel" << first << "扫描已取消，已保存 2 页" << "" << 0 << false;
        QTest::newRow("cancelled at once") << true << true << 130 << jpg << 0 << 0
            << "Cancel" << "" << "扫描已取消，已保存 0 页" << "" << 0 << false;
        QTest::newRow("130 without a cancel") << true << false << 130 << jpg << 1 << 1
            << "Fail" << first << "已保存 1 页到 /d" << "        未知错误        " << 0 << false;
        QTest::newRow("preview") << false << false << 0 << jpg << 4 << 0
            << "Success" << "" << "已扫描 4 页" << "" << 0 << false;
        QTest::newRow("empty preview") << false << false << 0 << jpg << 0 << 0
            << "Fail" << "" << "已扫描 0 页" << "" << 0 << false;
        QTest::newRow("cancelled preview") << false << true << 130 << jpg << 1 << 0
            << "Cancel" << "" << "扫描已取消，已扫描 1 页" << "" << 0 << false;
        const QString searchable = "/d/Image-2024.pdf";
        const int text = SaveFormat::SearchablePdf;
        QTest::newRow("searchable PDF") << true << false << 0 << text << 3 << 3
            << "Success" << searchable << "已保存 3 页到 " + searchable << "" << 0 << false;
        QTest::newRow("searchable PDF, recognition cancelled") << true << false << 0 << text << 3
            << 3 << "Success-TextCancelled" << searchable
            << "已保存 3 页到 " + searchable + "，文字识别已取消" << "" << 0 << true;
        QTest::newRow("searchable PDF not written") << true << false << 0 << text << 3 << 0
            << "Fail" << "" << "已保存 0 页到 /d" << "" << 0 << false;
        QTest::newRow("scan cancelled, then recognition") << true << true << 130 << text << 2 << 2
            << "Cancel" << searchable << "扫描已取消，已保存 2 页，文字识别已取消" << "" << 0 << true;
        QTest::newRow("blank pages left out") << true << false << 0 << jpg << 2 << 2
            << "Success" << first << "已保存 2 页到 /d，已跳过 3 页空白页" << "" << 3 << false;
        QTest::newRow("only blank pages") << true << false << 0 << jpg << 0 << 0
            << "Success" << "" << "已保存 0 页到 /d，已跳过 2 页空白页" << "" << 2 << false;
        QTest::newRow("blank pages, preview") << false << false << 0 << jpg << 1 << 0
            << "Success" << "" << "已扫描 1 页，已跳过 1 页空白页" << "" << 1 << false;
        QTest::newRow("blank pages, cancelled") << true << true << 130 << pdf << 1 << 1
            << "Cancel" << merged << "扫描已取消，已保存 1 页，已跳过 1 页空白页" << "" << 1 << false;
        QTest::newRow("jam after blank pages") << true << false << 8 << jpg << 0 << 0
            << "Fail" << "" << "" << "       扫描服务内部错误     " << 2 << false;
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
        QFETCH(int, skipped);
        QFETCH(bool, textCancelled);
        RunReport r;
        r.textCancelled = textCancelled;
        r.counts.skipped = skipped;
        r.saveFiles = scan;
        r.cancelled = cancelled;
        r.resultCode = code;
        r.saveType = saveType;
        r.folder = "/d";
        r.counts.collected = collected;
        r.counts.saved = saved;
        if (scan && saved > 0)
            r.counts.firstFile =
                SaveFormat::isMerged(saveType) ? "/d/Image-2024.pdf" : "/d/Image-2024.jpg";
        QCOMPARE(QString(LogRecord::resultText(r.logResult())), result);
        QCOMPARE(r.logPath(), path);
        QCOMPARE(r.statusText(), status);
        QCOMPARE(r.resultWarning(), warning);
    }

    void texts()
    {
        QCOMPARE(RunReport::recognitionText(12, 40), QString("文字识别 12/40"));
        // The scan program's result codes, and the console's own (below 0), as the operator
        // reads them.
        const QMap<int, QString> codes{
            {1, "        无法连接打印机        "}, {2, "        扫描服务繁忙        "},
            {3, "        扫描服务停止        "},   {4, "        参数校验失败        "},
            {5, "没有可获取的图像用于扫描"},       {6, "       文件接收错误        "},
            {7, "        文件写入错误        "},   {8, "       扫描服务内部错误     "},
            {42, "        未知错误        "},      {-2, "无法创建临时图像文件夹"},
            {-7, "        未知错误        "},      {0, ""}};
        for (auto code = codes.cbegin(); code != codes.cend(); ++code)
            QCOMPARE(ScanResultText::message(code.key()), code.value());
    }
};

SCANCONSOLE_TEST_MAIN(TestRunReport)
#include "tst_runreport.moc"
