#include "imaging/ImageAlgorithm.h"
#include "imaging/PageCorrector.h"
#include "settings/ParamSetting.h"
#include "tests/imaging/LiteralAlgorithms.h"
#include "tests/imaging/TestPages.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTest>
#include <QTransform>

#include <climits>
#include <functional>

// The page corrections against their literal formulas, byte for byte (format, size, palette,
// pixels), on random and document-like pages of odd sizes in every converted format; their edge
// cases; the conversions; and the correction chain: which steps run, in which order, with which
// arguments.
class TestImageAlgorithm : public QObject
{
    Q_OBJECT

    struct Case
    {
        QString name;
        std::function<void(QImage *)> product, literal;
    };
    // clang-format off
#define BOTH(label, call) Case{label, [=](QImage *i) { ImageAlgorithm::call; }, [=](QImage *i) { Literal::call; }}
    // clang-format on
    static QList<Case> allCases()
    {
        QList<Case> list = {BOTH("Threshold", Threshold(i)), BOTH("Halftoning", Halftoning(i)),
                            BOTH("background", ChangeBackgroudColor(i, 10, 200, 90))};
        // In range (a negative curve scale makes pow(0, e) infinite), then just beyond each
        // limit (the page is left as it is).
        // clang-format off
        const float tones[][6] = {{0, 0, 1, 1, 1, 1}, {7, -3, 0.8f, 0.9f, 1, 1.1f},
            {-20, 20, 4, 0.5f, 0.73f, 1}, {20, -20, 0.1f, 1, 0.31f, 0.57f},
            {3, 5, 2.2f, 1.3f, 1.2f, -0.4f}, {-7, 13, 0.37f, 1.1f, 0.6f, 2.3f},
            {21, 0, 1, 1, 1, 1}, {-21, 0, 1, 1, 1, 1}, {0, 21, 1, 1, 1, 1}, {0, -21, 1, 1, 1, 1},
            {0, 0, 0.05f, 1, 1, 1}, {0, 0, 4.5f, 1, 1, 1}};
        // clang-format on
        for (const auto &t : tones)
            list << BOTH(QString::asprintf("tone %g %g %g", t[0], t[1], t[2]),
                         ImageAdjust(i, int(t[0]), int(t[1]), t[2], t[3], t[4], t[5]));
        for (int v : {0, 1, 2, 5})
            list << BOTH(QString("Impermeability %1").arg(v), Impermeability(i, v));
        for (int v : {0, 1, 2, 3, 4, 5, -1})
            list << BOTH(QString("AddFilter %1").arg(v), AddFilter(i, v));
        for (int v : {0, 3, 4, 5, 10, -1})
            list << BOTH(QString("MedianBlur %1").arg(v), MedianBlur(i, v));
        return list;
    }
    const QList<Case> cases = allCases();
    QList<QImage> inputs;

    static bool same(const QImage &a, const QImage &b)
    {
        if (a.format() != b.format() || a.size() != b.size() || a.colorTable() != b.colorTable())
            return false;
        for (int y = 0; y < a.height(); ++y)
            if (memcmp(a.constScanLine(y), b.constScanLine(y), (a.width() * a.depth() + 7) / 8))
                return false;
        return true;
    }
    static QImage apply(QImage image, const std::function<void(QImage *)> &operation)
    {
        operation(&image);
        return image;
    }

private slots:
    void initTestCase()
    {
        cv::setNumThreads(8); // tall pages are filtered in up to 8 bands
        quint32 seed = 1;
        for (QImage::Format f :
             {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
              QImage::Format_RGB888, QImage::Format_Indexed8, QImage::Format_Grayscale8})
            for (QSize s : {QSize(1, 1), QSize(2, 3), QSize(19, 23), QSize(20, 19), QSize(21, 20),
                            QSize(101, 67)})
                inputs << TestPages::randomImage(f, s.width(), s.height(), seed++);
        // Light and dark pages take both ways of the corner test; 707 rows make 8 bands.
        for (bool dark : {false, true})
            for (QSize s : {QSize(19, 40), QSize(211, 299), QSize(500, 707)})
                for (QImage::Format f :
                     {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_Grayscale8})
                    inputs << TestPages::documentPage(s.width(), s.height(),
                                                      f != QImage::Format_Grayscale8, seed++, dark)
                                  .convertToFormat(f);
    }

