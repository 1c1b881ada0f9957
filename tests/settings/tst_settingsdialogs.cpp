#include "settings/CustomDialog.h"
#include "settings/IPSetting.h"
#include "settings/ParamSetting.h"
#include "tests/support/TestEnvironment.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

// The printer address dialog and the custom-settings dialog, driven through their widgets.
class TestSettingsDialogs : public QObject
{
    Q_OBJECT

private:
    ParamSetting &p = ParamSetting::instance;

    static QString paramFile() { return TestEnvironment::configDir() + "/ParamSetting.ini"; }
    static QString visibleFile() { return TestEnvironment::configDir() + "/VisibleSetting.ini"; }
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    struct FlagBox
    {
        const char *box;
        bool ParamSetting::*flag;
        const char *key;
    };
    const QList<FlagBox> kBoxes = {
        {"checkBox_savePath", &ParamSetting::visible_save_path, "/BASE/save_path"},
        {"checkBox_resolution", &ParamSetting::visible_resolution, "/BASE/resolution"},
        {"checkBox_saveType", &ParamSetting::visible_save_type, "/BASE/save_type"},
        {"checkBox_source", &ParamSetting::visible_source_type, "/BASE/source_type"},
        {"checkBox_imgType", &ParamSetting::visible_image_type, "/BASE/image_type"},
        {"checkBox_paperSize", &ParamSetting::visible_paper_size, "/BASE/paper_size"},
        {"checkBox_thickness", &ParamSetting::visible_paper_thickness, "/BASE/paper_thickness"},
        {"checkBox_material", &ParamSetting::visible_paper_material, "/BASE/paper_material"},
        {"checkBox_halftone", &ParamSetting::visible_halftone, "/IMAGE/halftone"},
        {"checkBox_brightness", &ParamSetting::visible_brightness, "/IMAGE/brightness"},
        {"checkBox_contrast", &ParamSetting::visible_contrast, "/IMAGE/contrast"},
        {"checkBox_colorCurve", &ParamSetting::visible_color_curve, "/IMAGE/color_curve"},
        {"checkBox_filter", &ParamSetting::visible_filter, "/ORTHER/filter"},
        {"checkBox_descreening", &ParamSetting::visible_descreen, "/IMAGE/descreen"},
        {"checkBox_adjustAngle", &ParamSetting::visible_angle_correct, "/CORRECT/angle_correct"},
        {"checkBox_adjustGamma", &ParamSetting::visible_gamma_correct, "/CORRECT/gamma_correct"},
        {"checkBox_adjustBrightness", &ParamSetting::visible_brightness_correct,
         "/CORRECT/brightness_correct"},
        {"checkBox_adjustContrast", &ParamSetting::visible_contrast_correct,
         "/CORRECT/contrast_correct"},
        {"checkBox_impermeability", &ParamSetting::visible_impermeable, "/ORTHER/impermeable"},
        {"checkBox_ECO", &ParamSetting::visible_eco_mode, "/ORTHER/eco_mode"},
        {"checkBox_bkgColor", &ParamSetting::visible_change_bkg, "/ORTHER/change_bkg"},
    };

private slots:
    void init()
    {
        TestEnvironment::resetConfig();
        TestEnvironment::resetRecord();
    }

