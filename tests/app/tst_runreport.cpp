#include "app/RunReport.h"
#include "app/ScanDocument.h"
#include "app/ScanResultText.h"
#include "settings/SaveFormat.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestRows.h"

#include <QApplication>
#include <QTest>

// What a finished run says about itself, from what it did: the work log's result and path, the
// status-bar line and the warning, for scans, previews, cancels and failures.
class TestRunReport : public QObject
{
    Q_OBJECT

    const QString m_jam =
        "卡纸：已保存前 %1 页。请取出卡住的纸张，把第 %2 张起的纸重新放入进纸器，然后点击"
        "\"继续扫描\"。";

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
        const QString jam = m_jam;
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
            << "Fail" << "" << "" << "进纸器中没有纸张：请放入纸张后重试。" << 0 << false;
        QTest::newRow("jam after pages") << true << false << 9 << jpg << 2 << 2
            << "Fail" << first << "已保存 2 页到 /d" << jam.arg(2).arg(3) << 0 << false;
        QTest::newRow("cancelled") << true << true << 130 << jpg << 2 << 2
            << "Cancel" << first << "扫描已取消，已保存 2 页" << "" << 0 << false;
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
        QTest::newRow("blank pages, cancelled") << true << true << 130 << pdf << 1 << 1
            << "Cancel" << merged << "扫描已取消，已保存 1 页，已跳过 1 页空白页" << "" << 1 << false;
        QTest::newRow("jam after blank pages") << true << false << 9 << jpg << 0 << 0
            << "Fail" << "" << "" << jam.arg(2).arg(3) << 2 << false;
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
            {2, "扫描仪正忙（可能正在复印或被他人使用），请稍后重试。"},
            {3, "扫描仪的扫描服务已停止：请查看扫描仪面板。"},
            {4, "        参数校验失败        "},
            {5, "进纸器中没有纸张：请放入纸张后重试。"},
            {6, "       文件接收错误        "},
            {7, "        文件写入错误        "},
            {8, "       扫描服务内部错误     "},
            {10,
             "扫描仪盖板打开：已保存前 4 页。请合上盖板，把第 5 张起的纸重新放入进纸器，然后点击"
             "\"继续扫描\"。"},
            {42, "        未知错误        "},
            {-2, "无法创建临时图像文件夹"},
            {-7, "        未知错误        "},
            {0, ""}};
        QCOMPARE(
            ScanResultText::message(1, 0, 1, "10.0.0.7"),
            QString(
                "无法连接扫描仪 10.0.0.7：请确认扫描仪已开机并已接入网络，然后在\"选择扫描仪\"中"
                "点击\"测试连接\"。"));
        QCOMPARE(ScanResultText::message(9, 4, 5), m_jam.arg(4).arg(5));
        // What the scanner could not give: the resolution in the status line, the paper size
        // in the warning, after the result's own.
        RunReport r;
        r.folder = "/d";
        r.counts.collected = r.counts.saved = 1;
        r.askedDpi = 150, r.usedDpi = 200, r.resultCode = 2;
        r.askedArea = QSizeF(297, 420), r.maxArea = QSizeF(215.9, 297);
        QCOMPARE(r.statusText(),
                 QString("已保存 1 页到 /d，扫描仪不支持 150 dpi，已按 200 dpi 扫描"));
        QCOMPARE(r.resultWarning(),
                 codes[2] + "\n扫描仪最大支持 216 × 297 mm，已按 216 × 297 mm 扫描");
        r.maxArea = QSizeF(297.4, 431.8);
        QCOMPARE(r.resultWarning(), codes[2]);
        for (auto code = codes.cbegin(); code != codes.cend(); ++code)
            QCOMPARE(ScanResultText::message(code.key(), 4, 5), code.value());
    }

    // A document scanned on after a jam ("继续扫描"): what its last run reports is said for the
    // whole document. Runs "collected/saved/code" ('d': a duplex run); a merged document's run
    // counts every page it wrote again, a single-page one its own files.
    void document_data()
    {
        // format | runs | log status and path | status line | jam warning: pages, sheet
        TestRows::add(
            {"JPG | jpg | 2/2/9 3/3/0 | Success /d/p1.jpg | 已保存 5 页到 /d |",
             "merged | pdf | 2/2/9 3/5/0 | Success /d/p1.pdf | 已保存 5 页到 /d/p1.pdf |",
             "jams again | pdf | 2/2/9 0/0/9 | Fail /d/p1.pdf | 已保存 2 页到 /d/p1.pdf | 2 3",
             "written again fails | pdf | 2/2/9 3/0/0 | Fail /d/p1.pdf | 已保存 2 页到 /d/p1.pdf |",
             "duplex: sheets | jpg | 2/2/9 3/3/9d | Fail /d/p1.jpg | 已保存 5 页到 /d | 5 3"});
    }
    void document()
    {
        QFETCH(QStringList, fields);
        const bool merged = fields[0] == "pdf";
        const QStringList runs = fields[1].split(' ');
        ScanDocument doc;
        RunReport last;
        int ids[4];
        for (int k = 0; k < runs.size(); ++k) {
            const QStringList n = runs[k].split('/');
            RunReport r;
            r.saveType = merged ? SaveFormat::MergedPdf : SaveFormat::Jpg;
            r.folder = "/d";
            r.resultCode = QString(n[2]).remove('d').toInt();
            r.duplex = n[2].endsWith('d');
            r.counts.collected = n[0].toInt();
            r.counts.saved = n[1].toInt();
            if (r.counts.saved > 0)
                r.counts.firstFile = merged ? "/d/p1.pdf" : QString("/d/p%1.jpg").arg(k + 1);
            r.counts.failedSaves = r.counts.saved ? 0 : r.counts.collected + 2;
            if (k == 0)
                doc.begin(&ids[k], ScanSettings(), "a", true);
            else
                doc.continueWith(&ids[k]);
            QCOMPARE(doc.whole(&ids[3], r).counts.collected, r.counts.collected); // not the doc's
            last = doc.ended(&ids[k], r);
        }
        QCOMPARE(QString("%1 %2").arg(LogRecord::resultText(last.logResult()), last.logPath()),
                 fields[2]);
        QCOMPARE(last.statusText(), fields[3]);
        const QStringList jam = fields[4].split(' ', Qt::SkipEmptyParts);
        QCOMPARE(last.resultWarning(), jam.isEmpty() ? QString() : m_jam.arg(jam[0], jam[1]));
    }
};

SCANCONSOLE_TEST_MAIN(TestRunReport)
#include "tst_runreport.moc"
