#include "settings/CustomDialog.h"
#include "settings/IPSetting.h"
#include "settings/ParamSetting.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
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

    template <typename T> static T *child(QWidget *w, const char *name)
    {
        T *c = w->findChild<T *>(QLatin1String(name));
        if (!c)
            qWarning("missing child %s", name);
        return c;
    }

    // Clears the address field like an operator and types the keys.
    static void typeAddress(QLineEdit *edit, const QString &keys)
    {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClicks(edit, keys);
    }

    struct FlagBox
    {
        const char *box;
        const char *text;
        bool ParamSetting::*flag;
        const char *key;
    };
    const QList<FlagBox> kBoxes = {
        {"checkBox_savePath", "保存路径", &ParamSetting::visible_save_path, "/BASE/save_path"},
        {"checkBox_resolution", "分辨率", &ParamSetting::visible_resolution, "/BASE/resolution"},
        {"checkBox_saveType", "存储格式", &ParamSetting::visible_save_type, "/BASE/save_type"},
        {"checkBox_source", "纸张来源", &ParamSetting::visible_source_type, "/BASE/source_type"},
        {"checkBox_imgType", "扫描模式", &ParamSetting::visible_image_type, "/BASE/image_type"},
        {"checkBox_paperSize", "稿件大小", &ParamSetting::visible_paper_size, "/BASE/paper_size"},
        {"checkBox_thickness", "稿件厚度", &ParamSetting::visible_paper_thickness,
         "/BASE/paper_thickness"},
        {"checkBox_material", "稿件材质", &ParamSetting::visible_paper_material,
         "/BASE/paper_material"},
        {"checkBox_halftone", "半色调图案", &ParamSetting::visible_halftone, "/IMAGE/halftone"},
        {"checkBox_brightness", "亮度", &ParamSetting::visible_brightness, "/IMAGE/brightness"},
        {"checkBox_contrast", "对比度", &ParamSetting::visible_contrast, "/IMAGE/contrast"},
        {"checkBox_colorCurve", "色调曲线", &ParamSetting::visible_color_curve,
         "/IMAGE/color_curve"},
        {"checkBox_filter", "滤镜", &ParamSetting::visible_filter, "/ORTHER/filter"},
        {"checkBox_descreening", "去除网纹", &ParamSetting::visible_descreen, "/IMAGE/descreen"},
        {"checkBox_adjustAngle", "旋转角度", &ParamSetting::visible_angle_correct,
         "/CORRECT/angle_correct"},
        {"checkBox_adjustGamma", "伽马值", &ParamSetting::visible_gamma_correct,
         "/CORRECT/gamma_correct"},
        {"checkBox_adjustBrightness", "亮度", &ParamSetting::visible_brightness_correct,
         "/CORRECT/brightness_correct"},
        {"checkBox_adjustContrast", "对比度", &ParamSetting::visible_contrast_correct,
         "/CORRECT/contrast_correct"},
        {"checkBox_impermeability", "防渗透", &ParamSetting::visible_impermeable,
         "/ORTHER/impermeable"},
        {"checkBox_ECO", "节能模式", &ParamSetting::visible_eco_mode, "/ORTHER/eco_mode"},
        {"checkBox_bkgColor", "改变背景颜色", &ParamSetting::visible_change_bkg,
         "/ORTHER/change_bkg"},
    };

