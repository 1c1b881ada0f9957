#include "app/MainWindow.h"
#include "app/Startup.h"
#include "settings/ParamSetting.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/RecordFixtures.h"
#include "tests/support/TestEnvironment.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

// The parameter panel of the main window: record to controls and back, the couplings, the
// enabling rules and the panel's own buttons.
class TestMainWindowPanel : public QObject
{
    Q_OBJECT

private:
    ParamSetting &p = ParamSetting::instance;
    MainWindow *w = nullptr;

    template <typename T> T *find(const char *name) { return findChildOrDie<T>(w, name); }
    // The operator's own parameter file, which saves write.
    QString paramFile() const
    {
        return TestEnvironment::operatorConfigDir() + "/ParamSetting.ini";
    }
    QByteArray fileDigest(const QString &file)
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray();
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5);
    }

private slots:
    void init()
    {
        TestEnvironment::resetConfig();
        TestEnvironment::resetRecord();
        w = new MainWindow();
    }

    void cleanup()
    {
        delete w;
        w = nullptr;
    }

    void recordToControlsToRecord()
    {
        RecordFixtures::fillNonDefault(p);
        w->InitParameter();
        QCOMPARE(find<QLineEdit>("edit_path")->text(), QString("/srv/scans/day one"));
        QCOMPARE(find<QComboBox>("combox_resolution")->currentText(), QString("600"));
        QCOMPARE(find<QComboBox>("combox_paperSize")->currentText(), QString("A4"));
        QCOMPARE(find<QSlider>("slider_adjustGama")->value(), 250);
        QCOMPARE(find<QDoubleSpinBox>("spinBox_adjustGama")->text(), QString("2.50"));
        QCOMPARE(find<QSlider>("slider_adjustAngle")->value(), -4550);
        QCOMPARE(find<QSlider>("slider_brightness")->value(), 40);

        // Reset the record, then read the panel back into it: every field comes back.
        const QVariantList shown = RecordFixtures::scanFields(p);
        p.initParamSetting();
        w->UpdateParam();
        QCOMPARE(RecordFixtures::scanFields(p), shown);

        p.color_curve = 250; // accepted by the loader, clamped by the control
        w->InitParameter();
        w->UpdateParam();
        QCOMPARE(p.color_curve, 100);
    }

    void formatsAndPageCleaning()
    {
        // The eight formats, the searchable PDF last; the two cleaning boxes of the correction
        // group, off by default, clicked on, read into the record, and off again on reset.
        auto *formats = find<QComboBox>("combox_saveType");
        QStringList items;
        for (int i = 0; i < formats->count(); ++i)
            items << formats->itemText(i);
        QCOMPARE(items, QStringList({"JPG", "PDF", "TIFF", "OFD", "PNG", "BMP", "合并PDF",
                                     "可搜索PDF", "合并OFD", "可搜索OFD"}));
        auto *deskew = find<QCheckBox>("cb_deskew");
        auto *skipBlank = find<QCheckBox>("cb_skip_blank");
        QCOMPARE(deskew->text(), QString("自动纠偏"));
        QCOMPARE(skipBlank->text(), QString("去除空白页"));
        QVERIFY(deskew->parentWidget()->objectName() == "groupBox_adjust" &&
                skipBlank->parentWidget()->objectName() == "groupBox_adjust");
        QVERIFY(!deskew->isChecked() && !skipBlank->isChecked());
        w->show();
        QTest::mouseClick(deskew, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(skipBlank, Qt::LeftButton, {}, QPoint(5, 5));
        formats->setCurrentIndex(7);
        w->UpdateParam();
        QVERIFY(p.deskew && p.skip_blank);
        QCOMPARE(p.save_type, 7);
        QTest::mouseClick(find<QPushButton>("btn_resetParam"), Qt::LeftButton);
        QVERIFY(!deskew->isChecked() && !skipBlank->isChecked() && !p.deskew && !p.skip_blank);
    }

    void couplings()
    {
        auto *gammaSpin = find<QDoubleSpinBox>("spinBox_adjustGama");
        auto *gammaSlider = find<QSlider>("slider_adjustGama");
        gammaSpin->clear();
        QTest::keyClicks(gammaSpin, "1.5");
        QTest::keyClick(gammaSpin, Qt::Key_Enter);
        QCOMPARE(gammaSlider->value(), 150);

        auto *angleSlider = find<QSlider>("slider_adjustAngle");
        angleSlider->setValue(-4550);
        QCOMPARE(find<QDoubleSpinBox>("spinBox_adjustAngle")->value(), -45.5);
        QCOMPARE(find<QDoubleSpinBox>("spinBox_adjustAngle")->text(), QString("-45.50"));

        find<QDoubleSpinBox>("spinBox_adjustBrightness")->setValue(-12.34);
        QCOMPARE(find<QSlider>("slider_adjustBrightness")->value(), -1234);
        // Every slider position survives the round trip through the spin box (no drift from
        // hundredths that binary floating point cannot hold exactly).
        auto *contrastSlider = find<QSlider>("slider_adjustContrast");
        auto *contrastSpin = find<QDoubleSpinBox>("spinBox_adjustContrast");
        for (int v = -2000; v <= 2000; ++v) {
            contrastSlider->setValue(v);
            QCOMPARE(contrastSlider->value(), v);
            QCOMPARE(qRound(contrastSpin->value() * 100), v);
        }

        // The enhancement pairs follow each other; the record takes the spin boxes' values.
        find<QSpinBox>("spinBox_contrast")->setValue(33);
        QCOMPARE(find<QSlider>("slider_contrast")->value(), 33);
        find<QSlider>("slider_colorCurve")->setValue(12);
        find<QSlider>("slider_brightness")->setValue(7);
        w->UpdateParam();
        QCOMPARE(QList<int>({p.brightness, p.contrast, p.color_curve}), QList<int>({7, 33, 12}));
    }

    void enablingByColourMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("filter");
        QTest::addColumn<bool>("background");
        QTest::addColumn<bool>("halftone");
        QTest::newRow("black and white") << 0 << false << false << true;
        QTest::newRow("grey") << 1 << false << false << false;
        QTest::newRow("colour") << 2 << true << true << false;
    }

    void enablingByColourMode()
    {
        QFETCH(int, mode);
        QFETCH(bool, filter);
        QFETCH(bool, background);
        QFETCH(bool, halftone);
        auto *imgType = find<QComboBox>("combox_imgType");
        imgType->setCurrentIndex((mode + 1) % 3);
        imgType->setCurrentIndex(mode);
        QCOMPARE(find<QComboBox>("combox_filter")->isEnabled(), filter);
        QCOMPARE(find<QCheckBox>("checkBox_bkgColor")->isEnabled(), background);
        QCOMPARE(find<QToolButton>("btn_bkgColor")->isEnabled(), background);
        QCOMPARE(find<QComboBox>("combox_halftone")->isEnabled(), halftone);
    }

    void checkBoxCompanions()
    {
        w->show();
        find<QComboBox>("combox_imgType")->setCurrentIndex(2);
        const QList<QPair<const char *, QStringList>> pairs = {
            {"checkBox_descreening", {"spinBox_descreening", "label_descreening"}},
            {"checkBox_bkgColor", {"btn_bkgColor"}}};
        for (const auto &pair : pairs) {
            for (const bool checked : {true, false}) {
                QTest::mouseClick(find<QCheckBox>(pair.first), Qt::LeftButton);
                for (const QString &companion : pair.second)
                    QCOMPARE(find<QWidget>(qPrintable(companion))->isVisible(), checked);
            }
        }
    }

    void backgroundColourChoice()
    {
        w->show();
        find<QComboBox>("combox_imgType")->setCurrentIndex(2);
        find<QCheckBox>("checkBox_bkgColor")->setChecked(true);
        ModalAnswerer answerer;
        answerer.expect([](QWidget *dialog) {
            auto *colours = qobject_cast<QColorDialog *>(dialog);
            QVERIFY(colours);
            colours->setCurrentColor(QColor(10, 20, 30));
            colours->accept();
        });
        QTest::mouseClick(find<QToolButton>("btn_bkgColor"), Qt::LeftButton);
        QCOMPARE(p.bkg_red, 10);
        QCOMPARE(p.bkg_green, 20);
        QCOMPARE(p.bkg_blue, 30);
        QCOMPARE(find<QToolButton>("btn_bkgColor")->styleSheet(),
                 QString("background:rgb(10,20,30);border:none;"));

        // A cancelled dialog changes nothing.
        answerer.expectReject();
        QTest::mouseClick(find<QToolButton>("btn_bkgColor"), Qt::LeftButton);
        QCOMPARE(p.bkg_red, 10);
    }

    void resetDoesNotTouchTheFile()
    {
        RecordFixtures::fillNonDefault(p);
        QVERIFY(p.saveParamSettings(QString()));
        const QByteArray before = fileDigest(paramFile());
        p.user_model = 0;
        w->InitParameter();
        QTest::mouseClick(find<QPushButton>("btn_resetParam"), Qt::LeftButton);
        QCOMPARE(find<QDoubleSpinBox>("spinBox_thickness")->text(), QString("0.50"));
        p.initUserModel(0);
        w->UpdateParam(); // the panel shows every default
        QCOMPARE(RecordFixtures::scanFields(p).mid(0, 29),
                 RecordFixtures::scanFields(ParamSetting()).mid(0, 29));
        QCOMPARE(p.user_model, 0);
        QCOMPARE(fileDigest(paramFile()), before);
    }

    void saveWritesWhatThePanelShows()
    {
        find<QLineEdit>("edit_name")->setText("Ledger");
        find<QComboBox>("combox_saveType")->setCurrentIndex(6);
        find<QLineEdit>("edit_path")->setText("/tmp/never-used-folder");
        ModalAnswerer answerer;
        answerer.expectMessageBox(QMessageBox::Ok);
        QTest::mouseClick(find<QPushButton>("btn_saveParam"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.at(0).title, QString("提示"));
        QCOMPARE(answerer.seen.at(0).text, QString("      保存参数成功      "));
        QSettings s(paramFile(), QSettings::IniFormat);
        QCOMPARE(s.value("/ORTHER/name").toString(), QString("Ledger"));
        QCOMPARE(s.value("/BASE/save_type").toInt(), 6);
        QCOMPARE(s.value("/BASE/save_path").toString(), QString("/tmp/never-used-folder"));
        QVERIFY(!s.contains("/PRINTER/IP")); // the address stays the machine's default
        QVERIFY(!QFile::exists(TestEnvironment::operatorConfigDir() + "/VisibleSetting.ini"));
    }

    void failedSaveIsReported()
    {
        // The operator's folder is a plain file: the parameter file cannot be written.
        QDir(TestEnvironment::operatorConfigDir()).removeRecursively();
        QFile blocker(TestEnvironment::operatorConfigDir());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ModalAnswerer answerer;
        answerer.expectMessageBox(QMessageBox::Ok);
        QTest::mouseClick(find<QPushButton>("btn_saveParam"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.at(0).title, QString("警告"));
        QCOMPARE(answerer.seen.at(0).text, QString("保存参数失败"));
        QFile::remove(TestEnvironment::operatorConfigDir());
    }

    void folderChoice()
    {
        QTemporaryDir dir;
        ModalAnswerer answerer;
        answerer.expectFileDialog(dir.path());
        QTest::mouseClick(find<QPushButton>("btn_path"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.at(0).title, QString("选择保存路径"));
        QCOMPARE(find<QLineEdit>("edit_path")->text(), dir.path());
        QCOMPARE(p.save_path, QDir::homePath() + "/Scans"); // the record follows only on UpdateParam

        answerer.expectReject();
        QTest::mouseClick(find<QPushButton>("btn_path"), Qt::LeftButton);
        QCOMPARE(find<QLineEdit>("edit_path")->text(), dir.path());
    }
};

SCANCONSOLE_TEST_MAIN(TestMainWindowPanel)
#include "tst_mainwindow_panel.moc"