    void matchesLiteral_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < cases.size(); ++i)
            QTest::newRow(qPrintable(cases[i].name)) << i;
    }
    void matchesLiteral()
    {
        QFETCH(int, index);
        QList<QImage> all = inputs;
        // The filters also on every 24-bit colour, in rows of 4096 (vector path) and of 15.
        for (int w : {4096, 15})
            if (QRegularExpression("^AddFilter [1-4]$").match(cases[index].name).hasMatch())
                all << TestPages::allColours(w)
                    << TestPages::allColours(w).convertToFormat(QImage::Format_RGB888);
        for (const QImage &in : all)
            QVERIFY2(same(apply(in, cases[index].product), apply(in, cases[index].literal)),
                     qPrintable(QString::asprintf("format %d %dx%d", in.format(), in.width(),
                                                  in.height())));
    }

    void edgeCases()
    {
        // Halftoning 10 x 10: value 0 all black, 255 all white, 128 (level 5) whitens ranks 1
        // to 5: a cell's whole first row and the corners of its last.
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
        // Filter 3: black stays black, pure red stays pure red.
        QImage cast(2, 1, QImage::Format_RGB32);
        cast.setPixel(1, 0, qRgb(255, 0, 0));
        cast.setPixel(0, 0, qRgb(0, 0, 0));
        ImageAlgorithm::AddFilter(&cast, 3);
        QVERIFY(cast.pixel(0, 0) == qRgb(0, 0, 0) && cast.pixel(1, 0) == qRgb(255, 0, 0));
        // Median radius 4 uses kernel 5; radius 0 keeps every value.
        const QImage page = TestPages::documentPage(61, 47, true, 21);
        const auto median = [&](int r) {
            return apply(page, [=](QImage *i) { ImageAlgorithm::MedianBlur(i, r); });
        };
        QVERIFY(same(median(4), median(5)) && !same(median(4), median(3)));
        QVERIFY(median(0) == page.convertToFormat(QImage::Format_RGB888));
        // Under 20 pixels either way white is the background, also on a black page.
        for (QSize size : {QSize(19, 40), QSize(40, 19)}) {
            QImage black(size, QImage::Format_RGB32);
            black.fill(Qt::black);
            ImageAlgorithm::ChangeBackgroudColor(&black, 10, 200, 90);
            QCOMPARE(black.pixel(5, 5), qRgb(0, 0, 0));
        }
    }

    void unconvertibleImagesLeftUnchanged()
    {
        QImage mono(37, 11, QImage::Format_Mono);
        mono.fill(1);
        for (const QImage &original :
             {mono, TestPages::randomImage(QImage::Format_RGB16, 9, 9, 3), QImage()})
            for (const Case &c : cases) {
                QVERIFY2(same(apply(original, c.product), original), qPrintable(c.name));
                c.product(nullptr); // must simply return
            }
        // So is a median kernel OpenCV refuses (never from the panel, whose radius is 1 to 10).
        const QImage page = TestPages::documentPage(61, 47, true, 21);
        for (int r : {INT_MAX, INT_MAX - 1, -2})
            QVERIFY(same(apply(page, [=](QImage *i) { ImageAlgorithm::MedianBlur(i, r); }), page));
    }

    void conversions()
    {
        // Odd widths give padded rows in every format but the 32-bit ones.
        for (const QImage &image : inputs) {
            const cv::Mat got = QImage2cvMat(image), want = Literal::toMat(image);
            QVERIFY(got.type() == want.type() && cv::norm(got, want, cv::NORM_INF) == 0);
        }
        for (QImage::Format format : {QImage::Format_Mono, QImage::Format_RGB16,
                                      QImage::Format_RGBA8888, QImage::Format_Invalid})
            QVERIFY(QImage2cvMat(QImage(8, 8, format)).empty());
        for (int channels : {1, 3, 4}) {
            cv::Mat m(20, 30, CV_8UC(channels));
            cv::randu(m, 0, 256);
            for (const cv::Mat &part : {m, m(cv::Rect(0, 0, 1, 1)), m(cv::Rect(3, 4, 11, 9))})
                QVERIFY(same(cvMat2QImage(part), Literal::toImage(part)));
        }
        for (const cv::Mat &m : {cv::Mat(), cv::Mat(4, 4, CV_8UC2), cv::Mat(4, 4, CV_16UC1)})
            QVERIFY(cvMat2QImage(m).isNull());
    }

    // The correction chain.

    void eachSettingSwitchesItsStep()
    {
        using S = PageCorrector::Step;
        ParamSetting &s = ParamSetting::instance;
        const std::tuple<const char *, std::function<void()>, QVector<S>> rows[] = {
            {"neutral, colour", [] {}, {}},
            {"neutral, grey", [&] { s.image_type = 1; }, {}},
            {"angle", [&] { s.angle_correct = -0.5f; }, {S::Rotation}},
            {"brightness 0.5", [&] { s.brightness_correct = 0.5f; }, {S::ToneAdjust}},
            {"contrast", [&] { s.contrast_correct = -2.f; }, {S::ToneAdjust}},
            {"gamma", [&] { s.gamma_correct = 1.01f; }, {S::ToneAdjust}},
            {"brightness %", [&] { s.brightness = 99; }, {S::ToneAdjust}},
            {"contrast %", [&] { s.contrast = 101; }, {S::ToneAdjust}},
            {"curve %", [&] { s.color_curve = 0; }, {S::ToneAdjust}},
            {"filter", [&] { s.filter = 4; }, {S::Filter}},
            {"descreen", [&] { s.descreen = true; }, {S::Descreen}},
            {"impermeable", [&] { s.impermeable = 7; }, {S::BleedThrough}},
            {"bw threshold", [&] { s.image_type = 0, s.halftone = 0; }, {S::Threshold}},
            {"bw halftone", [&] { s.image_type = 0, s.halftone = 1; }, {S::Halftoning}},
            {"bw halftone 2", [&] { s.image_type = 0, s.halftone = 2; }, {}},
            {"grey halftone 1", [&] { s.image_type = 1, s.halftone = 1; }, {}},
            {"background", [&] { s.change_bkg = true; }, {S::BackgroundColour}}};
        const QImage page = TestPages::documentPage(40, 30, true, 3);
        for (const auto &[what, set, steps] : rows) {
            TestEnvironment::resetRecord();
            s.image_type = 2;
            set();
            QVERIFY2(PageCorrector::plan(s) == steps, what);
            // No step: the page stays exactly as loaded, not even copied.
            const QImage corrected = apply(page, [&](QImage *i) { PageCorrector::correct(i, s); });
            QVERIFY2((corrected.constBits() == page.constBits()) == steps.isEmpty(), what);
        }
    }

    void chainEqualsOperationsInTurn()
    {
        ParamSetting &s = ParamSetting::instance;
        for (bool colour : {true, false})
            for (int halftone : {-1, 0, 1}) { // -1: colour mode colour, else black and white
                TestEnvironment::resetRecord();
                s.image_type = halftone < 0 ? 2 : 0, s.halftone = halftone;
                s.angle_correct = 1.5f, s.gamma_correct = 1.3f, s.brightness_correct = 4.7f;
                s.contrast_correct = -3.9f, s.brightness = 93, s.contrast = 97, s.color_curve = 104;
                s.filter = 2, s.descreen = true, s.descreen_radius = 5.9f, s.impermeable = 1;
                s.change_bkg = true, s.bkg_red = 200, s.bkg_green = 220, s.bkg_blue = 240;
                const QImage page = TestPages::documentPage(150, 210, colour, 8);
                // Truncated to 4 and -3, percentages times 0.01, radius truncated to 5.
                QImage want = page.transformed(QTransform().rotate(1.5), Qt::FastTransformation);
                Literal::ImageAdjust(&want, 4, -3, 1.3f, float(93 * 0.01), float(97 * 0.01),
                                     float(104 * 0.01));
                Literal::AddFilter(&want, 2);
                Literal::MedianBlur(&want, 5);
                Literal::Impermeability(&want, 1);
                if (halftone == 0)
                    Literal::Threshold(&want);
                if (halftone == 1)
                    Literal::Halftoning(&want);
                Literal::ChangeBackgroudColor(&want, 200, 220, 240);
                QVERIFY(same(apply(page, [&](QImage *i) { PageCorrector::correct(i, s); }), want));
            }
        QVERIFY(apply(QImage(), [&](QImage *i) { PageCorrector::correct(i, s); }).isNull());
    }

    void stepsThatChangeNothing()
    {
        // A step that leaves its page as it is (a filter on a grey page, a tone correction
        // beyond its limits), last or in the middle: the page is the previous step's result.
        ParamSetting &s = ParamSetting::instance;
        TestEnvironment::resetRecord();
        s.image_type = 2, s.gamma_correct = 1.4f, s.filter = 3;
        QImage grey = TestPages::documentPage(80, 100, false, 13), want = grey;
        Literal::ImageAdjust(&want, 0, 0, 1.4f, 1.f, 1.f, 1.f);
        QVERIFY(same(apply(grey, [&](QImage *i) { PageCorrector::correct(i, s); }), want));
        TestEnvironment::resetRecord();
        s.image_type = 2, s.descreen = true, s.descreen_radius = 3.f, s.brightness_correct = 25.f;
        s.change_bkg = true;
        const QImage colour = TestPages::documentPage(80, 100, true, 14);
        want = apply(colour, [](QImage *i) { Literal::MedianBlur(i, 3); });
        Literal::ChangeBackgroudColor(&want, 255, 255, 255);
        QVERIFY(same(apply(colour, [&](QImage *i) { PageCorrector::correct(i, s); }), want));
    }
};

SCANCONSOLE_TEST_MAIN(TestImageAlgorithm)
#include "tst_imagealgorithm.moc"
