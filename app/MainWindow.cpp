#include "app/MainWindow.h"

#include "account/LogExport.h"
#include "account/PasswordDialog.h"
#include "app/ElidedLabel.h"
#include "app/PaperSizeCheck.h"
#include "app/RunProgressDialog.h"
#include "app/ScanRun.h"
#include "app/ScanTargetCheck.h"
#include "app/SkippedPageRestore.h"
#include "log/LogOutput.h"
#include "log/LogWindow.h"
#include "pages/ImageManager.h"
#include "preview/PageExport.h"
#include "preview/PageSaveProgress.h"
#include "preview/PreviewWindow.h"
#include "scan/DetectThread.h"
#include "settings/CustomDialog.h"
#include "settings/IPSetting.h"
#include "settings/ParamSetting.h"

#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QStyle>
#include <QThread>

#include <algorithm>
#include <utility>

namespace {

// One line of the custom-mode visibility table: the flag, the controls it shows, and the
// companions that are shown only while the row's check box is checked as well.
struct VisibleRow
{
    VisibleRow(bool ParamSetting::*flag_, QList<QWidget *> controls_,
               QAbstractButton *checkBox_ = nullptr, QList<QWidget *> companions_ = {})
        : flag(flag_), controls(std::move(controls_)), checkBox(checkBox_),
          companions(std::move(companions_))
    {
    }
    bool ParamSetting::*flag;
    QList<QWidget *> controls;
    QAbstractButton *checkBox;
    QList<QWidget *> companions;
};

struct VisibleGroup
{
    QWidget *groupBox;
    QList<VisibleRow> rows;
};

QList<VisibleGroup> visibilityTable(Ui::MainWindow *ui)
{
    using P = ParamSetting;
    return {
        {ui->groupBox_baseSetting,
         {
             {&P::visible_save_path, {ui->btn_path, ui->edit_path}},
             {&P::visible_name, {ui->label_name, ui->edit_name}},
             {&P::visible_resolution, {ui->label_resolution, ui->combox_resolution}},
             {&P::visible_save_type, {ui->label_saveType, ui->combox_saveType}},
             {&P::visible_source_type, {ui->label_source, ui->combox_source}},
             {&P::visible_image_type, {ui->label_imgType, ui->combox_imgType}},
             {&P::visible_paper_size, {ui->label_paperSize, ui->combox_paperSize}},
             {&P::visible_paper_thickness, {ui->label_thickness, ui->spinBox_thickness}},
             {&P::visible_paper_material, {ui->label_material, ui->combox_material}},
         }},
        {ui->groupBox_enhancement,
         {
             {&P::visible_halftone, {ui->label_halftone, ui->combox_halftone}},
             {&P::visible_filter, {ui->label_filter, ui->combox_filter}},
             {&P::visible_brightness,
              {ui->label_brightness, ui->slider_brightness, ui->spinBox_brightness}},
             {&P::visible_contrast,
              {ui->label_contrast, ui->slider_contrast, ui->spinBox_contrast}},
             {&P::visible_color_curve,
              {ui->label_colorCurve, ui->slider_colorCurve, ui->spinBox_colorCurve}},
             {&P::visible_descreen,
              {ui->checkBox_descreening},
              ui->checkBox_descreening,
              {ui->label_descreening, ui->spinBox_descreening}},
         }},
        {ui->groupBox_adjust,
         {
             {&P::visible_angle_correct,
              {ui->label_adjustAngle, ui->slider_adjustAngle, ui->spinBox_adjustAngle}},
             {&P::visible_gamma_correct,
              {ui->label_adjustGamma, ui->slider_adjustGama, ui->spinBox_adjustGama}},
             {&P::visible_brightness_correct,
              {ui->label_adjustBrightness, ui->slider_adjustBrightness,
               ui->spinBox_adjustBrightness}},
             {&P::visible_contrast_correct,
              {ui->label_adjustContrast, ui->slider_adjustContrast, ui->spinBox_adjustContrast}},
             {&P::visible_deskew, {ui->cb_deskew}},
             {&P::visible_skip_blank, {ui->cb_skip_blank}},
         }},
        {ui->groupBox_other,
         {
             {&P::visible_impermeable, {ui->label_impermeability, ui->combox_impermeability}},
             {&P::visible_eco_mode, {ui->label_ECO, ui->combox_ECO}},
             {&P::visible_change_bkg,
              {ui->checkBox_bkgColor},
              ui->checkBox_bkgColor,
              {ui->btn_bkgColor}},
             {&P::visible_progress, {ui->checkBox_progress}},
         }},
    };
}

// Shows a row: its controls when `visible`, its companions only while its check box is checked.
void applyRow(const VisibleRow &row, bool visible)
{
    for (QWidget *w : row.controls)
        w->setVisible(visible);
    const bool companions = visible && row.checkBox && row.checkBox->isChecked();
    for (QWidget *w : row.companions)
        w->setVisible(companions);
}

// Spin boxes show two decimals and sliders count hundredths. The value is rounded, not
// truncated: 19.99 * 100 is 1998.9999... in binary, and truncating it would move the slider to
// 1998 and then the spin box to 19.98.
int toSliderUnits(double value)
{
    return qRound(value * 100.0);
}

QString bkgStyle(int red, int green, int blue)
{
    return QStringLiteral("background:rgb(%0,%1,%2);border:none;").arg(red).arg(green).arg(blue);
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), m_printerReachable(true), m_quitRequested(false),
      m_closeRequested(false), m_progressDialog(nullptr), m_previewWindow(nullptr),
      m_logWindow(nullptr), m_statusLabel(nullptr), m_resultLabel(nullptr), m_pageRestore(nullptr),
      m_textLabel(nullptr), m_detectThread(nullptr)
{
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/PreviewWindow/res/MainWin.jpg")));

    // The form creates Save As and About without placing them.
    const QList<QAction *> fileActions = ui->menu->actions();
    ui->menu->insertAction(fileActions.value(fileActions.indexOf(ui->action_openPreview) + 1),
                           ui->action_saveAs);
    ui->menu_H->addSeparator();
    ui->menu_H->addAction(ui->action);

    m_previewWindow = new PreviewWindow(nullptr);
    m_logWindow = new LogWindow(nullptr);

    ui->combox_ocrLanguages->followFormat(ui->combox_saveType, ui->label_ocrLanguages);
    InitParameter();
    InitVisibility();
    UpdateFilterCtrl();
    UpdateColorCtrl();
    UpdateHalftoneCtrl();

    connectSignals();

    m_resultLabel = new ElidedLabel(this);
    m_resultLabel->setObjectName(QStringLiteral("label_runResult"));
    // A long folder name is shortened in its middle (the tool tip has it whole), never widens
    // the window.
    m_resultLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(m_resultLabel, 1);
    m_textLabel = new QLabel(this);
    m_textLabel->setObjectName(QStringLiteral("label_textRecognition"));
    m_textLabel->hide();
    statusBar()->addPermanentWidget(m_textLabel, 0);
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("label_status"));
    statusBar()->addPermanentWidget(m_statusLabel, 0);
    onUpdateStatus(1);
    m_pageRestore = new SkippedPageRestore(m_previewWindow, m_resultLabel, m_logWindow, this);

