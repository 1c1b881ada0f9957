#include "app/LanguageChooser.h"
#include "app/MainWindow.h"
#include "log/LogWindow.h"
#include "pages/ImageManager.h"
#include "preview/PageSaveProgress.h"
#include "preview/PreviewWindow.h"
#include "settings/ParamSetting.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/RecordFixtures.h"
#include "tests/support/TestEnvironment.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

// The main window without a scan: the parameter panel (record to controls and back, the
// couplings, the enabling rules, its own buttons), the interface modes and the custom-settings
// dialog, templates, Save As and the menus.
class TestMainWindowPanel : public QObject
{
    Q_OBJECT

    ParamSetting &p = ParamSetting::instance;
    MainWindow *w = nullptr;

    template <typename T> T *find(const char *name) { return findChildOrDie<T>(w, name); }
    bool shown(const char *name) { return find<QWidget>(name)->isVisibleTo(w); }
    void trigger(const char *action) { find<QAction>(action)->trigger(); }
    // The operator's own parameter file, which saves write.
    static QString paramFile()
    {
        return TestEnvironment::operatorConfigDir() + "/ParamSetting.ini";
    }
    static QByteArray readAll(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void newWindow()
    {
        delete w;
        w = new MainWindow();
        w->show();
    }
    QStringList checkedModes()
    {
        QStringList checked;
        for (const char *name : {"action_base", "action_major", "action_custom"})
            if (find<QAction>(name)->isChecked())
                checked << name;
        return checked;
    }
    // Every flag with the controls it governs, as the custom mode shows them.
    struct FlagControls
    {
        bool ParamSetting::*flag;
        QStringList controls;
    };
    static QList<FlagControls> flagTable()
    {
        using P = ParamSetting;
        return {{&P::visible_save_path, {"btn_path", "edit_path"}},
                {&P::visible_name, {"label_name", "edit_name"}},
                {&P::visible_resolution, {"label_resolution", "combox_resolution"}},
                {&P::visible_save_type, {"label_saveType", "combox_saveType"}},
                {&P::visible_source_type, {"label_source", "combox_source"}},
                {&P::visible_image_type, {"label_imgType", "combox_imgType"}},
                {&P::visible_paper_size, {"label_paperSize", "combox_paperSize"}},
                {&P::visible_paper_thickness, {"label_thickness", "spinBox_thickness"}},
                {&P::visible_paper_material, {"label_material", "combox_material"}},
                {&P::visible_halftone, {"label_halftone", "combox_halftone"}},
                {&P::visible_filter, {"label_filter", "combox_filter"}},
                {&P::visible_brightness,
                 {"label_brightness", "slider_brightness", "spinBox_brightness"}},
                {&P::visible_contrast, {"label_contrast", "slider_contrast", "spinBox_contrast"}},
                {&P::visible_color_curve,
                 {"label_colorCurve", "slider_colorCurve", "spinBox_colorCurve"}},
                {&P::visible_descreen, {"checkBox_descreening"}},
                {&P::visible_angle_correct,
                 {"label_adjustAngle", "slider_adjustAngle", "spinBox_adjustAngle"}},
                {&P::visible_gamma_correct,
                 {"label_adjustGamma", "slider_adjustGama", "spinBox_adjustGama"}},
                {&P::visible_brightness_correct,
                 {"label_adjustBrightness", "slider_adjustBrightness", "spinBox_adjustBrightness"}},
                {&P::visible_contrast_correct,
                 {"label_adjustContrast", "slider_adjustContrast", "spinBox_adjustContrast"}},
                {&P::visible_deskew, {"cb_deskew"}},
                {&P::visible_skip_blank, {"cb_skip_blank"}},
                {&P::visible_impermeable, {"label_impermeability", "combox_impermeability"}},
                {&P::visible_eco_mode, {"label_ECO", "combox_ECO"}},
                {&P::visible_change_bkg, {"checkBox_bkgColor"}},
                {&P::visible_progress, {"checkBox_progress"}}};
    }

private slots:
    void init()
    {
        TestEnvironment::resetConfig();
        TestEnvironment::resetRecord();
        ImageManager::Instance()->ClearImages();
        newWindow();
    }

    void cleanup()
    {
        delete w;
        w = nullptr;
        ImageManager::Instance()->ClearImages();
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

    void formatsPageCleaningAndReset()
    {
        // The two cleaning boxes, off by default, clicked on and read into the record. The reset
        // button shows every default again and leaves the parameter file alone.
        auto *formats = find<QComboBox>("combox_saveType");
        QCOMPARE(formats->itemText(9), QString("可搜索OFD"));
        auto *deskew = find<QCheckBox>("cb_deskew");
        auto *skipBlank = find<QCheckBox>("cb_skip_blank");
        QVERIFY(!deskew->isChecked() && !skipBlank->isChecked());
        QTest::mouseClick(deskew, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(skipBlank, Qt::LeftButton, {}, QPoint(5, 5));
        formats->setCurrentIndex(7);
        w->UpdateParam();
        QVERIFY(p.deskew && p.skip_blank && p.save_type == 7);

        RecordFixtures::fillNonDefault(p);
        QVERIFY(p.saveParamSettings(QString()));
        const QByteArray file = readAll(paramFile());
        p.user_model = 0;
        w->InitParameter();
        QTest::mouseClick(find<QPushButton>("btn_resetParam"), Qt::LeftButton);
        QVERIFY(!deskew->isChecked() && !skipBlank->isChecked());
        QCOMPARE(find<QDoubleSpinBox>("spinBox_thickness")->text(), QString("0.50"));
        p.initUserModel(0);
        w->UpdateParam();
        QCOMPARE(RecordFixtures::scanFields(p).mid(0, 29),
                 RecordFixtures::scanFields(ParamSetting()).mid(0, 29));
        QCOMPARE(p.user_model, 0);
        QCOMPARE(readAll(paramFile()), file);
    }

    // "识别语言" shows beside the formats that recognise text (the searchable OFD is 9), and
    // goes with the format's row when a mode hides it.
    void languageChooserFollowsTheFormat_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("hideFormatRow");
        QTest::addColumn<bool>("shown");
        QTest::newRow("JPG") << 0 << false << false;
        QTest::newRow("searchable PDF") << 7 << false << true;
        QTest::newRow("searchable PDF, format row hidden") << 7 << true << false;
        QTest::newRow("searchable OFD") << 9 << false << true;
    }
    void languageChooserFollowsTheFormat()
    {
        QFETCH(int, format);
        QFETCH(bool, hideFormatRow);
        QFETCH(bool, shown);
        QCOMPARE(LanguageChooser::shownFor(format), shown || hideFormatRow);
        auto *formats = find<QComboBox>("combox_saveType");
        auto *chooser = find<LanguageChooser>("combox_ocrLanguages");
        auto *label = find<QLabel>("label_ocrLanguages");
        formats->setCurrentIndex(format);
        p.visible_save_type = !hideFormatRow;
        QMetaObject::invokeMethod(w, "onCustomModel");
        QCOMPARE(chooser->isVisible(), shown);
        QCOMPARE(label->isVisible(), shown);
        QCoreApplication::sendPostedEvents(); // the layout settles as it would on screen
        TestEnvironment::screenshot(w, QStringLiteral("languages-%1").arg(QTest::currentDataTag()));
    }

    void languageChoice()
    {
        // Names the operator reads, the code for a language without one; several checked,
        // never none; the record takes the choice.
        auto *chooser = find<LanguageChooser>("combox_ocrLanguages");
        QCOMPARE(chooser->summary(), QString("简体中文、英文"));
        chooser->setInstalled({"chi_sim", "chi_tra", "eng", "xyz"});
        QStringList names;
        for (int i = 0; i < chooser->count(); ++i)
            names << chooser->itemText(i);
        QCOMPARE(names, QStringList({"简体中文", "繁体中文", "英文", "xyz"}));
        QCOMPARE(chooser->languages(), QString("chi_sim+eng"));
        find<QComboBox>("combox_saveType")->setCurrentIndex(7);
        w->show();
        chooser->showPopup();
        QAbstractItemView *list = chooser->view();
        QTRY_VERIFY(list->isVisible());
        const auto click = [list](int row) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(list->model()->index(row, 0)).center());
        };
        click(1); // 繁体中文 on
        click(0); // 简体中文 off
        click(2); // 英文 off
        click(1); // the last one stays
        QVERIFY(list->isVisible());
        QCOMPARE(chooser->languages(), QString("chi_tra"));
        click(3);
        QCOMPARE(chooser->summary(), QString("繁体中文、xyz"));
        w->UpdateParam();
        QCOMPARE(p.ocr_languages, QString("chi_tra+xyz"));
    }

