#include "app/MainWindow.h"

#include "account/LogExport.h"
#include "account/PasswordDialog.h"
#include "app/ElidedLabel.h"
#include "app/InterfaceModes.h"
#include "app/PaperSizeCheck.h"
#include "app/ParamPanel.h"
#include "app/RunProgressDialog.h"
#include "app/ScanContinuation.h"
#include "app/ScanRun.h"
#include "app/ScanTargetCheck.h"
#include "app/ScannerStatusBar.h"
#include "app/SkippedPageRestore.h"
#include "app/SliderSpinLink.h"
#include "log/LogOutput.h"
#include "log/LogWindow.h"
#include "pages/ImageManager.h"
#include "preview/PageExport.h"
#include "preview/PageSaveProgress.h"
#include "preview/PreviewDiscard.h"
#include "preview/PreviewWindow.h"
#include "scan/DetectThread.h"
#include "settings/CustomDialog.h"
#include "settings/ParamSetting.h"

#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QThread>

#include <utility>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), m_quitRequested(false), m_closeRequested(false),
      m_continuation(nullptr), m_progressDialog(nullptr), m_previewWindow(nullptr),
      m_logWindow(nullptr), m_scannerBar(nullptr), m_resultLabel(nullptr), m_pageRestore(nullptr),
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

    m_modes = std::make_unique<InterfaceModes>(this, ui);
    m_continuation = new ScanContinuation(ui->menu, ui->action_preview, this);
    connect(m_continuation, &ScanContinuation::ContinueRequested, this,
            [this] { startRun(true, true); });
    m_previewWindow = new PreviewWindow(nullptr);
    m_logWindow = new LogWindow(nullptr);

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
    m_scannerBar = new ScannerStatusBar(this, ui->menu, ui->action_quit);
    m_pageRestore = new SkippedPageRestore(m_previewWindow, m_resultLabel, m_logWindow, this);

    m_detectThread = new DetectThread();
    connect(m_detectThread, &DetectThread::UpdateStatus, this, &MainWindow::onUpdateStatus);
    connect(m_scannerBar, &ScannerStatusBar::scannerChosen, this,
            [this] { m_detectThread->pollNow(); });
    m_detectThread->start(QThread::InheritPriority);
}

MainWindow::~MainWindow()
{
    // A scan still under way is cancelled; the pages it wrote are collected and saved (a
    // searchable PDF without the text not recognised yet) before the window goes.
    m_runs.clear();
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

    SliderSpinLink::link(ui->slider_brightness, ui->spinBox_brightness);
    SliderSpinLink::link(ui->slider_contrast, ui->spinBox_contrast);
    SliderSpinLink::link(ui->slider_colorCurve, ui->spinBox_colorCurve);
    SliderSpinLink::linkHundredths(ui->slider_adjustAngle, ui->spinBox_adjustAngle);
    SliderSpinLink::linkHundredths(ui->slider_adjustGama, ui->spinBox_adjustGama);
    SliderSpinLink::linkHundredths(ui->slider_adjustBrightness, ui->spinBox_adjustBrightness);
    SliderSpinLink::linkHundredths(ui->slider_adjustContrast, ui->spinBox_adjustContrast);

    connect(ui->checkBox_descreening, &QCheckBox::stateChanged, this,
            &MainWindow::onCheckedDescreen);
    connect(ui->checkBox_bkgColor, &QCheckBox::stateChanged, this, &MainWindow::onCheckedBKG);

    connect(ui->btn_bkgColor, &QToolButton::clicked, this, &MainWindow::onBtnClickedBKGColor);
    connect(ui->btn_resetParam, &QPushButton::clicked, this, &MainWindow::onBtnClickedResetParam);
    connect(ui->btn_saveParam, &QPushButton::clicked, this, &MainWindow::onBtnClickedSaveParam);
}

// ---- Parameter panel ---------------------------------------------------------------------------

void MainWindow::InitParameter()
{
    ParamPanel::show(ui, ParamSetting::instance);
}

