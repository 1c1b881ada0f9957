#include "imaging/ImageAlgorithm.h"
#include "imaging/MatView.h"
#include "imaging/PageCorrector.h"
#include "imaging/PageOps.h"
#include "settings/ParamSetting.h"
#include "tests/imaging/LiteralAlgorithms.h"
#include "tests/imaging/TestPages.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QTest>
#include <QTransform>

#include <climits>
#include <functional>

// clang-format off
// The same call on the product's operation and on the literal one.
#define BOTH(label, call) \
    Case{label, [=](QImage *i) { ImageAlgorithm::call; }, [=](QImage *i) { Literal::call; }}
// clang-format on

// The fast page corrections against the literal formulas, byte for byte (random and
// document-like pages in every converted format and odd sizes, every 24-bit colour), their
// edge cases, and the correction chain: which steps run, in which order, with which arguments.
class TestImageAlgorithm : public QObject
{
    Q_OBJECT

    using Steps = QVector<PageCorrector::Step>;
    struct Case
    {
        QString name;
        std::function<void(QImage *)> product, literal;
    };

    // Empty when equal: format, size, palette and every pixel byte.
    static QString difference(const QImage &got, const QImage &want)
    {
        if (got.format() != want.format() || got.size() != want.size())
            return QString::asprintf("format %d %dx%d, want %d %dx%d", got.format(), got.width(),
                                     got.height(), want.format(), want.width(), want.height());
        if (got.colorTable() != want.colorTable())
            return "colour table differs";
        for (int y = 0; y < got.height(); ++y)
            for (int i = 0; i < (got.width() * got.depth() + 7) / 8; ++i)
                if (got.constScanLine(y)[i] != want.constScanLine(y)[i])
                    return QString::asprintf("row %d byte %d: %d, want %d", y, i,
                                             got.constScanLine(y)[i], want.constScanLine(y)[i]);
        return QString();
    }

    static QList<Case> cases()
    {
        QList<Case> list{BOTH("Threshold", Threshold(i)), BOTH("Halftoning", Halftoning(i)),
                         BOTH("background white", ChangeBackgroudColor(i, 255, 255, 255)),
                         BOTH("background 10,200,90", ChangeBackgroudColor(i, 10, 200, 90)),
                         BOTH("tone neutral", ImageAdjust(i, 0, 0, 1.f, 1.f, 1.f, 1.f)),
                         BOTH("tone 7,-3", ImageAdjust(i, 7, -3, 0.8f, 0.9f, 1.f, 1.1f)),
                         BOTH("tone -20,20", ImageAdjust(i, -20, 20, 4.f, 0.5f, 0.73f, 1.f)),
                         BOTH("tone 20,-20", ImageAdjust(i, 20, -20, 0.1f, 1.f, 0.31f, 0.57f)),
                         BOTH("tone 3,10", ImageAdjust(i, 3, 10, 1.f, 1.f, 1.f, 1.f)),
                         // Just beyond the limits: nothing happens, not even a conversion.
                         BOTH("tone 21", ImageAdjust(i, 21, 0, 1.f, 1.f, 1.f, 1.f)),
                         BOTH("tone -21", ImageAdjust(i, -21, 0, 1.f, 1.f, 1.f, 1.f)),
                         BOTH("tone 0,21", ImageAdjust(i, 0, 21, 1.f, 1.f, 1.f, 1.f)),
                         BOTH("tone 0,-21", ImageAdjust(i, 0, -21, 1.f, 1.f, 1.f, 1.f)),
                         BOTH("gamma 0.05", ImageAdjust(i, 0, 0, 0.05f, 1.f, 1.f, 1.f)),
                         BOTH("gamma 4.5", ImageAdjust(i, 0, 0, 4.5f, 1.f, 1.f, 1.f))};
        for (int v : {0, 1, 2, 3, 5})
            list << BOTH(QString("Impermeability %1").arg(v), Impermeability(i, v));
        for (int v : {0, 1, 2, 3, 4, 5, -1})
            list << BOTH(QString("AddFilter %1").arg(v), AddFilter(i, v));
        for (int v : {0, 1, 2, 3, 4, 5, 6, 9, 10, -1})
            list << BOTH(QString("MedianBlur %1").arg(v), MedianBlur(i, v));
        return list;
    }

