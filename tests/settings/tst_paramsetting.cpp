#include "settings/OcrLanguages.h"
#include "settings/ParamSetting.h"
#include "tests/support/RecordFixtures.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestRows.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// Loading, saving and the acceptance rules of the settings record and its two files.
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

    // One key in the file: its field takes the value only if accepted, every other field stays.
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

    // The recognition languages: those of the data folder (other files are no languages), and
    // a stored choice loaded as far as this machine has its languages; the rest is named.
    void recognitionLanguages_data()
    {
        // data files (M: a machine's) | stored ("-": no key) | loaded ("eng" before) | dropped
        TestRows::add({"installed, in the stored order | M | eng+chi_sim | eng+chi_sim |",
                       "missing dropped | M | chi_sim+chi_tra+eng | chi_sim+eng | chi_tra",
                       "unknown dropped, repeat once | M | xx+eng+eng | eng | xx",
                       "empty: the default | M || chi_sim+eng |", "no key: kept | M | - | eng |",
                       "none left: the default's installed | eng jpn | osd | eng | osd",
                       "no language data: the default || eng | chi_sim+eng | eng"});
    }
    void recognitionLanguages()
    {
        QFETCH(QStringList, fields);
        QTemporaryDir data;
        const QString machine =
            "chi_sim eng osd chi_tra.traineddata.bak notes.txt kor.traineddata/";
        for (const QString &name : QString(fields[0]).replace("M", machine).split(' ')) {
            if (!name.isEmpty())
                QVERIFY(name.endsWith('/')
                            ? QDir(data.path()).mkdir(name)
                            : TestFiles::writeFile(
                                  data.filePath(name.contains('.') ? name : name + ".traineddata"),
                                  ""));
        }
        qputenv("TESSDATA_PREFIX", data.path().toUtf8());
        if (fields[0] == "M")
            QCOMPARE(OcrLanguages::installed(), QStringList({"chi_sim", "eng"}));
        if (!fields[3].isEmpty())
            QTest::ignoreMessage(
                QtWarningMsg,
                qPrintable("Recognition languages not installed, left out: " + fields[3]));
        p.ocr_languages = "eng";
        writeIni(defaults("ParamSetting.ini"),
                 {{fields[1] == "-" ? "/BASE/resolution" : "/BASE/ocr_languages",
                   fields[1] == "-" ? QVariant(1) : fields[1]}});
        QVERIFY(p.loadParamSettings(QString()));
        qunsetenv("TESSDATA_PREFIX");
        QCOMPARE(p.ocr_languages, fields[2]);
    }

    // None of the three loads takes anything from such a file: the record keeps what it holds.
    // Over 1 MB or with an image value (which the settings class would decode as it reads the
    // file) it is not even read; loading creates nothing.
    void filesNotTaken_data()
    {
        QTest::addColumn<QByteArray>("content"); // "image": one image value
        QTest::addColumn<bool>("refused");
        QByteArray large = "[BASE]\nresolution=4\npaper_size=3\n[PAD]\n";
        for (int i = 0; large.size() <= ParamSetting::MaxFileBytes; ++i)
            large += "key" + QByteArray::number(i) + "=" + QByteArray(100, 'x') + "\n";
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("damaged") << QByteArray("\x89PNG\r\n\x1a\n\0\0garbage [[[ = = \n\xff", 28)
                                 << false;
        QTest::newRow("over 1 MB") << large << true;
        QTest::newRow("image value") << QByteArray("image") << true;
    }
    void filesNotTaken()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, refused);
        const QString file = defaults("ParamSetting.ini");
        if (content == "image") {
            QSettings s(file, QSettings::IniFormat);
            s.setValue("/BASE/resolution", 4);
            s.setValue("/ORTHER/logo", QImage(64, 64, QImage::Format_Mono));
            s.sync();
            QVERIFY(QFileInfo(file).size() < 4096); // refused for the image, not for its size
        } else if (!content.isEmpty()) {
            QVERIFY(TestFiles::writeFile(file, content));
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
        QCOMPARE(QFile::exists(file), !content.isEmpty());
    }

    // A template holds every field and the printer, and touches no default file; a value
    // outside the acceptance tests is saved but not loaded back. The printer key alone: missing
    // in both files it leaves the address, empty it empties it.
    void templateAndPrinterKey()
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
        QVERIFY(!QFile::exists(defaults("ParamSetting.ini")) &&
                !QFile::exists(own("ParamSetting.ini")));
        p.brightness_correct = -20.0f;
        QVERIFY(p.saveParamSettings(file));
        copy.loadParamSettings(file);
        QCOMPARE(copy.brightness_correct, 19.5f);

        QDir().mkpath(TestEnvironment::operatorConfigDir());
        writeIni(own("ParamSetting.ini"), {{"/BASE/resolution", 1}});
        p.loadIPSettings(QString());
        QCOMPARE(p.printer_ip, QString("10.0.0.5"));
        QVERIFY(p.saveIPSettings(QString())); // each save keeps the other's keys
        QCOMPARE(valueIn(own("ParamSetting.ini"), "/BASE/resolution").toInt(), 1);
        QVERIFY(p.saveParamSettings(QString()));
        QCOMPARE(valueIn(own("ParamSetting.ini"), "/PRINTER/IP").toString(), QString("10.0.0.5"));
        writeIni(own("ParamSetting.ini"), {{"/PRINTER/IP", ""}});
        p.loadIPSettings(QString());
        QCOMPARE(p.printer_ip, QString(""));
    }

    // The machine's defaults lie under the operator's own file: its keys win, the others come
    // from the defaults (a flag without a key is on), and saving writes the operator's file
    // alone, every visibility flag under its field's key. A reset keeps the mode flags and the
    // address; a folder that cannot be made fails every save.
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
        QVERIFY(p.resolution == 1 && p.paper_size == 3);
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

        p.user_model = 0;
        p.setPrinterAddress("10.9.9.9");
        RecordFixtures::fillNonDefault(p);
        p.initParamSetting();
        QCOMPARE(RecordFixtures::scanFields(p).mid(0, 29),
                 RecordFixtures::scanFields(ParamSetting()).mid(0, 29));
        QVERIFY(p.user_model == 0 && !p.visible_eco_mode && p.printer_ip == "10.9.9.9");

        QVERIFY(QDir(TestEnvironment::operatorConfigDir()).removeRecursively());
        QVERIFY(TestFiles::writeFile(TestEnvironment::operatorConfigDir(), "")); // no folder
        QVERIFY(!p.saveParamSettings(QString()) && !p.saveIPSettings(QString()) &&
                !p.saveVisibleSettings());
        QFile::remove(TestEnvironment::operatorConfigDir());
    }

    // A link at a settings file's name, to a file of someone else's: never read, never written
    // through, never replaced.
    void linksAtSettingsFiles()
    {
        QTemporaryDir dir;
        const QString victim = dir.filePath("thesis.txt");
        QVERIFY(TestFiles::writeFile(victim, "[BASE]\nresolution=4\n"));
        QDir().mkpath(TestEnvironment::operatorConfigDir());
        for (const QString &link :
             {own("ParamSetting.ini"), defaults("ParamSetting.ini"), dir.filePath("day.ini")}) {
            QVERIFY(QFile::link(victim, link));
            const QString path = link.endsWith("day.ini") ? link : QString();
            QVERIFY(!p.loadParamSettings(path) && !p.loadIPSettings(path));
            QCOMPARE(p.resolution, 2);
            if (link != defaults("ParamSetting.ini")) // the defaults are never written
                QVERIFY(!p.saveParamSettings(path) && !p.saveIPSettings(path));
            QVERIFY(QFileInfo(link).isSymLink());
            QVERIFY(QFile::remove(link));
        }
        QCOMPARE(TestFiles::readAll(victim), QByteArray("[BASE]\nresolution=4\n"));
    }
};

SCANCONSOLE_TEST_MAIN(TestParamSetting)
#include "tst_paramsetting.moc"
