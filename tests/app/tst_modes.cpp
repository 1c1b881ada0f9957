#include "app/MainWindow.h"
#include "imaging/ImageManager.h"
#include "settings/ParamSetting.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/RecordFixtures.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
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
    QString paramFile() const { return TestEnvironment::configDir() + "/ParamSetting.ini"; }
    QByteArray digest(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly)
                   ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5)
                   : QByteArray();
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
            ImageManager::Instance()->AddImage(image);
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
            {&P::visible_brightness, {"label_brightness", "slider_brightness", "spinBox_brightness"}},
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
        QTest::newRow("basic") << 0;
        QTest::newRow("professional") << 1;
        QTest::newRow("custom") << 2;
        QTest::newRow("unknown") << 5;
    }

    void storedModeAtStartUp()
    {
        QFETCH(int, mode);
        p.user_model = mode;
        p.visible_eco_mode = false;
        newWindow();
        const int t = titleBar();
        switch (mode) {
        case 0:
            QCOMPARE(w->minimumSize(), QSize(300, 361 + 2 * t));
            QCOMPARE(w->maximumSize(), QSize(300, 361 + 2 * t));
            QCOMPARE(w->width(), 300);
            QCOMPARE(checkedModes(), QStringList{"action_base"});
            QVERIFY(shown("groupBox_baseSetting"));
            QVERIFY(!shown("groupBox_enhancement") && !shown("groupBox_adjust")
                    && !shown("groupBox_other"));
            QVERIFY(shown("combox_material") && shown("edit_path"));
            break;
        case 1:
            QCOMPARE(w->minimumSize(), QSize(520, 496 + 2 * t));
            QCOMPARE(w->maximumSize(), QSize(520, 496 + 2 * t));
            QCOMPARE(checkedModes(), QStringList{"action_major"});
            QVERIFY(shown("groupBox_enhancement") && shown("groupBox_adjust")
                    && shown("groupBox_other"));
            QVERIFY(shown("checkBox_progress") && shown("combox_ECO"));
            QVERIFY(!shown("spinBox_descreening") && !shown("btn_bkgColor"));
            break;
        case 2:
            QCOMPARE(w->minimumSize(), QSize(300, 200));
            QCOMPARE(w->maximumSize(), QSize(300, 800));
            QCOMPARE(checkedModes(), QStringList{"action_custom"});
            QVERIFY(!shown("combox_ECO") && !shown("label_ECO"));
            QVERIFY(shown("combox_impermeability"));
            break;
        default:
            QVERIFY(checkedModes().isEmpty());
            QCOMPARE(w->maximumWidth(), 1000);
            QVERIFY(shown("groupBox_enhancement") && shown("combox_ECO"));
            break;
        }
    }

    void eachFlagHidesExactlyItsControls()
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
    }

    void emptyGroupsDisappear()
    {
        p.visible_impermeable = p.visible_eco_mode = p.visible_change_bkg = false;
        p.visible_progress = false;
        QMetaObject::invokeMethod(w, "onCustomModel");
        QVERIFY(!shown("groupBox_other"));
        QVERIFY(shown("groupBox_adjust"));

        for (const FlagControls &row : flagTable())
            p.*row.flag = false;
        QMetaObject::invokeMethod(w, "onCustomModel");
        for (const char *box : {"groupBox_baseSetting", "groupBox_enhancement", "groupBox_adjust",
                                "groupBox_other"})
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

    void customDialogOkAndCancel()
    {
        // visible_name has no check box: false must survive OK.
        p.visible_name = false;
        ModalAnswerer answerer;
        answerer.expect([](QWidget *dialog) {
            dialog->findChild<QCheckBox *>("checkBox_ECO")->setChecked(false);
            QVERIFY(dialog->findChild<QCheckBox *>("checkBox_resolution")->isChecked());
            QTest::mouseClick(dialog->findChild<QPushButton *>("okButton"), Qt::LeftButton);
        });
        find<QAction>("action_customSetting")->trigger();
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.at(0).title, QString("自定义设置"));
        QCOMPARE(p.visible_eco_mode, false);
        QCOMPARE(p.visible_name, false);
        QSettings s(TestEnvironment::configDir() + "/VisibleSetting.ini", QSettings::IniFormat);
        QCOMPARE(s.allKeys().size(), 23);
        QCOMPARE(s.value("/ORTHER/eco_mode").toBool(), false);
        QCOMPARE(s.value("/ORTHER/name").toBool(), false);
        QCOMPARE(s.value("/BASE/resolution").toBool(), true);
        // Accepted in professional mode: the custom layout shows, the stored mode stays 1.
        QCOMPARE(checkedModes(), QStringList{"action_custom"});
        QVERIFY(!shown("combox_ECO"));
        QCOMPARE(p.user_model, 1);
        QTimer::singleShot(0, [] {});
        ModalAnswerer saved;
        saved.expectMessageBox();
        QTest::mouseClick(find<QPushButton>("btn_saveParam"), Qt::LeftButton);
        QVERIFY(saved.waitSeen(1));
        QCOMPARE(QSettings(paramFile(), QSettings::IniFormat).value("/HELP/user_model").toInt(), 1);

        // Cancel changes nothing, in memory or on file.
        const QByteArray before = digest(TestEnvironment::configDir() + "/VisibleSetting.ini");
        answerer.expect([](QWidget *dialog) {
            dialog->findChild<QCheckBox *>("checkBox_filter")->setChecked(false);
            QTest::mouseClick(dialog->findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
        });
        find<QAction>("action_customSetting")->trigger();
        QVERIFY(answerer.waitSeen(2));
        QCOMPARE(p.visible_filter, true);
        QCOMPARE(digest(TestEnvironment::configDir() + "/VisibleSetting.ini"), before);
    }

    void templateExportAndImport()
    {
        QTemporaryDir dir;
        find<QComboBox>("combox_resolution")->setCurrentIndex(4);
        find<QLineEdit>("edit_name")->setText("DayTemplate");
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
        QVERIFY(!s.contains("/BASE/paper_thickness") || s.value("/BASE/paper_thickness").toFloat() > 0);

        // Import into a window showing other values: values, mode and address come back on
        // screen; nothing is saved to the default file.
        p.setPrinterAddress("127.0.0.1");
        QVERIFY(p.saveParamSettings(QString()));
        const QByteArray defaultBefore = digest(paramFile());
        find<QAction>("action_major")->trigger();
        find<QComboBox>("combox_resolution")->setCurrentIndex(1);
        find<QLineEdit>("edit_name")->setText("Other");
        answerer.expectFileDialog(file);
        find<QAction>("action_importparam")->trigger();
        QVERIFY(answerer.waitSeen(3));
        QCOMPARE(answerer.seen.at(2).title, QString("导入参数配置文件"));
        QCOMPARE(find<QComboBox>("combox_resolution")->currentIndex(), 4);
        QCOMPARE(find<QLineEdit>("edit_name")->text(), QString("DayTemplate"));
        QCOMPARE(checkedModes(), QStringList{"action_base"});
        QCOMPARE(w->width(), 300);
        QCOMPARE(p.printer_ip, QString("10.0.0.5"));
        QCOMPARE(digest(paramFile()), defaultBefore);

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

    void saveAsEmptyStoreWritesNothing()
    {
        QTemporaryDir dir;
        ModalAnswerer answerer;
        answerer.expectFileDialog(dir.path());
        answerer.expectMessageBox();
        find<QAction>("action_saveAs")->trigger();
        QVERIFY(answerer.waitSeen(1));
        QCOMPARE(answerer.seen.at(0).title, QString("另存为"));
        QTest::qWait(100);
        QCOMPARE(answerer.seen.size(), 1);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    void saveAsAsksOnceAndWritesEveryFormat_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("jpg") << 0 << ".jpg";
        QTest::newRow("pdf") << 1 << ".pdf";
        QTest::newRow("tiff") << 2 << ".tiff";
        QTest::newRow("ofd") << 3 << ".ofd";
        QTest::newRow("png") << 4 << ".png";
        QTest::newRow("bmp") << 5 << ".bmp";
    }

    void saveAsAsksOnceAndWritesEveryFormat()
    {
        QFETCH(int, format);
        QFETCH(QString, suffix);
        addPages(3);
        find<QComboBox>("combox_saveType")->setCurrentIndex(format);
        QTemporaryDir dir;
        ImageManager *store = ImageManager::Instance();
        const QString first = dir.filePath(store->at(0)->name + suffix);
        const QString second = dir.filePath(store->at(1)->name + suffix);
        QFile old(first);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();

        // No: only the missing pages are written.
        ModalAnswerer answerer;
        answerer.expectFileDialog(dir.path());
        answerer.expectMessageBox(QMessageBox::No);
        find<QAction>("action_saveAs")->trigger();
        QVERIFY(answerer.waitSeen(2));
        QCOMPARE(answerer.seen.at(1).title, QString("提示"));
        QCOMPARE(answerer.seen.at(1).text, QString("文件已存在，是否替换？"));
        QCOMPARE(QFileInfo(first).size(), qint64(3));
        QVERIFY(QFile::exists(second));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);

        // Yes: every page is written again, after one question.
        answerer.expectFileDialog(dir.path());
        answerer.expectMessageBox(QMessageBox::Yes);
        find<QAction>("action_saveAs")->trigger();
        QVERIFY(answerer.waitSeen(4));
        QTest::qWait(100);
        QCOMPARE(answerer.seen.size(), 4);
        QVERIFY(QFileInfo(first).size() > 3);
        if (format == 1 || format == 3) {
            QFile pdf(first);
            QVERIFY(pdf.open(QIODevice::ReadOnly));
            QVERIFY(pdf.read(4) == "%PDF");
        } else {
            QCOMPARE(QImage(first).size(), QSize(60, 80));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);
    }

    void menusOfferSaveAsAndAbout()
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
    }
};

SCANCONSOLE_TEST_MAIN(TestModes)
#include "tst_modes.moc"
