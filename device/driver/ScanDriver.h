#pragma once

#include "device/common/PageFileWriter.h"
#include "device/common/ScanCommandLine.h"
#include "device/driver/DeviceTarget.h"
#include "device/driver/DriverSettings.h"
#include "device/driver/SaneDevice.h"
#include "device/driver/SaneResult.h"
#include "device/driver/ScanGuard.h"
#include "device/driver/StopSignals.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class SaneConfigDir;

// One run of the scan program: reads the command line and the settings, opens the scanner
// through SANE, sets source, mode, resolution and the A4 area, and writes every page the
// scanner delivers as a JPEG file; returns the result code (see ResultCode and SaneResult).
// Every failure is also said in one line on standard error.
//
// What a scanner can make it do is bounded: a scan by address talks to that address alone
// (BackendHooks), its own requests are bounded in size and time (EsclHttp), and a ScanGuard
// ends a job that stalls, that fills the program's memory or that is stopped; a job ends after
// max_pages pages and before the page folder's file system runs short of space.
class ScanDriver
{
public:
    // `settingsPath` is the ScanConsoleApp.ini to read.
    explicit ScanDriver(const QString &settingsPath);
    ~ScanDriver();

    int run(const QStringList &arguments);

private:
    int openDevice();
    // The addresses of the scanner's host, to which the backend's connections are fenced.
    int fenceToScanner();
    int configure();
    // Sets a string option to the value `choose` picks among the offered ones.
    int setOffered(int option, const QString &what,
                   const std::function<QString(const QStringList &)> &choose);
    int setArea();
    int scanPages();
    // Reads the frames of one page after its sane_start; 0 or a result code, or -1 when the
    // feeder turned out empty before the page (the end of a batch).
    int readPage(QImage *page);
    // Whether pages are still to be taken: not after the guard ended the job for a fault.
    bool takesPages() const;
    // sane_start and sane_read under the guard's eye.
    SANE_Status start();
    SANE_Status read(QByteArray *buffer);
    int scanFailure(SANE_Status status, SaneResult::Stage stage, const QString &what);
    // The code and line for a job the guard or the connection fence ended; -1 when neither did.
    int guardFailure();
    int interrupted();
    int fail(int code, const QString &cause);
    // Ends the SANE session; a backend that hangs in it does not keep the process.
    int finish(int code);
    void onStopSignal();
    // Called by the guard when the backend does not return after a cancel: ends the process.
    void giveUp(ScanGuard::Reason reason);
    QString reasonText(ScanGuard::Reason reason) const;
    void removeConfigDir();

    const QString m_settingsPath;
    ScanRequest m_request;
    DriverSettings m_settings;
    DeviceTarget m_target;
    std::unique_ptr<PageFileWriter> m_writer;
    std::unique_ptr<SaneConfigDir> m_configDir;
    double m_dpi = 0;           // the resolution the device scans at
    qint64 m_memoryBoundMb = 0; // max_memory_mb, or more where one page needs more
    SaneDevice m_device;
    std::atomic<int> m_pagesWritten{0};

    // Whether sane_open is under way: a stop request then ends the process at once.
    std::mutex m_phaseMutex;
    bool m_opening = false;
    std::unique_ptr<ScanGuard> m_guard;
    // Declared last: blocks the stop signals before libsane starts threads, and its thread is
    // joined before the guard and the device go away.
    StopSignals m_stop;
};
