#include "imaging/ImageAlgorithm.h"
#include "imaging/MatView.h"
#include "imaging/PageOps.h"
#include "tests/imaging/LiteralAlgorithms.h"
#include "tests/imaging/TestPages.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QSet>
#include <QTest>

#include <array>
#include <climits>
#include <functional>

// The fast page corrections against the literal formulas, byte for byte: random and
// document-like pages in every converted format and many odd sizes, every 24-bit colour for
// the colour filters and the grey conversion, and the edge cases of each operation.
class TestImageAlgorithm : public QObject
{
    Q_OBJECT

private:
    using Operation = std::function<void(QImage *)>;
    struct Case
    {
        QString name;
        Operation product;
        Operation literal;
    };

    // Empty when equal: format, size, grey palette of indexed images and every pixel byte.
    static QString difference(const QImage &got, const QImage &want)
    {
        if (got.format() != want.format())
            return QString("format %1, want %2").arg(got.format()).arg(want.format());
        if (got.size() != want.size())
            return QString("size %1x%2, want %3x%4")
                .arg(got.width())
                .arg(got.height())
                .arg(want.width())
                .arg(want.height());
        if (got.colorTable() != want.colorTable())
            return "colour table differs";
        const int rowBytes = (got.width() * got.depth() + 7) / 8;
        for (int y = 0; y < got.height(); ++y) {
            const uchar *a = got.constScanLine(y);
            const uchar *b = want.constScanLine(y);
            for (int i = 0; i < rowBytes; ++i) {
                if (a[i] != b[i])
                    return QString("row %1 byte %2: %3, want %4").arg(y).arg(i).arg(a[i]).arg(b[i]);
            }
        }
        return QString();
    }

    static QList<Case> cases()
    {
        QList<Case> list;
        list << Case{"Threshold", ImageAlgorithm::Threshold, Literal::Threshold};
        list << Case{"Halftoning", ImageAlgorithm::Halftoning, Literal::Halftoning};
        for (const auto &c : {std::array<int, 3>{255, 255, 255}, std::array<int, 3>{10, 200, 90}}) {
            list << Case{
                QString("ChangeBackgroudColor(%1,%2,%3)").arg(c[0]).arg(c[1]).arg(c[2]),
                [c](QImage *i) { ImageAlgorithm::ChangeBackgroudColor(i, c[0], c[1], c[2]); },
                [c](QImage *i) { Literal::ChangeBackgroudColor(i, c[0], c[1], c[2]); }};
        }
        for (int level : {0, 1, 2, 3, 5}) {
            list << Case{QString("Impermeability(%1)").arg(level),
                         [level](QImage *i) { ImageAlgorithm::Impermeability(i, level); },
                         [level](QImage *i) { Literal::Impermeability(i, level); }};
        }
        struct Tone
        {
            int b, c;
            float g, in, out, curve;
        };
        for (const Tone &t :
             {Tone{0, 0, 1.f, 1.f, 1.f, 1.f}, Tone{7, -3, 0.8f, 0.9f, 1.f, 1.1f},
              Tone{-20, 20, 4.f, 0.5f, 0.73f, 1.f}, Tone{20, -20, 0.1f, 1.f, 0.31f, 0.57f},
              Tone{3, 10, 1.f, 1.f, 1.f, 1.f}}) {
            list << Case{
                QString("ImageAdjust(%1,%2,%3,%4,%5,%6)")
                    .arg(t.b)
                    .arg(t.c)
                    .arg(t.g)
                    .arg(t.in)
                    .arg(t.out)
                    .arg(t.curve),
                [t](QImage *i) {
                    ImageAlgorithm::ImageAdjust(i, t.b, t.c, t.g, t.in, t.out, t.curve);
                },
                [t](QImage *i) { Literal::ImageAdjust(i, t.b, t.c, t.g, t.in, t.out, t.curve); }};
        }
        for (int type : {0, 1, 2, 3, 4, 5, -1}) {
            list << Case{QString("AddFilter(%1)").arg(type),
                         [type](QImage *i) { ImageAlgorithm::AddFilter(i, type); },
                         [type](QImage *i) { Literal::AddFilter(i, type); }};
        }
        for (int radius : {0, 1, 2, 3, 4, 5, 6, 9, 10}) {
            list << Case{QString("MedianBlur(%1)").arg(radius),
                         [radius](QImage *i) { ImageAlgorithm::MedianBlur(i, radius); },
                         [radius](QImage *i) { Literal::MedianBlur(i, radius); }};
        }
        return list;
    }