    m_detectThread = new DetectThread();
    connect(m_detectThread, &DetectThread::UpdateStatus, this, &MainWindow::onUpdateStatus);
    m_detectThread->start(QThread::InheritPriority);
}

MainWindow::~MainWindow()
{
    // A scan still under way is cancelled; the pages it wrote are collected and saved (a
    // searchable PDF without the text not recognised yet) before the window goes.
    m_run.reset();
    m_recognising.clear();
    m_detectThread->Finish();
    m_detectThread->wait();
    delete m_detectThread;
    delete m_progressDialog;
    delete m_previewWindow;
    delete m_logWindow;
    delete ui;
}

void MainWindow::connectSignals()
{
    connect(ui->action_scan, &QAction::triggered, this, &MainWindow::onStartScan);
    connect(ui->btn_scan, &QPushButton::clicked, this, &MainWindow::onStartScan);
    connect(ui->action_preview, &QAction::triggered, this, &MainWindow::onPreview);
    connect(ui->btn_viewer, &QPushButton::clicked, this, &MainWindow::onPreview);
    connect(ui->action_cancelScan, &QAction::triggered, this, &MainWindow::onCancelScan);

    connect(ui->action_openPreview, &QAction::triggered, this, &MainWindow::onOpenPreview);
    connect(ui->action_saveAs, &QAction::triggered, this, &MainWindow::onSaveAs);
    connect(ui->action_quit, &QAction::triggered, this, &MainWindow::onQuit);
    connect(ui->action_loadLog, &QAction::triggered, this, &MainWindow::onLoadLog);
    connect(ui->action_exportLog, &QAction::triggered, this, &MainWindow::onExportLog);
    connect(ui->action_password, &QAction::triggered, this, &MainWindow::onChangePassword);
    connect(ui->action_base, &QAction::triggered, this, &MainWindow::onBaseModel);
    connect(ui->action_major, &QAction::triggered, this, &MainWindow::onMajorModel);
    connect(ui->action_custom, &QAction::triggered, this, &MainWindow::onCustomModel);
    connect(ui->action_customSetting, &QAction::triggered, this, &MainWindow::onCustomSetting);
    connect(ui->action_IPSetting, &QAction::triggered, this, &MainWindow::onIPSetting);
    connect(ui->action_saveparam, &QAction::triggered, this, &MainWindow::onSaveParam);
    connect(ui->action_importparam, &QAction::triggered, this, &MainWindow::onImportParam);
    connect(ui->action, &QAction::triggered, this, &MainWindow::onAbout);

    connect(ui->btn_path, &QPushButton::clicked, this, &MainWindow::onBtnClickedSavePath);
    connect(ui->combox_imgType, SIGNAL(currentIndexChanged(QString)), this,
            SLOT(onComboxImgTypeIndexChanged()));

    // The three enhancement pairs follow each other directly.
    const QList<QPair<QSpinBox *, QSlider *>> pairs = {
        {ui->spinBox_brightness, ui->slider_brightness},
        {ui->spinBox_contrast, ui->slider_contrast},
        {ui->spinBox_colorCurve, ui->slider_colorCurve},
    };
    for (const auto &pair : pairs) {
        connect(pair.first, QOverload<int>::of(&QSpinBox::valueChanged), pair.second,
                &QSlider::setValue);
        connect(pair.second, &QSlider::valueChanged, pair.first, &QSpinBox::setValue);
    }

    connect(ui->checkBox_descreening, &QCheckBox::stateChanged, this,
            &MainWindow::onCheckedDescreen);
    connect(ui->checkBox_bkgColor, &QCheckBox::stateChanged, this, &MainWindow::onCheckedBKG);

    const auto spinChanged = QOverload<double>::of(&QDoubleSpinBox::valueChanged);
    connect(ui->spinBox_adjustAngle, spinChanged, this, &MainWindow::onChangedSpinBoxAdjustAngle);
    connect(ui->slider_adjustAngle, &QSlider::valueChanged, this,
            &MainWindow::onChangedSliderAdjustAngle);
    connect(ui->spinBox_adjustGama, spinChanged, this, &MainWindow::onChangedSpinBoxAdjustGamma);
    connect(ui->slider_adjustGama, &QSlider::valueChanged, this,
            &MainWindow::onChangedSliderAdjustGamma);
    connect(ui->spinBox_adjustBrightness, spinChanged, this,
            &MainWindow::onChangedSpinBoxAdjustBrightness);
    connect(ui->slider_adjustBrightness, &QSlider::valueChanged, this,
            &MainWindow::onChangedSliderAdjustBrightness);
    connect(ui->spinBox_adjustContrast, spinChanged, this,
            &MainWindow::onChangedSpinBoxAdjustContrast);
    connect(ui->slider_adjustContrast, &QSlider::valueChanged, this,
            &MainWindow::onChangedSliderAdjustContrast);

    connect(ui->btn_bkgColor, &QToolButton::clicked, this, &MainWindow::onBtnClickedBKGColor);
    connect(ui->btn_resetParam, &QPushButton::clicked, this, &MainWindow::onBtnClickedResetParam);
    connect(ui->btn_saveParam, &QPushButton::clicked, this, &MainWindow::onBtnClickedSaveParam);
}

