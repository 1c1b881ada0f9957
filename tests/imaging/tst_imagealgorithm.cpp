#include "imaging/Deskew.h"
#include "imaging/ImageAlgorithm.h"
#include "imaging/PageCorrector.h"
#include "pages/PageResolution.h"
#include "pages/PageTone.h"
#include "settings/ParamSetting.h"
#include "tests/imaging/LiteralAlgorithms.h"
#include "tests/support/DocumentPages.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestPages.h"

#include <QApplication>
#include <QTest>
#include <QTransform>

#include <climits>
#include <cmath>
#include <functional>

using Op = std::function<void(QImage *)>;
Q_DECLARE_METATYPE(Op)

// The page corrections and the conversions against their literal formulas, byte for byte, on
// random pages in every format; their edge cases; the correction chain.
class TestImageAlgorithm : public QObject
{
    Q_OBJECT

    QList<QImage> inputs;

    // Format, size, palette and the bytes of every pixel.
    static bool same(const QImage &a, const QImage &b)
    {
        bool equal =
            a.format() == b.format() && a.size() == b.size() && a.colorTable() == b.colorTable();
        for (int y = 0; equal && y < a.height(); ++y)
            equal =
                !memcmp(a.constScanLine(y), b.constScanLine(y), (a.width() * a.depth() + 7) / 8);
        return equal;
    }
    static QImage apply(QImage image, const Op &operation)
    {
        operation(&image);
        return image;
    }
    // A page scanned at `dpi`, as Qt reads it from the scan program's JPEG (cut off, not
    // rounded: 11811 dots per metre for 300 dpi).
    static QImage scannedAt(QImage page, int dpi)
    {
        page.setDotsPerMeterX(int(dpi / 0.0254));
        page.setDotsPerMeterY(int(dpi / 0.0254));
        return page;
    }
    static bool sameResolution(const QImage &a, const QImage &b)
    {
        return a.dotsPerMeterX() == b.dotsPerMeterX() && a.dotsPerMeterY() == b.dotsPerMeterY();
    }

private slots:
    void initTestCase()
    {
        cv::setNumThreads(8); // tall pages are filtered in up to 8 bands
        // Random, dark or light corners take both ways of the background test (each format and
        // each size meets all three); 4099 x 37 is a wide sample of colours, 707 rows make 8
        // bands. The last three formats have no conversion.
        quint32 seed = 1;
        inputs << QImage();
        for (QImage::Format f :
             {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
              QImage::Format_RGB888, QImage::Format_Indexed8, QImage::Format_Grayscale8,
              QImage::Format_Mono, QImage::Format_RGB16, QImage::Format_RGBA8888})
            for (QSize s : {QSize(1, 1), QSize(2, 3), QSize(19, 40), QSize(40, 19), QSize(20, 21),
                            QSize(101, 67), QSize(4099, 37), QSize(211, 707)}) {
                const int corner = int(seed % 3) - 1 == 1 ? 255 : int(seed % 3) - 1;
                inputs << scannedAt(TestPages::randomImage(f, s.width(), s.height(), seed, corner),
                                    seed % 2 ? 200 : 300);
                ++seed;
            }
    }

    void matchesLiteral_data()
    {
        QTest::addColumn<Op>("product");
        QTest::addColumn<Op>("literal");
        // clang-format off
#define BOTH(label, call) QTest::newRow(qPrintable(label)) << Op([=](QImage *i) { ImageAlgorithm::call; }) << Op([=](QImage *i) { Literal::call; })
        // clang-format on
        BOTH(QString("Threshold"), Threshold(i));
        BOTH(QString("Halftoning"), Halftoning(i));
        BOTH(QString("background"), ChangeBackgroudColor(i, 10, 200, 90));
        // In range (a negative curve scale makes pow(0, e) infinite), then just beyond a limit.
        // clang-format off
        const float tones[][6] = {{0, 0, 1, 1, 1, 1}, {7, -3, 0.8f, 0.9f, 1, 1.1f},
            {-20, 20, 4, 0.5f, 0.73f, 1}, {20, -20, 0.1f, 1, 0.31f, 0.57f},
            {3, 5, 2.2f, 1.3f, 1.2f, -0.4f}, {-7, 13, 0.37f, 1.1f, 0.6f, 2.3f},
            {21, 0, 1, 1, 1, 1}, {-21, 0, 1, 1, 1, 1}, {0, 21, 1, 1, 1, 1}, {0, -21, 1, 1, 1, 1},
            {0, 0, 0.05f, 1, 1, 1}, {0, 0, 4.5f, 1, 1, 1}};
        // clang-format on
        for (const auto &t : tones)
            BOTH(QString::asprintf("tone %g %g %g", t[0], t[1], t[2]),
                 ImageAdjust(i, int(t[0]), int(t[1]), t[2], t[3], t[4], t[5]));
        for (int v : {0, 1, 2, 5})
            BOTH(QString("Impermeability %1").arg(v), Impermeability(i, v));
        for (int v : {0, 1, 2, 3, 4, 5, -1})
            BOTH(QString("AddFilter %1").arg(v), AddFilter(i, v));
        for (int v : {0, 3, 4, 5, 10, -1})
            BOTH(QString("MedianBlur %1").arg(v), MedianBlur(i, v));
    }
    void matchesLiteral()
    {
        QFETCH(Op, product);
        QFETCH(Op, literal);
        // The page keeps its resolution whatever the operation makes of its pixels.
        for (const QImage &in : inputs) {
            const QImage out = apply(in, product);
            QVERIFY2(same(out, apply(in, literal)) && sameResolution(out, in),
                     qPrintable(QString::asprintf("format %d %dx%d", in.format(), in.width(),
                                                  in.height())));
        }
        product(nullptr); // a null pointer simply returns
    }