    static QList<QImage::Format> formats()
    {
        return {QImage::Format_RGB32,  QImage::Format_ARGB32,   QImage::Format_ARGB32_Premultiplied,
                QImage::Format_RGB888, QImage::Format_Indexed8, QImage::Format_Grayscale8};
    }

    static QImage inFormat(const QImage &page, QImage::Format format)
    {
        if (format != QImage::Format_Indexed8)
            return page.convertToFormat(format);
        const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
        QImage indexed(grey.size(), QImage::Format_Indexed8);
        indexed.setColorTable(TestPages::greyPalette());
        for (int y = 0; y < grey.height(); ++y)
            memcpy(indexed.scanLine(y), grey.constScanLine(y), size_t(grey.width()));
        return indexed;
    }

    static bool matches(const Case &c, const QImage &input)
    {
        QImage fast = input, plain = input;
        c.product(&fast);
        c.literal(&plain);
        const QString diff = difference(fast, plain);
        const QString what = QString::asprintf(" on format %d %dx%d: ", input.format(),
                                               input.width(), input.height());
        if (!diff.isEmpty())
            QTest::qFail(qPrintable(c.name + what + diff), __FILE__, __LINE__);
        return diff.isEmpty();
    }

    // Every case (those whose name starts with `only`) on `input`.
    static bool compareAll(const QImage &input, const QString &only = "")
    {
        for (const Case &c : cases())
            if (c.name.startsWith(only) && !matches(c, input))
                return false;
        return true;
    }

    static CorrectionParams everything()
    {
        CorrectionParams p;
        p.angle_correct = 1.5f;
        p.brightness_correct = 4.7f; // truncated to 4
        p.contrast_correct = -3.9f;  // truncated to -3
        p.gamma_correct = 1.3f;
        p.brightness = 93;
        p.contrast = 97;
        p.color_curve = 104;
        p.filter = 2;
        p.descreen = true;
        p.descreen_radius = 5.9f; // truncated to 5 (kernel 5; rounding would give 7)
        p.impermeable = 1;
        p.change_bkg = true;
        p.bkg_red = 200;
        p.bkg_green = 220;
        p.bkg_blue = 240;
        return p;
    }

private slots:
    void pagesMatchLiteral()
    {
        quint32 seed = 1;
        for (QImage::Format format : formats())
            for (const QSize s :
                 {QSize(1, 1), QSize(2, 3), QSize(7, 5), QSize(19, 23), QSize(20, 20),
                  QSize(21, 19), QSize(64, 48), QSize(101, 67), QSize(257, 193)})
                if (!compareAll(TestPages::randomImage(format, s.width(), s.height(), seed++)))
                    return;
        // Light and dark pages take both ways of the corner test; grey pages only in grey.
        for (bool dark : {false, true}) {
            for (bool colour : {true, false}) {
                for (const QSize s :
                     {QSize(19, 40), QSize(43, 61), QSize(211, 299), QSize(500, 707)}) {
                    const QImage page =
                        TestPages::documentPage(s.width(), s.height(), colour, seed++, dark);
                    for (QImage::Format format : formats())
                        if ((colour || QImage::toPixelFormat(format).bitsPerPixel() == 8) &&
                            !compareAll(inFormat(page, format)))
                            return;
                }
            }
        }
    }

    void manyBandsMatchWholePage()
    {
        // The median and the bleed-through mask are computed in row bands, one per thread;
        // more threads cut the page into more, smaller bands.
        struct Threads
        {
            int saved = cv::getNumThreads();
            Threads() { cv::setNumThreads(8); }
            ~Threads() { cv::setNumThreads(saved); }
        } threads;
        const QImage page = TestPages::documentPage(333, 1001, true, 77);
        for (const QImage &input : {page, page.convertToFormat(QImage::Format_RGB888),
                                    inFormat(page, QImage::Format_Grayscale8)})
            if (!compareAll(input, "MedianBlur") || !compareAll(input, "Impermeability"))
                return;
    }