// ---- Parameter panel ---------------------------------------------------------------------------

void MainWindow::InitParameter()
{
    const ParamSetting &p = ParamSetting::instance;
    ui->edit_path->setText(p.save_path);
    ui->combox_resolution->setCurrentIndex(p.resolution);
    ui->combox_saveType->setCurrentIndex(p.save_type);
    ui->combox_ocrLanguages->setLanguages(p.ocr_languages);
    ui->combox_source->setCurrentIndex(p.source_type);
    ui->combox_imgType->setCurrentIndex(p.image_type);
    ui->combox_paperSize->setCurrentIndex(p.paper_size);
    ui->spinBox_thickness->setValue(p.paper_thickness);
    ui->combox_material->setCurrentIndex(p.paper_material);
    ui->combox_halftone->setCurrentIndex(p.halftone);

    ui->slider_brightness->setValue(p.brightness);
    ui->spinBox_brightness->setValue(p.brightness);
    ui->slider_contrast->setValue(p.contrast);
    ui->spinBox_contrast->setValue(p.contrast);
    ui->slider_colorCurve->setValue(p.color_curve);
    ui->spinBox_colorCurve->setValue(p.color_curve);

    ui->checkBox_descreening->setChecked(p.descreen);
    ui->label_descreening->setVisible(p.descreen);
    ui->spinBox_descreening->setVisible(p.descreen);
    ui->spinBox_descreening->setValue(p.descreen_radius);

    ui->slider_adjustAngle->setValue(toSliderUnits(p.angle_correct));
    ui->spinBox_adjustAngle->setValue(p.angle_correct);
    ui->slider_adjustGama->setValue(toSliderUnits(p.gamma_correct));
    ui->spinBox_adjustGama->setValue(p.gamma_correct);
    ui->slider_adjustBrightness->setValue(toSliderUnits(p.brightness_correct));
    ui->spinBox_adjustBrightness->setValue(p.brightness_correct);
    ui->slider_adjustContrast->setValue(toSliderUnits(p.contrast_correct));
    ui->spinBox_adjustContrast->setValue(p.contrast_correct);
    ui->cb_deskew->setChecked(p.deskew);
    ui->cb_skip_blank->setChecked(p.skip_blank);

    ui->combox_filter->setCurrentIndex(p.filter);
    ui->edit_name->setText(p.name);
    ui->combox_impermeability->setCurrentIndex(p.impermeable);
    ui->combox_ECO->setCurrentIndex(p.eco_mode ? 1 : 0);

    ui->checkBox_bkgColor->setChecked(p.change_bkg);
    ui->btn_bkgColor->setVisible(p.change_bkg);
    ui->btn_bkgColor->setStyleSheet(bkgStyle(p.bkg_red, p.bkg_green, p.bkg_blue));

    ui->checkBox_progress->setChecked(p.progress);
}

