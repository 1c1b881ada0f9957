#include "imaging/PageWriter.h"
#include "imaging/PdfFileCheck.h"
#include "imaging/PdfPageWriter.h"
#include "imaging/SaveFormat.h"
#include "tests/imaging/PdfInspection.h"
#include "tests/imaging/TestPages.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

// The page writers with empty pages and failing writes.
class TestPdfPageWriter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.path() + "/" + name; }
    static QImage page(int w, int h, quint32 seed)
    {
        return TestPages::randomImage(QImage::Format_RGB32, w, h, seed);
    }
    static void setFileSizeLimit(rlim_t bytes)
    {
        rlimit limit{bytes, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
    }

private slots:
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); }
    void cleanup() { setFileSizeLimit(RLIM_INFINITY); }

    void emptyPageWritesNothing()
    {
        QVERIFY(!PdfPageWriter::write(QImage(), path("empty.pdf")));
        QVERIFY(!QFile::exists(path("empty.pdf")));
        for (int type : {SaveFormat::Jpg, SaveFormat::Pdf, SaveFormat::Tiff, SaveFormat::Ofd,
                         SaveFormat::Png, SaveFormat::Bmp}) {
            const QString target = path("empty" + SaveFormat::suffix(type));
            QVERIFY(!PageWriter::write(QImage(), type, target));
            QVERIFY(!QFile::exists(target));
        }
        QVERIFY(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void mergedLeavesEmptyPagesOut()
    {
        const QString target = path("merged.pdf");
        QVERIFY(PdfPageWriter::writeMerged(
            {QImage(), page(200, 300, 1), QImage(), page(300, 200, 2)}, target));
        const QByteArray pdf = PdfInspection::readAll(target);
        QCOMPARE(PdfInspection::pageCount(pdf), 2);
        QVERIFY(PdfInspection::isA4(pdf));
        QVERIFY(PdfFileCheck::isComplete(target));
        // Nothing but empty pages: nothing is written, an existing file stays.
        QVERIFY(!PdfPageWriter::writeMerged({QImage(), QImage()}, target));
        QCOMPARE(PdfInspection::readAll(target), pdf);
    }

    void completenessCheck()
    {
        const QString target = path("one.pdf");
        QVERIFY(PdfPageWriter::write(page(100, 100, 3), target));
        QVERIFY(PdfFileCheck::isComplete(target));
        const QByteArray pdf = PdfInspection::readAll(target);
        QFile cut(path("cut.pdf"));
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(pdf.left(pdf.size() - 10));
        cut.close();
        QVERIFY(!PdfFileCheck::isComplete(path("cut.pdf")));
        QVERIFY(!PdfFileCheck::isComplete(path("missing.pdf")));
    }

    void failedRewriteKeepsPreviousFile()
    {
        const QString target = path("scan.pdf");
        const QImage a = page(400, 500, 4), b = page(400, 500, 5), c = page(400, 500, 6);
        QVERIFY(PdfPageWriter::writeMerged({a, b}, target));
        const QByteArray before = PdfInspection::readAll(target);
        setFileSizeLimit(rlim_t(before.size()) + 2000); // the disk fills up
        const bool written = PdfPageWriter::writeMerged({a, b, c}, target);
        setFileSizeLimit(RLIM_INFINITY);
        // Qt's PDF output does not report the failed writes itself; the truncated file must not
        // replace the good one.
        QCOMPARE(PdfInspection::readAll(target), before);
        QVERIFY(!written);
        QVERIFY(QDir(m_dir.path()).entryList({".scan.pdf*"}, QDir::Files | QDir::Hidden).isEmpty());
    }

    void failedImageWriteKeepsNothing()
    {
        const QString target = path("page.png");
        setFileSizeLimit(4096);
        const bool written = PageWriter::write(page(300, 300, 6), SaveFormat::Png, target);
        setFileSizeLimit(RLIM_INFINITY);
        QVERIFY(!written);
        QVERIFY(!QFile::exists(target));
    }
};

SCANCONSOLE_TEST_MAIN(TestPdfPageWriter)
#include "tst_pdfpagewriter.moc"
