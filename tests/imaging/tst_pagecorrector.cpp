#include "imaging/PageCorrector.h"
#include "settings/ParamSetting.h"
#include "tests/imaging/LiteralAlgorithms.h"
#include "tests/imaging/TestPages.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QSet>
#include <QTest>
#include <QTransform>

#include <functional>

Q_DECLARE_METATYPE(PageCorrector::Step)

// Which corrections run for which parameters, in which order, with which arguments.
class TestPageCorrector : public QObject
{
    Q_OBJECT

private:
    using Steps = QVector<PageCorrector::Step>;

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
        p.image_type = 2;
        p.change_bkg = true;
        p.bkg_red = 200;
        p.bkg_green = 220;
        p.bkg_blue = 240;
        return p;
    }

private slots:
    void neutralSettingsCallNothing()
    {
        const QImage page = TestPages::documentPage(120, 160, true, 3);
        CorrectionParams neutral;
        QVERIFY(PageCorrector::plan(neutral).isEmpty());
        QImage image = page;
        QVERIFY(PageCorrector::correct(&image, neutral).isEmpty());
        // Not even copied: the very same pixels, same format.
        QCOMPARE(image.constBits(), page.constBits());
        QCOMPARE(image.format(), QImage::Format_RGB32);

        // The record's neutral values (colour mode grey) give the same.
        TestEnvironment::resetRecord();
        ParamSetting::instance.image_type = 1;
        QVERIFY(
            PageCorrector::plan(CorrectionParams::fromSettings(ParamSetting::instance)).isEmpty());
    }

    void eachSettingSwitchesItsStep_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<Steps>("steps");
        using S = PageCorrector::Step;
        QTest::newRow("angle") << "angle" << Steps{S::Rotation};
        QTest::newRow("brightness_correct") << "brightness_correct" << Steps{S::ToneAdjust};
        QTest::newRow("contrast_correct") << "contrast_correct" << Steps{S::ToneAdjust};
        QTest::newRow("gamma_correct") << "gamma_correct" << Steps{S::ToneAdjust};
        QTest::newRow("brightness") << "brightness" << Steps{S::ToneAdjust};
        QTest::newRow("contrast") << "contrast" << Steps{S::ToneAdjust};
        QTest::newRow("color_curve") << "color_curve" << Steps{S::ToneAdjust};
        QTest::newRow("filter") << "filter" << Steps{S::Filter};
        QTest::newRow("descreen") << "descreen" << Steps{S::Descreen};
        QTest::newRow("impermeable") << "impermeable" << Steps{S::BleedThrough};
        QTest::newRow("black and white, threshold") << "bw0" << Steps{S::Threshold};
        QTest::newRow("black and white, halftone") << "bw1" << Steps{S::Halftoning};
        QTest::newRow("black and white, other halftone") << "bw2" << Steps{};
        QTest::newRow("grey with halftone 1") << "grey1" << Steps{};
        QTest::newRow("background") << "change_bkg" << Steps{S::BackgroundColour};
    }

    void eachSettingSwitchesItsStep()
    {
        QFETCH(QString, field);
        QFETCH(Steps, steps);
        // Set in the record, read through fromSettings, as the collector does.
        TestEnvironment::resetRecord();
        ParamSetting &s = ParamSetting::instance;
        s.image_type = 2;
        const QMap<QString, std::function<void()>> set = {
            {"angle", [&] { s.angle_correct = -0.5f; }},
            {"brightness_correct",
             [&] { s.brightness_correct = 0.5f; }}, // truncates to 0, still runs
            {"contrast_correct", [&] { s.contrast_correct = -2.f; }},
            {"gamma_correct", [&] { s.gamma_correct = 1.01f; }},
            {"brightness", [&] { s.brightness = 99; }},
            {"contrast", [&] { s.contrast = 101; }},
            {"color_curve", [&] { s.color_curve = 0; }},
            {"filter", [&] { s.filter = 4; }},
            {"descreen", [&] { s.descreen = true; }},
            {"impermeable", [&] { s.impermeable = 7; }},
            {"bw0",
             [&] {
                 s.image_type = 0;
                 s.halftone = 0;
             }},
            {"bw1",
             [&] {
                 s.image_type = 0;
                 s.halftone = 1;
             }},
            {"bw2",
             [&] {
                 s.image_type = 0;
                 s.halftone = 2;
             }},
            {"grey1",
             [&] {
                 s.image_type = 1;
                 s.halftone = 1;
             }},
            {"change_bkg", [&] { s.change_bkg = true; }},
        };
        set.value(field)();
        QCOMPARE(PageCorrector::plan(CorrectionParams::fromSettings(s)), steps);
    }

    void fixedOrder()
    {
        using S = PageCorrector::Step;
        CorrectionParams p = everything();
        QCOMPARE(PageCorrector::plan(p), (Steps{S::Rotation, S::ToneAdjust, S::Filter, S::Descreen,
                                                S::BleedThrough, S::BackgroundColour}));
        p.image_type = 0;
        p.halftone = 1;
        QCOMPARE(PageCorrector::plan(p),
                 (Steps{S::Rotation, S::ToneAdjust, S::Filter, S::Descreen, S::BleedThrough,
                        S::Halftoning, S::BackgroundColour}));
    }

    void chainEqualsOperationsInTurn()
    {
        // The chain's result equals the literal operations called one after another with the
        // arguments converted as the collector does (truncations, percentages times 0.01).
        for (bool colour : {true, false}) {
            for (int imageType : {2, 0}) {
                for (int halftone : {0, 1}) {
                    CorrectionParams p = everything();
                    p.image_type = imageType;
                    p.halftone = halftone;
                    const QImage page = TestPages::documentPage(150, 210, colour, 8);
                    QImage got = page;
                    PageCorrector::correct(&got, p);

                    QImage want = page;
                    want = want.transformed(QTransform().rotate(1.5), Qt::FastTransformation);
                    Literal::ImageAdjust(&want, 4, -3, 1.3f, float(93 * 0.01), float(97 * 0.01),
                                         float(104 * 0.01));
                    Literal::AddFilter(&want, 2);
                    Literal::MedianBlur(&want, 5);
                    Literal::Impermeability(&want, 1);
                    if (imageType == 0 && halftone == 0)
                        Literal::Threshold(&want);
                    if (imageType == 0 && halftone == 1)
                        Literal::Halftoning(&want);
                    Literal::ChangeBackgroudColor(&want, 200, 220, 240);

                    const QString what = QString("colour %1 type %2 halftone %3")
                                             .arg(colour)
                                             .arg(imageType)
                                             .arg(halftone);
                    QVERIFY2(got.format() == want.format(), qPrintable(what));
                    QVERIFY2(got == want, qPrintable(what));
                }
            }
        }
    }

    void stepsThatChangeNothing()
    {
        // A grey page is not filtered and a tone correction beyond its limits does nothing;
        // wherever such a step stands in the chain, the page is the previous step's result.
        const QImage grey = TestPages::documentPage(80, 100, false, 13);
        CorrectionParams last;
        last.gamma_correct = 1.4f;
        last.filter = 3; // last step, changes nothing on grey
        QImage got = grey;
        QCOMPARE(PageCorrector::correct(&got, last).size(), 2);
        QImage want = grey;
        Literal::ImageAdjust(&want, 0, 0, 1.4f, 1.f, 1.f, 1.f);
        QCOMPARE(got.format(), QImage::Format_Indexed8);
        QCOMPARE(got, want);

        CorrectionParams middle;
        middle.descreen = true;
        middle.descreen_radius = 3.f;
        middle.brightness_correct = 25.f; // beyond 20: left unchanged
        middle.change_bkg = true;
        const QImage colour = TestPages::documentPage(80, 100, true, 14);
        got = colour;
        PageCorrector::correct(&got, middle);
        want = colour;
        Literal::MedianBlur(&want, 3);
        Literal::ChangeBackgroudColor(&want, 255, 255, 255);
        QCOMPARE(got, want);

        // Only an unchanging step: the page stays exactly as loaded.
        CorrectionParams only;
        only.filter = 1;
        got = grey;
        PageCorrector::correct(&got, only);
        QCOMPARE(got.constBits(), grey.constBits());
    }

    void blackAndWhitePages()
    {
        const QImage page = TestPages::documentPage(90, 120, false, 12);
        CorrectionParams p;
        p.image_type = 0;
        p.halftone = 0;
        QImage two = page;
        PageCorrector::correct(&two, p);
        QCOMPARE(two.format(), QImage::Format_Indexed8);
        QVERIFY(two.isGrayscale());
        QSet<int> levels;
        for (int y = 0; y < two.height(); ++y)
            for (int x = 0; x < two.width(); ++x)
                levels.insert(two.pixelIndex(x, y));
        QCOMPARE(levels, QSet<int>({0, 255}));

        p.halftone = 1;
        QImage pattern = page;
        PageCorrector::correct(&pattern, p);
        QCOMPARE(pattern.format(), QImage::Format_RGB888);
        QCOMPARE(pattern.size(), page.size());
        QSet<QRgb> colours;
        for (int y = 0; y < pattern.height(); ++y)
            for (int x = 0; x < pattern.width(); ++x)
                colours.insert(pattern.pixel(x, y));
        QCOMPARE(colours, QSet<QRgb>({qRgb(0, 0, 0), qRgb(255, 255, 255)}));
    }

    void rotationGrowsThePage()
    {
        CorrectionParams p;
        p.angle_correct = 90.0f;
        QImage image = TestPages::documentPage(40, 60, true, 1);
        PageCorrector::correct(&image, p);
        QCOMPARE(image.size(), QSize(60, 40));
        p.angle_correct = 10.0f;
        QImage tilted = TestPages::documentPage(40, 60, true, 1);
        PageCorrector::correct(&tilted, p);
        QVERIFY(tilted.width() > 40 && tilted.height() > 60);
    }

    void emptyPageStaysEmpty()
    {
        CorrectionParams p = everything();
        p.image_type = 0;
        QImage image;
        PageCorrector::correct(&image, p);
        QVERIFY(image.isNull());
        QCOMPARE(PageCorrector::correct(nullptr, p), PageCorrector::plan(p));
    }
};

SCANCONSOLE_TEST_MAIN(TestPageCorrector)
#include "tst_pagecorrector.moc"