    void couplings()
    {
        auto *gammaSpin = find<QDoubleSpinBox>("spinBox_adjustGama");
        gammaSpin->clear();
        QTest::keyClicks(gammaSpin, "1.5");
        QTest::keyClick(gammaSpin, Qt::Key_Enter);
        QCOMPARE(find<QSlider>("slider_adjustGama")->value(), 150);
        find<QSlider>("slider_adjustAngle")->setValue(-4550);
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
        contrastSpin->setValue(19.99); // 1998.9999... in binary: rounded, not cut
        QCOMPARE(contrastSlider->value(), 1999);
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

    void checkBoxCompanionsAndBackgroundColour()
    {
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
        // The colour dialog sets the record and the button; cancelled, it changes nothing.
        find<QCheckBox>("checkBox_bkgColor")->setChecked(true);
        ModalAnswerer answerer;
        answerer.expect([](QWidget *dialog) {
            auto *colours = qobject_cast<QColorDialog *>(dialog);
            QVERIFY(colours);
            colours->setCurrentColor(QColor(10, 20, 30));
            colours->accept();
        });
        QTest::mouseClick(find<QToolButton>("btn_bkgColor"), Qt::LeftButton);
        QCOMPARE(QList<int>({p.bkg_red, p.bkg_green, p.bkg_blue}), QList<int>({10, 20, 30}));
        QCOMPARE(find<QToolButton>("btn_bkgColor")->styleSheet(),
                 QString("background:rgb(10,20,30);border:none;"));
        answerer.expectReject();
        QTest::mouseClick(find<QToolButton>("btn_bkgColor"), Qt::LeftButton);
        QCOMPARE(p.bkg_red, 10);
    }

    void saveParametersAndFolderChoice()
    {
        find<QLineEdit>("edit_name")->setText("Ledger");
        find<QComboBox>("combox_saveType")->setCurrentIndex(6);
        QTemporaryDir dir;
        ModalAnswerer answerer;
        answerer.expectFileDialog(dir.path());
        QTest::mouseClick(find<QPushButton>("btn_path"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.at(0).title, QString("选择保存路径"));
        QCOMPARE(find<QLineEdit>("edit_path")->text(), dir.path());
        QCOMPARE(p.save_path,
                 QDir::homePath() + "/Scans"); // the record follows only on UpdateParam
        answerer.expectReject();
        QTest::mouseClick(find<QPushButton>("btn_path"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(2));
        QCOMPARE(find<QLineEdit>("edit_path")->text(), dir.path());

        answerer.expectMessageBox(QMessageBox::Ok);
        QTest::mouseClick(find<QPushButton>("btn_saveParam"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(3));
        QCOMPARE(answerer.seen.at(2).title + answerer.seen.at(2).text,
                 QString("提示      保存参数成功      "));
        QSettings s(paramFile(), QSettings::IniFormat);
        QCOMPARE(s.value("/ORTHER/name").toString(), QString("Ledger"));
        QCOMPARE(s.value("/BASE/save_type").toInt(), 6);
        QCOMPARE(s.value("/BASE/save_path").toString(), dir.path());
        QVERIFY(!s.contains("/PRINTER/IP")); // the address stays the machine's default
        QVERIFY(!QFile::exists(TestEnvironment::operatorConfigDir() + "/VisibleSetting.ini"));

        // The operator's folder is a plain file: the parameter file cannot be written.
        QDir(TestEnvironment::operatorConfigDir()).removeRecursively();
        QVERIFY(QFile(TestEnvironment::operatorConfigDir()).open(QIODevice::WriteOnly));
        answerer.expectMessageBox(QMessageBox::Ok);
        QTest::mouseClick(find<QPushButton>("btn_saveParam"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(4));
        QCOMPARE(answerer.seen.at(3).title + answerer.seen.at(3).text, QString("警告保存参数失败"));
        QFile::remove(TestEnvironment::operatorConfigDir());
    }

    void storedModeAtStartUp_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QSize>("minimum"); // height without the two title bars
        QTest::addColumn<QSize>("maximum");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("hidden"); // group boxes and controls not shown
        QTest::newRow("basic") << 0 << QSize(300, 361) << QSize(300, 361) << "action_base"
                               << "groupBox_enhancement groupBox_adjust groupBox_other combox_ECO "
                                  "label_ECO checkBox_progress spinBox_descreening btn_bkgColor "
                                  "combox_impermeability cb_deskew cb_skip_blank";
        QTest::newRow("professional") << 1 << QSize(520, 546) << QSize(520, 546) << "action_major"
                                      << "spinBox_descreening btn_bkgColor";
        QTest::newRow("custom") << 2 << QSize(300, 200) << QSize(300, 800) << "action_custom"
                                << "combox_ECO label_ECO spinBox_descreening btn_bkgColor";
        QTest::newRow("unknown") << 5 << QSize() << QSize(1000, QWIDGETSIZE_MAX) << ""
                                 << "spinBox_descreening btn_bkgColor";
    }
    void storedModeAtStartUp()
    {
        QFETCH(int, mode);
        QFETCH(QSize, minimum);
        QFETCH(QSize, maximum);
        QFETCH(QString, checked);
        QFETCH(QString, hidden);
        p.user_model = mode;
        p.visible_eco_mode = false;
        newWindow();
        const int bars = mode < 2 ? 2 * w->style()->pixelMetric(QStyle::PM_TitleBarHeight) : 0;
        if (minimum.isValid())
            QCOMPARE(w->minimumSize(), minimum + QSize(0, bars));
        QCOMPARE(w->maximumSize(), maximum + QSize(0, bars));
        QCOMPARE(checkedModes(), checked.split(' ', Qt::SkipEmptyParts));
        const QStringList hiddenNames = hidden.split(' ');
        for (const char *name :
             {"groupBox_baseSetting", "groupBox_enhancement", "groupBox_adjust", "groupBox_other",
              "combox_material", "edit_path", "combox_ECO", "label_ECO", "checkBox_progress",
              "spinBox_descreening", "btn_bkgColor", "combox_impermeability", "cb_deskew",
              "cb_skip_blank"})
            QVERIFY2(shown(name) != hiddenNames.contains(name), name);
        if (mode == 1) // every control in view, 自动纠偏 and 去除空白页 included
            QTRY_VERIFY(!find<QScrollArea>("scrollArea")->verticalScrollBar()->isVisible());
        TestEnvironment::screenshot(w, QStringLiteral("mode-%1").arg(QTest::currentDataTag()));
    }

    void eachFlagHidesExactlyItsControlsAndEmptyGroupsDisappear()
    {
        const QList<FlagControls> table = flagTable();
        for (const FlagControls &row : table) {
            p.initUserModel(1);
            p.*row.flag = false;
            QMetaObject::invokeMethod(w, "onCustomModel");
            for (const FlagControls &other : table)
                for (const QString &name : other.controls)
                    QVERIFY2(shown(qPrintable(name)) == (other.flag != row.flag),
                             qPrintable(QString("%1 with %2 cleared").arg(name, row.controls[0])));
        }
        QCOMPARE(p.user_model, 2);
        // A companion goes with its check box.
        p.initUserModel(1);
        find<QComboBox>("combox_imgType")->setCurrentIndex(2);
        find<QCheckBox>("checkBox_bkgColor")->setChecked(true);
        QMetaObject::invokeMethod(w, "onCustomModel");
        QVERIFY(shown("btn_bkgColor"));
        p.visible_change_bkg = false;
        QMetaObject::invokeMethod(w, "onCustomModel");
        QVERIFY(!shown("btn_bkgColor") && !shown("checkBox_bkgColor"));
        // A group with all its flags cleared disappears; with all 25 only the buttons remain.
        p.visible_impermeable = p.visible_eco_mode = p.visible_progress = false;
        QMetaObject::invokeMethod(w, "onCustomModel");
        QVERIFY(!shown("groupBox_other") && shown("groupBox_adjust"));
        for (const FlagControls &row : table)
            p.*row.flag = false;
        QMetaObject::invokeMethod(w, "onCustomModel");
        for (const char *box :
             {"groupBox_baseSetting", "groupBox_enhancement", "groupBox_adjust", "groupBox_other"})
            QVERIFY(!shown(box));
        for (const char *button : {"btn_resetParam", "btn_saveParam", "btn_scan", "btn_viewer"})
            QVERIFY(shown(button));
    }

    void layoutBetweenModes()
    {
        auto *grid = find<QGridLayout>("gridLayout");
        auto position = [grid](QWidget *widget) {
            int row, column, rowSpan, columnSpan;
            grid->getItemPosition(grid->indexOf(widget), &row, &column, &rowSpan, &columnSpan);
            return QPoint(column, row);
        };
        auto *enhancement = find<QGroupBox>("groupBox_enhancement");
        auto *other = find<QGroupBox>("groupBox_other");
        p.visible_name = p.visible_resolution = false;
        QMetaObject::invokeMethod(w, "onCustomModel");
        QCOMPARE(position(enhancement), QPoint(0, 2));
        QCOMPARE(position(other), QPoint(0, 3));
        QVERIFY(!shown("edit_name"));
        // Basic mode shows every base control again, professional every control.
        trigger("action_base");
        QVERIFY(shown("edit_name") && shown("combox_resolution"));
        QCOMPARE(p.user_model, 0);
        trigger("action_major");
        QCOMPARE(position(enhancement), QPoint(1, 0));
        QCOMPARE(position(other), QPoint(1, 1));
        QVERIFY(shown("checkBox_progress"));
        QCOMPARE(p.user_model, 1);
        QCOMPARE(checkedModes(), QStringList{"action_major"});
    }

    void customDialogAcceptedInProfessionalMode()
    {
        // The layout turns custom, the stored mode stays professional; Cancel leaves the layout.
        ModalAnswerer answerer;
        answerer.expect([](QWidget *dialog) {
            dialog->findChild<QCheckBox *>("checkBox_ECO")->setChecked(false);
            QTest::mouseClick(dialog->findChild<QPushButton *>("okButton"), Qt::LeftButton);
        });
        answerer.expectMessageBox();
        trigger("action_customSetting");
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(checkedModes(), QStringList{"action_custom"});
        QVERIFY(!shown("combox_ECO"));
        QCOMPARE(w->maximumWidth(), 300);
        QTest::mouseClick(find<QPushButton>("btn_saveParam"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(2));
        QCOMPARE(QSettings(paramFile(), QSettings::IniFormat).value("/HELP/user_model").toInt(), 1);
        trigger("action_major");
        answerer.expectReject();
        trigger("action_customSetting");
        QVERIFY(answerer.waitSeen(3));
        QCOMPARE(checkedModes(), QStringList{"action_major"});
    }

    void templates()
    {
        QTemporaryDir dir;
        find<QComboBox>("combox_resolution")->setCurrentIndex(4);
        find<QLineEdit>("edit_name")->setText("DayTemplate");
        auto *languages = find<LanguageChooser>("combox_ocrLanguages");
        languages->setLanguages("eng");
        p.setPrinterAddress("10.0.0.5");
        trigger("action_base");
        ModalAnswerer answerer;
        const auto answered = [&answerer](const QString &file) {
            answerer.expectFileDialog(file);
            answerer.expectMessageBox();
        };
        // Exported: every value, the mode and the address.
        answered(dir.filePath("day"));
        trigger("action_saveparam");
        QVERIFY(answerer.waitSeen(2));
        QCOMPARE(answerer.seen.at(0).title, QString("保存参数设置"));
        QCOMPARE(answerer.seen.at(1).text, QString("      保存参数成功      "));
        const QString file = dir.filePath("day.ini");
        QSettings s(file, QSettings::IniFormat);
        QCOMPARE(s.value("/BASE/resolution").toInt(), 4);
        QCOMPARE(s.value("/ORTHER/name").toString(), QString("DayTemplate"));
        QCOMPARE(s.value("/HELP/user_model").toInt(), 0);
        QCOMPARE(s.value("/PRINTER/IP").toString(), QString("10.0.0.5"));
        QCOMPARE(s.value("/BASE/ocr_languages").toString(), QString("eng"));

        // Imported into a window showing other values: values, mode and address come back on
        // screen; nothing is saved to the default file.
        p.setPrinterAddress("127.0.0.1");
        QVERIFY(p.saveParamSettings(QString()));
        const QByteArray defaultBefore = readAll(paramFile());
        trigger("action_major");
        find<QComboBox>("combox_resolution")->setCurrentIndex(1);
        find<QLineEdit>("edit_name")->setText("Other");
        languages->setLanguages("chi_sim+eng");
        answerer.expectFileDialog(file);
        trigger("action_importparam");
        QVERIFY(answerer.waitSeen(3));
        QCOMPARE(answerer.seen.at(2).title, QString("导入参数配置文件"));
        QCOMPARE(find<QComboBox>("combox_resolution")->currentIndex(), 4);
        QCOMPARE(find<QLineEdit>("edit_name")->text(), QString("DayTemplate"));
        QCOMPARE(languages->summary(), QString("英文"));
        QCOMPARE(checkedModes(), QStringList{"action_base"});
        QCOMPARE(w->width(), 300);
        QCOMPARE(p.printer_ip, QString("10.0.0.5"));
        QCOMPARE(readAll(paramFile()), defaultBefore);

        // (Out-of-range values in a loaded file: the loader's acceptanceOnLoad.)
        // A template the settings class must not read changes nothing and says so.
        QFile big(dir.filePath("big.ini"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write("[BASE]\nresolution=1\n[PAD]\npad=" +
                  QByteArray(int(ParamSetting::MaxFileBytes), 'x') + "\n");
        big.close();
        answered(big.fileName());
        trigger("action_importparam");
        QVERIFY(answerer.waitSeen(5));
        QCOMPARE(answerer.seen.at(4).title + answerer.seen.at(4).text,
                 QString("警告模板文件无法导入"));
        QCOMPARE(find<QComboBox>("combox_resolution")->currentIndex(), 4);

        // An export that cannot be written says so.
        answered(dir.filePath("day.ini/day"));
        trigger("action_saveparam");
        QVERIFY(answerer.waitSeen(7));
        QCOMPARE(answerer.seen.at(6).text, QString("保存参数失败"));
    }

    void saveAsAsksOnceAndWritesEveryPage_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("pages");
        QTest::newRow("jpg") << 0 << 3;
        QTest::newRow("merged pdf") << 6 << 3;
        QTest::newRow("empty store") << 0 << 0;
    }
    void saveAsAsksOnceAndWritesEveryPage()
    {
        QFETCH(int, format);
        QFETCH(int, pages);
        const QString suffix =
            QString(".jpg .pdf .tiff .ofd .png .bmp .pdf .pdf").split(' ')[format];
        const int files =
            format >= 6 ? qMin(pages, 1) : pages; // merged: named after the first page
        for (int i = 0; i < pages; ++i) {
            auto *image = new QImage(60 + i, 80, QImage::Format_RGB32);
            image->fill(QColor(20 * i, 100, 200));
            w->previewWindow()->AddImage(ImageManager::Instance()->AddImage(image, p.name));
        }
        find<QComboBox>("combox_saveType")->setCurrentIndex(format);
        QTemporaryDir dir;
        const auto written = [&dir] { return QDir(dir.path()).entryList(QDir::Files).size(); };
        ModalAnswerer answerer;
        auto saveAs = [&](QMessageBox::StandardButton answer) {
            answerer.seen.clear();
            answerer.expectFileDialog(dir.path());
            if (answer != QMessageBox::NoButton)
                answerer.expectMessageBox(answer);
            trigger("action_saveAs");
            QVERIFY(answerer.waitSeen(1));
            // Written on a worker thread; its progress object goes when the save has ended.
            QTRY_VERIFY_WITH_TIMEOUT(!w->findChild<PageSaveProgress *>(), 60000);
        };
        saveAs(QMessageBox::NoButton); // nothing exists yet: no question
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.at(0).title, QString("另存为"));
        QCOMPARE(written(), files);
        if (!pages)
            return;
        const QString first = dir.filePath(ImageManager::Instance()->at(0)->name + suffix);
        if (format)
            QCOMPARE(readAll(first).left(4), QByteArray("%PDF"));
        else
            QCOMPARE(QImage(first).size(), QSize(60, 80));
        // The first page's file exists: one question; No keeps it, Yes writes every page again.
        QVERIFY(QDir(dir.path()).removeRecursively() && QDir().mkpath(dir.path()));
        QFile old(first);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        saveAs(QMessageBox::No);
        QCOMPARE(answerer.seen.size(), 2);
        QCOMPARE(answerer.seen.at(1).text, QString("文件已存在，是否替换？"));
        QCOMPARE(readAll(first), QByteArray("old"));
        QCOMPARE(written(), files);
        saveAs(QMessageBox::Yes);
        QVERIFY(readAll(first).size() > 3);
        QCOMPARE(written(), files);
    }

    void pagesArriveOnceEach()
    {
        // Two sweeps' signals (from page 0, from page 2) handled after both sweeps are stored.
        for (int i = 0; i < 4; ++i)
            ImageManager::Instance()->AddImage(new QImage(40, 60, QImage::Format_RGB32), p.name);
        for (int first : {0, 2})
            QMetaObject::invokeMethod(w, "onUpdateImage", Q_ARG(int, first));
        QCOMPARE(w->previewWindow()->pageOrder(), QList<int>({0, 1, 2, 3}));
        QCOMPARE(w->previewWindow()->findChild<QListWidget *>("ImageListWidget")->count(), 4);
    }

    void menuCommands()
    {
        const QList<QAction *> actions = find<QMenu>("menu")->actions();
        const int open = actions.indexOf(find<QAction>("action_openPreview"));
        QVERIFY(open >= 0);
        QCOMPARE(actions.value(open + 1), find<QAction>("action_saveAs"));
        QVERIFY(find<QMenu>("menu_H")->actions().contains(find<QAction>("action")));
        ModalAnswerer answerer;
        answerer.expectMessageBox();
        trigger("action");
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.at(0).title, QString("关于软件"));
        QVERIFY(answerer.seen.at(0).text.contains("2.0"));
        // The dialog commands open their dialogs; cancelled, they change nothing.
        const QList<QPair<const char *, QString>> dialogs = {
            {"action_exportLog", "登入"},
            {"action_password", "修改密码"},
            {"action_IPSetting", "选择扫描仪"},
            {"action_chooseScanner", "选择扫描仪"}};
        for (const auto &dialog : dialogs) {
            const int before = answerer.seen.size();
            answerer.expectReject();
            trigger(dialog.first);
            QVERIFY(answerer.waitSeen(before + 1));
            QCOMPARE(answerer.seen.last().title, dialog.second);
        }
        QCOMPARE(answerer.seen.size(), 5);
        QCOMPARE(p.printer_ip, QString("127.0.0.1"));
        trigger("action_loadLog");
        QVERIFY(w->logWindow()->isVisible());
        trigger("action_openPreview");
        QVERIFY(w->previewWindow()->isVisible());
    }
};

SCANCONSOLE_TEST_MAIN(TestMainWindowPanel)
#include "tst_mainwindow_panel.moc"
