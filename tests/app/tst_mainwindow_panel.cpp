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
#include "tests/support/TestFiles.h"

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
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
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
#include <array>

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
    void newWindow()
    {
        delete w;
        w = new MainWindow();
        w->show();
    }
    // A widget's column and row in the panel's grid.
    QPoint position(const char *name)
    {
        auto *grid = find<QGridLayout>("gridLayout");
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(grid->indexOf(find<QWidget>(name)), &row, &column, &rowSpan,
                              &columnSpan);
        return QPoint(column, row);
    }
    QStringList checkedModes()
    {
        QStringList checked;
        for (const char *name : {"action_base", "action_major", "action_custom"})
            if (find<QAction>(name)->isChecked())
                checked << name;
        return checked;
    }
    // Every flag with a control it governs, as the custom mode shows them (its label and spin
    // box go the same way: layoutBetweenModes looks at one label).
    static QList<QPair<bool ParamSetting::*, const char *>> flagTable()
    {
        using P = ParamSetting;
        return {{&P::visible_save_path, "edit_path"},
                {&P::visible_name, "edit_name"},
                {&P::visible_resolution, "combox_resolution"},
                {&P::visible_save_type, "combox_saveType"},
                {&P::visible_source_type, "combox_source"},
                {&P::visible_image_type, "combox_imgType"},
                {&P::visible_paper_size, "combox_paperSize"},
                {&P::visible_paper_thickness, "spinBox_thickness"},
                {&P::visible_paper_material, "combox_material"},
                {&P::visible_halftone, "combox_halftone"},
                {&P::visible_filter, "combox_filter"},
                {&P::visible_brightness, "slider_brightness"},
                {&P::visible_contrast, "spinBox_contrast"},
                {&P::visible_color_curve, "slider_colorCurve"},
                {&P::visible_descreen, "checkBox_descreening"},
                {&P::visible_angle_correct, "spinBox_adjustAngle"},
                {&P::visible_gamma_correct, "slider_adjustGama"},
                {&P::visible_brightness_correct, "label_adjustBrightness"},
                {&P::visible_contrast_correct, "spinBox_adjustContrast"},
                {&P::visible_deskew, "cb_deskew"},
                {&P::visible_skip_blank, "cb_skip_blank"},
                {&P::visible_impermeable, "combox_impermeability"},
                {&P::visible_eco_mode, "label_ECO"},
                {&P::visible_change_bkg, "checkBox_bkgColor"},
                {&P::visible_progress, "checkBox_progress"}};
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

    void recordToControlsToRecordAndReset()
    {
        RecordFixtures::fillNonDefault(p);
        QVERIFY(p.saveParamSettings(QString()));
        const QByteArray file = TestFiles::readAll(paramFile());
        w->InitParameter();
        QCOMPARE(find<QComboBox>("combox_resolution")->currentText(), QString("600"));
        QCOMPARE(find<QDoubleSpinBox>("spinBox_adjustGama")->text(), QString("2.50"));
        // Reset the record, then read the panel back into it: every field comes back.
        const QVariantList shown = RecordFixtures::scanFields(p);
        p.initParamSetting();
        w->UpdateParam();
        QCOMPARE(RecordFixtures::scanFields(p), shown);
        p.color_curve = 250; // accepted by the loader, clamped by the control
        w->InitParameter();
        w->UpdateParam();
        QCOMPARE(p.color_curve, 100);
        // The reset button shows every default again (the cleaning boxes off), keeps the mode
        // and leaves the parameter file alone.
        p.user_model = 0;
        w->InitParameter();
        QTest::mouseClick(find<QPushButton>("btn_resetParam"), Qt::LeftButton);
        QVERIFY(!find<QCheckBox>("cb_deskew")->isChecked());
        QCOMPARE(find<QDoubleSpinBox>("spinBox_thickness")->text(), QString("0.50"));
        p.initUserModel(0);
        w->UpdateParam();
        QCOMPARE(RecordFixtures::scanFields(p).mid(0, 29),
                 RecordFixtures::scanFields(ParamSetting()).mid(0, 29));
        QCOMPARE(p.user_model, 0);
        QCOMPARE(TestFiles::readAll(paramFile()), file);
    }

    void languageChooserFollowsTheFormat()
    {
        // "识别语言" shows beside the formats that recognise text (searchable PDF 7, OFD 9), and
        // goes with the format's row when a mode hides it: format, format row shown, chooser.
        const QList<std::array<int, 3>> rows{{0, 1, 0}, {7, 1, 1}, {7, 0, 0}, {9, 1, 1}};
        for (const auto &row : rows) {
            QCOMPARE(LanguageChooser::shownFor(row[0]), row[0] != 0);
            find<QComboBox>("combox_saveType")->setCurrentIndex(row[0]);
            p.visible_save_type = row[1];
            QMetaObject::invokeMethod(w, "onCustomModel");
            QCOMPARE(find<LanguageChooser>("combox_ocrLanguages")->isVisible(), bool(row[2]));
            QCOMPARE(find<QLabel>("label_ocrLanguages")->isVisible(), bool(row[2]));
        }
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

    void colourModeControls()
    {
        // The filter and the background colour for colour pages, halftoning for black and white
        // ones; each from every other mode.
        auto *imgType = find<QComboBox>("combox_imgType");
        for (int mode : {0, 1, 2}) {
            imgType->setCurrentIndex((mode + 1) % 3);
            imgType->setCurrentIndex(mode);
            QCOMPARE(find<QComboBox>("combox_filter")->isEnabled(), mode == 2);
            QCOMPARE(find<QCheckBox>("checkBox_bkgColor")->isEnabled(), mode == 2);
            QCOMPARE(find<QToolButton>("btn_bkgColor")->isEnabled(), mode == 2);
            QCOMPARE(find<QComboBox>("combox_halftone")->isEnabled(), mode == 0);
        }
        // A check box's companions show while it is checked.
        const QList<QPair<const char *, const char *>> pairs = {
            {"checkBox_descreening", "spinBox_descreening"},
            {"checkBox_descreening", "label_descreening"},
            {"checkBox_bkgColor", "btn_bkgColor"}};
        for (const auto &pair : pairs) {
            find<QCheckBox>(pair.first)->setChecked(true);
            QVERIFY(find<QWidget>(pair.second)->isVisible());
            QTest::mouseClick(find<QCheckBox>(pair.first), Qt::LeftButton);
            QVERIFY(!find<QWidget>(pair.second)->isVisible());
        }
        // The colour dialog sets the record and the button; cancelled, it changes nothing.
        find<QCheckBox>("checkBox_bkgColor")->setChecked(true);
        ModalAnswerer answerer;
        answerer.expect([](QWidget *dialog) {
            qobject_cast<QColorDialog *>(dialog)->setCurrentColor(QColor(10, 20, 30));
            qobject_cast<QColorDialog *>(dialog)->accept();
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
        // The folder chosen shows (the record follows only on saving); cancelled, it stays. The
        // save button writes the panel, not the address. (A save that fails: templates.)
        find<QLineEdit>("edit_name")->setText("Ledger");
        QTemporaryDir dir;
        ModalAnswerer answerer;
        answerer.expectFileDialog(dir.path());
        answerer.expectReject();
        answerer.expectMessageBox(QMessageBox::Ok);
        for (int i = 0; i < 2; ++i)
            QTest::mouseClick(find<QPushButton>("btn_path"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(2));
        QCOMPARE(answerer.seen.at(0).title, QString("选择保存路径"));
        QCOMPARE(find<QLineEdit>("edit_path")->text(), dir.path());
        QCOMPARE(p.save_path, QDir::homePath() + "/Scans");
        QTest::mouseClick(find<QPushButton>("btn_saveParam"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(3));
        QCOMPARE(answerer.seen.at(2).title + answerer.seen.at(2).text,
                 QString("提示      保存参数成功      "));
        QSettings s(paramFile(), QSettings::IniFormat);
        QCOMPARE(s.value("/ORTHER/name").toString(), QString("Ledger"));
        QCOMPARE(s.value("/BASE/save_path").toString(), dir.path());
        QVERIFY(!s.contains("/PRINTER/IP")); // the address stays the machine's default
        QVERIFY(!QFile::exists(TestEnvironment::operatorConfigDir() + "/VisibleSetting.ini"));
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
        if (mode != 2)
            return;
        // Custom stacks the groups in one column; professional, chosen from there, puts them in
        // two again and shows every control.
        QCOMPARE(position("groupBox_other"), QPoint(0, 3));
        trigger("action_major");
        QCOMPARE(position("groupBox_other"), QPoint(1, 1));
        QVERIFY(shown("combox_ECO") && p.user_model == 1);
        QCOMPARE(checkedModes(), QStringList{"action_major"});
    }

    void eachFlagHidesExactlyItsControlsAndEmptyGroupsDisappear()
    {
        const auto table = flagTable();
        for (const auto &row : table) {
            p.initUserModel(1);
            p.*row.first = false;
            QMetaObject::invokeMethod(w, "onCustomModel");
            for (const auto &other : table)
                QVERIFY2(shown(other.second) == (other.first != row.first),
                         qPrintable(QString("%1 with %2 cleared").arg(other.second, row.second)));
        }
        QCOMPARE(p.user_model, 2);
        p.initUserModel(1);
        p.visible_resolution = false; // a control's label goes with it
        QMetaObject::invokeMethod(w, "onCustomModel");
        QVERIFY(!shown("label_resolution") && !shown("combox_resolution"));
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
        for (const auto &row : table)
            p.*row.first = false;
        QMetaObject::invokeMethod(w, "onCustomModel");
        for (const char *box :
             {"groupBox_baseSetting", "groupBox_enhancement", "groupBox_adjust", "groupBox_other"})
            QVERIFY(!shown(box));
        for (const char *button : {"btn_resetParam", "btn_saveParam", "btn_scan", "btn_viewer"})
            QVERIFY(shown(button));
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
        QCOMPARE(s.value("/HELP/user_model").toInt(), 0);
        QCOMPARE(s.value("/PRINTER/IP").toString(), QString("10.0.0.5"));

        // Imported into a window showing other values: values, mode and address come back on
        // screen; nothing is saved to the default file.
        p.setPrinterAddress("127.0.0.1");
        QVERIFY(p.saveParamSettings(QString()));
        const QByteArray defaultBefore = TestFiles::readAll(paramFile());
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
        QCOMPARE(p.printer_ip, QString("10.0.0.5"));
        QCOMPARE(TestFiles::readAll(paramFile()), defaultBefore);

        // (Out-of-range values in a loaded file: the loader's acceptanceOnLoad.)
        // A template the settings class must not read (too large) changes nothing and says so.
        QVERIFY(QFile::resize(file, ParamSetting::MaxFileBytes + 1));
        answered(file);
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

    void saveAsAsksOnceAndWritesEveryPage()
    {
        // Nothing to save: no file. Three pages: no question while none exists; the first page's
        // file there, one question: No keeps it, Yes writes every page again. (Every format and
        // existing files in any place: the preview's save.)
        QTemporaryDir dir;
        ModalAnswerer answerer;
        const auto saveAs = [&](QMessageBox::StandardButton answer) {
            answerer.expectFileDialog(dir.path());
            if (answer != QMessageBox::NoButton)
                answerer.expectMessageBox(answer);
            trigger("action_saveAs");
            // Written on a worker thread; its progress object goes when the save has ended.
            if (!QTest::qWaitFor([&] { return !w->findChild<PageSaveProgress *>(); }, 60000))
                return -1; // the save did not end
            return QDir(dir.path()).entryList(QDir::Files).size();
        };
        QCOMPARE(saveAs(QMessageBox::NoButton), 0);
        for (int i = 0; i < 3; ++i)
            w->previewWindow()->AddImage(ImageManager::Instance()->AddImage(
                new QImage(60 + i, 80, QImage::Format_RGB32), p.name));
        QCOMPARE(saveAs(QMessageBox::NoButton), 3);
        QCOMPARE(answerer.seen.size(), 2);
        QCOMPARE(answerer.seen.at(0).title, QString("另存为"));
        const QString first = dir.filePath(ImageManager::Instance()->at(0)->name + ".jpg");
        QCOMPARE(QImage(first).size(), QSize(60, 80));
        QVERIFY(QDir(dir.path()).removeRecursively() && QDir().mkpath(dir.path()));
        QVERIFY(TestFiles::writeFile(first, "old"));
        QCOMPARE(saveAs(QMessageBox::No), 3);
        QCOMPARE(answerer.seen.at(3).text, QString("文件已存在，是否替换？"));
        QCOMPARE(TestFiles::readAll(first), QByteArray("old"));
        QCOMPARE(saveAs(QMessageBox::Yes), 3);
        QVERIFY(TestFiles::readAll(first).size() > 3);
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
        QCOMPARE(p.printer_ip, QString("127.0.0.1"));
        trigger("action_loadLog");
        QVERIFY(w->logWindow()->isVisible());
        trigger("action_openPreview");
        QVERIFY(w->previewWindow()->isVisible());
    }
};

SCANCONSOLE_TEST_MAIN(TestMainWindowPanel)
#include "tst_mainwindow_panel.moc"
