// The searchable PDF and OFD: pages recognised on worker threads, their text found again by
// poppler's pdftotext (line by line, in reading order) and in the OFD's text objects, their
// JPEG files found unchanged; a cancelled job still writes every page, without text.

#include "documents/SearchablePdfJob.h"
#include "documents/TextRecogniser.h"
#include "pages/PageSource.h"
#include "tests/support/PdfFiles.h"
#include "tests/support/SavedFiles.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TextPages.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>

namespace {

// What an OFD page holds: its image objects, and each text object's text with its number of
// characters and DeltaX values and its Fill.
struct OfdPage
{
    int images = 0;
    QStringList lines;
    bool advancesMatch = true; // DeltaX has one value fewer than the text has characters
    bool unfilled = true;
    QList<QPointF> origins; // each line's first character on its baseline, mm from the top left
};
OfdPage ofdPage(const QString &ofd, int page)
{
    QXmlStreamReader xml(
        SavedFiles::entry(ofd, QString("Doc_0/Pages/Page_%1/Content.xml").arg(page)));
    OfdPage result;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("ImageObject"))
            ++result.images;
        if (xml.name() == QLatin1String("TextObject")) {
            result.unfilled = result.unfilled && xml.attributes().value("Fill") == "false";
            const auto box = xml.attributes().value("Boundary").split(' ');
            result.origins << QPointF(box.value(0).toDouble(), box.value(1).toDouble());
        }
        if (xml.name() == QLatin1String("TextCode")) {
            result.origins.last() += QPointF(xml.attributes().value("X").toDouble(),
                                             xml.attributes().value("Y").toDouble());
            const int deltas =
                xml.attributes().value("DeltaX").split(' ', Qt::SkipEmptyParts).size();
            result.lines << xml.readElementText();
            result.advancesMatch =
                result.advancesMatch && deltas == result.lines.last().toUcs4().size() - 1;
        }
    }
    return result;
}

// Character error of `found` against `truth`, whitespace removed, in percent.
double characterError(QString truth, QString found)
{
    const QVector<uint> a = truth.remove(QRegularExpression("\\s")).toUcs4();
    const QVector<uint> b = found.remove(QRegularExpression("\\s")).toUcs4();
    return 100.0 * TextPages::editDistance(a, b) / qMax(1, a.size());
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return process.exitCode() == 0 ? QString::fromUtf8(process.readAllStandardOutput())
                                   : QStringLiteral("failed: ") + process.readAllStandardError();
}

// The box of the first word on `page` that holds `word`, as pdftotext finds it: in points
// from the page's top left.
QRectF wordBox(const QString &pdf, int page, const QString &word)
{
    const QString n = QString::number(page);
    const QRegularExpression box(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)<)re");
    auto words = box.globalMatch(run("pdftotext", {"-bbox", "-f", n, "-l", n, pdf, "-"}));
    while (words.hasNext()) {
        const QRegularExpressionMatch m = words.next();
        if (m.captured(5).contains(word))
            return QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                          QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
    }
    return QRectF();
}

struct Written
{
    bool written;
    int withText;
    int pages;
};

} // namespace

class TestSearchablePdf : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // Runs one job over `images` (each given with its JPEG file when `withJpeg`), cancelled
    // before it starts when `cancel`, and returns what its Finished signal said.
    Written runJob(const QString &target, const QList<QImage> &images, bool withJpeg, int workers,
                   bool cancel = false)
    {
        SearchablePdfJob job(target, workers);
        QSignalSpy progress(&job, &SearchablePdfJob::Progress);
        QSignalSpy finished(&job, &SearchablePdfJob::Finished);
        if (cancel)
            job.cancel();
        for (const QImage &image : images)
            job.addPage(image, withJpeg ? TestFiles::jpeg(image) : QByteArray());
        job.finish();
        if (!job.wait(120000) || finished.size() != 1)
            return {false, -1, -1};
        // Every page reported once, in order, before the end.
        for (int i = 0; i < progress.size(); ++i) {
            if (progress.at(i).at(0).toInt() != i + 1)
                return {false, -2, -2};
        }
        if (progress.size() != images.size())
            return {false, -3, -3};
        const QList<QVariant> end = finished.takeFirst();
        return {end.at(0).toBool(), end.at(1).toInt(), end.at(2).toInt()};
    }

