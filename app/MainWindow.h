// app/: the program's start and the main window with what serves it (a run, its report, its
// progress); it stands on every other folder and nothing stands on it.

#pragma once

#include "app/RunList.h"

#include <QMainWindow>

#include <memory>

class DetectThread;
struct ImageObject;
class InterfaceModes;
class LogWindow;
class PreviewWindow;
class QCloseEvent;
class QLabel;
class QWidget;
class RunProgressDialog;
class RunReport;
class ScanContinuation;
class ScannerStatusBar;
class ScanRun;
class SkippedPageRestore;

namespace Ui {
class MainWindow;
}

// The scan console: the parameter panel, the scan and preview commands with their progress and
// results, the menus, and the three interface modes. A scan or preview is a ScanRun; the
// window starts it, shows its progress and what it reports, and offers its cancel.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void InitParameter();
    void UpdateParam();
    void UpdateFilterCtrl();
    void UpdateColorCtrl();
    void UpdateHalftoneCtrl();
    void checkPaperSize(ImageObject *page);
    void InitVisibility();
    void showBase();
    void showAll();
    void showCustom();

    PreviewWindow *previewWindow() const { return m_previewWindow; }
    LogWindow *logWindow() const { return m_logWindow; }
    // A scan or preview is under way: its runner or its collector has not finished yet.
    bool isRunActive() const { return m_runs.current() != nullptr; }
    // Scans into the searchable PDF whose text recognition goes on after their collector.
    int recognisingRuns() const { return m_runs.finishingCount(); }

protected:
    // Closed during a run (or a text recognition), the window first cancels it and stays until
    // its pages are saved and its record written.
    void closeEvent(QCloseEvent *event) override;

private slots:
    void onStartScan();
    void onPreview();
    void onOpenPreview();
    void onSaveAs();
    void onQuit();
    void onLoadLog();
    void onExportLog();
    void onChangePassword();
    void onBaseModel();
    void onMajorModel();
    void onCustomModel();
    void onCustomSetting();
    void onIPSetting();
    void onSaveParam();
    void onImportParam();
    void onBtnClickedSavePath();
    void onCheckedDescreen();
    void onComboxImgTypeIndexChanged();
    void onCheckedBKG();
    void onBtnClickedBKGColor();
    void onBtnClickedResetParam();
    void onBtnClickedSaveParam();
    void onUpdateProcess(int value, QString text);
    void onFinishProcess(int code);
    void onUpdateImage(int first);
    void onFinishReadImageThread();
    void onUpdateStatus(int status);
    void onAbout();
    void onCancelScan();
    void onUpdatePageCount(int pages);
    void onRunFinished();
    void updateTextProgress();

private:
    // `continued`: scans on into the last run's document ("继续扫描").
    void startRun(bool saveFiles, bool continued = false);
    // Before a new document: the feeder guard, the name and folder, and the emptied store.
    bool beginDocument(bool saveFiles);
    // The run is over: its work-log record, its status line and what went wrong.
    void finishRun(std::unique_ptr<ScanRun> run, bool scanWarnings);
    void showScanWarnings(const RunReport &report);
    void updateCancelAction();
    // Quit or close: the scan under way and every text recognition.
    void cancelEverything();
    bool checkScanTarget(bool saveFiles);
    void setScanControlsEnabled(bool enabled);
    void quitAll();
    void connectSignals();
    void showParamSaveResult(bool written);

    Ui::MainWindow *ui;

    bool m_quitRequested;
    bool m_closeRequested;
    // The scan under way and the earlier scans whose searchable PDF is still being recognised.
    RunList<ScanRun> m_runs;
    std::unique_ptr<InterfaceModes> m_modes;
    ScanContinuation *m_continuation;
    RunProgressDialog *m_progressDialog;
    PreviewWindow *m_previewWindow;
    LogWindow *m_logWindow;
    ScannerStatusBar *m_scannerBar;
    // What the last run kept, under the status bar's passing messages.
    QLabel *m_resultLabel;
    SkippedPageRestore *m_pageRestore;
    // "文字识别 N/M" while text is recognised (beside the printer status, never covered by the
    // passing messages).
    QLabel *m_textLabel;
    DetectThread *m_detectThread;
};