void MainWindow::UpdateParam()
{
    ParamSetting &p = ParamSetting::instance;
    p.save_path = ui->edit_path->text();
    p.name = ui->edit_name->text();
    p.resolution = ui->combox_resolution->currentIndex();
    p.save_type = ui->combox_saveType->currentIndex();
    p.ocr_languages = ui->combox_ocrLanguages->languages();
    p.source_type = ui->combox_source->currentIndex();
    p.image_type = ui->combox_imgType->currentIndex();
    p.paper_size = ui->combox_paperSize->currentIndex();
    p.paper_thickness = static_cast<float>(ui->spinBox_thickness->value());
    p.paper_material = ui->combox_material->currentIndex();
    p.halftone = ui->combox_halftone->currentIndex();
    p.brightness = ui->spinBox_brightness->value();
    p.contrast = ui->spinBox_contrast->value();
    p.color_curve = ui->spinBox_colorCurve->value();
    p.descreen = ui->checkBox_descreening->isChecked();
    p.descreen_radius = static_cast<float>(ui->spinBox_descreening->value());
    p.angle_correct = static_cast<float>(ui->spinBox_adjustAngle->value());
    p.gamma_correct = static_cast<float>(ui->spinBox_adjustGama->value());
    p.brightness_correct = static_cast<float>(ui->spinBox_adjustBrightness->value());
    p.contrast_correct = static_cast<float>(ui->spinBox_adjustContrast->value());
    p.deskew = ui->cb_deskew->isChecked();
    p.skip_blank = ui->cb_skip_blank->isChecked();
    p.filter = ui->combox_filter->currentIndex();
    p.impermeable = ui->combox_impermeability->currentIndex();
    p.eco_mode = ui->combox_ECO->currentIndex() == 1;
    p.change_bkg = ui->checkBox_bkgColor->isChecked();
    p.progress = ui->checkBox_progress->isChecked();
}

void MainWindow::UpdateFilterCtrl()
{
    const int mode = ui->combox_imgType->currentIndex();
    if (mode >= 0 && mode <= 2)
        ui->combox_filter->setEnabled(mode == 2);
}

void MainWindow::UpdateColorCtrl()
{
    const int mode = ui->combox_imgType->currentIndex();
    if (mode >= 0 && mode <= 2) {
        ui->checkBox_bkgColor->setEnabled(mode == 2);
        ui->btn_bkgColor->setEnabled(mode == 2);
    }
}

void MainWindow::UpdateHalftoneCtrl()
{
    const int mode = ui->combox_imgType->currentIndex();
    if (mode >= 0 && mode <= 2)
        ui->combox_halftone->setEnabled(mode == 0);
}

void MainWindow::onComboxImgTypeIndexChanged()
{
    UpdateFilterCtrl();
    UpdateColorCtrl();
    UpdateHalftoneCtrl();
}

void MainWindow::onCheckedDescreen()
{
    const bool on = ui->checkBox_descreening->isChecked();
    ui->label_descreening->setVisible(on);
    ui->spinBox_descreening->setVisible(on);
}

void MainWindow::onCheckedBKG()
{
    ui->btn_bkgColor->setVisible(ui->checkBox_bkgColor->isChecked());
}

void MainWindow::onChangedSpinBoxAdjustAngle(double value)
{
    ui->slider_adjustAngle->setValue(toSliderUnits(value));
}

void MainWindow::onChangedSliderAdjustAngle(int value)
{
    ui->spinBox_adjustAngle->setValue(value * 0.01);
}

void MainWindow::onChangedSpinBoxAdjustGamma(double value)
{
    ui->slider_adjustGama->setValue(toSliderUnits(value));
}

void MainWindow::onChangedSliderAdjustGamma(int value)
{
    ui->spinBox_adjustGama->setValue(value * 0.01);
}

void MainWindow::onChangedSpinBoxAdjustBrightness(double value)
{
    ui->slider_adjustBrightness->setValue(toSliderUnits(value));
}