    void toneAdjustSweepMatchesLiteral()
    {
        // Every channel value in every format under random parameters, including percentages
        // beyond 100 and negative curve values from hand-edited files.
        QImage values(256, 3, QImage::Format_RGB32);
        for (int x = 0; x < 256; ++x) {
            values.setPixel(x, 0, qRgb(x, 255 - x, (x * 7) & 255));
            values.setPixel(x, 1, qRgb((x * 13) & 255, x, 255 - x));
            values.setPixel(x, 2, qRgb(255 - x, (x * 29) & 255, x));
        }
        std::mt19937 rng(7);
        for (int run = 0; run < 300; ++run) {
            const int b = int(rng() % 41) - 20, c = int(rng() % 41) - 20;
            const float g = 0.1f + float(rng() % 3901) / 1000.f;
            const float in = float(rng() % 151) * 0.01f, out = float(rng() % 151) * 0.01f;
            const float curve = (float(rng() % 301) - 50.f) * 0.01f;
            const Case tone =
                BOTH(QString::asprintf("ImageAdjust(%d,%d,%g,%g,%g,%g)", b, c, g, in, out, curve),
                     ImageAdjust(i, b, c, g, in, out, curve));
            for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888,
                                          QImage::Format_Indexed8, QImage::Format_Grayscale8})
                if (!matches(tone, inFormat(values, format)))
                    return;
        }
        // Contrast exponent 10 doubles every value, clipped at 255.
        QImage grey(256, 1, QImage::Format_Grayscale8);
        for (int x = 0; x < 256; ++x)
            grey.scanLine(0)[x] = uchar(x);
        ImageAlgorithm::ImageAdjust(&grey, 0, 10, 1.f, 1.f, 1.f, 1.f);
        for (int x = 0; x < 256; ++x)
            QCOMPARE(int(grey.constScanLine(0)[x]), std::min(2 * x, 255));
    }

    void filtersMatchLiteralForEveryColour()
    {
        // All 256^3 colours as 32-bit and RGB888 pixels, in rows of 4096 (the vector path) and
        // of 15 (shorter than one vector: the per-pixel path).
        const QImage reference = TestPages::allColours(QImage::Format_RGB32, 4096);
        const QList<QImage> inputs = {reference, TestPages::allColours(QImage::Format_RGB888, 4096),
                                      TestPages::allColours(QImage::Format_RGB32, 15),
                                      TestPages::allColours(QImage::Format_RGB888, 15)};
        for (int type = 1; type <= 4; ++type) {
            QImage plain = reference;
            Literal::AddFilter(&plain, type);
            QCOMPARE(plain.format(), QImage::Format_RGB888);
            for (const QImage &input : inputs) {
                QImage fast = input;
                ImageAlgorithm::AddFilter(&fast, type);
                QCOMPARE(fast.format(), QImage::Format_RGB888);
                const int w = fast.width();
                for (int i = 0; i < (1 << 24); ++i)
                    if (memcmp(fast.constScanLine(i / w) + 3 * (i % w),
                               plain.constScanLine(i / 4096) + 3 * (i % 4096), 3) != 0)
                        QFAIL(qPrintable(QString::asprintf("filter %d width %d format %d colour "
                                                           "%06x",
                                                           type, w, input.format(), i)));
            }
        }
    }

    void greyConversionMatchesForEveryColour()
    {
        // The operations take grey values from the 32-bit or RGB888 bytes directly; they must
        // equal OpenCV's BGR to grey conversion of the converted matrix.
        for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
            for (int width : {4096, 15}) {
                const QImage colours = TestPages::allColours(format, width);
                cv::Mat want;
                cv::cvtColor(Literal::toMat(colours), want, cv::COLOR_BGR2GRAY);
                const cv::Mat got = PageOps::grey(MatView(colours)).clone();
                QCOMPARE(got.type(), CV_8UC1);
                QVERIFY2(cv::countNonZero(got != want) == 0,
                         qPrintable(QString::asprintf("format %d width %d", format, width)));
            }
        }
    }

    void conversions()
    {
        // Odd widths give padded rows in every format but the 32-bit ones.
        for (QImage::Format format : formats()) {
            for (int w : {1, 3, 7, 33}) {
                const QImage image = TestPages::randomImage(format, w, 5, 11);
                const cv::Mat got = QImage2cvMat(image), want = Literal::toMat(image);
                QVERIFY2(got.type() == want.type() && got.size() == want.size() &&
                             cv::norm(got, want, cv::NORM_INF) == 0,
                         qPrintable(QString::asprintf("format %d width %d", format, w)));
            }
        }
        cv::Mat kept; // the matrix owns its pixels: it survives the image
        {
            QImage image(5, 3, QImage::Format_RGB888);
            image.fill(QColor(10, 20, 30));
            kept = QImage2cvMat(image);
        }
        QCOMPARE(kept.at<cv::Vec3b>(2, 4), cv::Vec3b(30, 20, 10));
        for (QImage::Format format : {QImage::Format_Mono, QImage::Format_RGB16,
                                      QImage::Format_RGBA8888, QImage::Format_Grayscale16}) {
            QImage image(8, 8, format);
            image.fill(0);
            QVERIFY2(QImage2cvMat(image).empty(), qPrintable(QString::number(format)));
        }
        QVERIFY(QImage2cvMat(QImage()).empty());

        for (int channels : {1, 3, 4}) {
            cv::Mat m(20, 30, CV_8UC(channels));
            cv::randu(m, 0, 256);
            // Whole, one pixel, and a part whose rows are not contiguous.
            for (const cv::Mat &part : {m, m(cv::Rect(0, 0, 1, 1)), m(cv::Rect(3, 4, 11, 9))}) {
                const QString diff = difference(cvMat2QImage(part), Literal::toImage(part));
                QVERIFY2(diff.isEmpty(), qPrintable(QString::number(channels) + ": " + diff));
            }
        }
        for (const cv::Mat &m :
             {cv::Mat(), cv::Mat(4, 4, CV_8UC2), cv::Mat(4, 4, CV_16UC1), cv::Mat(4, 4, CV_32FC3)})
            QVERIFY(cvMat2QImage(m).isNull());
    }

    void unconvertibleImagesLeftUnchanged()
    {
        QImage mono(37, 11, QImage::Format_Mono);
        mono.fill(1);
        mono.setPixel(3, 4, 0);
        const QImage rgb16 = TestPages::randomImage(QImage::Format_RGB888, 9, 9, 3)
                                 .convertToFormat(QImage::Format_RGB16);
        for (const QImage &original : {mono, rgb16, QImage()}) {
            for (const Case &c : cases()) {
                QImage image = original;
                c.product(&image);
                QVERIFY2(
                    image.format() == original.format() && image == original,
                    qPrintable(c.name + " changed format " + QString::number(original.format())));
                c.product(nullptr); // must simply return
            }
        }
        // So is a median kernel OpenCV refuses (never from the panel, whose radius is 1 to 10)
        // instead of failing.
        const QImage page = TestPages::documentPage(61, 47, true, 21);
        for (int radius : {INT_MAX, INT_MAX - 1, 2000}) {
            QImage image = page;
            ImageAlgorithm::MedianBlur(&image, radius);
            QVERIFY2(image.format() == page.format() && image == page,
                     qPrintable(QString::number(radius)));
        }
    }

    void halftoneCells()
    {
        // 10 x 10 at 255: all white; at 0: all black; at 128 (level 5) ranks 1 to 5 white,
        // i.e. all of a cell's first row and the corners of its last.
        const bool white[3][3] = {{true, true, true}, {false, false, false}, {true, false, true}};
        for (int value : {255, 0, 128}) {
            QImage h(10, 10, QImage::Format_Grayscale8);
            h.fill(uint(value));
            ImageAlgorithm::Halftoning(&h);
            QCOMPARE(h.size(), QSize(10, 10));
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 10; ++x) {
                    const bool on = value == 128 ? white[y % 3][x % 3] : value == 255;
                    QVERIFY2(h.pixel(x, y) == (on ? qRgb(255, 255, 255) : qRgb(0, 0, 0)),
                             qPrintable(QString::asprintf("%d at %d,%d", value, x, y)));
                }
        }
    }

    void backgroundCornerTest()
    {
        // Under 20 pixels in either direction, white is the background.
        for (const QSize size : {QSize(19, 40), QSize(40, 19)}) {
            for (const QColor &fill : {QColor(Qt::white), QColor(Qt::black)}) {
                QImage image(size, QImage::Format_RGB32);
                image.fill(fill);
                ImageAlgorithm::ChangeBackgroudColor(&image, 10, 200, 90);
                QCOMPARE(image.pixel(size.width() / 2, size.height() / 2),
                         fill == Qt::white ? qRgb(10, 200, 90) : qRgb(0, 0, 0));
            }
        }
        // From 20 x 20 on, a dark corner makes black the background and the rest white.
        QImage dark(40, 40, QImage::Format_RGB32);
        dark.fill(Qt::black);
        for (int y = 30; y < 40; ++y)
            for (int x = 30; x < 40; ++x)
                dark.setPixel(x, y, qRgb(250, 250, 250));
        ImageAlgorithm::ChangeBackgroudColor(&dark, 10, 200, 90);
        QCOMPARE(dark.pixel(5, 5), qRgb(10, 200, 90));
        QCOMPARE(dark.pixel(35, 35), qRgb(255, 255, 255));
    }

    // The correction chain.

    void neutralSettingsCallNothing()
    {
        const QImage page = TestPages::documentPage(120, 160, true, 3);
        QImage image = page;
        QVERIFY(PageCorrector::correct(&image, CorrectionParams()).isEmpty());
        QCOMPARE(image.constBits(), page.constBits()); // not even copied
        // The record's neutral values (colour mode grey) give the same.
        TestEnvironment::resetRecord();
        ParamSetting::instance.image_type = 1;
        QVERIFY(
            PageCorrector::plan(CorrectionParams::fromSettings(ParamSetting::instance)).isEmpty());
        // A null page stays null.
        image = QImage();
        CorrectionParams all = everything();
        all.image_type = 0;
        PageCorrector::correct(&image, all);
        QVERIFY(image.isNull());
        QCOMPARE(PageCorrector::correct(nullptr, all), PageCorrector::plan(all));
    }

    void eachSettingSwitchesItsStep()
    {
        // Set in the record and read through fromSettings, as the collector does.
        using S = PageCorrector::Step;
        ParamSetting &s = ParamSetting::instance;
        const struct
        {
            const char *what;
            std::function<void()> set;
            Steps steps;
        } rows[] = {
            {"angle", [&] { s.angle_correct = -0.5f; }, {S::Rotation}},
            {"brightness 0.5", [&] { s.brightness_correct = 0.5f; }, {S::ToneAdjust}}, // int 0
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
            {"background", [&] { s.change_bkg = true; }, {S::BackgroundColour}},
        };
        for (const auto &row : rows) {
            TestEnvironment::resetRecord();
            s.image_type = 2;
            row.set();
            QVERIFY2(PageCorrector::plan(CorrectionParams::fromSettings(s)) == row.steps, row.what);
        }
    }

    void chainEqualsOperationsInTurn()
    {
        // The literal operations one after another, in the fixed order, with the arguments
        // converted as the collector does (truncations, percentages times 0.01).
        using S = PageCorrector::Step;
        for (bool colour : {true, false}) {
            for (int halftone : {-1, 0, 1}) { // -1: colour mode colour, else black and white
                CorrectionParams p = everything();
                p.image_type = halftone < 0 ? 2 : 0;
                p.halftone = halftone;
                const QImage page = TestPages::documentPage(150, 210, colour, 8);
                QImage got = page;
                Steps steps{S::Rotation, S::ToneAdjust, S::Filter, S::Descreen, S::BleedThrough};
                if (halftone >= 0)
                    steps << (halftone ? S::Halftoning : S::Threshold);
                QCOMPARE(PageCorrector::correct(&got, p), steps << S::BackgroundColour);
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
                QVERIFY2(got.format() == want.format() && got == want,
                         qPrintable(QString::asprintf("colour %d halftone %d", colour, halftone)));
            }
        }
    }

    void stepsThatChangeNothing()
    {
        // Wherever a step that changes nothing (a filter on a grey page, a tone correction
        // beyond its limits) stands in the chain, the page is the previous step's result.
        const QImage grey = TestPages::documentPage(80, 100, false, 13);
        CorrectionParams last;
        last.gamma_correct = 1.4f;
        last.filter = 3;
        QImage got = grey, want = grey;
        QCOMPARE(PageCorrector::correct(&got, last).size(), 2);
        Literal::ImageAdjust(&want, 0, 0, 1.4f, 1.f, 1.f, 1.f);
        QVERIFY(got.format() == QImage::Format_Indexed8 && got == want);

        CorrectionParams middle;
        middle.descreen = true;
        middle.descreen_radius = 3.f;
        middle.brightness_correct = 25.f;
        middle.change_bkg = true;
        const QImage colour = TestPages::documentPage(80, 100, true, 14);
        got = want = colour;
        PageCorrector::correct(&got, middle);
        Literal::MedianBlur(&want, 3);
        Literal::ChangeBackgroudColor(&want, 255, 255, 255);
        QCOMPARE(got, want);

        CorrectionParams only; // nothing but an unchanging step: the page exactly as loaded
        only.filter = 1;
        got = grey;
        PageCorrector::correct(&got, only);
        QCOMPARE(got.constBits(), grey.constBits());
    }
};

SCANCONSOLE_TEST_MAIN(TestImageAlgorithm)
#include "tst_imagealgorithm.moc"