    static QList<QImage::Format> formats()
    {
        return {QImage::Format_RGB32,  QImage::Format_ARGB32,   QImage::Format_ARGB32_Premultiplied,
                QImage::Format_RGB888, QImage::Format_Indexed8, QImage::Format_Grayscale8};
    }

    static QImage inFormat(const QImage &page, QImage::Format format)
    {
        if (format == QImage::Format_Indexed8) {
            QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
            QImage indexed(grey.size(), QImage::Format_Indexed8);
            indexed.setColorTable(TestPages::greyPalette());
            for (int y = 0; y < grey.height(); ++y)
                memcpy(indexed.scanLine(y), grey.constScanLine(y), size_t(grey.width()));
            return indexed;
        }
        return page.convertToFormat(format);
    }

    // Runs every case on `input` and compares with the literal result.
    static void compareAll(const QImage &input, const QString &what)
    {
        for (const Case &c : cases()) {
            QImage fast = input;
            QImage plain = input;
            c.product(&fast);
            c.literal(&plain);
            const QString diff = difference(fast, plain);
            QVERIFY2(diff.isEmpty(), qPrintable(c.name + " on " + what + ": " + diff));
        }
    }

private slots:
    void randomPagesMatchLiteral()
    {
        const QList<QSize> sizes = {{1, 1},   {2, 3},   {7, 5},    {19, 23},  {20, 20},
                                    {21, 19}, {64, 48}, {101, 67}, {257, 193}};
        quint32 seed = 1;
        for (QImage::Format format : formats()) {
            for (const QSize &size : sizes) {
                const QImage input =
                    TestPages::randomImage(format, size.width(), size.height(), seed++);
                compareAll(input, QString("random format %1 %2x%3")
                                      .arg(format)
                                      .arg(size.width())
                                      .arg(size.height()));
                if (QTest::currentTestFailed())
                    return;
            }
        }
    }

    void documentPagesMatchLiteral()
    {
        // Light and dark pages exercise both corner-test outcomes of the background and
        // bleed-through operations.
        const QList<QSize> sizes = {{19, 40}, {43, 61}, {211, 299}, {500, 707}};
        quint32 seed = 100;
        for (bool dark : {false, true}) {
            for (bool colour : {true, false}) {
                for (const QSize &size : sizes) {
                    const QImage page =
                        TestPages::documentPage(size.width(), size.height(), colour, seed++, dark);
                    for (QImage::Format format : formats()) {
                        if (!colour && format != QImage::Format_Grayscale8 &&
                            format != QImage::Format_Indexed8)
                            continue;
                        compareAll(inFormat(page, format), QString("%1 %2 page format %3 %4x%5")
                                                               .arg(dark ? "dark" : "light")
                                                               .arg(colour ? "colour" : "grey")
                                                               .arg(format)
                                                               .arg(size.width())
                                                               .arg(size.height()));
                        if (QTest::currentTestFailed())
                            return;
                    }
                }
            }
        }
    }

    void manyBandsMatchWholePage()
    {
        // The median and the bleed-through mask are computed in row bands, one per thread;
        // with more threads the page is cut into more, smaller bands.
        struct Threads
        {
            int saved = cv::getNumThreads();
            Threads() { cv::setNumThreads(8); }
            ~Threads() { cv::setNumThreads(saved); }
        } threads;
        const QImage page = TestPages::documentPage(333, 1001, true, 77);
        for (const QImage &input : {page, page.convertToFormat(QImage::Format_RGB888),
                                    inFormat(page, QImage::Format_Grayscale8)}) {
            for (const Case &c : cases()) {
                if (!c.name.startsWith("MedianBlur") && !c.name.startsWith("Impermeability"))
                    continue;
                QImage fast = input, plain = input;
                c.product(&fast);
                c.literal(&plain);
                const QString diff = difference(fast, plain);
                QVERIFY2(diff.isEmpty(), qPrintable(c.name + ": " + diff));
            }
        }
    }