void MainWindow::onChangedSliderAdjustBrightness(int value)
{
    ui->spinBox_adjustBrightness->setValue(value * 0.01);
}

void MainWindow::onChangedSpinBoxAdjustContrast(double value)
{
    ui->slider_adjustContrast->setValue(toSliderUnits(value));
}

void MainWindow::onChangedSliderAdjustContrast(int value)
{
    ui->spinBox_adjustContrast->setValue(value * 0.01);
}

void MainWindow::onBtnClickedBKGColor()
{
    const QColor color = QColorDialog::getColor(Qt::black, nullptr, QString());
    if (!color.isValid())
        return;
    ParamSetting &p = ParamSetting::instance;
    p.bkg_red = color.red();
    p.bkg_green = color.green();
    p.bkg_blue = color.blue();
    ui->btn_bkgColor->setStyleSheet(bkgStyle(p.bkg_red, p.bkg_green, p.bkg_blue));
}

void MainWindow::onBtnClickedResetParam()
{
    ParamSetting::instance.initParamSetting();
    InitParameter();
}

void MainWindow::onBtnClickedSaveParam()
{
    UpdateParam();
    showParamSaveResult(ParamSetting::instance.saveParamSettings(QString()));
}

void MainWindow::showParamSaveResult(bool written)
{
    // Success is announced only for a file that was really written.
    if (written)
        QMessageBox::information(nullptr, tr("Information"), tr("Parameters saved successfully"),
                                 QMessageBox::Ok);
    else
        QMessageBox::warning(nullptr, tr("Warning"), tr("Failed to save parameters"),
                             QMessageBox::Ok);
}

void MainWindow::onBtnClickedSavePath()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, tr("Select Folder"), ui->edit_path->text(), QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty())
        ui->edit_path->setText(folder);
}

// ---- Scan and preview --------------------------------------------------------------------------

void MainWindow::onStartScan()
{
    startRun(true);
}

void MainWindow::onPreview()
{
    startRun(false);
}

void MainWindow::startRun(bool saveFiles)
{
    // One run at a time: the controls come back only when both workers of a run have finished.
    if (m_run)
        return;
    UpdateParam();

    if (ui->combox_material->currentIndex() != 0 && ui->combox_source->currentIndex() != 0) {
        QMessageBox::warning(nullptr, tr("Warning"), tr("Please select flatbed to scan"),
                             QMessageBox::Ok);
        return;
    }
    if (!checkScanTarget(saveFiles))
        return;

    m_previewWindow->ClearImage();
    ImageManager::Instance()->ClearImages();
    m_resultLabel->clear();

    // The run works on its own copy of the settings: nothing done to the record from now on
    // reaches its threads.
    const ParamSetting &p = ParamSetting::instance;
    m_run.reset(new ScanRun(p.scanSettings(), p.printerAddress(), saveFiles));
    connect(m_run.get(), &ScanRun::UpdateProgress, this, &MainWindow::onUpdateProcess);
    connect(m_run.get(), &ScanRun::ScanFinished, this, &MainWindow::onFinishProcess);
    connect(m_run.get(), &ScanRun::UpdateImage, this, &MainWindow::onUpdateImage);
    connect(m_run.get(), &ScanRun::PagesCounted, this, &MainWindow::onUpdatePageCount);
    connect(m_run.get(), &ScanRun::CollectorFinished, this, &MainWindow::onFinishReadImageThread);
    connect(m_run.get(), &ScanRun::TextProgress, this, &MainWindow::updateTextProgress);
    connect(m_run.get(), &ScanRun::RunFinished, this, &MainWindow::onRunFinished);
    connect(m_run.get(), &ScanRun::PageCacheFull, this, [] {
        // At once, without holding up the run.
        auto *box = new QMessageBox(QMessageBox::Warning, tr("Warning"),
                                    RunReport::cacheFullWarning(), QMessageBox::Ok);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::ApplicationModal);
        box->show();
    });
    m_pageRestore->runStarted(m_run.get());
    m_run->start();

    setScanControlsEnabled(false);
    updateCancelAction();
    updateTextProgress();

    if (p.progress)
        return; // the status bar and the cancel action serve instead
    m_progressDialog = new RunProgressDialog(this);
    connect(m_progressDialog, &RunProgressDialog::canceled, this, &MainWindow::onCancelScan);
    m_progressDialog->show();
}

bool MainWindow::checkScanTarget(bool saveFiles)
{
    // The name is the stem of every page file, also of those the preview exports later; the
    // folder matters only to a scan, which writes into it (and may give way to ~/Scans).
    const bool approved = ScanTargetCheck::approve(ParamSetting::instance, saveFiles);
    ui->edit_path->setText(ParamSetting::instance.save_path);
    return approved;
}

