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

// The printer address dialog and the custom-settings dialog, driven through their widgets.
class TestSettingsDialogs : public QObject
{
    Q_OBJECT

    ParamSetting &p = ParamSetting::instance;

    static QString file(const char *name) { return TestEnvironment::configDir() + '/' + name; }
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        TestEnvironment::resetConfig();
        TestEnvironment::resetRecord();
    }

    // The printer address: shown in its four groups, stored without the mask's blanks.
    void addressDialog_data()
    {
        QTest::addColumn<QString>("keys"); // typed into the emptied field
        QTest::addColumn<bool>("ok");      // false: Cancel
        QTest::addColumn<QString>("stored");
        QTest::newRow("digits only") << "a10.b0.0.5" << true << "10.0.0.5";
        QTest::newRow("last group empty") << "10.0.0" << true << "10.0.0.";
        QTest::newRow("cancel") << "10.0.0.5" << false << "192.168.0.1";
    }
    void addressDialog()
    {
        QFETCH(QString, keys);
        QFETCH(bool, ok);
        QFETCH(QString, stored);
        p.setPrinterAddress("192.168.0.1");
        IPSetting dialog;
        dialog.show();
        auto *edit = dialog.findChild<QLineEdit *>("edit_IP");
        QCOMPARE(edit->displayText(), QString("  192  .  168  .  0    .  1  "));
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier); // typing replaces the selection
        QTest::keyClicks(edit, keys);
        QTest::mouseClick(dialog.findChild<QPushButton *>(ok ? "btn_Ok" : "btn_cancel"),
                          Qt::LeftButton);
        QCOMPARE(dialog.result(), int(ok ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(p.printerAddress(), stored);
        const QSettings ini(file("ParamSetting.ini"), QSettings::IniFormat); // init(): 127.0.0.1
        QCOMPARE(ini.value("/PRINTER/IP").toString(), ok ? stored : QString("127.0.0.1"));
    }

    // One row per check box (the row's name) with the key of its flag in VisibleSetting.ini.
    void customDialog_data()
    {
        QTest::addColumn<QString>("key");
        auto row = [](const char *box, const char *key) { QTest::newRow(box) << key; };
        row("checkBox_savePath", "/BASE/save_path");
        row("checkBox_resolution", "/BASE/resolution");
        row("checkBox_saveType", "/BASE/save_type");
        row("checkBox_source", "/BASE/source_type");
        row("checkBox_imgType", "/BASE/image_type");
        row("checkBox_paperSize", "/BASE/paper_size");
        row("checkBox_thickness", "/BASE/paper_thickness");
        row("checkBox_material", "/BASE/paper_material");
        row("checkBox_halftone", "/IMAGE/halftone");
        row("checkBox_brightness", "/IMAGE/brightness");
        row("checkBox_contrast", "/IMAGE/contrast");
        row("checkBox_colorCurve", "/IMAGE/color_curve");
        row("checkBox_filter", "/ORTHER/filter");
        row("checkBox_descreening", "/IMAGE/descreen");
        row("checkBox_adjustAngle", "/CORRECT/angle_correct");
        row("checkBox_adjustGamma", "/CORRECT/gamma_correct");
        row("checkBox_adjustBrightness", "/CORRECT/brightness_correct");
        row("checkBox_adjustContrast", "/CORRECT/contrast_correct");
        row("checkBox_deskew", "/CORRECT/deskew");
        row("checkBox_skipBlank", "/CORRECT/skip_blank");
        row("checkBox_impermeability", "/ORTHER/impermeable");
        row("checkBox_ECO", "/ORTHER/eco_mode");
        row("checkBox_bkgColor", "/ORTHER/change_bkg");
    }
    // Only the row's flag and the two flags without a box are off. The dialog is opened three
    // times: every box clicked then Cancel; OK untouched, which must write what the record itself
    // saves (all 25 keys); the row's box clicked then OK.
    void customDialog()
    {
        QFETCH(QString, key);
        const QString box = QTest::currentDataTag(), visible = file("VisibleSetting.ini");
        for (const QString &off : {key, QString("/ORTHER/name"), QString("/ORTHER/progress")})
            QSettings(visible, QSettings::IniFormat).setValue(off, false);
        p.loadVisibleSettings();
        QVERIFY(p.saveVisibleSettings());
        const QByteArray saved = readAll(visible);
        for (int pass = 0; pass < 3; ++pass) {
            if (pass == 1)
                QVERIFY(QFile::remove(visible));
            CustomDialog dialog;
            dialog.show();
            if (pass == 0 && box == "checkBox_skipBlank")
                TestEnvironment::screenshot(&dialog, "custom-dialog");
            QStringList unchecked;
            for (QCheckBox *b : dialog.findChildren<QCheckBox *>()) {
                if (!b->isChecked())
                    unchecked << b->objectName();
                if (pass == 0 || (pass == 2 && b->objectName() == box))
                    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 5));
            }
            QCOMPARE(unchecked, QStringList{box});
            QTest::mouseClick(dialog.findChild<QPushButton *>(pass ? "okButton" : "cancelButton"),
                              Qt::LeftButton);
            QCOMPARE(dialog.result(), int(pass ? QDialog::Accepted : QDialog::Rejected));
            if (pass < 2)
                QCOMPARE(readAll(visible), saved);
        }
        QVERIFY(QSettings(visible, QSettings::IniFormat).value(key).toBool());
    }
};

SCANCONSOLE_TEST_MAIN(TestSettingsDialogs)
#include "tst_settingsdialogs.moc"