    void toneAdjustSweepMatchesLiteral()
    {
        // Every channel value in every format, under many random parameter sets, including
        // percentages beyond 100 and negative curve values from hand-edited files.
        QImage values(256, 3, QImage::Format_RGB32);
        for (int x = 0; x < 256; ++x) {
            values.setPixel(x, 0, qRgb(x, 255 - x, (x * 7) & 255));
            values.setPixel(x, 1, qRgb((x * 13) & 255, x, 255 - x));
            values.setPixel(x, 2, qRgb(255 - x, (x * 29) & 255, x));
        }
        const QList<QImage> inputs = {values, values.convertToFormat(QImage::Format_RGB888),
                                      inFormat(values, QImage::Format_Indexed8),
                                      inFormat(values, QImage::Format_Grayscale8)};
        std::mt19937 rng(7);
        for (int run = 0; run < 300; ++run) {
            const int b = int(rng() % 41) - 20;
            const int c = int(rng() % 41) - 20;
            const float g = 0.1f + float(rng() % 3901) / 1000.f;
            const float in = float(rng() % 151) * 0.01f;
            const float out = float(rng() % 151) * 0.01f;
            const float curve = (float(rng() % 301) - 50.f) * 0.01f;
            for (const QImage &input : inputs) {
                QImage fast = input, plain = input;
                ImageAlgorithm::ImageAdjust(&fast, b, c, g, in, out, curve);
                Literal::ImageAdjust(&plain, b, c, g, in, out, curve);
                const QString diff = difference(fast, plain);
                QVERIFY2(diff.isEmpty(),
                         qPrintable(QString("ImageAdjust(%1,%2,%3,%4,%5,%6) format %7: %8")
                                        .arg(b)
                                        .arg(c)
                                        .arg(g)
                                        .arg(in)
                                        .arg(out)
                                        .arg(curve)
                                        .arg(input.format())
                                        .arg(diff)));
            }
        }
    }

