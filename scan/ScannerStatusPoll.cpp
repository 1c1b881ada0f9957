#include "scan/ScannerStatusPoll.h"

#include "device/common/EsclHttp.h"
#include "device/common/EsclScannerStatus.h"

ScannerStatusPoll::Status ScannerStatusPoll::fromXml(const QByteArray &document)
{
    const EsclScannerStatus status = EsclScannerStatus::read(document);
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

ScannerStatusPoll::Status ScannerStatusPoll::ask(const QString &esclUrl)
{
    const EsclHttp::Reply reply =
        EsclHttp::get(QUrl(esclUrl + QStringLiteral("/ScannerStatus")), kMaxBytes, kTimeoutMs);
    return reply.ok ? fromXml(reply.body) : Unreachable;
}
