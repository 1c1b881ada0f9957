#pragma once

#include <QObject>
#include <QString>

class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QToolButton;

// The scanner in the main window's status bar: a button with its name (opening the scanner
// dialog, as the File menu's "选择扫描仪…" does) and beside it what the scanner says
// (label_status, fed by the reachability monitor's statuses).
class ScannerStatusBar : public QObject
{
    Q_OBJECT

public:
    // Adds the button and the label to `window`'s status bar and the action to `fileMenu`
    // before its `before` action.
    ScannerStatusBar(QMainWindow *window, QMenu *fileMenu, QAction *before);

    // The text a status shows for `address` (see ScannerStatusPoll::Status).
    static QString statusText(int status, const QString &address);
    // The button's text: the listed name, else the address without its protocol.
    static QString scannerName(const QString &name, const QString &address);

public slots:
    // Shows a status of the monitor; the label changes only when its text does.
    void showStatus(int status);
    // The button and the menu entry (off while a run is under way).
    void setEnabled(bool enabled);
    // Opens the scanner dialog; a stored choice is shown at once.
    void chooseScanner();

signals:
    // Another scanner (or address) was chosen in the scanner dialog.
    void scannerChosen();

private:
    void showScanner();

    QWidget *m_window;
    QToolButton *m_button;
    QAction *m_action;
    QLabel *m_label;
    int m_status = -1;
};
