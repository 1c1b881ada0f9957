#pragma once

#include <QMainWindow>

class DetectThread;
struct ImageObject;
class LogWindow;
class PreviewWindow;
class QLabel;
class QProgressDialog;
class QWidget;
class ReadImageThread;
class ScanningThread;

namespace Ui {
class MainWindow;
}

// The scan console: the parameter panel, the scan and preview commands with their progress and
// results, the menus, and the three interface modes.
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
    bool isRunActive() const { return m_scanThread || m_readThread; }

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
    void onChangedSpinBoxAdjustAngle(double value);
    void onChangedSliderAdjustAngle(int value);
    void onChangedSpinBoxAdjustGamma(double value);
    void onChangedSliderAdjustGamma(int value);
    void onChangedSpinBoxAdjustBrightness(double value);
    void onChangedSliderAdjustBrightness(int value);
    void onChangedSpinBoxAdjustContrast(double value);
    void onChangedSliderAdjustContrast(int value);
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

private:
    void startRun(bool saveFiles);
    void setScanControlsEnabled(bool enabled);
    void runProgressLoop();
    void connectSignals();
    void placeGroupBoxes(bool oneColumn);
    void showParamSaveResult(bool written);

    Ui::MainWindow *ui;

    bool m_busy;
    bool m_progressLoopEnded;
    bool m_printerReachable;
    QProgressDialog *m_progressDialog;
    ScanningThread *m_scanThread;
    ReadImageThread *m_readThread;
    PreviewWindow *m_previewWindow;
    LogWindow *m_logWindow;
    QLabel *m_statusLabel;
    DetectThread *m_detectThread;
};
