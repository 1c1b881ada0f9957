#pragma once

#include <QString>

// What an eSCL scanner says of itself (GET <root>/ScannerStatus): the scan service's state
// (pwg:State) and the feeder's (scan:AdfState), as one status of the status line. The answer
// is read within kTimeoutMs and EsclScannerStatus::kMaxBytes, so a scanner that trickles or
// floods cannot hold up the monitor.
class ScannerStatusPoll
{
public:
    // The reachability monitor's status codes (DetectThread::UpdateStatus).
    enum Status
    {
        Answered = 0,    // a device without eSCL status answered the ping
        Unreachable = 1, // no answer (ping or status), or no address
        Ready = 2,
        Busy = 3,
        Stopped = 4, // the scan service is stopped or down
        FeederEmpty = 5,
        Jam = 6,
        CoverOpen = 7,
        LocalDevice = 8, // a SANE device on this computer: nothing to poll
    };

    // Asks the scanner at its eSCL root URL ("http://host:port/eSCL"); Unreachable when no
    // status came.
    static Status ask(const QString &esclUrl);

    static constexpr int kTimeoutMs = 3000;
};