    void filtersMatchLiteralForEveryColour()
    {
        // All 256^3 colours, as 32-bit and as RGB888 pixels, in rows of 4096 (the vector
        // path) and of 15 (shorter than one vector: the per-pixel path).
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
                for (int i = 0; i < (1 << 24); ++i) {
                    const uchar *got = fast.constScanLine(i / w) + 3 * (i % w);
                    const uchar *want = plain.constScanLine(i / 4096) + 3 * (i % 4096);
                    if (memcmp(got, want, 3) != 0) {
                        QFAIL(qPrintable(QString("filter %1, width %2, format %3, colour %4,%5,%6: "
                                                 "%7,%8,%9 want %10,%11,%12")
                                             .arg(type)
                                             .arg(w)
                                             .arg(input.format())
                                             .arg(i >> 16)
                                             .arg((i >> 8) & 255)
                                             .arg(i & 255)
                                             .arg(got[0])
                                             .arg(got[1])
                                             .arg(got[2])
                                             .arg(want[0])
                                             .arg(want[1])
                                             .arg(want[2])));
                    }
                }
            }
        }
    }

    void greyConversionMatchesForEveryColour()
    {
        // The operations take the grey values from the 32-bit or RGB888 bytes directly; they
        // must equal OpenCV's BGR to grey conversion of the converted matrix.
        for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
            for (int width : {4096, 15}) {
                const QImage colours = TestPages::allColours(format, width);
                cv::Mat want;
                cv::cvtColor(Literal::toMat(colours), want, cv::COLOR_BGR2GRAY);
                const cv::Mat got = PageOps::grey(MatView(colours)).clone();
                QCOMPARE(got.type(), CV_8UC1);
                QVERIFY2(cv::countNonZero(got != want) == 0,
                         qPrintable(QString("format %1 width %2").arg(format).arg(width)));
            }
        }
    }

    void conversionsToMatrix()
    {
        // Odd widths give padded rows in every format but the 32-bit ones.
        for (QImage::Format format : formats()) {
            for (const QSize &size : {QSize(1, 1), QSize(3, 2), QSize(7, 5), QSize(33, 9)}) {
                const QImage image =
                    TestPages::randomImage(format, size.width(), size.height(), 11);
                const cv::Mat got = QImage2cvMat(image);
                const cv::Mat want = Literal::toMat(image);
                const QString what =
                    QString("format %1 %2x%3").arg(format).arg(size.width()).arg(size.height());
                QVERIFY2(got.type() == want.type(), qPrintable(what));
                QVERIFY2(got.type() == (image.depth() == 8 ? CV_8UC1 : CV_8UC3), qPrintable(what));
                QVERIFY2(got.size() == want.size(), qPrintable(what));
                QVERIFY2(cv::norm(got, want, cv::NORM_INF) == 0, qPrintable(what));
            }
        }
        // The matrix owns its pixels: it survives the image.
        cv::Mat kept;
        {
            QImage image(5, 3, QImage::Format_RGB888);
            image.fill(QColor(10, 20, 30));
            kept = QImage2cvMat(image);
        }
        QCOMPARE(kept.at<cv::Vec3b>(2, 4), cv::Vec3b(30, 20, 10));
        // Formats without a conversion, and the null image.
        for (QImage::Format format : {QImage::Format_Mono, QImage::Format_RGB16,
                                      QImage::Format_RGBA8888, QImage::Format_Grayscale16}) {
            QImage image(8, 8, format);
            image.fill(0);
            QVERIFY2(QImage2cvMat(image).empty(), qPrintable(QString::number(format)));
        }
        QVERIFY(QImage2cvMat(QImage()).empty());
    }

    void conversionsToImage()
    {
        for (int type : {CV_8UC1, CV_8UC3, CV_8UC4}) {
            for (const cv::Size &size : {cv::Size(1, 1), cv::Size(5, 3), cv::Size(31, 7)}) {
                cv::Mat m(size, type);
                cv::randu(m, 0, 256);
                const QImage got = cvMat2QImage(m);
                const QImage want = Literal::toImage(m);
                const QString diff = difference(got, want);
                QVERIFY2(diff.isEmpty(), qPrintable(QString("type %1 %2x%3: %4")
                                                        .arg(type)
                                                        .arg(size.width)
                                                        .arg(size.height)
                                                        .arg(diff)));
            }
        }
        // A sub-matrix (rows not contiguous) converts by its own pixels.
        cv::Mat big(20, 30, CV_8UC3);
        cv::randu(big, 0, 256);
        const cv::Mat part = big(cv::Rect(3, 4, 11, 9));
        QVERIFY(difference(cvMat2QImage(part), Literal::toImage(part)).isEmpty());
        const QImage grey = cvMat2QImage(cv::Mat(4, 4, CV_8UC1, cv::Scalar(77)));
        QCOMPARE(grey.format(), QImage::Format_Indexed8);
        QCOMPARE(grey.colorCount(), 256);
        QCOMPARE(grey.color(77), qRgb(77, 77, 77));
        QCOMPARE(grey.pixel(3, 3), qRgb(77, 77, 77));
        QCOMPARE(cvMat2QImage(cv::Mat(2, 2, CV_8UC3, cv::Scalar(1, 2, 3))).pixel(1, 1),
                 qRgb(3, 2, 1));
        // Anything else: null.
        QVERIFY(cvMat2QImage(cv::Mat()).isNull());
        QVERIFY(cvMat2QImage(cv::Mat(4, 4, CV_8UC2, cv::Scalar(1, 2))).isNull());
        QVERIFY(cvMat2QImage(cv::Mat(4, 4, CV_16UC1, cv::Scalar(1))).isNull());
        QVERIFY(cvMat2QImage(cv::Mat(4, 4, CV_32FC3, cv::Scalar(1, 2, 3))).isNull());
    }

    void unconvertibleImagesLeftUnchanged()
    {
        QImage mono(37, 11, QImage::Format_Mono);
        mono.fill(1);
        mono.setPixel(3, 4, 0);
        QImage rgb16 = TestPages::randomImage(QImage::Format_RGB888, 9, 9, 3)
                           .convertToFormat(QImage::Format_RGB16);
        for (const QImage &original : {mono, rgb16, QImage()}) {
            for (const Case &c : cases()) {
                QImage image = original;
                c.product(&image);
                QVERIFY2(
                    image.format() == original.format() && image == original,
                    qPrintable(c.name + " changed format " + QString::number(original.format())));
            }
        }
        for (const Case &c : cases())
            c.product(nullptr); // must simply return
    }

    void outputFormats()
    {
        const QImage colour = TestPages::documentPage(64, 80, true, 5);
        QImage t = colour;
        ImageAlgorithm::Threshold(&t);
        QCOMPARE(t.format(), QImage::Format_Indexed8);
        QCOMPARE(t.size(), colour.size());
        QSet<int> values;
        for (int y = 0; y < t.height(); ++y)
            for (int x = 0; x < t.width(); ++x)
                values.insert(t.pixelIndex(x, y));
        QCOMPARE(values, QSet<int>({0, 255}));

        QImage h = colour;
        ImageAlgorithm::Halftoning(&h);
        QCOMPARE(h.format(), QImage::Format_RGB888);
        QCOMPARE(h.size(), colour.size());

        // Colour pages leave their first operation as RGB888, grey ones as indexed grey.
        QImage a = colour;
        ImageAlgorithm::ImageAdjust(&a, 0, 0, 1.f, 1.f, 1.f, 1.f);
        QCOMPARE(a.format(), QImage::Format_RGB888);
        QCOMPARE(a, colour.convertToFormat(QImage::Format_RGB888)); // neutral values: identity
        QImage g = colour.convertToFormat(QImage::Format_Grayscale8);
        const QImage grey = g;
        ImageAlgorithm::MedianBlur(&g, 0);
        QCOMPARE(g.format(), QImage::Format_Indexed8);
        for (int y = 0; y < g.height(); ++y)
            QVERIFY(memcmp(g.constScanLine(y), grey.constScanLine(y), size_t(g.width())) == 0);

        // A grey page is not filtered (and not converted either).
        QImage f = grey;
        ImageAlgorithm::AddFilter(&f, 2);
        QCOMPARE(f.format(), QImage::Format_Grayscale8);
        QCOMPARE(f, grey);
    }

    void halftoneCells()
    {
        QImage page(10, 10, QImage::Format_Grayscale8);
        for (int value : {255, 0}) {
            page.fill(uint(value));
            QImage h = page;
            ImageAlgorithm::Halftoning(&h);
            QCOMPARE(h.size(), QSize(10, 10));
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 10; ++x)
                    QCOMPARE(h.pixel(x, y), value ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
        // 128 is level 5: ranks 1 to 5 white, i.e. all of the cell's first row and the
        // corners of its last row.
        page.fill(128u);
        QImage h = page;
        ImageAlgorithm::Halftoning(&h);
        const bool white[3][3] = {{true, true, true}, {false, false, false}, {true, false, true}};
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                QVERIFY2(h.pixel(x, y) ==
                             (white[y % 3][x % 3] ? qRgb(255, 255, 255) : qRgb(0, 0, 0)),
                         qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
    }

    void backgroundColourAndCornerTest()
    {
        // Under 20 pixels in either direction, white is the background.
        for (const QSize &size : {QSize(19, 40), QSize(40, 19)}) {
            QImage white(size, QImage::Format_RGB32);
            white.fill(Qt::white);
            ImageAlgorithm::ChangeBackgroudColor(&white, 10, 200, 90);
            QCOMPARE(white.pixel(size.width() / 2, size.height() / 2), qRgb(10, 200, 90));
            QImage black(size, QImage::Format_RGB32);
            black.fill(Qt::black);
            ImageAlgorithm::ChangeBackgroudColor(&black, 10, 200, 90);
            QCOMPARE(black.pixel(size.width() / 2, size.height() / 2), qRgb(0, 0, 0));
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
        QCOMPARE(dark.format(), QImage::Format_RGB888);
    }

    void bleedThroughLevels()
    {
        // Levels other than 1 and 2 act as 3 (offset 20).
        const QImage page = TestPages::documentPage(300, 400, false, 9);
        QImage three = page, zero = page, five = page, one = page;
        ImageAlgorithm::Impermeability(&three, 3);
        ImageAlgorithm::Impermeability(&zero, 0);
        ImageAlgorithm::Impermeability(&five, 5);
        ImageAlgorithm::Impermeability(&one, 1);
        QCOMPARE(zero, three);
        QCOMPARE(five, three);
        QVERIFY(one != three);
        // The faint show-through of the page is whitened, the text stays dark.
        int dark = 0;
        for (int y = 0; y < three.height(); ++y)
            for (int x = 0; x < three.width(); ++x)
                dark += three.pixelIndex(x, y) < 128;
        QVERIFY(dark > 100);
    }

    void toneLimitsAndContrast()
    {
        const QImage page = TestPages::randomImage(QImage::Format_Grayscale8, 16, 16, 4);
        struct Args
        {
            int b, c;
            float g;
        };
        for (const Args &a : {Args{21, 0, 1.f}, Args{-21, 0, 1.f}, Args{0, 21, 1.f},
                              Args{0, -21, 1.f}, Args{0, 0, 0.05f}, Args{0, 0, 4.5f}}) {
            QImage image = page;
            ImageAlgorithm::ImageAdjust(&image, a.b, a.c, a.g, 1.f, 1.f, 1.f);
            QCOMPARE(image.format(), QImage::Format_Grayscale8); // not even converted
            QCOMPARE(image, page);
        }
        // The limits themselves are accepted.
        for (const Args &a : {Args{20, 0, 1.f}, Args{-20, 0, 1.f}, Args{0, 20, 1.f},
                              Args{0, -20, 1.f}, Args{0, 0, 0.1f}, Args{0, 0, 4.f}}) {
            QImage image = page;
            ImageAlgorithm::ImageAdjust(&image, a.b, a.c, a.g, 1.f, 1.f, 1.f);
            QCOMPARE(image.format(), QImage::Format_Indexed8);
        }
        // Contrast exponent 10 doubles every value, clipped at 255.
        QImage values(256, 1, QImage::Format_Grayscale8);
        for (int x = 0; x < 256; ++x)
            values.scanLine(0)[x] = uchar(x);
        ImageAlgorithm::ImageAdjust(&values, 0, 10, 1.f, 1.f, 1.f, 1.f);
        for (int x = 0; x < 256; ++x)
            QCOMPARE(int(values.constScanLine(0)[x]), std::min(2 * x, 255));
    }

    void filterEdgeCases()
    {
        QImage pixels(3, 1, QImage::Format_RGB32);
        pixels.setPixel(0, 0, qRgb(0, 0, 0));
        pixels.setPixel(1, 0, qRgb(255, 0, 0));
        pixels.setPixel(2, 0, qRgb(0, 0, 255));
        QImage cast = pixels;
        ImageAlgorithm::AddFilter(&cast, 3);
        QCOMPARE(cast.pixel(0, 0), qRgb(0, 0, 0));
        QCOMPARE(cast.pixel(1, 0), qRgb(255, 0, 0)); // 255 * 255 / 1, limited
        QCOMPARE(cast.pixel(2, 0), qRgb(0, 0, 255));
        QImage unknown = pixels;
        ImageAlgorithm::AddFilter(&unknown, 7);
        for (int x = 0; x < 3; ++x)
            QCOMPARE(unknown.pixel(x, 0), qRgb(0, 0, 0));
        QImage none = pixels;
        ImageAlgorithm::AddFilter(&none, 0);
        QCOMPARE(none.format(), QImage::Format_RGB32);
        QCOMPARE(none, pixels);
    }

    void medianKernels()
    {
        const QImage page = TestPages::documentPage(61, 47, true, 21);
        const cv::Mat m = Literal::toMat(page);
        for (int radius : {4, 5}) {
            QImage image = page;
            ImageAlgorithm::MedianBlur(&image, radius);
            cv::Mat k5;
            cv::medianBlur(m, k5, 5);
            QVERIFY(difference(image, Literal::toImage(k5)).isEmpty());
        }
        // Radius 0 is kernel 1: the pixels keep their values.
        QImage zero = page;
        ImageAlgorithm::MedianBlur(&zero, 0);
        QCOMPARE(zero, page.convertToFormat(QImage::Format_RGB888));
        // A negative radius leaves the page as it is.
        for (int radius : {-1, -2, -7}) {
            QImage image = page;
            ImageAlgorithm::MedianBlur(&image, radius);
            QCOMPARE(image.format(), QImage::Format_RGB32);
            QCOMPARE(image, page);
        }
        // Kernels OpenCV refuses (never from the panel, whose radius is 1 to 10) leave the
        // page as it is instead of failing.
        for (int radius : {INT_MAX, INT_MAX - 1, 2000}) {
            QImage image = page;
            ImageAlgorithm::MedianBlur(&image, radius);
            QCOMPARE(image, page);
        }
        // Kernels larger than the page.
        QImage tiny = TestPages::randomImage(QImage::Format_RGB888, 5, 4, 2);
        QImage plain = tiny;
        ImageAlgorithm::MedianBlur(&tiny, 10);
        Literal::MedianBlur(&plain, 10);
        QVERIFY(difference(tiny, plain).isEmpty());
    }
};

SCANCONSOLE_TEST_MAIN(TestImageAlgorithm)
#include "tst_imagealgorithm.moc"
