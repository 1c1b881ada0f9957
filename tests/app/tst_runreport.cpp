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
        // flags (s: a scan, which saves files; c: cancelled; t: the recognition stopped) | result
        // code | format | pages collected, saved, skipped as blank | the log's status and path
        // (%f: the first file, %m: the merged one) | status line | warning ("jam": the jam text)
        TestRows::add(
            {"all saved | s | 0 | jpg | 3 3 0 | Success | %f | 已保存 3 页到 /d |",
             "merged PDF | s | 0 | pdf | 3 3 0 | Success | %m | 已保存 3 页到 %m |",
             "one not saved | s | 0 | jpg | 3 2 0 | Fail | %f | 已保存 2 页到 /d |",
             "none saved | s | 0 | jpg | 3 0 0 | Fail | | 已保存 0 页到 /d |",
             "no page | s | 5 | jpg | 0 0 0 | Fail | | | 进纸器中没有纸张：请放入纸张后重试。",
             "jam after pages | s | 9 | jpg | 2 2 0 | Fail | %f | 已保存 2 页到 /d | jam",
             "cancelled | sc | 130 | jpg | 2 2 0 | Cancel | %f | 扫描已取消，已保存 2 页 |",
             "130 without a cancel | s | 130 | jpg | 1 1 0 | Fail | %f | 已保存 1 页到 /d | "
             "未知错误",
             "preview | | 0 | jpg | 4 0 0 | Success | | 已扫描 4 页 |",
             "empty preview | | 0 | jpg | 0 0 0 | Fail | | 已扫描 0 页 |",
             "cancelled preview | c | 130 | jpg | 1 0 0 | Cancel | | 扫描已取消，已扫描 1 页 |",
             "searchable PDF, recognition cancelled | st | 0 | text | 3 3 0 | "
             "Success-TextCancelled | %m | 已保存 3 页到 %m，文字识别已取消 |",
             "scan cancelled, then recognition | sct | 130 | text | 2 2 0 | Cancel | %m | "
             "扫描已取消，已保存 2 页，文字识别已取消 |",
             "blank pages left out | s | 0 | jpg | 2 2 3 | Success | %f | "
             "已保存 2 页到 /d，已跳过 3 页空白页 |",
             "only blank pages | s | 0 | jpg | 0 0 2 | Success | | 已保存 0 页到 /d，已跳过 2 "
             "页空白页 |",
             "jam after blank pages | s | 9 | jpg | 0 0 2 | Fail | | | jam"});
    }
    void report()
    {
        QFETCH(QStringList, fields);
        const QString first = "/d/Image-2024.jpg", merged = "/d/Image-2024.pdf";
        const auto paths = [&](QString text) {
            return text.replace("%f", first).replace("%m", merged);
        };
        const QStringList counts = fields[3].split(' ');
        RunReport r;
        r.saveFiles = fields[0].contains('s');
        r.cancelled = fields[0].contains('c');
        r.textCancelled = fields[0].contains('t');
        r.resultCode = fields[1].toInt();
        r.saveType = fields[2] == "jpg"   ? SaveFormat::Jpg
                     : fields[2] == "pdf" ? SaveFormat::MergedPdf
                                          : SaveFormat::SearchablePdf;
        r.folder = "/d";
        r.counts.collected = counts[0].toInt();
        r.counts.saved = counts[1].toInt();
        r.counts.skipped = counts[2].toInt();
        if (r.saveFiles && r.counts.saved > 0)
            r.counts.firstFile = SaveFormat::isMerged(r.saveType) ? merged : first;
        QCOMPARE(QString(LogRecord::resultText(r.logResult())), fields[4]);
        QCOMPARE(r.logPath(), paths(fields[5]));
        QCOMPARE(r.statusText(), paths(fields[6]));
        // The unknown error's padding is held by texts().
        QCOMPARE(r.resultWarning().trimmed(), fields[7] == "jam" ? m_jam.arg(2).arg(3) : fields[7]);
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
