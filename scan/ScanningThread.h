// scan/: one run's work beside the window. The runner (ScanningThread) drives ScanConsoleApp in
// a run folder of its own (PageFolder, RunFolder); the collector (ReadImageThread, with its
// PageTally) takes each page file, corrects it, stores it and writes it; a run's settings are
// kept beside its pages (RunSettingsFile) and a dead console's pages are recovered and corrected
// as their run would have (PageRecovery); DetectThread watches the printer. It stands on pages/,
// imaging/, documents/ and settings/.

#pragma once

#include "settings/ScanSettings.h"

#include <QSizeF>
#include <QString>
#include <QThread>

#include <atomic>

// Runs one scan: starts the application directory's ScanConsoleApp with the run's scan
// parameters, waits for it to end and reports its exit code as the scan's result code.
// One object serves exactly one run, on the settings it was given; it reports only through its
// signals.
class ScanningThread : public QThread
{
    Q_OBJECT

public:
    // Results of the runner's own, beside the program's exit codes (which are never negative).
    // The program is missing, could not be started or crashed.
    static constexpr int ResultProgramFailed = -1;
    // The temporary page folder can neither be found nor created, or it is not ours (a symbolic
    // link, another user's folder, one that others may write to).
    static constexpr int ResultTempDirFailed = -2;
    // The program's own code for "stopped by SIGTERM or SIGINT, the pages so far kept"; the
    // runner gives it too for a cancelled program that died of the signal or had to be killed,
    // and for a cancel that came before the program was started.
    static constexpr int ResultCancelled = 130;

    // What the scan program noted about the scan it made (a file beside its pages, "<stem>.scan",
    // lines "key=value"): the resolution used (dpi) and the largest area the scanner offers
    // (max_area_mm: "WIDTHxHEIGHT" in millimetres). Zero or empty where it said nothing (no
    // scanner reached, a stand-in program).
    struct DeviceNote
    {
        int dpi = 0;
        QSizeF maxArea;
    };
    // Reads a note; at most a few lines are looked at.
    static DeviceNote readNote(const QByteArray &text);

    // `settings` and `printerAddress`: the run's own copies, taken when it starts.
    ScanningThread(const ScanSettings &settings, const QString &printerAddress);

    // The page folder handed to the program: the run's own folder ("/tmp/tempimages/" unless
    // set; empty: there is none, and the run reports the folder's failure). Set before start().
    void setTempDir(const QString &dir);
    QString tempDir() const;
    // How long a cancelled program may take to stop before it is killed (10000 ms).
    void setStopTimeout(int ms);
    // A descriptor the program inherits (the run folder's lock, which so stays held while the
    // program runs, also when the console has died). -1: none. Set before start().
    void setInheritedDescriptor(int fd);

    // Stops the scan: the program gets SIGTERM (and SIGKILL when it has not ended after the
    // stop timeout); the run then ends as usual with the program's exit code. Safe to call
    // from any thread, any number of times.
    void cancel();

    // Builds the argument list, runs ScanConsoleApp to its end and returns its exit code,
    // or ResultProgramFailed. Called only from run().
    int execCmd();
    // The program's note of the run; read once ThreadFinished() has been sent.
    DeviceNote deviceNote() const { return m_note; }

signals:
    void ThreadFinished(int result);
    void UpdateProgress(int value, QString text);

protected:
    void run() override;

private:
    const ScanSettings m_settings;
    const QString m_printerAddress;
    QString m_tempDir;
    int m_stopTimeout;
    int m_inherited = -1;
    std::atomic<bool> m_cancel;
    DeviceNote m_note;
};