void MainWindow::setScanControlsEnabled(bool enabled)
{
    // Scan and preview, and with them every command that changes the settings record: while a
    // run is under way none of them may start a second run or change what the panel shows.
    for (QPushButton *button :
         {ui->btn_scan, ui->btn_viewer, ui->btn_resetParam, ui->btn_saveParam})
        button->setEnabled(enabled);
    for (QAction *action : {ui->action_scan, ui->action_preview, ui->action_saveparam,
                            ui->action_importparam, ui->action_customSetting, ui->action_IPSetting,
                            ui->action_base, ui->action_major, ui->action_custom})
        action->setEnabled(enabled);
}

void MainWindow::onCancelScan()
{
    // The scan under way first: its scan program, then (once that has ended) its text
    // recognition. With no scan left to stop, the recognition of earlier scans stops: their
    // PDFs are written at once, the pages not recognised yet without text.
    if (m_run && m_run->canCancel()) {
        const bool scanning = !m_run->scanEnded();
        m_run->cancel();
        if (scanning && m_progressDialog)
            m_progressDialog->setCancelling();
    } else {
        for (const std::unique_ptr<ScanRun> &run : m_recognising)
            run->cancel();
    }
    updateCancelAction();
    statusBar()->showMessage(tr("Cancelling..."));
}

void MainWindow::updateCancelAction()
{
    bool can = m_run && m_run->canCancel();
    for (const std::unique_ptr<ScanRun> &run : m_recognising)
        can = can || run->canCancel();
    ui->action_cancelScan->setEnabled(can);
}

void MainWindow::updateTextProgress()
{
    // Every scan whose text is still being recognised, the one under way included.
    int done = 0, total = 0;
    bool any = false;
    const auto add = [&](const ScanRun *run) {
        if (!run || !run->recognisesText() || run->textEnded())
            return;
        any = true;
        done += run->textDone();
        total += run->textTotal();
    };
    add(m_run.get());
    for (const std::unique_ptr<ScanRun> &run : m_recognising)
        add(run.get());
    m_textLabel->setText(RunReport::recognitionText(done, total));
    m_textLabel->setVisible(any && total > 0); // from the first page handed over
}

void MainWindow::onUpdateProcess(int, QString text)
{
    statusBar()->showMessage(text);
}

void MainWindow::onUpdatePageCount(int pages)
{
    if (m_progressDialog)
        m_progressDialog->setPagesScanned(pages);
    const QString count = RunReport::pagesScannedText(pages);
    statusBar()->showMessage(m_run && m_run->isCancelled() ? tr("Cancelling...") + ' ' + count
                                                           : count);
    updateTextProgress(); // one more page handed to the recognition
}

void MainWindow::onFinishProcess(int)
{
    // The scan program has ended; the scan ends when the collector has taken the last pages.
    statusBar()->clearMessage();
    updateCancelAction();
    if (m_progressDialog)
        m_progressDialog->setFinishing();
}

void MainWindow::onUpdateImage(int first)
{
    ImageManager *store = ImageManager::Instance();
    const int n = store->count();
    if (n == first)
        return;
    for (int i = first; i < n; ++i)
        m_previewWindow->AddImage(store->at(i));
    m_previewWindow->show();
    m_previewWindow->activateWindow();
}

void MainWindow::onFinishReadImageThread()
{
    // The scan is over: the commands come back and the pages are shown. A searchable PDF's
    // text recognition may go on; the run is over, and recorded, when it has ended too.
    if (!m_run || !m_run->isCollected())
        return;
    std::unique_ptr<ScanRun> run = std::move(m_run);
    delete m_progressDialog;
    m_progressDialog = nullptr;
    statusBar()->clearMessage();
    setScanControlsEnabled(true);

    ImageManager *store = ImageManager::Instance();
    if (store->count() >= 1) {
        m_previewWindow->show();
        m_previewWindow->activateWindow();
        checkPaperSize(store->getBackImage());
    }
    if (run->isFinished()) {
        finishRun(std::move(run), true);
    } else {
        const RunReport report = run->report();
        // Kept before any message box: the recognition may end while one is open.
        m_recognising.push_back(std::move(run));
        m_resultLabel->setText(RunReport::pagesScannedText(report.counts.collected));
        m_resultLabel->setToolTip(m_resultLabel->text());
        updateCancelAction();
        updateTextProgress();
        showScanWarnings(report);
    }
}

void MainWindow::onRunFinished()
{
    // Only a run whose recognition outlasted its scan is still to finish here.
    const auto found =
        std::find_if(m_recognising.begin(), m_recognising.end(),
                     [this](const std::unique_ptr<ScanRun> &run) { return run.get() == sender(); });
    if (found == m_recognising.end())
        return;
    std::unique_ptr<ScanRun> run = std::move(*found);
    m_recognising.erase(found);
    finishRun(std::move(run), false);
}

