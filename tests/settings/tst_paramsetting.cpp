#include "settings/ParamSetting.h"
#include "tests/support/RecordFixtures.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// Loading, saving and the acceptance rules of the settings record and its two files.
class TestParamSetting : public QObject
{
    Q_OBJECT

private:
    ParamSetting &p = ParamSetting::instance;
    QString paramFile() const { return TestEnvironment::configDir() + "/ParamSetting.ini"; }
    QString visibleFile() const { return TestEnvironment::configDir() + "/VisibleSetting.ini"; }

    void writeIni(const QString &file, const QVariantMap &values)
    {
        QFile::remove(file);
        QSettings s(file, QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it)
            s.setValue(it.key(), it.value());
        s.sync();
    }

private slots:
    void init()
    {
        TestEnvironment::resetConfig();
        QFile::remove(paramFile());
        TestEnvironment::resetRecord();
    }

    void defaultsAfterConstruction()
    {
        ParamSetting fresh;
        const QVariantList defaults = {
            "/home/image", "Image", 2, 0, 1, 0, 0, 0.5f, 0, 0, 0, 100, 100, 100, false, 5.0f,
            0.0f, 1.0f, 0.0f, 0.0f, 0, false, false, false, 255, 255, 255, 1};
        QCOMPARE(RecordFixtures::scanFields(fresh), defaults);
        QCOMPARE(fresh.printer_ip, QString("192.168.0.1"));
        QVERIFY(fresh.log_file_name.isEmpty());
        QVERIFY(fresh.visible_progress && fresh.visible_name && fresh.visible_save_path);
    }

    void missingFileChangesNothingAndCreatesNothing()
    {
        p.resolution = 3;
        p.loadParamSettings(QString());
        QCOMPARE(p.resolution, 3);
        QCOMPARE(p.save_path, QString("/home/image"));
        QVERIFY(!QFile::exists(paramFile()));
    }

    void singleKeyChangesOnlyItsField()
    {
        writeIni(paramFile(), {{"/BASE/resolution", 4}});
        p.loadParamSettings(QString());
        QCOMPARE(p.resolution, 4);
        QCOMPARE(p.save_type, 0);
        QCOMPARE(p.source_type, 1);
        QCOMPARE(p.name, QString("Image"));
    }