private slots:
    void init()
    {
        TestEnvironment::resetConfig();
        TestEnvironment::resetRecord();
    }

    void addressForm()
    {
        IPSetting dialog;
        QCOMPARE(dialog.windowTitle(), QString("IP设置"));
        QCOMPARE(dialog.size(), QSize(280, 100));
        QCOMPARE(dialog.minimumSize(), QSize(280, 100));
        QCOMPARE(dialog.maximumSize(), QSize(280, 100));
        QVERIFY(!dialog.windowIcon().isNull());
        QCOMPARE(child<QGroupBox>(&dialog, "groupBox")->title(), QString("打印机IP"));
        QCOMPARE(child<QLineEdit>(&dialog, "edit_IP")->inputMask(),
                 QString("  000  .  000  .  000  .  000"));
        QCOMPARE(child<QPushButton>(&dialog, "btn_Ok")->text(), QString("确定"));
        QCOMPARE(child<QPushButton>(&dialog, "btn_cancel")->text(), QString("取消"));
    }

    void addressShownInGroupsAndKeptByOk()
    {
        p.setPrinterAddress("192.168.0.1");
        IPSetting dialog;
        dialog.show();
        auto *edit = child<QLineEdit>(&dialog, "edit_IP");
        QCOMPARE(edit->displayText(), QString("  192  .  168  .  0    .  1  "));
        QTest::mouseClick(child<QPushButton>(&dialog, "btn_Ok"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(p.printerAddress(), QString("192.168.0.1"));
        QSettings s(paramFile(), QSettings::IniFormat);
        QCOMPARE(s.value("/PRINTER/IP").toString(), QString("192.168.0.1"));
    }

    void typedAddressStored_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("stored");
        QTest::newRow("four groups") << "10.0.0.5"
                                     << "10.0.0.5";
        // A full group moves the cursor on by itself.
        QTest::newRow("full groups") << "255255255255"
                                     << "255.255.255.255";
        QTest::newRow("last group empty") << "10.0.0"
                                          << "10.0.0.";
        QTest::newRow("second group empty") << "10..0.5"
                                            << "10..0.5";
        QTest::newRow("nothing") << ""
                                 << "...";
        QTest::newRow("letters refused") << "a10.b0.0.5"
                                         << "10.0.0.5";
    }
    void typedAddressStored()
    {
        QFETCH(QString, keys);
        QFETCH(QString, stored);
        IPSetting dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        typeAddress(child<QLineEdit>(&dialog, "edit_IP"), keys);
        QTest::mouseClick(child<QPushButton>(&dialog, "btn_Ok"), Qt::LeftButton);
        QCOMPARE(p.printerAddress(), stored);
        QCOMPARE(p.printer_ip, stored);
        QSettings s(paramFile(), QSettings::IniFormat);
        QCOMPARE(s.value("/PRINTER/IP").toString(), stored);
    }

    void addressCancelChangesNothing()
    {
        const QByteArray before = readAll(paramFile());
        IPSetting dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        typeAddress(child<QLineEdit>(&dialog, "edit_IP"), "10.0.0.5");
        QTest::mouseClick(child<QPushButton>(&dialog, "btn_cancel"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(p.printerAddress(), QString("127.0.0.1"));
        QCOMPARE(readAll(paramFile()), before);
    }

    void addressOkThroughExec()
    {
        IPSetting dialog;
        QTimer::singleShot(0, &dialog, [&dialog]() {
            typeAddress(child<QLineEdit>(&dialog, "edit_IP"), "10.0.0.2");
            QTest::mouseClick(child<QPushButton>(&dialog, "btn_Ok"), Qt::LeftButton);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(p.printerAddress(), QString("10.0.0.2"));
    }

    void customForm()
    {
        CustomDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("自定义设置"));
        QCOMPARE(dialog.size(), QSize(441, 501));
        QCOMPARE(child<QGroupBox>(&dialog, "groupBox_baseSetting")->title(), QString("基础设置"));
        QCOMPARE(child<QGroupBox>(&dialog, "groupBox_enhancement")->title(),
                 QString("图像色彩设置"));
        QCOMPARE(child<QGroupBox>(&dialog, "groupBox_adjust")->title(), QString("图像校正设置"));
        QCOMPARE(child<QGroupBox>(&dialog, "groupBox_other")->title(), QString("其他设置"));
        QCOMPARE(child<QPushButton>(&dialog, "okButton")->text(), QString("确定"));
        QCOMPARE(child<QPushButton>(&dialog, "cancelButton")->text(), QString("取消"));
        QCOMPARE(dialog.findChildren<QCheckBox *>().size(), kBoxes.size());
        for (const FlagBox &b : kBoxes)
            QCOMPARE(child<QCheckBox>(&dialog, b.box)->text(), QString::fromUtf8(b.text));
    }

    void customOpensWithFlags()
    {
        // Alternate the flags so that a box tied to the wrong flag shows.
        for (int i = 0; i < kBoxes.size(); ++i)
            p.*kBoxes[i].flag = (i % 3 == 1);
        CustomDialog dialog;
        for (int i = 0; i < kBoxes.size(); ++i)
            QVERIFY2(child<QCheckBox>(&dialog, kBoxes[i].box)->isChecked() == (i % 3 == 1),
                     kBoxes[i].box);
        // And the other way round.
        for (int i = 0; i < kBoxes.size(); ++i)
            p.*kBoxes[i].flag = (i % 3 != 1);
        dialog.initCheckBox();
        for (int i = 0; i < kBoxes.size(); ++i)
            QVERIFY2(child<QCheckBox>(&dialog, kBoxes[i].box)->isChecked() == (i % 3 != 1),
                     kBoxes[i].box);
    }

    void customOkRewritesAll23Keys()
    {
        QVERIFY(!QFile::exists(visibleFile()));
        p.visible_progress = false; // no control: must reach the file as it is in memory
        CustomDialog dialog;
        dialog.show();
        // Each box tied to its own flag: uncheck one at a time through a click.
        QTest::mouseClick(child<QCheckBox>(&dialog, "checkBox_ECO"), Qt::LeftButton, {},
                          QPoint(5, 5));
        QTest::mouseClick(child<QCheckBox>(&dialog, "checkBox_adjustGamma"), Qt::LeftButton, {},
                          QPoint(5, 5));
        QTest::mouseClick(child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        QSettings s(visibleFile(), QSettings::IniFormat);
        QCOMPARE(s.allKeys().size(), 23);
        for (const FlagBox &b : kBoxes) {
            const bool off =
                QByteArray(b.box) == "checkBox_ECO" || QByteArray(b.box) == "checkBox_adjustGamma";
            QVERIFY2(p.*b.flag == !off, b.box);
            QVERIFY2(s.value(b.key).toBool() == !off, b.key);
        }
        QCOMPARE(s.value("/ORTHER/progress").toBool(), false);
        QCOMPARE(s.value("/ORTHER/name").toBool(), true);
    }

    void customCancelChangesNothing()
    {
        p.visible_filter = false;
        QVERIFY(p.saveVisibleSettings());
        const QByteArray before = readAll(visibleFile());
        CustomDialog dialog;
        dialog.show();
        for (const FlagBox &b : kBoxes)
            QTest::mouseClick(child<QCheckBox>(&dialog, b.box), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(child<QPushButton>(&dialog, "cancelButton"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        for (const FlagBox &b : kBoxes)
            QVERIFY2(p.*b.flag == (QByteArray(b.box) != "checkBox_filter"), b.box);
        QCOMPARE(readAll(visibleFile()), before);
    }

    void customKeepsNameFlagAcrossOk()
    {
        {
            QSettings s(visibleFile(), QSettings::IniFormat);
            s.setValue("/ORTHER/name", false);
        }
        p.loadVisibleSettings();
        QVERIFY(!p.visible_name);
        for (int round = 0; round < 2; ++round) {
            CustomDialog dialog;
            QTimer::singleShot(0, &dialog, [&dialog]() {
                QTest::mouseClick(child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
            });
            // OK accepts and saves before exec() returns.
            QCOMPARE(dialog.exec(), int(QDialog::Accepted));
            QSettings s(visibleFile(), QSettings::IniFormat);
            QCOMPARE(s.allKeys().size(), 23);
            QCOMPARE(s.value("/ORTHER/name", true).toBool(), false);
        }
        QVERIFY(!p.visible_name);
    }
};

SCANCONSOLE_TEST_MAIN(TestSettingsDialogs)
#include "tst_settingsdialogs.moc"