    // The printer address: shown in its four groups, stored without the mask's blanks.
    void addressDialog_data()
    {
        QTest::addColumn<QString>("keys"); // null: nothing typed
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("stored");
        // clang-format off
        QTest::newRow("untouched") << QString() << "btn_Ok" << "192.168.0.1";
        QTest::newRow("four groups") << "10.0.0.5" << "btn_Ok" << "10.0.0.5";
        // A full group moves the cursor on by itself; the mask takes digits only.
        QTest::newRow("full groups") << "255255255255" << "btn_Ok" << "255.255.255.255";
        QTest::newRow("letters refused") << "a10.b0.0.5" << "btn_Ok" << "10.0.0.5";
        QTest::newRow("last group empty") << "10.0.0" << "btn_Ok" << "10.0.0.";
        QTest::newRow("nothing") << "" << "btn_Ok" << "...";
        QTest::newRow("cancel") << "10.0.0.5" << "btn_cancel" << "192.168.0.1";
        // clang-format on
    }
    void addressDialog()
    {
        QFETCH(QString, keys);
        QFETCH(QString, button);
        QFETCH(QString, stored);
        p.setPrinterAddress("192.168.0.1");
        const QByteArray before = readAll(paramFile());
        IPSetting dialog;
        dialog.show();
        auto *edit = dialog.findChild<QLineEdit *>("edit_IP");
        QCOMPARE(edit->displayText(), QString("  192  .  168  .  0    .  1  "));
        if (!keys.isNull()) { // cleared like an operator, then typed from the start
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(edit, Qt::Key_Backspace);
            QTest::keyClick(edit, Qt::Key_Home);
            QTest::keyClicks(edit, keys);
        }
        QTest::mouseClick(dialog.findChild<QPushButton *>(button), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(button == "btn_Ok" ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(p.printerAddress(), stored);
        if (button == "btn_Ok")
            QCOMPARE(QSettings(paramFile(), QSettings::IniFormat).value("/PRINTER/IP").toString(),
                     stored);
        else
            QCOMPARE(readAll(paramFile()), before);
    }

    void customOkRewritesAll23Keys()
    {
        // The name and progress flags have no control: they reach the file as they are in
        // memory, at every OK.
        QSettings(visibleFile(), QSettings::IniFormat).setValue("/ORTHER/name", false);
        p.loadVisibleSettings();
        QVERIFY(!p.visible_name);
        p.visible_progress = false;
        for (const bool clicks : {true, false}) {
            QFile::remove(visibleFile());
            CustomDialog dialog;
            QTimer::singleShot(0, &dialog, [&dialog, clicks]() {
                // Each box tied to its own flag: uncheck two through a click, the first time.
                for (const char *box : {"checkBox_ECO", "checkBox_adjustGamma"})
                    if (clicks)
                        QTest::mouseClick(dialog.findChild<QCheckBox *>(box), Qt::LeftButton, {},
                                          QPoint(5, 5));
                QTest::mouseClick(dialog.findChild<QPushButton *>("okButton"), Qt::LeftButton);
            });
            // OK accepts and saves before exec() returns; without changes it still writes.
            QCOMPARE(dialog.exec(), int(QDialog::Accepted));
            QSettings s(visibleFile(), QSettings::IniFormat);
            QCOMPARE(s.allKeys().size(), 23);
            for (const FlagBox &b : kBoxes) {
                const bool off = QByteArray(b.box) == "checkBox_ECO" ||
                                 QByteArray(b.box) == "checkBox_adjustGamma";
                QVERIFY2(p.*b.flag == !off, b.box);
                QVERIFY2(s.value(b.key).toBool() == !off, b.key);
            }
            QCOMPARE(s.value("/ORTHER/progress", true).toBool(), false);
            QCOMPARE(s.value("/ORTHER/name", true).toBool(), false);
        }
        QVERIFY(!p.visible_name);
    }

    void customOpensWithFlagsAndCancelKeepsThem()
    {
        // Alternate the flags so that a box tied to the wrong flag shows.
        auto flagOf = [](int i) { return i % 3 == 1; };
        for (int i = 0; i < kBoxes.size(); ++i)
            p.*kBoxes[i].flag = flagOf(i);
        QVERIFY(p.saveVisibleSettings());
        const QByteArray before = readAll(visibleFile());
        CustomDialog dialog;
        dialog.show();
        QCOMPARE(dialog.findChildren<QCheckBox *>().size(), kBoxes.size());
        for (int i = 0; i < kBoxes.size(); ++i) {
            auto *box = dialog.findChild<QCheckBox *>(kBoxes[i].box);
            QVERIFY2(box->isChecked() == flagOf(i), kBoxes[i].box);
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 5));
        }
        QTest::mouseClick(dialog.findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        for (int i = 0; i < kBoxes.size(); ++i)
            QVERIFY2(p.*kBoxes[i].flag == flagOf(i), kBoxes[i].box);
        QCOMPARE(readAll(visibleFile()), before);
    }
};

SCANCONSOLE_TEST_MAIN(TestSettingsDialogs)
#include "tst_settingsdialogs.moc"