void MainWindow::UpdateParam()
{
    ParamPanel::read(ui, ParamSetting::instance);
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

void MainWindow::onBtnClickedBKGColor()
{
    const QColor color = QColorDialog::getColor(Qt::black, nullptr, QString());
    if (!color.isValid())
        return;
    ParamSetting &p = ParamSetting::instance;
    p.bkg_red = color.red();
    p.bkg_green = color.green();
    p.bkg_blue = color.blue();
    ui->btn_bkgColor->setStyleSheet(ParamPanel::bkgStyle(p.bkg_red, p.bkg_green, p.bkg_blue));
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

void MainWindow::startRun(bool saveFiles, bool continued)
{
    // One run at a time: the controls come back only when both workers of a run have finished.
    if (!m_runs.canStart() || (continued && !m_continuation->canContinue()))
        return;
    UpdateParam();
    if (!continued && !beginDocument(saveFiles))
        return;
    m_resultLabel->clear();

    // The run works on its own copy of the settings: nothing done to the record from now on
    // reaches its threads.
    const ParamSetting &p = ParamSetting::instance;
    m_runs.start(m_continuation->makeRun(m_modes->forRun(p.scanSettings()), p.printerAddress(),
                                         saveFiles, continued));
    ScanRun *run = m_runs.current();
    connect(run, &ScanRun::UpdateProgress, this, &MainWindow::onUpdateProcess);
    connect(run, &ScanRun::ScanFinished, this, &MainWindow::onFinishProcess);
    connect(run, &ScanRun::UpdateImage, this, &MainWindow::onUpdateImage);
    connect(run, &ScanRun::PagesCounted, this, &MainWindow::onUpdatePageCount);
    connect(run, &ScanRun::CollectorFinished, this, &MainWindow::onFinishReadImageThread);
    connect(run, &ScanRun::TextProgress, this, &MainWindow::updateTextProgress);
    connect(run, &ScanRun::RunFinished, this, &MainWindow::onRunFinished);
    connect(run, &ScanRun::PageCacheFull, this, [] {
        // At once, without holding up the run.
        auto *box = new QMessageBox(QMessageBox::Warning, tr("Warning"),
                                    RunReport::cacheFullWarning(), QMessageBox::Ok);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::ApplicationModal);
        box->show();
    });
    m_pageRestore->runStarted(run);
    m_detectThread->setPaused(true); // the scanner's status is not asked during a scan
    run->start();

    setScanControlsEnabled(false);
    updateCancelAction();
    updateTextProgress();

    if (p.progress)
        return; // the status bar and the cancel action serve instead
    m_progressDialog = new RunProgressDialog(this);
    connect(m_progressDialog, &RunProgressDialog::canceled, this, &MainWindow::onCancelScan);
    m_progressDialog->show();
}

bool MainWindow::beginDocument(bool saveFiles)
{
    if (ui->combox_material->currentIndex() != 0 && ui->combox_source->currentIndex() != 0) {
        QMessageBox::warning(nullptr, tr("Warning"), tr("Please select flatbed to scan"),
                             QMessageBox::Ok);
        return false;
    }
    if (!PreviewDiscard::confirm(m_previewWindow) || !checkScanTarget(saveFiles))
        return false;
    m_previewWindow->ClearImage();
    ImageManager::Instance()->ClearImages();
    return true;
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
    m_scannerBar->setEnabled(enabled);
    m_continuation->setIdle(enabled);
}

void MainWindow::onCancelScan()
{
    if (m_runs.cancel() && m_progressDialog)
        m_progressDialog->setCancelling();
    updateCancelAction();
    statusBar()->showMessage(tr("Cancelling..."));
}

void MainWindow::updateCancelAction()
{
    ui->action_cancelScan->setEnabled(m_runs.canCancel());
}

void MainWindow::updateTextProgress()
{
    // Every scan whose text is still being recognised, the one under way included.
    const RunList<ScanRun>::TextProgress text = m_runs.textProgress();
    m_textLabel->setText(RunReport::recognitionText(text.done, text.total));
    m_textLabel->setVisible(text.any && text.total > 0); // from the first page handed over
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
    const ScanRun *run = m_runs.current();
    statusBar()->showMessage(run && run->isCancelled() ? tr("Cancelling...") + ' ' + count : count);
    updateTextProgress(); // one more page handed to the recognition
}

void MainWindow::onFinishProcess(int)
{
    // The scan program has ended; the scan ends when the collector has taken the last pages.
    statusBar()->clearMessage();
    m_detectThread->setPaused(false);
    updateCancelAction();
    if (m_progressDialog)
        m_progressDialog->setFinishing();
}

void MainWindow::onUpdateImage(int)
{
    // The pages the preview has not had yet: by the time a queued signal is handled the store
    // may hold the pages of the next one too, whose range would overlap.
    ImageManager *store = ImageManager::Instance();
    const int n = store->count();
    if (n <= m_previewWindow->pagesReceived())
        return;
    for (int i = m_previewWindow->pagesReceived(); i < n; ++i)
        m_previewWindow->AddImage(store->at(i));
    m_previewWindow->show();
    // The "Please wait" dialog keeps the keyboard while pages arrive: Escape cancels.
    QWidget *front = m_progressDialog ? static_cast<QWidget *>(m_progressDialog) : m_previewWindow;
    front->raise();
    front->activateWindow();
}

void MainWindow::onFinishReadImageThread()
{
    // The scan is over: the commands come back and the pages are shown. A searchable PDF's
    // text recognition may go on; the run is over, and recorded, when it has ended too.
    std::unique_ptr<ScanRun> run = m_runs.takeCollected();
    if (!run)
        return;
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
        const RunReport report = m_continuation->report(*run);
        // Kept before any message box: the recognition may end while one is open.
        m_runs.keepFinishing(std::move(run));
        m_previewWindow->setPagesBeingWritten(true); // its searchable PDF is yet to come
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
    if (std::unique_ptr<ScanRun> run = m_runs.takeFinished(sender()))
        finishRun(std::move(run), false);
    if (m_runs.finishingCount() == 0)
        m_previewWindow->setPagesBeingWritten(false);
}

void MainWindow::finishRun(std::unique_ptr<ScanRun> run, bool scanWarnings)
{
    const RunReport report = m_continuation->ended(*run);
    // Its threads have ended; it goes once this signal of its own has been delivered (or with
    // the window).
    ScanRun *ended = run.release();
    ended->setParent(this);
    ended->deleteLater();
    if (!scanWarnings && m_runs.isIdle())
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

    if (!m_runs.isIdle())
        return;
    if (m_quitRequested)
        quitAll();
    else if (m_closeRequested)
        close();
}

void MainWindow::showScanWarnings(const RunReport &report)
{
    m_continuation->warn(report);
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
    ImageManager *store = ImageManager::Instance();
    const int dpi = PaperSizeCheck::pageDpi(store->imageAt(store->count() - 1), p.resolution);
    if (!PaperSizeCheck::matches(page->size, dpi, p.paper_size))
        statusBar()->showMessage(tr("paper size is wrong"), 10000);
}

void MainWindow::onUpdateStatus(int status)
{
    m_scannerBar->showStatus(status);
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
    if (!m_runs.isIdle()) {
        m_quitRequested = true;
        cancelEverything();
        return;
    }
    quitAll();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_runs.isIdle()) {
        event->ignore();
        m_closeRequested = true;
        cancelEverything();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::cancelEverything()
{
    if (m_runs.cancelAll() && m_progressDialog)
        m_progressDialog->setCancelling();
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
    m_scannerBar->chooseScanner();
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

    const PageExport exporter(folder, ui->combox_saveType->currentIndex(),
                              m_previewWindow->exportPages(), ui->combox_ocrLanguages->languages());
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
    m_modes->showRecorded();
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

void MainWindow::showBase()
{
    m_modes->showBase();
}

void MainWindow::showAll()
{
    m_modes->showAll();
}

void MainWindow::showCustom()
{
    m_modes->showCustom();
}
