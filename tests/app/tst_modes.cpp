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

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

// Interface modes, the custom-settings dialog, the menus, templates and Save As.
class TestModes : public QObject
{
    Q_OBJECT

private:
    ParamSetting &p = ParamSetting::instance;
    MainWindow *w = nullptr;

    template <typename T> T *find(const char *name) { return findChildOrDie<T>(w, name); }
    bool shown(const char *name) { return find<QWidget>(name)->isVisibleTo(w); }
    int titleBar() { return w->style()->pixelMetric(QStyle::PM_TitleBarHeight); }
    // The operator's own parameter file, which saves write.
    QString paramFile() const { return TestEnvironment::operatorConfigDir() + "/ParamSetting.ini"; }
    static QByteArray readAll(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeFile(const QString &file, const QByteArray &bytes)
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
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
        for (const char *name : {"action_base", "action_major", "action_custom"}) {
            if (find<QAction>(name)->isChecked())
                checked << name;
        }
        return checked;
    }
    void addPages(int n)
    {
        for (int i = 0; i < n; ++i) {
            auto *image = new QImage(60 + i, 80, QImage::Format_RGB32);
            image->fill(QColor(20 * i, 100, 200));
            ImageManager::Instance()->AddImage(image, p.name);
        }
    }

    // Every flag with the controls it governs, as the custom mode shows them.
    struct FlagControls
    {
        bool ParamSetting::*flag;
        QStringList controls;
    };
    QList<FlagControls> flagTable()
    {
        using P = ParamSetting;
        return {
            {&P::visible_save_path, {"btn_path", "edit_path"}},
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
            {&P::visible_progress, {"checkBox_progress"}},
        };
    }

private slots:
    void init()
    {
        TestEnvironment::resetConfig();
        TestEnvironment::resetRecord();
        QFile::remove(TestEnvironment::configDir() + "/VisibleSetting.ini");
        ImageManager::Instance()->ClearImages();
        newWindow();
    }

    void cleanup()
    {
        delete w;
        w = nullptr;
        ImageManager::Instance()->ClearImages();
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
        const int bars = mode < 2 ? 2 * titleBar() : 0;
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
            for (const FlagControls &other : table) {
                for (const QString &name : other.controls) {
                    const bool expected = other.flag != row.flag;
                    QVERIFY2(shown(qPrintable(name)) == expected,
                             qPrintable(QString("%1 with %2 cleared").arg(name, row.controls[0])));
                }
            }
        }
        QCOMPARE(p.user_model, 2);

