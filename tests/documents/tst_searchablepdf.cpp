// The searchable PDF: pages recognised on worker threads, their text found again by poppler's
// pdftotext, their JPEG files found unchanged by pdfimages; a cancelled job still writes every
// page, without text.

#include "documents/SearchablePdfJob.h"
#include "documents/TextRecogniser.h"
#include "pages/PageSource.h"
#include "tests/support/PdfFiles.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TextPages.h"

#include <QBuffer>
#include <QImageWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

QByteArray jpegOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "jpeg").write(image);
    return bytes;
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return process.exitCode() == 0 ? QString::fromUtf8(process.readAllStandardOutput())
                                   : QStringLiteral("failed: ") + process.readAllStandardError();
}

QString info(const QString &pdf, const QString &key)
{
    const QRegularExpression line("^" + key + ":\\s*(.*)$", QRegularExpression::MultilineOption);
    return line.match(run("pdfinfo", {"-f", "1", "-l", "9", pdf})).captured(1).trimmed();
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

    // Runs one job over `images` (each given with its JPEG file when `withJpeg`) and returns
    // what its Finished signal said.
    Written runJob(const QString &target, const QList<QImage> &images, bool withJpeg, int workers,
                   bool cancelFirst)
    {
        SearchablePdfJob job(target, workers);
        QSignalSpy progress(&job, &SearchablePdfJob::Progress);
        QSignalSpy finished(&job, &SearchablePdfJob::Finished);
        if (cancelFirst)
            job.cancel();
        for (const QImage &image : images)
            job.addPage(image, withJpeg ? jpegOf(image) : QByteArray());
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
        QTest::newRow("one worker, JPEG files at 300 dpi") << 1 << true << 300;
        QTest::newRow("two workers, images encoded, 200 dpi") << 2 << false << 200;
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
        const Written w = runJob(pdf, pages, withJpeg, workers, false);
        QVERIFY(w.written && w.withText == 3 && w.pages == 3);

        QCOMPARE(info(pdf, "Pages"), QString("3"));
        // The page keeps its physical size: 105 x 74 mm whatever the resolution.
        const double width = std::lround(105 / 25.4 * dpi) * 72.0 / dpi;
        const double height = std::lround(74 / 25.4 * dpi) * 72.0 / dpi;
        const QStringList size = info(pdf, "Page    1 size").split(' ');
        QVERIFY2(std::abs(size.value(0).toDouble() - width) < 0.05 &&
                     std::abs(size.value(2).toDouble() - height) < 0.05,
                 qPrintable(size.join(' ')));
        for (int i = 0; i < 3; ++i) { // each page its own words, in order
            const QString text = PdfFiles::pageText(pdf, i + 1);
            QVERIFY2(text.contains(chinese[i]) && text.contains(english[i]), qPrintable(text));
            QVERIFY(!text.contains(english[(i + 1) % 3]));
        }
        // The JPEG files are embedded unchanged.
        QTemporaryDir images;
        run("pdfimages", {"-j", pdf, images.filePath("p")});
        for (int i = 0; withJpeg && i < 3; ++i) {
            QFile file(images.filePath(QString("p-%1.jpg").arg(i, 3, 10, QChar('0'))));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), jpegOf(pages[i]));
        }
    }

    void cancelledJobWritesPagesWithoutText_data()
    {
        QTest::addColumn<bool>("cancelFirst"); // else: cancelled once the first page is done
        QTest::newRow("cancelled before recognition") << true;
        QTest::newRow("cancelled during recognition") << false;
    }
    void cancelledJobWritesPagesWithoutText()
    {
        QFETCH(bool, cancelFirst);
        const QList<QImage> pages{TextPages::card("扫描合同", "Invoice", 300),
                                  TextPages::card("付款日期", "Delivery", 300),
                                  TextPages::card("中华人民", "Veldrin", 300)};
        const QString pdf = m_dir.filePath("cancelled.pdf");
        Written w{};
        if (cancelFirst) {
            w = runJob(pdf, pages, true, 1, true);
            QCOMPARE(w.withText, 0);
        } else {
            SearchablePdfJob job(pdf, 1);
            QSignalSpy finished(&job, &SearchablePdfJob::Finished);
            connect(
                &job, &SearchablePdfJob::Progress, &job, [&job] { job.cancel(); },
                Qt::DirectConnection);
            for (const QImage &page : pages)
                job.addPage(page);
            job.finish();
            QVERIFY(job.wait(120000));
            const QList<QVariant> end = finished.takeFirst();
            w = {end.at(0).toBool(), end.at(1).toInt(), end.at(2).toInt()};
            QCOMPARE(w.withText, 1); // the first page, then no more
        }
        QVERIFY(w.written);
        QCOMPARE(w.pages, 3);
        QCOMPARE(info(pdf, "Pages"), QString("3"));
        for (int i = w.withText + 1; i <= 3; ++i)
            QCOMPARE(PdfFiles::pageText(pdf, i), QString());
        QCOMPARE(run("pdfimages", {"-list", pdf}).count(" jpeg "), 3);
    }

    void writesWholeOrNotAtAll()
    {
        // No page: nothing written, the old file kept; a page after finish() is refused; a
        // job dropped unfinished (the console closed) still writes its pages.
        const QString target = m_dir.filePath("whole.pdf");
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
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
        QCOMPARE(runJob(m_dir.filePath("missing/x.pdf"), {TextPages::card("合同", "x", 100)}, false,
                        1, true)
                     .written,
                 false);
        {
            SearchablePdfJob dropped(target, 1);
            dropped.cancel();
            QVERIFY(dropped.addPage(TextPages::card("合同", "dropped", 100)));
        }
        QCOMPARE(info(target, "Pages"), QString("1"));
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
