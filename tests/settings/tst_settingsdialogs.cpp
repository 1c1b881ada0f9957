#include "app/ScannerDialog.h"
#include "settings/CustomDialog.h"
#include "settings/ParamSetting.h"
#include "settings/PrinterAddress.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestRows.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

using TestFiles::readAll;

// The scanner dialog's typed address and the custom-settings dialog, driven through their widgets.
class TestSettingsDialogs : public QObject
{
    Q_OBJECT

    ParamSetting &p = ParamSetting::instance;

private slots:
    void init()
    {
        TestEnvironment::resetConfig();
        TestEnvironment::resetRecord();
    }

    // The printer address as typed: stored normalised when it has one meaning, refused with a
    // message that says why otherwise (the dialog stays open and nothing is stored).
    void addressDialog_data()
    {
        // typed | stored (empty: refused) | host the reachability ping gets | message
        TestRows::add(
            {"IPv4, shown as typed | 192.168.1.20 | 192.168.1.20 | 192.168.1.20 |",
             "host name | Scanner.Office.LAN. | scanner.office.lan | scanner.office.lan |",
             "URL with port | HTTPS://Scanner:08443/eSCL | https://scanner:8443/eSCL | scanner |",
             "URL, bare path | http://10.0.0.5:8080/ | http://10.0.0.5:8080 | 10.0.0.5 |",
             "zero-padded | 192.168.001.010 ||| IPv4地址中的数字不能以0开头：192.168.001.010",
             "three numbers | 10.0.0 ||| IPv4地址应为以点分隔的四个0到255之间的数字：10.0.0",
             "over 255 | 10.0.0.256 ||| IPv4地址应为以点分隔的四个0到255之间的数字：10.0.0.256",
             "blank | scan ner ||| 地址中不能有空格",
             "underscore | scan_ner ||| 主机名无效（只能包含字母、数字、连字符和点）：scan_ner",
             "option-like | -f ||| 主机名无效（只能包含字母、数字、连字符和点）：-f",
             "ftp | ftp://scanner ||| 地址只能以 http:// 或 https:// 开头：ftp://scanner",
             "port | http://scanner:70000 ||| 端口应为1到65535之间的数字：http://scanner:70000",
             "user | http://me@s/ ||| 扫描仪地址无效（http[s]://主机[:端口][/路径]）：http://me@s/",
             "chosen SANE device | sane:test:0 | sane:test:0 ||",
             "chosen eSCL | escl:HTTP://10.0.0.5/eSCL | escl:http://10.0.0.5/eSCL | 10.0.0.5 |",
             "no device name | sane: ||| 扫描仪设备名无效：sane:", "empty |||| 请输入打印机地址"});
    }
    void addressDialog()
    {
        QFETCH(QStringList, fields);
        const QString typed = fields[0], stored = fields[1], host = fields[2], message = fields[3];
        p.setPrinterAddress("192.168.0.1");
        ScannerDialog dialog;
        dialog.show();
        auto *edit = dialog.findChild<QLineEdit *>("edit_address");
        edit->clear();
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), typed); // nothing is inserted or moved while typing
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        QTest::mouseClick(dialog.findChild<QPushButton *>("btn_Ok"), Qt::LeftButton);
        QCOMPARE(answerer.seen.size() ? answerer.seen.at(0).text : QString(), message);
        QCOMPARE(dialog.isVisible(), !message.isEmpty());
        QCOMPARE(p.printerAddress() + p.printerHost(),
                 stored.isEmpty() ? QString("192.168.0.1192.168.0.1") : stored + host);
        QCOMPARE(PrinterAddress::host(typed), host);
        const QString own = TestEnvironment::operatorConfigDir() + "/ParamSetting.ini";
        QCOMPARE(QSettings(own, QSettings::IniFormat).value("/PRINTER/IP").toString(), stored);
    }

    // One row per check box with the key of its flag in VisibleSetting.ini. Only the row's flag
    // and the two flags without a box are off. The dialog is opened three times: every box
    // clicked then Cancel; OK untouched, which must write what the record itself saves (all 25
    // keys); the row's box clicked then OK.
    void customDialog_data()
    {
        QTest::addColumn<QString>("key");
        const QString rows =
            "savePath BASE/save_path resolution BASE/resolution saveType BASE/save_type source "
            "BASE/source_type imgType BASE/image_type paperSize BASE/paper_size thickness "
            "BASE/paper_thickness material BASE/paper_material halftone IMAGE/halftone brightness "
            "IMAGE/brightness contrast IMAGE/contrast colorCurve IMAGE/color_curve filter "
            "ORTHER/filter descreening IMAGE/descreen adjustAngle CORRECT/angle_correct "
            "adjustGamma "
            "CORRECT/gamma_correct adjustBrightness CORRECT/brightness_correct adjustContrast "
            "CORRECT/contrast_correct deskew CORRECT/deskew skipBlank CORRECT/skip_blank "
            "impermeability ORTHER/impermeable ECO ORTHER/eco_mode bkgColor ORTHER/change_bkg";
        const QStringList words = rows.split(' ');
        for (int i = 0; i < words.size(); i += 2)
            QTest::newRow(qPrintable("checkBox_" + words[i])) << "/" + words[i + 1];
    }
    void customDialog()
    {
        QFETCH(QString, key);
        const QString box = QTest::currentDataTag();
        const QString visible = TestEnvironment::operatorConfigDir() + "/VisibleSetting.ini";
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
            QVERIFY(pass == 2 || readAll(visible) == saved);
        }
        QVERIFY(QSettings(visible, QSettings::IniFormat).value(key).toBool());
    }
};

SCANCONSOLE_TEST_MAIN(TestSettingsDialogs)
#include "tst_settingsdialogs.moc"