        // A group with all its flags cleared disappears; with all 25 only the buttons remain.
        p.initUserModel(1);
        p.visible_impermeable = p.visible_eco_mode = p.visible_change_bkg = false;
        p.visible_progress = false;
        QMetaObject::invokeMethod(w, "onCustomModel");
        QVERIFY(!shown("groupBox_other") && shown("groupBox_adjust"));
        for (const FlagControls &row : flagTable())
            p.*row.flag = false;
        QMetaObject::invokeMethod(w, "onCustomModel");
        for (const char *box :
             {"groupBox_baseSetting", "groupBox_enhancement", "groupBox_adjust", "groupBox_other"})
            QVERIFY(!shown(box));
        for (const char *button : {"btn_resetParam", "btn_saveParam", "btn_scan", "btn_viewer"})
            QVERIFY(shown(button));
    }

    void companionsFollowTheirCheckBoxes()
    {
        QMetaObject::invokeMethod(w, "onCustomModel");
        QVERIFY(shown("checkBox_descreening"));
        QVERIFY(!shown("spinBox_descreening") && !shown("label_descreening"));
        find<QCheckBox>("checkBox_descreening")->setChecked(true);
        QVERIFY(shown("spinBox_descreening") && shown("label_descreening"));

        find<QComboBox>("combox_imgType")->setCurrentIndex(2);
        find<QCheckBox>("checkBox_bkgColor")->setChecked(true);
        QMetaObject::invokeMethod(w, "onCustomModel");
        QVERIFY(shown("btn_bkgColor"));
        p.visible_change_bkg = false;
        QMetaObject::invokeMethod(w, "onCustomModel");
        QVERIFY(!shown("btn_bkgColor") && !shown("checkBox_bkgColor"));
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
        QMetaObject::invokeMethod(w, "onCustomModel");
        QCOMPARE(position(enhancement), QPoint(0, 2));
        QCOMPARE(position(other), QPoint(0, 3));

        // Basic mode shows every base control again, professional every control.
        p.visible_name = p.visible_resolution = false;
        QMetaObject::invokeMethod(w, "onCustomModel");
        QVERIFY(!shown("edit_name"));
        QTest::qWait(0);
        find<QAction>("action_base")->trigger();
        QVERIFY(shown("edit_name") && shown("combox_resolution"));
        QCOMPARE(p.user_model, 0);
        find<QAction>("action_major")->trigger();
        QCOMPARE(position(enhancement), QPoint(1, 0));
        QCOMPARE(position(other), QPoint(1, 1));
        QVERIFY(shown("checkBox_progress"));
        QCOMPARE(p.user_model, 1);
        QCOMPARE(checkedModes(), QStringList{"action_major"});
    }

    void customDialogAcceptedInProfessionalMode()
    {
        // The layout turns custom, the stored mode stays professional.
        ModalAnswerer answerer;
        answerer.expect([](QWidget *dialog) {
            dialog->findChild<QCheckBox *>("checkBox_ECO")->setChecked(false);
            QTest::mouseClick(dialog->findChild<QPushButton *>("okButton"), Qt::LeftButton);
        });
        answerer.expectMessageBox();
        find<QAction>("action_customSetting")->trigger();
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(checkedModes(), QStringList{"action_custom"});
        QVERIFY(!shown("combox_ECO"));
        QCOMPARE(w->maximumWidth(), 300);
        QTest::mouseClick(find<QPushButton>("btn_saveParam"), Qt::LeftButton);
        QVERIFY(answerer.waitSeen(2));
        QCOMPARE(QSettings(paramFile(), QSettings::IniFormat).value("/HELP/user_model").toInt(), 1);

        // Cancel leaves the layout as it was.
        find<QAction>("action_major")->trigger();
        answerer.expectReject();
        find<QAction>("action_customSetting")->trigger();
        QVERIFY(answerer.waitSeen(3));
        QCOMPARE(checkedModes(), QStringList{"action_major"});
    }

    void templateExportAndImport()
    {
        QTemporaryDir dir;
        find<QComboBox>("combox_resolution")->setCurrentIndex(4);
        find<QLineEdit>("edit_name")->setText("DayTemplate");
        auto *languages = find<LanguageChooser>("combox_ocrLanguages");
        languages->setLanguages("eng");
        p.setPrinterAddress("10.0.0.5");
        find<QAction>("action_base")->trigger();
        ModalAnswerer answerer;
        answerer.expectFileDialog(dir.filePath("day"));
        answerer.expectMessageBox();
        find<QAction>("action_saveparam")->trigger();
        QVERIFY(answerer.waitSeen(2));
        QCOMPARE(answerer.seen.at(0).title, QString("保存参数设置"));
        QCOMPARE(answerer.seen.at(1).text, QString("      保存参数成功      "));
        const QString file = dir.filePath("day.ini");
        QVERIFY(QFile::exists(file));
        QSettings s(file, QSettings::IniFormat);
        QCOMPARE(s.value("/BASE/resolution").toInt(), 4);
        QCOMPARE(s.value("/ORTHER/name").toString(), QString("DayTemplate"));
        QCOMPARE(s.value("/HELP/user_model").toInt(), 0);
        QCOMPARE(s.value("/PRINTER/IP").toString(), QString("10.0.0.5"));
        QCOMPARE(s.value("/BASE/ocr_languages").toString(), QString("eng"));

        // Import into a window showing other values: values, mode and address come back on
        // screen; nothing is saved to the default file.
        p.setPrinterAddress("127.0.0.1");
        QVERIFY(p.saveParamSettings(QString()));
        const QByteArray defaultBefore = readAll(paramFile());
        find<QAction>("action_major")->trigger();
        find<QComboBox>("combox_resolution")->setCurrentIndex(1);
        find<QLineEdit>("edit_name")->setText("Other");
        languages->setLanguages("chi_sim+eng");
        answerer.expectFileDialog(file);
        find<QAction>("action_importparam")->trigger();
        QVERIFY(answerer.waitSeen(3));
        QCOMPARE(answerer.seen.at(2).title, QString("导入参数配置文件"));
        QCOMPARE(find<QComboBox>("combox_resolution")->currentIndex(), 4);
        QCOMPARE(find<QLineEdit>("edit_name")->text(), QString("DayTemplate"));
        QCOMPARE(languages->summary(), QString("英文"));
        QCOMPARE(checkedModes(), QStringList{"action_base"});
        QCOMPARE(w->width(), 300);
        QCOMPARE(p.printer_ip, QString("10.0.0.5"));
        QCOMPARE(readAll(paramFile()), defaultBefore);

        // Out-of-range values keep the current ones.
        QSettings bad(dir.filePath("bad.ini"), QSettings::IniFormat);
        bad.setValue("/BASE/resolution", 9);
        bad.setValue("/IMAGE/brightness", 150);
        bad.setValue("/BASE/source_type", 0);
        bad.sync();
        answerer.expectFileDialog(dir.filePath("bad.ini"));
        find<QAction>("action_importparam")->trigger();
        QVERIFY(answerer.waitSeen(4));
        QCOMPARE(find<QComboBox>("combox_resolution")->currentIndex(), 4);
        QCOMPARE(p.brightness, 100);
        QCOMPARE(find<QComboBox>("combox_source")->currentIndex(), 0);
    }

    void oversizedTemplateIsRefused()
    {
        // A template the settings class must not read changes nothing and says so.
        QTemporaryDir dir;
        const QString file = dir.filePath("big.ini");
        QByteArray content = "[BASE]\nresolution=4\n[PAD]\n";
        content += "pad=" + QByteArray(int(ParamSetting::MaxFileBytes), 'x') + "\n";
        writeFile(file, content);
        find<QComboBox>("combox_resolution")->setCurrentIndex(1);
        ModalAnswerer answerer;
        answerer.expectFileDialog(file);
        answerer.expectMessageBox();
        find<QAction>("action_importparam")->trigger();
        QVERIFY(answerer.waitSeen(2));
        QCOMPARE(answerer.seen.at(1).title, QString("警告"));
        QCOMPARE(answerer.seen.at(1).text, QString("模板文件无法导入"));
        QCOMPARE(find<QComboBox>("combox_resolution")->currentIndex(), 1);
        QCOMPARE(p.resolution, 2);
    }

    void templateExportFailureIsReported()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("plain"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ModalAnswerer answerer;
        answerer.expectFileDialog(dir.filePath("plain/day"));
        answerer.expectMessageBox();
        find<QAction>("action_saveparam")->trigger();
        QVERIFY(answerer.waitSeen(2));
        QCOMPARE(answerer.seen.at(1).text, QString("保存参数失败"));
    }

    void saveAsAsksOnceAndWritesEveryFormat_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("pages");
        const char *names[] = {"jpg", "pdf", "tiff",       "ofd",
                               "png", "bmp", "merged pdf", "searchable pdf"};
        for (int format = 0; format < 8; ++format)
            QTest::newRow(names[format]) << format << 3;
        QTest::newRow("empty store") << 0 << 0;
    }

    void saveAsAsksOnceAndWritesEveryFormat()
    {
        QFETCH(int, format);
        QFETCH(int, pages);
        const QString suffix =
            QString(".jpg .pdf .tiff .ofd .png .bmp .pdf .pdf").split(' ')[format];
        const bool merged = format >= 6; // one file, named after the first page
        const int files = merged ? qMin(pages, 1) : pages;
        addPages(pages);
        find<QComboBox>("combox_saveType")->setCurrentIndex(format);
        QTemporaryDir dir;
        ModalAnswerer answerer;
        auto saveAs = [&](QMessageBox::StandardButton answer) {
            answerer.seen.clear();
            answerer.expectFileDialog(dir.path());
            if (answer != QMessageBox::NoButton)
                answerer.expectMessageBox(answer);
            find<QAction>("action_saveAs")->trigger();
            QVERIFY(answerer.waitSeen(1));
            // Written on a worker thread; its progress object goes when the save has ended.
            QTRY_VERIFY_WITH_TIMEOUT(!w->findChild<PageSaveProgress *>(), 60000);
        };
        saveAs(QMessageBox::NoButton); // nothing exists yet: no question
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.at(0).title, QString("另存为"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), files);
        if (!pages)
            return;
        const QString first = dir.filePath(ImageManager::Instance()->at(0)->name + suffix);
        if (format == 1 || format == 3 || merged) // OFD: a zip package
            QCOMPARE(readAll(first).left(4), QByteArray(format == 3 ? "PK\x03\x04" : "%PDF"));
        else
            QCOMPARE(QImage(first).size(), QSize(60, 80));

        // The first page's file exists: one question; No keeps it, Yes writes every page again.
        QVERIFY(QDir(dir.path()).removeRecursively() && QDir().mkpath(dir.path()));
        writeFile(first, "old");
        saveAs(QMessageBox::No);
        QCOMPARE(answerer.seen.size(), 2);
        QCOMPARE(answerer.seen.at(1).text, QString("文件已存在，是否替换？"));
        QCOMPARE(readAll(first), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), files);
        saveAs(QMessageBox::Yes);
        QCOMPARE(answerer.seen.size(), 2);
        QVERIFY(readAll(first).size() > 3);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), files);
    }

    void menuCommands()
    {
        auto *file = find<QMenu>("menu");
        const QList<QAction *> actions = file->actions();
        const int open = actions.indexOf(find<QAction>("action_openPreview"));
        QVERIFY(open >= 0);
        QCOMPARE(actions.value(open + 1), find<QAction>("action_saveAs"));
        QVERIFY(find<QMenu>("menu_H")->actions().contains(find<QAction>("action")));

        ModalAnswerer answerer;
        answerer.expectMessageBox();
        find<QAction>("action")->trigger();
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.at(0).title, QString("关于软件"));
        QVERIFY(answerer.seen.at(0).text.contains("2.0"));

        // The dialog commands open their dialogs; cancelled, they change nothing.
        const QList<QPair<const char *, QString>> dialogs = {{"action_exportLog", "登入"},
                                                             {"action_password", "修改密码"},
                                                             {"action_IPSetting", "IP设置"}};
        for (const auto &dialog : dialogs) {
            const int before = answerer.seen.size();
            answerer.expectReject();
            find<QAction>(dialog.first)->trigger();
            QVERIFY(answerer.waitSeen(before + 1));
            QCOMPARE(answerer.seen.last().title, dialog.second);
        }
        QCOMPARE(answerer.seen.size(), 4);
        QCOMPARE(p.printer_ip, QString("127.0.0.1"));
        find<QAction>("action_loadLog")->trigger();
        QVERIFY(w->logWindow()->isVisible());
        find<QAction>("action_openPreview")->trigger();
        QVERIFY(w->previewWindow()->isVisible());
    }
};

SCANCONSOLE_TEST_MAIN(TestModes)
#include "tst_modes.moc"