void MainWindow::finishRun(std::unique_ptr<ScanRun> run, bool scanWarnings)
{
    const RunReport report = run->report();
    // Its threads have ended; it goes once this signal of its own has been delivered (or with
    // the window).
    ScanRun *ended = run.release();
    ended->setParent(this);
    ended->deleteLater();
    if (!scanWarnings && isIdle())
        statusBar()->clearMessage(); // "Cancelling..." of a recognition
    updateCancelAction();
    updateTextProgress();

    LogOutput::WriteFile(report.logResult(), report.logPath(), report.keptPages());
    m_logWindow->ReadLog();
    m_resultLabel->setText(report.statusText());
    m_resultLabel->setToolTip(report.statusText());

    if (scanWarnings)
        showScanWarnings(report);
    const PageTally::Counts &counts = report.counts;
    if (counts.failedSaves > 0)
        QMessageBox::warning(nullptr, tr("Warning"),
                             tr("%1 page(s) could not be saved to %2")
                                 .arg(counts.failedSaves)
                                 .arg(counts.failedFolder),
                             QMessageBox::Ok);

    if (!isIdle())
        return;
    if (m_quitRequested)
        quitAll();
    else if (m_closeRequested)
        close();
}

void MainWindow::showScanWarnings(const RunReport &report)
{
    const QString result = report.resultWarning();
    if (!result.isEmpty())
        QMessageBox::warning(nullptr, tr("Warning"), result, QMessageBox::Ok);
    if (report.counts.failedPages > 0)
        QMessageBox::warning(nullptr, tr("Warning"),
                             tr("%1 page(s) could not be read").arg(report.counts.failedPages),
                             QMessageBox::Ok);
}

void MainWindow::checkPaperSize(ImageObject *page)
{
    if (!page || page->size.isEmpty())
        return;
    const ParamSetting &p = ParamSetting::instance;
    if (!PaperSizeCheck::matches(page->size, p.resolution, p.paper_size))
        statusBar()->showMessage(tr("paper size is wrong"), 10000);
}

void MainWindow::onUpdateStatus(int status)
{
    if (status != 0 && m_printerReachable) {
        m_printerReachable = false;
        m_statusLabel->setText(tr("Failed"));
    } else if (status == 0 && !m_printerReachable) {
        m_printerReachable = true;
        m_statusLabel->setText(tr("Success"));
    }
}

// ---- Menus ------------------------------------------------------------------------------------

void MainWindow::onOpenPreview()
{
    m_previewWindow->show();
}

void MainWindow::onLoadLog()
{
    m_logWindow->show();
}

void MainWindow::onQuit()
{
    // A scan under way is cancelled first, and so is a text recognition; the pages are saved,
    // and then everything closes.
    if (!isIdle()) {
        m_quitRequested = true;
        cancelEverything();
        return;
    }
    quitAll();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!isIdle()) {
        event->ignore();
        m_closeRequested = true;
        cancelEverything();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::cancelEverything()
{
    if (m_run) {
        const bool scanning = !m_run->scanEnded() && !m_run->isCancelled();
        m_run->cancelAll();
        if (scanning && m_progressDialog)
            m_progressDialog->setCancelling();
    }
    for (const std::unique_ptr<ScanRun> &run : m_recognising)
        run->cancelAll();
    updateCancelAction();
    statusBar()->showMessage(tr("Cancelling..."));
}

void MainWindow::quitAll()
{
    m_previewWindow->close();
    m_logWindow->close();
    close();
    QCoreApplication::quit();
}

void MainWindow::onExportLog()
{
    LogExport::run(this);
}

void MainWindow::onChangePassword()
{
    PasswordDialog dialog(nullptr);
    if (dialog.exec() == QDialog::Accepted)
        QMessageBox::information(nullptr, tr("Information"), tr("Change the password successfully"),
                                 QMessageBox::Ok);
}

void MainWindow::onCustomSetting()
{
    CustomDialog dialog(nullptr);
    if (dialog.exec() == QDialog::Accepted)
        showCustom();
}

void MainWindow::onIPSetting()
{
    IPSetting dialog(nullptr);
    dialog.exec();
}

void MainWindow::onAbout()
{
    QMessageBox::about(
        this, tr("About"),
        tr("Veldrin scanning console, version %1").arg(QStringLiteral(SCANCONSOLE_VERSION)));
}

void MainWindow::onSaveParam()
{
    const QString file = QFileDialog::getSaveFileName(
        this, tr("Import Files"), ParamSetting::templateFolder(), tr("Config Files (*.ini)"));
    if (file.isEmpty())
        return;
    UpdateParam();
    const QString path = file + QStringLiteral(".ini");
    const bool parameters = ParamSetting::instance.saveParamSettings(path);
    const bool address = ParamSetting::instance.saveIPSettings(path);
    showParamSaveResult(parameters && address);
}

void MainWindow::onImportParam()
{
    const QString file = QFileDialog::getOpenFileName(
        this, tr("Open File"), ParamSetting::templateFolder(), QStringLiteral("*.ini"));
    if (file.isEmpty())
        return;
    // A file the settings class must not read (too large, or holding data no template has)
    // changes nothing.
    if (!ParamSetting::instance.loadParamSettings(file) ||
        !ParamSetting::instance.loadIPSettings(file)) {
        QMessageBox::warning(nullptr, tr("Warning"), tr("The template could not be imported"),
                             QMessageBox::Ok);
        return;
    }
    InitParameter();
    InitVisibility();
    UpdateFilterCtrl();
    UpdateColorCtrl();
    UpdateHalftoneCtrl();
}

void MainWindow::onSaveAs()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Save as"), QString(),
                                                             QFileDialog::ShowDirsOnly |
                                                                 QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty())
        return;

    const PageExport exporter(folder, ui->combox_saveType->currentIndex(), PageExport::storePages(),
                              ui->combox_ocrLanguages->languages());
    const QList<PageExport::File> files = exporter.files();
    if (files.isEmpty())
        return;

    // One question for the whole command; its answer applies to every page.
    bool replace = false;
    if (!exporter.firstExistingTarget().isEmpty())
        replace = QMessageBox::information(nullptr, tr("Infomation"),
                                           tr("the file has exited,do you want to replace it?"),
                                           QMessageBox::Yes | QMessageBox::No,
                                           QMessageBox::Yes) == QMessageBox::Yes;

    // Written on a worker thread with its progress dialog; failures are reported when it ends.
    PageSaveProgress::start(this, files, replace);
}