    void edgeCases()
    {
        // Halftoning 10 x 10 (4 x 4 cells, 12 x 12 pattern, cut): value 0 all black, 255 all
        // white, 128 (level 5) whitens ranks 1 to 5: a cell's first row and its last's corners.
        const bool level5[3][3] = {{true, true, true}, {false, false, false}, {true, false, true}};
        for (uint value : {0u, 128u, 255u}) {
            QImage h(10, 10, QImage::Format_Grayscale8);
            h.fill(value);
            ImageAlgorithm::Halftoning(&h);
            QCOMPARE(h.size(), QSize(10, 10));
            for (int p = 0; p < 100; ++p) {
                const bool on = value == 128 ? level5[p / 10 % 3][p % 10 % 3] : value == 255;
                QCOMPARE(h.pixel(p % 10, p / 10), on ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
            }
        }
        // Contrast exponent 10 alone doubles every value, clipped at 255.
        QImage ramp(256, 1, QImage::Format_Grayscale8);
        for (int x = 0; x < 256; ++x)
            ramp.scanLine(0)[x] = uchar(x);
        ImageAlgorithm::ImageAdjust(&ramp, 0, 10, 1.f, 1.f, 1.f, 1.f);
        for (int x = 0; x < 256; ++x)
            QCOMPARE(int(ramp.constScanLine(0)[x]), std::min(2 * x, 255));
        // Median radius 4 uses kernel 5; a kernel OpenCV refuses leaves the page as it is.
        const QImage page = TestPages::randomImage(QImage::Format_RGB32, 61, 47, 21);
        const auto median = [&](int r) {
            return apply(page, [=](QImage *i) { ImageAlgorithm::MedianBlur(i, r); });
        };
        QVERIFY(same(median(4), median(5)) && !same(median(4), median(3)));
        for (int r : {INT_MAX, INT_MAX - 1, -2})
            QVERIFY(same(median(r), page));
    }

    void conversions()
    {
        // Odd widths give padded rows in every format but the 32-bit ones.
        for (const QImage &image : inputs) {
            const cv::Mat got = QImage2cvMat(image), want = Literal::toMat(image);
            QVERIFY(got.type() == want.type() && got.size() == want.size() &&
                    (got.empty() || cv::norm(got, want, cv::NORM_INF) == 0));
        }
        for (int type : {CV_8UC1, CV_8UC3, CV_8UC4, CV_8UC2, CV_16UC1}) {
            cv::Mat m(20, 30, type);
            cv::randu(m, 0, 256);
            for (const cv::Mat &part :
                 {m, m(cv::Rect(0, 0, 1, 1)), m(cv::Rect(3, 4, 11, 9)), cv::Mat()})
                QVERIFY(same(cvMat2QImage(part), Literal::toImage(part)));
        }
    }

    void eachSettingSwitchesItsStep()
    {
        using S = PageCorrector::Step;
        ParamSetting &s = ParamSetting::instance;
        const std::tuple<const char *, std::function<void()>, QVector<S>> rows[] = {
            {"neutral, colour", [] {}, {}},
            {"neutral, grey", [&] { s.image_type = 1; }, {}},
            {"angle", [&] { s.angle_correct = -0.5f; }, {S::Rotation}},
            {"brightness", [&] { s.brightness_correct = 0.5f; }, {S::ToneAdjust}},
            {"contrast", [&] { s.contrast_correct = -2.f; }, {S::ToneAdjust}},
            {"gamma", [&] { s.gamma_correct = 1.01f; }, {S::ToneAdjust}},
            {"brightness %", [&] { s.brightness = 99; }, {S::ToneAdjust}},
            {"contrast %", [&] { s.contrast = 101; }, {S::ToneAdjust}},
            {"curve %", [&] { s.color_curve = 0; }, {S::ToneAdjust}},
            {"bw halftone 2", [&] { s.image_type = 0, s.halftone = 2; }, {}},
            {"grey halftone 1", [&] { s.image_type = 1, s.halftone = 1; }, {}},
            {"deskew", [&] { s.deskew = true; }, {S::Straighten}},
            {"angle, deskew, gamma",
             [&] { s.angle_correct = 3.f, s.deskew = true, s.gamma_correct = 0.9f; },
             {S::Rotation, S::Straighten, S::ToneAdjust}},
            {"blank pages: no correction", [&] { s.skip_blank = true; }, {}}};
        for (const auto &[what, set, steps] : rows) {
            TestEnvironment::resetRecord();
            s.image_type = 2;
            set();
            QVERIFY2(PageCorrector::plan(s) == steps, what);
        }
        // With no step the page stays exactly as loaded, not even copied.
        const QImage page = TestPages::randomImage(QImage::Format_RGB32, 40, 30, 3);
        QVERIFY(apply(page, [&](QImage *i) { PageCorrector::correct(i, s); }).constBits() ==
                page.constBits());
    }

    void deskewAfterTheRotationBeforeTheRest()
    {
        // A page fed in at -3 degrees that the operator turns by 1: the deskew measures what the
        // rotation left (-2 degrees) and turns it back before the black-and-white threshold, so
        // the threshold sees a straight page. Then the page is straight and two-level.
        ParamSetting &s = ParamSetting::instance;
        TestEnvironment::resetRecord();
        s.angle_correct = 1.f, s.deskew = true, s.image_type = 0, s.halftone = 0;
        DocumentPages::Options o;
        o.skewDegrees = -3.0;
        o.noise = true;
        const QImage page = DocumentPages::page(o, 5);
        QImage want = page.transformed(QTransform().rotate(1.0), Qt::FastTransformation);
        PageResolution::keep(page, &want);
        QVERIFY(std::abs(Deskew::correct(&want) + 2.0) < 0.1);
        Literal::Threshold(&want);
        QImage got = page;
        PageCorrector::correct(&got, s);
        QVERIFY(same(got, want) && sameResolution(got, page));
        QVERIFY(PageTone::isTwoLevel(got));
        const Deskew::Skew left = Deskew::measure(got);
        QVERIFY(left.measured && std::abs(left.degrees) < Deskew::kMinDegrees);
    }

    void chainEqualsOperationsInTurn()
    {
        // Every step; on grey pages the tone correction (beyond its limits) and the filter
        // leave their page as it is, and the next step takes the previous result.
        ParamSetting &s = ParamSetting::instance;
        const auto corrected = [&](QImage page) {
            PageCorrector::correct(&page, s);
            return page;
        };
        for (bool colour : {true, false})
            for (int halftone : {-1, 0, 1}) { // -1: colour mode colour, else black and white
                TestEnvironment::resetRecord();
                const int brightness = colour ? 4 : 21; // from 4.7 and 21.7, truncated
                s.image_type = halftone < 0 ? 2 : 0, s.halftone = halftone, s.angle_correct = 1.5f;
                s.brightness_correct = brightness + .7f, s.contrast_correct = -3.9f, s.filter = 2;
                s.gamma_correct = 1.3f, s.brightness = 93, s.contrast = 97, s.color_curve = 104;
                s.descreen = true, s.descreen_radius = 5.9f, s.impermeable = 1, s.change_bkg = true;
                s.bkg_red = 200, s.bkg_green = 220, s.bkg_blue = 240;
                const QImage page =
                    scannedAt(TestPages::randomImage(colour ? QImage::Format_RGB32
                                                            : QImage::Format_Grayscale8,
                                                     150, 210, 8, 255),
                              colour ? 300 : 200);
                // Contrast truncated to -3, percentages times 0.01, radius truncated to 5.
                QImage want = page.transformed(QTransform().rotate(1.5), Qt::FastTransformation);
                Literal::ImageAdjust(&want, brightness, -3, 1.3f, float(93 * 0.01),
                                     float(97 * 0.01), float(104 * 0.01));
                Literal::AddFilter(&want, 2);
                Literal::MedianBlur(&want, 5);
                Literal::Impermeability(&want, 1);
                if (halftone == 0)
                    Literal::Threshold(&want);
                if (halftone == 1)
                    Literal::Halftoning(&want);
                Literal::ChangeBackgroudColor(&want, 200, 220, 240);
                QVERIFY(same(corrected(page), want) && sameResolution(corrected(page), page));
            }
        QVERIFY(corrected(QImage()).isNull());
        // The last step (a filter on a grey page) changes nothing: the previous result stays.
        TestEnvironment::resetRecord();
        s.image_type = 2, s.gamma_correct = 1.4f, s.filter = 3;
        QImage grey =
            scannedAt(TestPages::randomImage(QImage::Format_Grayscale8, 80, 100, 13), 200);
        QImage want = grey;
        Literal::ImageAdjust(&want, 0, 0, 1.4f, 1.f, 1.f, 1.f);
        QVERIFY(same(corrected(grey), want) && sameResolution(corrected(grey), grey));
    }
};

SCANCONSOLE_TEST_MAIN(TestImageAlgorithm)
#include "tst_imagealgorithm.moc"