private slots:
    void recognisedTextIsInThePdf_data()
    {
        QTest::addColumn<int>("workers");
        QTest::addColumn<bool>("withJpeg");
        QTest::addColumn<int>("dpi");
        // Recognised on a copy at 300 dpi: decoded at half size, or scaled down (pages at
        // 300 dpi and less, recognised as they are, are the other cases' own).
        QTest::newRow("one worker, JPEG files at 600 dpi") << 1 << true << 600;
        QTest::newRow("two workers, images encoded, 400 dpi") << 2 << false << 400;
    }
    void recognisedTextIsInThePdf()
    {
        QFETCH(int, workers);
        QFETCH(bool, withJpeg);
        QFETCH(int, dpi);
        const QStringList chinese{"合同条款", "付款日期", "中华人民共和国"};
        const QStringList english{"Invoice", "Delivery", "Veldrin"};
        QList<QImage> pages;
        for (int i = 0; i < 3; ++i)
            pages << TextPages::card(chinese[i], english[i] + " 2026", dpi);
        const QString pdf = m_dir.filePath(QString("searchable-%1.pdf").arg(workers));
        const Written w = runJob(pdf, pages, withJpeg, workers);
        QVERIFY(w.written && w.withText == 3 && w.pages == 3);

        QCOMPARE(PdfFiles::pdfinfoPages(pdf), 3);
        // The page keeps its physical size: 105 x 74 mm whatever the resolution.
        const double width = std::lround(105 / 25.4 * dpi) * 72.0 / dpi;
        const double height = std::lround(74 / 25.4 * dpi) * 72.0 / dpi;
        const QList<PdfFiles::Page> embedded = PdfFiles::pages(pdf);
        QCOMPARE(embedded.size(), 3);
        const QSizeF box = embedded.first().box;
        QVERIFY2(std::abs(box.width() - width) < 0.05 && std::abs(box.height() - height) < 0.05,
                 qPrintable(QString("%1 x %2").arg(box.width()).arg(box.height())));
        for (int i = 0; i < 3; ++i) { // each page its own words, in order
            const QString text = PdfFiles::pageText(pdf, i + 1);
            QVERIFY2(text.contains(chinese[i]) && text.contains(english[i]), qPrintable(text));
            QVERIFY(!text.contains(english[(i + 1) % 3]));
            // Over the printed word: 10 mm from the left, on the baseline 50 mm from the top.
            const QRectF word = wordBox(pdf, i + 1, english[i]);
            const double mm = 72 / 25.4;
            QVERIFY2(std::abs(word.left() - 10 * mm) < 1.5 * mm && word.top() < 50 * mm &&
                         word.top() > 44 * mm && word.bottom() > 49 * mm,
                     qPrintable(QString("%1 %2 %3 %4")
                                    .arg(word.left() / mm)
                                    .arg(word.top() / mm)
                                    .arg(word.right() / mm)
                                    .arg(word.bottom() / mm)));
        }
        for (int i = 0; withJpeg && i < 3; ++i) // the JPEG files are embedded unchanged
            QCOMPARE(embedded[i].data, TestFiles::jpeg(pages[i]));
    }

    void searchableOfdHoldsEachPagesText()
    {
        // One package of every page: an image per page (the JPEG as given), each line of the
        // page's text in an invisible text object with one advance per character, starting over
        // the printed line (recognised on a copy at half the 600 dpi).
        const QStringList chinese{"合同条款", "付款日期"}, english{"Invoice", "Delivery"};
        const QString ofd = m_dir.filePath("searchable.ofd");
        QList<QImage> pages;
        for (int i = 0; i < 2; ++i)
            pages << TextPages::card(chinese[i], english[i], 600);
        const Written w = runJob(ofd, pages, true, 2);
        QVERIFY(w.written && w.withText == 2 && w.pages == 2);
        QCOMPARE(SavedFiles::entry(ofd, "Doc_0/PublicRes.xml").count("<ofd:Font "), 1);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(SavedFiles::entry(ofd, QString("Doc_0/Res/Image_%1.jpg").arg(i)),
                     TestFiles::jpeg(pages[i]));
            const OfdPage page = ofdPage(ofd, i);
            QCOMPARE(page.images, 1);
            QCOMPARE(page.lines.size(), 2); // the two lines, each one run
            QVERIFY2(page.lines.join("").remove(' ') == chinese[i] + english[i],
                     qPrintable(page.lines.join('|')));
            QVERIFY(page.advancesMatch && page.unfilled);
            for (int k = 0; k < 2; ++k) { // 10 mm from the left, baselines at 25 and 50 mm
                const QPointF origin = page.origins.value(k) - QPointF(10, 25 + 25 * k);
                QVERIFY2(std::abs(origin.x()) < 1.5 && std::abs(origin.y()) < 1,
                         qPrintable(QString("%1 %2").arg(origin.x()).arg(origin.y())));
            }
        }
    }

    void textLayerKeepsLinesInReadingOrder()
    {
        // Each line of Chinese prose comes back whole (one line of pdftotext) and in order, give
        // or take a misread character (the OFD's lines: searchableOfdHoldsEachPagesText).
        const QStringList lines{"本合同由甲乙双方协商订立，", "乙方应于每月五日前付款，",
                                "逾期按日支付违约金。", "货物应符合国家标准，",
                                "包装应保证运输途中不受损坏。"};
        const QString file = m_dir.filePath("order.pdf");
        QVERIFY(runJob(file, {TextPages::page(lines, 148, 105, 300, 5, 10)}, true, 1).written);
        const QStringList found = run("pdftotext", {file, "-"})
                                      .split(QRegularExpression("\\s*\\n\\s*"), Qt::SkipEmptyParts);
        QCOMPARE(found.size(), lines.size());
        for (int i = 0; i < lines.size(); ++i)
            QVERIFY2(characterError(lines[i], found[i]) < 30, qPrintable(found.join('|')));
    }

    void cancelledJobWritesPagesWithoutText()
    {
        // Cancelled before recognition, the job writes every page as given, without text.
        // (Cancelled during recognition, through the console: tst_scanroad's
        // stoppingTheRecognitionKeepsThePages.)
        const QList<QImage> pages{TextPages::card("扫描合同", "Invoice", 300),
                                  TextPages::card("付款日期", "Delivery", 300)};
        const QString pdf = m_dir.filePath("cancelled.pdf");
        const Written w = runJob(pdf, pages, true, 1, true);
        QVERIFY(w.written && w.withText == 0 && w.pages == 2);
        QCOMPARE(PdfFiles::pdfinfoPages(pdf), 2);
        for (const PdfFiles::Page &page : PdfFiles::pages(pdf))
            QCOMPARE(page.filter, QByteArray("/DCTDecode"));
        QCOMPARE(PdfFiles::pageText(pdf, 1) + PdfFiles::pageText(pdf, 2), QString());
    }

    void writesWholeOrNotAtAll()
    {
        // No page: nothing written, the old file kept; a page after finish() is refused; a
        // job dropped unfinished (the console closed) still writes its pages.
        const QString target = m_dir.filePath("whole.pdf");
        QVERIFY(TestFiles::writeFile(target, "old"));
        {
            SearchablePdfJob empty(target, 1);
            QSignalSpy finished(&empty, &SearchablePdfJob::Finished);
            QVERIFY(!empty.addPage(PageSource())); // no page
            empty.finish();
            QVERIFY(empty.wait(60000));
            QCOMPARE(finished.takeFirst(), QVariantList({false, 0, 0}));
            QVERIFY(!empty.addPage(TextPages::card("合同", "late", 100)));
            QVERIFY(!empty.addPage(QImage()));
        }
        QCOMPARE(QFileInfo(target).size(), 3);
        const QList<QImage> card{TextPages::card("合同", "x", 100)};
        QVERIFY(!runJob(m_dir.filePath("missing/x.pdf"), card, false, 1, true).written);
        {
            SearchablePdfJob dropped(target, 1);
            dropped.cancel();
            QVERIFY(dropped.addPage(TextPages::card("合同", "dropped", 100)));
        }
        QCOMPARE(PdfFiles::pdfinfoPages(target), 1);
    }

    void recogniserReportsMissingLanguage()
    {
        TextRecogniser missing(QStringLiteral("xx_none"));
        QVERIFY(!missing.isReady());
        TextRecogniser recogniser;
        QVERIFY(recogniser.isReady());
        QTemporaryDir dir;
        const QString jpeg = dir.filePath("p.jpg");
        QVERIFY(TextPages::card("合同条款", "Invoice", 300).save(jpeg));
        QVERIFY(!recogniser.recognise(dir.filePath("none.jpg"), 300));
        QVERIFY(recogniser.recognise(jpeg, 300));
        const QString text = recogniser.text().remove(QRegularExpression("\\s"));
        QVERIFY2(text.contains("合同条款Invoice"), qPrintable(text));
        QVERIFY(recogniser.setWithoutText(jpeg, {100, 100}, 300));
        QCOMPARE(recogniser.text().trimmed(), QString());
    }
};

SCANCONSOLE_TEST_MAIN(TestSearchablePdf)
#include "tst_searchablepdf.moc"
