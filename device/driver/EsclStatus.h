#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The state an eSCL device reports for its scan service (pwg:State in ScannerStatus: Idle,
// Processing, Testing, Stopped or Down). sane-airscan turns a stopped service into a busy or
// failed job without saying so; asking the device tells the two apart.
class EsclStatus
{
public:
    // pwg:State of a ScannerStatus document; empty when the document has none.
    static QString stateOf(const QByteArray &scannerStatus);
    // GET <esclUrl>/ScannerStatus, over within `timeoutS` seconds and as soon as `stop` says
    // so, reading at most kMaxBody bytes of the answer; its pwg:State, or empty when the device
    // does not answer it in time and in size.
    static QString ask(
        const QString &esclUrl, int timeoutS,
        const std::function<bool()> &stop = [] { return false; });
    static constexpr int kMaxBody = 64 * 1024;
    // Whether the state means that the scan service is stopped.
    static bool stopped(const QString &state);
};
