#pragma once

#include "device/common/PageFileWriter.h"
#include "device/common/ScanCommandLine.h"
#include "device/driver/DeviceTarget.h"
#include "device/driver/DriverSettings.h"
#include "device/driver/SaneDevice.h"
#include "device/driver/SaneResult.h"
#include "device/driver/StopSignals.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>

class SaneConfigDir;

// One run of the scan program: reads the command line and the settings, opens the scanner
// through SANE, sets source, mode, resolution and the A4 area, and writes every page the
// scanner delivers as a JPEG file; returns the result code (see ResultCode and SaneResult).
// Every failure is also said in one line on standard error.
class ScanDriver
{
public:
    // `settingsPath` is the ScanConsoleApp.ini to read.
    explicit ScanDriver(const QString &settingsPath);
    ~ScanDriver();

    int run(const QStringList &arguments);

private:
    int openDevice();
    int configure();
    // Sets a string option to the value `choose` picks among the offered ones.
    int setOffered(int option, const QString &what,
                   const std::function<QString(const QStringList &)> &choose);
    int setArea();
    int scanPages();
    // Reads the frames of one page after its sane_start; 0 or a result code, or -1 when the
    // feeder turned out empty before the page (the end of a batch).
    int readPage(QImage *page);
    int scanFailure(SANE_Status status, SaneResult::Stage stage, const QString &what);
    int interrupted();
    int fail(int code, const QString &cause);
    void onStopSignal();

    const QString m_settingsPath;
    ScanRequest m_request;
    DriverSettings m_settings;
    DeviceTarget m_target;
    std::unique_ptr<PageFileWriter> m_writer;
    std::unique_ptr<SaneConfigDir> m_configDir;
    double m_dpi = 0; // the resolution the device scans at
    SaneDevice m_device;

    // Whether sane_open is under way: a stop request then ends the process at once.
    std::mutex m_phaseMutex;
    bool m_opening = false;
    // Declared last: blocks the stop signals before libsane starts threads, and its thread is
    // joined before the device goes away.
    StopSignals m_stop;
};