    void integerBounds_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("resolution 0") << "/BASE/resolution" << QVariant(0) << true;
        QTest::newRow("resolution 4") << "/BASE/resolution" << QVariant(4) << true;
        QTest::newRow("resolution 5") << "/BASE/resolution" << QVariant(5) << false;
        QTest::newRow("resolution -1") << "/BASE/resolution" << QVariant(-1) << false;
        QTest::newRow("source 2") << "/BASE/source_type" << QVariant(2) << true;
        QTest::newRow("source 3") << "/BASE/source_type" << QVariant(3) << false;
        QTest::newRow("image 2") << "/BASE/image_type" << QVariant(2) << true;
        QTest::newRow("image -1") << "/BASE/image_type" << QVariant(-1) << false;
        QTest::newRow("material 3") << "/BASE/paper_material" << QVariant(3) << false;
        QTest::newRow("paper 16") << "/BASE/paper_size" << QVariant(16) << true;
        QTest::newRow("paper 17") << "/BASE/paper_size" << QVariant(17) << false;
        QTest::newRow("halftone 1") << "/IMAGE/halftone" << QVariant(1) << true;
        QTest::newRow("halftone 2") << "/IMAGE/halftone" << QVariant(2) << false;
        QTest::newRow("brightness 100") << "/IMAGE/brightness" << QVariant(100) << true;
        QTest::newRow("brightness 101") << "/IMAGE/brightness" << QVariant(101) << false;
        QTest::newRow("contrast -1") << "/IMAGE/contrast" << QVariant(-1) << false;
        QTest::newRow("filter 4") << "/ORTHER/filter" << QVariant(4) << true;
        QTest::newRow("filter 5") << "/ORTHER/filter" << QVariant(5) << false;
        QTest::newRow("red 255") << "/ORTHER/bkg_red" << QVariant(255) << true;
        QTest::newRow("green 256") << "/ORTHER/bkg_green" << QVariant(256) << false;
        QTest::newRow("blue -1") << "/ORTHER/bkg_blue" << QVariant(-1) << false;
        QTest::newRow("save_type 9") << "/BASE/save_type" << QVariant(9) << true;
        QTest::newRow("impermeable 7") << "/ORTHER/impermeable" << QVariant(7) << true;
        QTest::newRow("color_curve -5") << "/IMAGE/color_curve" << QVariant(-5) << true;
        QTest::newRow("user_model 5") << "/HELP/user_model" << QVariant(5) << true;
    }

    void integerBounds()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(bool, accepted);
        // A sentinel distinct from every tested value shows whether the load took the value.
        writeIni(paramFile(), {{key, value}});
        const int sentinel = 1;
        p.resolution = p.source_type = p.image_type = p.paper_material = p.paper_size = sentinel;
        p.halftone = p.brightness = p.contrast = p.filter = sentinel;
        p.bkg_red = p.bkg_green = p.bkg_blue = p.save_type = p.impermeable = sentinel;
        p.color_curve = p.user_model = sentinel;
        p.loadParamSettings(QString());
        const QMap<QString, int> fields = {
            {"/BASE/resolution", p.resolution},   {"/BASE/source_type", p.source_type},
            {"/BASE/image_type", p.image_type},   {"/BASE/paper_material", p.paper_material},
            {"/BASE/paper_size", p.paper_size},   {"/IMAGE/halftone", p.halftone},
            {"/IMAGE/brightness", p.brightness},  {"/IMAGE/contrast", p.contrast},
            {"/ORTHER/filter", p.filter},         {"/ORTHER/bkg_red", p.bkg_red},
            {"/ORTHER/bkg_green", p.bkg_green},   {"/ORTHER/bkg_blue", p.bkg_blue},
            {"/BASE/save_type", p.save_type},     {"/ORTHER/impermeable", p.impermeable},
            {"/IMAGE/color_curve", p.color_curve}, {"/HELP/user_model", p.user_model},
        };
        QVERIFY(fields.contains(key));
        QCOMPARE(fields.value(key), accepted ? value.toInt() : sentinel);
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            if (it.key() != key)
                QCOMPARE(it.value(), sentinel);
        }
    }

    void floatBounds_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("thickness 0") << "/BASE/paper_thickness" << "0" << false;
        QTest::newRow("thickness 10") << "/BASE/paper_thickness" << "10" << false;
        QTest::newRow("thickness 9.99") << "/BASE/paper_thickness" << "9.99" << true;
        QTest::newRow("radius 1") << "/IMAGE/descreen_radius" << "1" << true;
        QTest::newRow("radius 10") << "/IMAGE/descreen_radius" << "10" << true;
        QTest::newRow("radius 0.9") << "/IMAGE/descreen_radius" << "0.9" << false;
        QTest::newRow("radius 10.1") << "/IMAGE/descreen_radius" << "10.1" << false;
        QTest::newRow("angle 180") << "/CORRECT/angle_correct" << "180" << false;
        QTest::newRow("angle -180") << "/CORRECT/angle_correct" << "-180" << false;
        QTest::newRow("angle 179.5") << "/CORRECT/angle_correct" << "179.5" << true;
        QTest::newRow("gamma 4") << "/CORRECT/gamma_correct" << "4" << true;
        QTest::newRow("gamma 0") << "/CORRECT/gamma_correct" << "0" << true;
        QTest::newRow("gamma 4.01") << "/CORRECT/gamma_correct" << "4.01" << false;
        QTest::newRow("gamma -0.1") << "/CORRECT/gamma_correct" << "-0.1" << false;
        QTest::newRow("brightness 20") << "/CORRECT/brightness_correct" << "20" << false;
        QTest::newRow("brightness 19.5") << "/CORRECT/brightness_correct" << "19.5" << true;
        QTest::newRow("brightness -20") << "/CORRECT/brightness_correct" << "-20" << false;
        QTest::newRow("contrast -19.9") << "/CORRECT/contrast_correct" << "-19.9" << true;
        QTest::newRow("contrast 20") << "/CORRECT/contrast_correct" << "20" << false;
        QTest::newRow("angle nan") << "/CORRECT/angle_correct" << "nan" << false;
    }

    void floatBounds()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        writeIni(paramFile(), {{key, text}});
        const float sentinel = 3.25f;
        p.paper_thickness = p.descreen_radius = p.angle_correct = p.gamma_correct = sentinel;
        p.brightness_correct = p.contrast_correct = sentinel;
        p.loadParamSettings(QString());
        const QMap<QString, float> fields = {
            {"/BASE/paper_thickness", p.paper_thickness},
            {"/IMAGE/descreen_radius", p.descreen_radius},
            {"/CORRECT/angle_correct", p.angle_correct},
            {"/CORRECT/gamma_correct", p.gamma_correct},
            {"/CORRECT/brightness_correct", p.brightness_correct},
            {"/CORRECT/contrast_correct", p.contrast_correct},
        };
        QCOMPARE(fields.value(key), accepted ? text.toFloat() : sentinel);
    }

    void textAndGarbage()
    {
        writeIni(paramFile(), {{"/BASE/save_path", ""}, {"/ORTHER/name", ""}});
        p.save_path = "/srv/scans";
        p.loadParamSettings(QString());
        QCOMPARE(p.save_path, QString("/srv/scans"));
        QCOMPARE(p.name, QString(""));

        // Non-numeric text converts to 0, which is then tested like any value.
        writeIni(paramFile(), {{"/BASE/resolution", "high"}, {"/BASE/paper_thickness", "thick"},
                               {"/IMAGE/brightness", ""}});
        p.resolution = 3;
        p.paper_thickness = 2.0f;
        p.brightness = 50;
        p.loadParamSettings(QString());
        QCOMPARE(p.resolution, 0);
        QCOMPARE(p.paper_thickness, 2.0f);
        QCOMPARE(p.brightness, 0);
    }

    void fileThatIsNotAnIni()
    {
        QFile f(paramFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\x89PNG\r\n\x1a\n\0\0garbage [[[ = = \n\xff\xfe");
        f.close();
        p.loadParamSettings(QString());
        p.loadIPSettings(QString());
        p.loadVisibleSettings();
        QCOMPARE(p.resolution, 2);
        QCOMPARE(p.printer_ip, QString("127.0.0.1"));
    }

    void roundTripThroughTemplate()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("day.ini");
        RecordFixtures::fillNonDefault(p);
        p.bkg_red = 10;
        p.bkg_green = 20;
        p.bkg_blue = 30;
        p.user_model = 2;
        p.setPrinterAddress("10.0.0.5");
        QVERIFY(p.saveParamSettings(file));
        QVERIFY(p.saveIPSettings(file));

        ParamSetting copy;
        copy.loadParamSettings(file);
        copy.loadIPSettings(file);
        QCOMPARE(RecordFixtures::scanFields(copy), RecordFixtures::scanFields(p));
        QCOMPARE(copy.printer_ip, QString("10.0.0.5"));
        // The template path never touches the default file.
        QVERIFY(!QFile::exists(paramFile()));
    }

    void valueOutsideTestsDoesNotRoundTrip()
    {
        p.brightness_correct = -20.0f;
        QVERIFY(p.saveParamSettings(QString()));
        ParamSetting copy;
        copy.loadParamSettings(QString());
        QCOMPARE(copy.brightness_correct, 0.0f);
    }

    void printerAddressKey()
    {
        writeIni(paramFile(), {{"/BASE/resolution", 1}});
        p.setPrinterAddress("10.1.1.1");
        p.loadIPSettings(QString());
        QCOMPARE(p.printer_ip, QString("10.1.1.1"));
        writeIni(paramFile(), {{"/PRINTER/IP", ""}});
        p.loadIPSettings(QString());
        QCOMPARE(p.printer_ip, QString(""));

        // Saving the address keeps the other keys, and saving the parameters keeps the address.
        writeIni(paramFile(), {{"/BASE/resolution", 1}});
        p.setPrinterAddress("127.0.0.1");
        QVERIFY(p.saveIPSettings(QString()));
        QSettings s(paramFile(), QSettings::IniFormat);
        QCOMPARE(s.value("/BASE/resolution").toInt(), 1);
        QVERIFY(p.saveParamSettings(QString()));
        s.sync();
        QCOMPARE(s.value("/PRINTER/IP").toString(), QString("127.0.0.1"));
    }

    void resetKeepsModeFlagsAndAddress()
    {
        p.user_model = 0;
        p.visible_eco_mode = false;
        p.setPrinterAddress("10.9.9.9");
        p.resolution = 4;
        p.name = "x";
        p.initParamSetting();
        QCOMPARE(p.user_model, 0);
        QCOMPARE(p.visible_eco_mode, false);
        QCOMPARE(p.printer_ip, QString("10.9.9.9"));
        QCOMPARE(p.resolution, 2);
        QCOMPARE(p.name, QString("Image"));
    }

    void visibilityFile()
    {
        QFile::remove(visibleFile());
        p.visible_filter = false;
        p.loadVisibleSettings();
        QVERIFY(p.visible_filter); // a missing key sets the flag to true

        writeIni(visibleFile(), {{"/ORTHER/eco_mode", false}});
        p.loadVisibleSettings();
        QCOMPARE(p.visible_eco_mode, false);
        QCOMPARE(p.visible_progress, true);
        QCOMPARE(p.visible_resolution, true);

        // Saving rewrites all 23 keys under their field's key.
        QFile::remove(visibleFile());
        p.visible_name = false;
        QVERIFY(p.saveVisibleSettings());
        QSettings s(visibleFile(), QSettings::IniFormat);
        QCOMPARE(s.allKeys().size(), 23);
        QCOMPARE(s.value("/ORTHER/name").toBool(), false);
        QCOMPARE(s.value("/ORTHER/eco_mode").toBool(), false);
        QCOMPARE(s.value("/IMAGE/descreen").toBool(), true);
    }

    void savedKeysAndGroups()
    {
        QVERIFY(p.saveParamSettings(QString()));
        QSettings s(paramFile(), QSettings::IniFormat);
        const QStringList expected = {
            "HELP/user_model",           "BASE/save_path",          "BASE/resolution",
            "BASE/save_type",            "BASE/source_type",        "BASE/image_type",
            "BASE/paper_size",           "BASE/paper_thickness",    "BASE/paper_material",
            "IMAGE/halftone",            "IMAGE/brightness",        "IMAGE/contrast",
            "IMAGE/color_curve",         "IMAGE/descreen",          "IMAGE/descreen_radius",
            "CORRECT/angle_correct",     "CORRECT/gamma_correct",   "CORRECT/brightness_correct",
            "CORRECT/contrast_correct",  "ORTHER/filter",           "ORTHER/name",
            "ORTHER/impermeable",        "ORTHER/change_bkg",       "ORTHER/bkg_red",
            "ORTHER/bkg_green",          "ORTHER/bkg_blue",         "ORTHER/eco_mode",
            "ORTHER/progress"};
        QStringList keys = s.allKeys();
        QStringList want = expected;
        keys.sort();
        want.sort();
        QCOMPARE(keys, want);
    }

    void unwritableFolderReportsFailure()
    {
        // config/ is a plain file here, so nothing below it can be created.
        QDir(TestEnvironment::configDir()).removeRecursively();
        QFile blocker(TestEnvironment::configDir());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!p.saveParamSettings(QString()));
        QVERIFY(!p.saveIPSettings(QString()));
        QVERIFY(!p.saveVisibleSettings());
        p.loadParamSettings(QString());
        p.loadVisibleSettings();
        QFile::remove(TestEnvironment::configDir());
    }
};

SCANCONSOLE_TEST_MAIN(TestParamSetting)
#include "tst_paramsetting.moc"
