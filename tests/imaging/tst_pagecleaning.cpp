// Deskew and blank-page detection on a generated test set: text pages turned by known angles,
// blank pages with what scanning adds to paper, nearly blank pages with one short line. The
// figures each row prints are the ones the README's table reports.

#include "imaging/BlankPageDetector.h"
#include "imaging/Deskew.h"
#include "imaging/TiffWriter.h"
#include "tests/imaging/DocumentPages.h"
#include "tests/support/TestEnvironment.h"

#include <QtTest>

#include <cmath>

using DocumentPages::Options;
Q_DECLARE_METATYPE(Options)

namespace {

// The largest deskew error the test set may show (the measured largest is 0.05 degrees).
constexpr double kMaxError = 0.06;

// The rows share one option string: "text", "short", "noise", "show", "edge", "holes",
// "colour", "bw" (two-level), "300dpi", each word switching the matching feature on.
Options options(const QString &features, double skew = 0.0)
{
    Options o;
    o.skewDegrees = skew;
    o.textLines = features.contains("text") ? 28 : 0;
    o.oneShortLine = features.contains("short");
    o.noise = features.contains("noise");
    o.showThrough = features.contains("show");
    o.scannerEdge = features.contains("edge");
    o.holes = features.contains("holes");
    o.colour = features.contains("colour");
    o.twoLevel = features.contains("bw");
    o.dpi = features.contains("300dpi") ? 300 : 150;
    return o;
}

} // namespace

class TestPageCleaning : public QObject
{
    Q_OBJECT

private slots:
    void deskewMeasuresAndTurnsBack_data()
    {
        QTest::addColumn<Options>("page");
        QTest::addColumn<bool>("turned"); // turned back (in range and measurable)
        const struct
        {
            double skew;
            const char *features;
        } rows[] = {{0.0, "text"},
                    {0.05, "text"},
                    {0.3, "text noise"},
                    {-0.7, "text show"},
                    {1.5, "text colour"},
                    {-2.5, "text noise show"},
                    {4.0, "text edge holes"},
                    {-6.0, "text noise"},
                    {9.0, "text colour show"},
                    {-12.0, "text"},
                    {14.5, "text noise"},
                    {3.0, "text 300dpi colour"},
                    {-1.2, "text noise bw"}};
        for (const auto &r : rows) {
            const bool turned = std::abs(r.skew) >= Deskew::kMinDegrees;
            QTest::newRow(qPrintable(QString("%1° %2").arg(r.skew).arg(r.features)))
                << options(r.features, r.skew) << turned;
        }
    }
    void deskewMeasuresAndTurnsBack()
    {
        QFETCH(Options, page);
        QFETCH(bool, turned);
        QImage image = DocumentPages::page(page, 7);
        const Deskew::Skew skew = Deskew::measure(image);
        QVERIFY(skew.measured);
        const double error = std::abs(skew.degrees - page.skewDegrees);
        qInfo("| %s | %.2f | %.2f |", QTest::currentDataTag(), skew.degrees, error);
        QVERIFY2(error <= kMaxError, qPrintable(QString::number(error)));

        const QImage before = image;
        const double back = Deskew::correct(&image);
        QCOMPARE(back != 0.0, turned);
        QCOMPARE(image.size(), before.size());
        QCOMPARE(image.format(), before.format());
        QCOMPARE(TiffWriter::isTwoLevel(image), page.twoLevel); // black and white stays so
        if (!turned) {
            QCOMPARE(image, before);
            return;
        }
        const Deskew::Skew left = Deskew::measure(image); // nothing left to turn
        QVERIFY(left.measured && std::abs(left.degrees) < Deskew::kMinDegrees);
    }

    void deskewLeavesUnmeasurablePagesAlone_data()
    {
        QTest::addColumn<Options>("page");
        QTest::newRow("blank") << options("noise show edge holes");
        QTest::newRow("one short line") << options("short noise");
        QTest::newRow("beyond 15°") << options("text", 25.0);
    }
    void deskewLeavesUnmeasurablePagesAlone()
    {
        QFETCH(Options, page);
        QImage image = DocumentPages::page(page, 3);
        const QImage before = image;
        const Deskew::Skew skew = Deskew::measure(image);
        QVERIFY(!skew.measured || std::abs(skew.degrees) > Deskew::kMaxDegrees);
        QCOMPARE(Deskew::correct(&image), 0.0);
        QCOMPARE(image, before);
    }

    void blankPages_data()
    {
        QTest::addColumn<Options>("page");
        QTest::addColumn<bool>("blank");
        const char *blank[] = {"",
                               "noise",
                               "show",
                               "edge",
                               "holes",
                               "noise show edge holes",
                               "noise show edge holes colour 300dpi"};
        for (const char *f : blank)
            QTest::newRow(qPrintable(QString("blank: %1").arg(f))) << options(f) << true;
        const char *marked[] = {"short", "short noise", "short noise show edge holes",
                                "short colour 300dpi noise show", "text noise show"};
        for (const char *f : marked)
            QTest::newRow(qPrintable(QString("not blank: %1").arg(f))) << options(f) << false;
    }
    void blankPages()
    {
        QFETCH(Options, page);
        QFETCH(bool, blank);
        const BlankPageDetector::Verdict verdict =
            BlankPageDetector::examine(DocumentPages::page(page, 11));
        qInfo("| %s | %.4f %% | %d |", QTest::currentDataTag(), verdict.inkFraction * 100,
              verdict.marks);
        QCOMPARE(verdict.blank, blank);
    }
};

SCANCONSOLE_TEST_MAIN(TestPageCleaning)
#include "tst_pagecleaning.moc"
