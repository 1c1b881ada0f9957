#include "app/ElidedLabel.h"
#include "app/RunList.h"
#include "tests/support/TestRows.h"

#include <QApplication>
#include <QTest>

namespace {

// A run as the list sees it: what it says about itself, and which cancel it was given.
struct FakeRun
{
    bool stoppable = true; // canCancel()
    bool scanning = true;  // the scan program has not ended
    bool collected = false;
    bool text = false; // recognises text, not ended yet
    int done = 0, total = 0;
    int cancels = 0, cancelAlls = 0;

    bool canCancel() const { return stoppable; }
    bool scanEnded() const { return !scanning; }
    bool isCancelled() const { return cancels + cancelAlls > 0; }
    bool isCollected() const { return collected; }
    bool recognisesText() const { return text; }
    bool textEnded() const { return false; }
    int textDone() const { return done; }
    int textTotal() const { return total; }
    void cancel() { ++cancels; }
    void cancelAll() { ++cancelAlls; }
};

using Runs = RunList<FakeRun>;

} // namespace

// The main window's parts that need no window: its runs and its status line. (Its slider and
// spin-box pairs are held by the panel's couplings.)
class TestWindowParts : public QObject
{
    Q_OBJECT

private slots:
    void cancelRouting_data()
    {
        // The run under way (none, stoppable while scanning or recognising, nothing left to
        // stop), the finishing runs' canCancel(), and what one cancel command does.
        QTest::addColumn<int>("current"); // 0 none, 1 scanning, 2 recognising, 3 not stoppable
        QTest::addColumn<QList<bool>>("finishing");
        QTest::addColumn<bool>("canCancel");
        QTest::addColumn<bool>("currentCancelled");
        QTest::addColumn<int>("finishingCancelled");
        QTest::addColumn<bool>("stopsScan");
        // clang-format off
        QTest::newRow("nothing") << 0 << QList<bool>{} << false << false << 0 << false;
        QTest::newRow("scan first") << 1 << QList<bool>{true} << true << true << 0 << true;
        QTest::newRow("its text next") << 2 << QList<bool>{true} << true << true << 0 << false;
        QTest::newRow("then earlier texts") << 3 << QList<bool>{true, false} << true << false << 2
                                           << false;
        QTest::newRow("earlier texts alone") << 0 << QList<bool>{true} << true << false << 1 << false;
        QTest::newRow("all stopped") << 3 << QList<bool>{false} << false << false << 1 << false;
        // clang-format on
    }

    void cancelRouting()
    {
        QFETCH(int, current);
        QFETCH(QList<bool>, finishing);
        Runs runs;
        FakeRun *now = nullptr;
        if (current > 0) {
            auto run = std::make_unique<FakeRun>();
            run->scanning = current == 1;
            run->stoppable = current != 3;
            now = run.get();
            QVERIFY(runs.start(std::move(run)));
        }
        std::vector<FakeRun *> earlier;
        for (bool stoppable : finishing) {
            auto run = std::make_unique<FakeRun>();
            run->stoppable = stoppable;
            earlier.push_back(run.get());
            runs.keepFinishing(std::move(run));
        }
        QTEST(runs.canCancel(), "canCancel");
        QTEST(runs.cancel(), "stopsScan");
        QTEST(now && now->cancels == 1, "currentCancelled");
        QTEST(int(std::count_if(earlier.begin(), earlier.end(),
                                [](const FakeRun *run) { return run->cancels == 1; })),
              "finishingCancelled");
        // Quit or close stops everything, whatever cancel has done already.
        runs.cancelAll();
        for (const FakeRun *run : earlier)
            QCOMPARE(run->cancelAlls, 1);
        QVERIFY(!now || now->cancelAlls == 1);
    }

    void lifecycle()
    {
        Runs runs;
        QVERIFY(runs.isIdle() && runs.canStart());
        auto first = std::make_unique<FakeRun>();
        FakeRun *scan = first.get();
        scan->text = true;
        scan->total = 3;
        QVERIFY(runs.start(std::move(first)) && !runs.canStart() && runs.current() == scan);
        QVERIFY(!runs.start(std::make_unique<FakeRun>())); // one run at a time
        QVERIFY(!runs.takeCollected());                    // its collector has not ended

        scan->collected = true;
        std::unique_ptr<FakeRun> taken = runs.takeCollected();
        QCOMPARE(taken.get(), scan);
        QVERIFY(runs.canStart() && runs.isIdle());
        runs.keepFinishing(std::move(taken)); // its text goes on: a new scan may start
        QVERIFY(runs.canStart() && !runs.isIdle());
        auto second = std::make_unique<FakeRun>();
        second->text = true;
        second->done = 1;
        second->total = 2;
        QVERIFY(runs.start(std::move(second)));
        const Runs::TextProgress text = runs.textProgress();
        QVERIFY(text.any && text.done == 1 && text.total == 5);
        FakeRun other;
        QVERIFY(!runs.takeFinished(&other) && runs.takeFinished(scan) && !runs.finishingCount());
        runs.clear();
        QVERIFY(runs.isIdle() && !runs.textProgress().any);
    }

    // The status line narrower than its text: the folder gives way first, then the end of the
    // text; the counts at its start stay. "text | the width of | shown text starts | ends".
    void elidedLabel_data()
    {
        TestRows::add(
            {"folder shortened | 已保存 3 页到 /home/op/Scans/2026，已跳过 1 页空白页 | "
             "已保存 3 页到 /h…，已跳过 1 页空白页 | 已保存 3 页到 / | ，已跳过 1 页空白页",
             "then the end | 已保存 3 页到 /home/op/Scans，已跳过 1 页空白页 | 已保存 3 页到 "
             "…，已跳过 1 页 | 已保存 3 页到 …，已跳过 1 | …",
             "no folder | 已扫描 6 页，扫描仪不支持 150 dpi | 已扫描 6 页，扫描 | 已扫描 6 页， | "
             "…",
             "it fits | 已扫描 6 页 | 已扫描 6 页 | 已扫描 6 页 | 页"});
    }
    void elidedLabel()
    {
        QFETCH(QStringList, fields);
        ElidedLabel label;
        label.setText(fields[0]);
        label.resize(label.fontMetrics().horizontalAdvance(fields[1]) + 1, 20);
        const QString shown = label.shownText();
        QVERIFY2(shown.startsWith(fields[2]) && shown.endsWith(fields[3]), qPrintable(shown));
        QVERIFY(label.fontMetrics().horizontalAdvance(shown) <= label.width());
    }
};

QTEST_MAIN(TestWindowParts)
#include "tst_windowparts.moc"
