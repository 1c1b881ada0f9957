#include "app/ScannerDialog.h"
#include "settings/CustomDialog.h"
#include "settings/ParamSetting.h"
#include "settings/PrinterAddress.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"

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

    static QString file(const char *name) { return TestEnvironment::configDir() + '/' + name; }

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
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // empty: refused
        QTest::addColumn<QString>("host");   // what the reachability ping gets
        QTest::addColumn<QString>("message");
        const QString v4 = "IPv4地址应为以点分隔的四个0到255之间的数字：",
                      host = "主机名无效（只能包含字母、数字、连字符和点）：";
        const QStringList rows{
            "IPv4, shown as typed|192.168.1.20|192.168.1.20|192.168.1.20|",
            "host name| Scanner.Office.LAN. |scanner.office.lan|scanner.office.lan|",
            "URL with port|HTTPS://Scanner:08443/eSCL|https://scanner:8443/eSCL|scanner|",
            "URL, bare path|http://10.0.0.5:8080/|http://10.0.0.5:8080|10.0.0.5|",
            "zero-padded octet|192.168.001.010|||IPv4地址中的数字不能以0开头：192.168.001.010",
            "three numbers|10.0.0|||" + v4 + "10.0.0",
            "over 255|10.0.0.256|||" + v4 + "10.0.0.256",
            "blank|scan ner|||地址中不能有空格",
            "underscore|scan_ner|||" + host + "scan_ner",
            "option-like|-f|||" + host + "-f",
            "ftp|ftp://scanner|||地址只能以 http:// 或 https:// 开头：ftp://scanner",
            "port|http://scanner:70000|||端口应为1到65535之间的数字：http://scanner:70000",
            "user|http://me@scanner/|||扫描仪地址无效（http[s]://主机[:端口][/路径]）：http://"
            "me@scanner/",
            "chosen SANE device|sane:test:0|sane:test:0||",
            "chosen eSCL "
            "scanner|escl:HTTP://10.0.0.5:80/eSCL|escl:http://10.0.0.5:80/eSCL|10.0.0.5|",
            "no device name|sane:|||扫描仪设备名无效：sane:",
            "empty||||请输入打印机地址"};
        for (const QString &row : rows) {
            const QStringList f = row.split('|');
            QTest::newRow(qPrintable(f[0])) << f[1] << f[2] << f[3] << f[4];
        }
    }
    void addressDialog()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, host);
        QFETCH(QString, message);
        const QString own = TestEnvironment::operatorConfigDir() + "/ParamSetting.ini";
        p.setPrinterAddress("192.168.0.1");
        ScannerDialog dialog;
        dialog.show();
        auto *edit = dialog.findChild<QLineEdit *>("edit_address");
        QCOMPARE(edit->text(), QString("192.168.0.1"));
        edit->clear();
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), typed); // nothing is inserted or moved while typing
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        QTest::mouseClick(dialog.findChild<QPushButton *>("btn_Ok"), Qt::LeftButton);
        QCOMPARE(answerer.seen.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QCOMPARE(answerer.seen.at(0).text, message);
            QVERIFY(dialog.isVisible());
            QTest::mouseClick(dialog.findChild<QPushButton *>("btn_cancel"), Qt::LeftButton);
        }
        QCOMPARE(dialog.result(), int(stored.isEmpty() ? QDialog::Rejected : QDialog::Accepted));
        QCOMPARE(p.printerAddress(), stored.isEmpty() ? QString("192.168.0.1") : stored);
        QCOMPARE(p.printerHost(), stored.isEmpty() ? QString("192.168.0.1") : host);
        QCOMPARE(PrinterAddress::host(typed), host);
        // Stored in the operator's own file only.
        QCOMPARE(QSettings(own, QSettings::IniFormat).value("/PRINTER/IP").toString(), stored);
        QCOMPARE(QSettings(file("ParamSetting.ini"), QSettings::IniFormat).value("/PRINTER/IP"),
                 QVariant("127.0.0.1"));
    }

    // One row per check box (the row's name) with the key of its flag in VisibleSetting.ini.
    void customDialog_data()
    {
        QTest::addColumn<QString>("key");
        // clang-format off
        const QStringList rows{
            "checkBox_savePath /BASE/save_path", "checkBox_resolution /BASE/resolution",
            "checkBox_saveType /BASE/save_type", "checkBox_source /BASE/source_type",
            "checkBox_imgType /BASE/image_type", "checkBox_paperSize /BASE/paper_size",
            "checkBox_thickness /BASE/paper_thickness", "checkBox_material /BASE/paper_material",
            "checkBox_halftone /IMAGE/halftone", "checkBox_brightness /IMAGE/brightness",
            "checkBox_contrast /IMAGE/contrast", "checkBox_colorCurve /IMAGE/color_curve",
            "checkBox_filter /ORTHER/filter", "checkBox_descreening /IMAGE/descreen",
            "checkBox_adjustAngle /CORRECT/angle_correct",
            "checkBox_adjustGamma /CORRECT/gamma_correct",
            "checkBox_adjustBrightness /CORRECT/brightness_correct",
            "checkBox_adjustContrast /CORRECT/contrast_correct", "checkBox_deskew /CORRECT/deskew",
            "checkBox_skipBlank /CORRECT/skip_blank", "checkBox_impermeability /ORTHER/impermeable",
            "checkBox_ECO /ORTHER/eco_mode", "checkBox_bkgColor /ORTHER/change_bkg"};
        // clang-format on
        for (const QString &row : rows)
            QTest::newRow(qPrintable(row.section(' ', 0, 0))) << row.section(' ', 1);
    }
    // Only the row's flag and the two flags without a box are off. The dialog is opened three
    // times: every box clicked then Cancel; OK untouched, which must write what the record itself
    // saves (all 25 keys); the row's box clicked then OK.
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
            if (pass < 2)
                QCOMPARE(readAll(visible), saved);
        }
        QVERIFY(QSettings(visible, QSettings::IniFormat).value(key).toBool());
    }
};

SCANCONSOLE_TEST_MAIN(TestSettingsDialogs)
#include "tst_settingsdialogs.moc"
