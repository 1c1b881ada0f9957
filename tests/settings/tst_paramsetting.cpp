#include "settings/OcrLanguages.h"
#include "settings/ParamSetting.h"
#include "tests/support/RecordFixtures.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// Loading, saving and the acceptance rules of the settings record and its two
// files.
class TestParamSetting : public QObject
{
    Q_OBJECT

    ParamSetting &p = ParamSetting::instance;
    // The machine's defaults, and the operator's own files that saves write.
    static QString defaults(const char *name) { return TestEnvironment::configDir() + '/' + name; }
    static QString own(const char *name)
    {
        return TestEnvironment::operatorConfigDir() + '/' + name;
    }
    static void writeIni(const QString &file, const QVariantMap &values)
    {
        QFile::remove(file);
        QSettings s(file, QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it)
            s.setValue(it.key(), it.value());
    }
    static QVariant valueIn(const QString &file, const char *key)
    {
        return QSettings(file, QSettings::IniFormat).value(key);
    }

private slots:
    void init()
    {
        TestEnvironment::resetConfig();
        QFile::remove(defaults("ParamSetting.ini"));
        TestEnvironment::resetRecord();
    }

    // One key in the file: its field takes the value only if accepted, every
    // other field stays.
    void acceptanceOnLoad_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("field"); // position in RecordFixtures::scanFields
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        const struct
        {
            const char *key;
            int field;
            const char *accept,
                *reject; // blank-separated values; '' is the empty text
        } rows[] = {
            {"/BASE/resolution", 2, "0 4 high", "5 -1"},
            {"/BASE/source_type", 4, "2", "3"},
            {"/BASE/image_type", 5, "2", "-1"},
            {"/BASE/paper_size", 6, "16", "17"},
            {"/BASE/paper_material", 8, "2", "3"},
            {"/IMAGE/halftone", 9, "1", "2"},
            {"/ORTHER/filter", 10, "4", "5"},
            {"/IMAGE/brightness", 11, "0", "101"},
            {"/IMAGE/contrast", 12, "50", "-1"},
            {"/ORTHER/bkg_red", 24, "0", "256 -1"},
            {"/BASE/save_type", 3, "0 6 7 8 9", "10 -1"},
            {"/ORTHER/impermeable", 20, "3", "4 -1"},
            {"/IMAGE/color_curve", 13, "0 100", "101 -5"},
            {"/HELP/user_model", 29, "0 2", "3 -5"},
            {"/BASE/paper_thickness", 7, "9.99", "0 10 thick"},
            {"/IMAGE/descreen_radius", 15, "1 10", "0.9 10.1"},
            {"/CORRECT/angle_correct", 16, "179.5", "180 -180 nan"},
            {"/CORRECT/gamma_correct", 17, "0.1 4", "0.09 0 -5e-07 4.01"},
            {"/CORRECT/brightness_correct", 18, "19.5", "20 -20"},
            {"/CORRECT/contrast_correct", 19, "-19.9", "20"},
            {"/BASE/save_path", 0, "/srv/scans", "''"},
            {"/ORTHER/name", 1, "''", ""},
        };
        for (const auto &row : rows)
            for (const bool accepted : {true, false})
                for (QString text :
                     QString(accepted ? row.accept : row.reject).split(' ', Qt::SkipEmptyParts))
                    QTest::addRow("%s = '%s'", row.key, qPrintable(text.remove('\'')))
                        << row.key << row.field << text << accepted;
    }
    void acceptanceOnLoad()
    {
        QFETCH(QString, key);
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        writeIni(defaults("ParamSetting.ini"), {{key, text}});
        QVariantList expected = RecordFixtures::scanFields(p);
        // Text that is no number converts to 0 and is then tested like any value.
        if (accepted)
            expected[field] = expected[field].userType() == QMetaType::Int     ? text.toInt()
                              : expected[field].userType() == QMetaType::Float ? text.toFloat()
                                                                               : QVariant(text);
        p.loadParamSettings(QString());
        QCOMPARE(RecordFixtures::scanFields(p), expected);
    }

    // The recognition languages: those of the data folder (other files are no
    // languages), and a stored choice loaded as far as this machine has its
    // languages.
    void recognitionLanguages_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QVariant>("stored"); // no value: the key is missing
        QTest::addColumn<QString>("loaded");  // the record held "eng" before
        QTest::addColumn<QString>("dropped");
        const QStringList machine{"chi_sim.traineddata",     "eng.traineddata", "osd.traineddata",
                                  "chi_tra.traineddata.bak", "notes.txt",       "kor.traineddata/"};
        // clang-format off
        QTest::newRow("installed, in the stored order") << machine << QVariant("eng+chi_sim") << "eng+chi_sim" << "";
        QTest::newRow("missing dropped") << machine << QVariant("chi_sim+chi_tra+eng") << "chi_sim+eng" << "chi_tra";
        QTest::newRow("unknown dropped, repeat once") << machine << QVariant("xx+eng+eng") << "eng" << "xx";
        QTest::newRow("empty: the default") << machine << QVariant("") << "chi_sim+eng" << "";
        QTest::newRow("no key: kept") << machine << QVariant() << "eng" << "";
        QTest::newRow("none left: the default's installed")
            << QStringList{"eng.traineddata", "jpn.traineddata"} << QVariant("osd") << "eng" << "osd";
        QTest::newRow("no language data: the default") << QStringList{} << QVariant("eng") << "chi_sim+eng" << "eng";
        // clang-format on
    }
    void recognitionLanguages()
    {
        QFETCH(QStringList, files);
        QFETCH(QVariant, stored);
        QFETCH(QString, loaded);
        QFETCH(QString, dropped);
        QTemporaryDir data;
        for (const QString &name : files)
            QVERIFY(name.endsWith('/') ? QDir(data.path()).mkdir(name)
                                       : QFile(data.filePath(name)).open(QIODevice::WriteOnly));
        qputenv("TESSDATA_PREFIX", data.path().toUtf8());
        const QStringList installed = OcrLanguages::installed();
        if (files.contains("osd.traineddata"))
            QCOMPARE(installed, QStringList({"chi_sim", "eng"}));
        QStringList droppedNow;
        QCOMPARE(OcrLanguages::checked(stored.toString(), installed, &droppedNow),
                 stored.isValid() ? loaded : OcrLanguages::checked("", installed));
        QCOMPARE(droppedNow.join('+'), dropped);
        p.ocr_languages = "eng";
        writeIni(defaults("ParamSetting.ini"),
                 {{stored.isValid() ? "/BASE/ocr_languages" : "/BASE/resolution",
                   stored.isValid() ? stored : 1}});
        QVERIFY(p.loadParamSettings(QString()));
        qunsetenv("TESSDATA_PREFIX");
        QCOMPARE(p.ocr_languages, loaded);
    }

    // None of the three loads takes anything from such a file: the record keeps
    // what it holds. Over 1 MB or with an image value (which the settings class
    // would decode as it reads the file) it is not even read.
    void filesNotTaken_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("refused");
        QByteArray large = "[BASE]\nresolution=4\npaper_size=3\n[PAD]\n";
        for (int i = 0; large.size() <= ParamSetting::MaxFileBytes; ++i)
            large += "key" + QByteArray::number(i) + "=" + QByteArray(100, 'x') + "\n";
        QTest::newRow("missing") << QByteArray() << false;
        static const char damaged[] = "\x89PNG\r\n\x1a\n\0\0garbage [[[ = = \n\xff\xfe";
        QTest::newRow("damaged") << QByteArray(damaged, sizeof damaged - 1) << false;
        QTest::newRow("over 1 MB") << large << true;
        QTest::newRow("image value") << QByteArray() << true;
    }
    void filesNotTaken()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, refused);
        const QString file = defaults("ParamSetting.ini");
        if (refused && content.isEmpty()) {
            QSettings s(file, QSettings::IniFormat);
            s.setValue("/BASE/resolution", 4);
            s.setValue("/BASE/paper_size", 3);
            s.setValue("/ORTHER/logo", QImage(64, 64, QImage::Format_Mono));
            s.sync();
            QVERIFY(QFileInfo(file).size() < 4096);
        } else if (!content.isEmpty()) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        }
        if (refused)
            QVERIFY(QFile::copy(file, defaults("VisibleSetting.ini")));
        p.resolution = 3;
        p.visible_resolution = false;
        const QVariantList before = RecordFixtures::scanFields(p);
        QCOMPARE(p.loadParamSettings(QString()), !refused);
        QCOMPARE(p.loadIPSettings(QString()), !refused);
        QCOMPARE(p.loadVisibleSettings(), !refused);
        QCOMPARE(RecordFixtures::scanFields(p), before);
        QCOMPARE(p.printer_ip, QString("127.0.0.1"));
        QCOMPARE(p.visible_resolution, !refused);
        QCOMPARE(QFile::exists(file),
                 !content.isEmpty() || refused); // loading creates nothing
        QFile::remove(defaults("VisibleSetting.ini"));
    }

    void roundTripThroughTemplate()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("day.ini");
        RecordFixtures::fillNonDefault(p);
        p.bkg_red = 10;
        p.user_model = 2;
        p.setPrinterAddress("10.0.0.5");
        p.printer_name = "Office MFP";
        QVERIFY(p.saveParamSettings(file) && p.saveIPSettings(file));
        QCOMPARE(QSettings(file, QSettings::IniFormat).allKeys().size(), 33);
        ParamSetting copy;
        QVERIFY(copy.loadParamSettings(file) && copy.loadIPSettings(file));
        QCOMPARE(RecordFixtures::scanFields(copy), RecordFixtures::scanFields(p));
        QCOMPARE(copy.printer_ip + '|' + copy.printer_name, QString("10.0.0.5|Office MFP"));
        // A template never touches the default files.
        QVERIFY(!QFile::exists(defaults("ParamSetting.ini")) &&
                !QFile::exists(own("ParamSetting.ini")));
        // A value outside the acceptance tests is saved but not loaded back.
        p.brightness_correct = -20.0f;
        QVERIFY(p.saveParamSettings(file));
        copy.loadParamSettings(file);
        QCOMPARE(copy.brightness_correct, 19.5f);
    }

    void printerAddressKey()
    {
        QDir().mkpath(TestEnvironment::operatorConfigDir());
        writeIni(own("ParamSetting.ini"), {{"/BASE/resolution", 1}});
        p.setPrinterAddress("10.1.1.1");
        p.loadIPSettings(QString());
        QCOMPARE(p.printer_ip,
                 QString("10.1.1.1")); // no key in either file: unchanged
        QVERIFY(p.saveIPSettings(QString()));
        QCOMPARE(valueIn(own("ParamSetting.ini"), "/BASE/resolution").toInt(), 1);
        QVERIFY(p.saveParamSettings(QString()));
        QCOMPARE(valueIn(own("ParamSetting.ini"), "/PRINTER/IP").toString(), QString("10.1.1.1"));
        writeIni(own("ParamSetting.ini"), {{"/PRINTER/IP", ""}});
        p.loadIPSettings(QString());
        QCOMPARE(p.printer_ip, QString("")); // an empty key empties it
    }

    // The machine's defaults lie under the operator's own file: its keys win, the
    // others come from the defaults (a flag without a key is on), and saving
    // writes the operator's file alone, every visibility flag under its field's
    // key.
    void operatorsOwnFilesOverTheDefaults()
    {
        writeIni(defaults("ParamSetting.ini"), {{"/BASE/resolution", 4}, {"/BASE/paper_size", 3}});
        writeIni(defaults("VisibleSetting.ini"),
                 {{"/ORTHER/eco_mode", false}, {"/IMAGE/halftone", false}});
        QDir().mkpath(TestEnvironment::operatorConfigDir());
        writeIni(own("ParamSetting.ini"), {{"/BASE/resolution", 1}});
        writeIni(own("VisibleSetting.ini"), {{"/IMAGE/halftone", true}});
        p.visible_filter = false;
        QVERIFY(p.loadParamSettings(QString()) && p.loadVisibleSettings());
        QCOMPARE(p.resolution, 1);
        QCOMPARE(p.paper_size, 3);
        QVERIFY(!p.visible_eco_mode && p.visible_halftone && p.visible_filter);
        p.resolution = 2;
        p.visible_name = false;
        QVERIFY(p.saveParamSettings(QString()) && p.saveVisibleSettings());
        QCOMPARE(valueIn(defaults("ParamSetting.ini"), "/BASE/resolution").toInt(), 4);
        QCOMPARE(valueIn(own("ParamSetting.ini"), "/BASE/resolution").toInt(), 2);
        QCOMPARE(QSettings(defaults("VisibleSetting.ini"), QSettings::IniFormat).allKeys().size(),
                 2);
        QCOMPARE(QSettings(own("VisibleSetting.ini"), QSettings::IniFormat).allKeys().size(), 25);
        QCOMPARE(valueIn(own("VisibleSetting.ini"), "/ORTHER/name").toBool(), false);
        QCOMPARE(valueIn(own("VisibleSetting.ini"), "/ORTHER/eco_mode").toBool(), false);
        QCOMPARE(valueIn(own("VisibleSetting.ini"), "/IMAGE/descreen").toBool(), true);
    }

    void resetKeepsModeFlagsAndAddress()
    {
        p.user_model = 0;
        p.visible_eco_mode = false;
        p.setPrinterAddress("10.9.9.9");
        RecordFixtures::fillNonDefault(p);
        p.initParamSetting();
        QCOMPARE(RecordFixtures::scanFields(p).mid(0, 29),
                 RecordFixtures::scanFields(ParamSetting()).mid(0, 29));
        QVERIFY(p.user_model == 0 && !p.visible_eco_mode && p.printer_ip == "10.9.9.9");
    }

    void unwritableFolderReportsFailure()
    {
        // The operator's folder is a plain file here, so nothing below it can be
        // created.
        QFile blocker(TestEnvironment::operatorConfigDir());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!p.saveParamSettings(QString()));
        QVERIFY(!p.saveIPSettings(QString()));
        QVERIFY(!p.saveVisibleSettings());
        QFile::remove(TestEnvironment::operatorConfigDir());
    }

    // A link at a settings file's name, to a file of someone else's: never read,
    // never written through, never replaced. The other user plants it where the
    // operator could too.
    void linksAtSettingsFiles_data()
    {
        QTest::addColumn<QString>("where"); // "own", "defaults", "template"
        QTest::newRow("operator's ParamSetting.ini") << "own";
        QTest::newRow("defaults' ParamSetting.ini") << "defaults";
        QTest::newRow("a template") << "template";
    }
    void linksAtSettingsFiles()
    {
        QFETCH(QString, where);
        QTemporaryDir dir;
        const QString victim = dir.filePath("thesis.txt");
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly) && v.write("[BASE]\nresolution=4\n") > 0);
        v.close();
        QDir().mkpath(TestEnvironment::operatorConfigDir());
        const QString link = where == "own"        ? own("ParamSetting.ini")
                             : where == "defaults" ? defaults("ParamSetting.ini")
                                                   : dir.filePath("day.ini");
        QFile::remove(link);
        QVERIFY(QFile::link(victim, link));
        const QString path = where == "template" ? link : QString();
        QVERIFY(!p.loadParamSettings(path));
        QVERIFY(!p.loadIPSettings(path));
        QCOMPARE(p.resolution, 2);
        if (where != "defaults")
            QVERIFY(!p.saveParamSettings(path) && !p.saveIPSettings(path));
        QVERIFY(QFileInfo(link).isSymLink());
        QFile back(victim);
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll(), QByteArray("[BASE]\nresolution=4\n"));
    }
};

SCANCONSOLE_TEST_MAIN(TestParamSetting)
#include "tst_paramsetting.moc"
