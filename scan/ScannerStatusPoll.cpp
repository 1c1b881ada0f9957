#include "scan/ScannerStatusPoll.h"

#include "device/common/EsclScannerStatus.h"

ScannerStatusPoll::Status ScannerStatusPoll::ask(const QString &esclUrl)
{
    const EsclScannerStatus status = EsclScannerStatus::ask(esclUrl, kTimeoutMs);
    const QString &state = status.state;
    const QString &feeder = status.adfState;
    if (status.stopped())
        return Stopped;
    if (state == QLatin1String("Processing") || state == QLatin1String("Testing"))
        return Busy;
    if (state != QLatin1String("Idle"))
        return Unreachable;
    if (feeder == QLatin1String("ScannerAdfJam") || feeder == QLatin1String("ScannerAdfMispick") ||
        feeder == QLatin1String("ScannerAdfMultipickDetected"))
        return Jam;
    if (feeder == QLatin1String("ScannerAdfDoorOpen") ||
        feeder == QLatin1String("ScannerAdfHatchOpen"))
        return CoverOpen;
    if (feeder == QLatin1String("ScannerAdfEmpty"))
        return FeederEmpty;
    return Ready;
}
