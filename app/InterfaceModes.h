#pragma once

#include "settings/ScanSettings.h"

class QMainWindow;

namespace Ui {
class MainWindow;
}

// The main window's three interface modes: basic (the base settings only), professional (every
// group in two columns) and custom (one column of the controls the operator chose in the
// settings record's visibility flags), each with its own window size and checked menu entry.
class InterfaceModes
{
public:
    InterfaceModes(QMainWindow *window, Ui::MainWindow *ui);

    void showBase();
    void showAll();
    void showCustom();
    // The mode the settings record holds (user_model); any other value changes nothing.
    void showRecorded();
    // A run's settings as the operator sees them: the page-cleaning options whose controls the
    // mode hides (自动纠偏, 去除空白页, 去网纹, 防渗透, 改变背景颜色) are off, so no page is
    // straightened, changed or left out by an option nobody can see.
    ScanSettings forRun(ScanSettings settings) const;

private:
    void placeGroupBoxes(bool oneColumn);

    QMainWindow *m_window;
    Ui::MainWindow *m_ui;
};
