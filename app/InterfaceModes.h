#pragma once

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

private:
    void placeGroupBoxes(bool oneColumn);

    QMainWindow *m_window;
    Ui::MainWindow *m_ui;
};