// ---- Interface modes --------------------------------------------------------------------------

void MainWindow::InitVisibility()
{
    switch (ParamSetting::instance.user_model) {
    case 0:
        showBase();
        break;
    case 1:
        showAll();
        break;
    case 2:
        showCustom();
        break;
    default:
        break;
    }
}

void MainWindow::onBaseModel()
{
    ParamSetting::instance.user_model = 0;
    showBase();
}

void MainWindow::onMajorModel()
{
    ParamSetting::instance.user_model = 1;
    showAll();
}

void MainWindow::onCustomModel()
{
    ParamSetting::instance.user_model = 2;
    showCustom();
}

void MainWindow::placeGroupBoxes(bool oneColumn)
{
    QGridLayout *grid = ui->gridLayout;
    grid->removeWidget(ui->groupBox_enhancement);
    grid->removeWidget(ui->groupBox_other);
    grid->removeItem(ui->verticalSpacer);
    if (oneColumn) {
        grid->addWidget(ui->groupBox_enhancement, 2, 0);
        grid->addWidget(ui->groupBox_other, 3, 0);
        grid->addItem(ui->verticalSpacer, 4, 0);
    } else {
        grid->addWidget(ui->groupBox_enhancement, 0, 1);
        grid->addWidget(ui->groupBox_other, 1, 1);
        grid->addItem(ui->verticalSpacer, 2, 0);
    }
}

void MainWindow::showBase()
{
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QSize size(300, 361 + 2 * titleBar);
    setMinimumSize(size);
    setMaximumSize(size);
    ui->action_base->setChecked(true);
    ui->action_custom->setChecked(false);
    ui->action_major->setChecked(false);

    const QList<VisibleGroup> groups = visibilityTable(ui);
    for (const VisibleGroup &group : groups)
        group.groupBox->setVisible(group.groupBox == ui->groupBox_baseSetting);
    for (const VisibleRow &row : groups.first().rows)
        applyRow(row, true);
    adjustSize();
}

void MainWindow::showAll()
{
    placeGroupBoxes(false);
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    // 50 pixels more than the panel had before the correction group's row of 自动纠偏 and
    // 去除空白页 (28 for the row, 22 that the panel lacked already with the fonts here): every
    // control shows without scrolling.
    const QSize size(520, 496 + 50 + 2 * titleBar);
    setMinimumSize(size);
    setMaximumSize(size);
    ui->action_major->setChecked(true);
    ui->action_base->setChecked(false);
    ui->action_custom->setChecked(false);

    for (const VisibleGroup &group : visibilityTable(ui)) {
        group.groupBox->setVisible(true);
        for (const VisibleRow &row : group.rows)
            applyRow(row, true);
    }
}

void MainWindow::showCustom()
{
    placeGroupBoxes(true);
    setMinimumSize(300, 200);
    setMaximumSize(300, 800);
    ui->action_custom->setChecked(true);
    ui->action_base->setChecked(false);
    ui->action_major->setChecked(false);

    const ParamSetting &p = ParamSetting::instance;
    for (const VisibleGroup &group : visibilityTable(ui)) {
        bool any = false;
        for (const VisibleRow &row : group.rows) {
            const bool visible = p.*row.flag;
            applyRow(row, visible);
            any = any || visible;
        }
        group.groupBox->setVisible(any);
    }
}
