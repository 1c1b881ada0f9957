#pragma once

#include <QByteArray>
#include <QMainWindow>

class QAction;
class QFile;
class QLabel;

namespace Ui {
class LogWindow;
}

// The work log as a table, newest record first, with a tool-bar command that clears the table
// and deletes the log file (after the administrator's login and a confirmation). The log only
// grows, so each reload reads just what was appended since the last one, and the table keeps the
// newest MaxRows records (a note in the status bar says when older ones are left in the file):
// showing the log after a scan costs the same whatever the file's size.
class LogWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit LogWindow(QWidget *parent = nullptr);
    ~LogWindow() override;

    static constexpr int MaxRows = 10000;

    // Brings the table up to date with "./logFiles/logs.txt"; a file that cannot be read
    // leaves it as is.
    void ReadLog();

public slots:
    void slotDelete();

private:
    void forget();

    Ui::LogWindow *ui;
    QAction *m_actionDelete;
    QLabel *m_olderNote;
    // What the table shows: the file (device and inode), how far it was read (whole lines
    // only), the number of the newest record, and whether the top row is a last line without
    // its line end, which is read again once it is complete.
    QByteArray m_fileId;
    qint64 m_readUpTo;
    int m_records;
    bool m_partialShown;
};
