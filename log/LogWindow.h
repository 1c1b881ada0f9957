#pragma once

#include <QMainWindow>

class QAction;

namespace Ui {
class LogWindow;
}

// The work log as a table, newest record first, with a tool-bar command that clears the table
// and deletes the log file.
class LogWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit LogWindow(QWidget *parent = nullptr);
    ~LogWindow() override;

    // Reloads the table from "./logFiles/logs.txt"; a file that cannot be read leaves it as is.
    void ReadLog();

public slots:
    void slotDelete();

private:
    Ui::LogWindow *ui;
    QAction *m_actionDelete;
};
