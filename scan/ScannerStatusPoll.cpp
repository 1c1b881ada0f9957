#include "scan/ScannerStatusPoll.h"

#include "scan/EsclHttp.h"

#include <QXmlStreamReader>

ScannerStatusPoll::Status ScannerStatusPoll::fromXml(const QByteArray &document)
{
    QXmlStreamReader reader(document);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("ScannerStatus"))
        return Unreachable;
    QString state;
    QString feeder;
    // Only the scanner's own elements, not the states of the jobs listed further down.
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("State"))
            state = reader.readElementText().trimmed();
        else if (reader.name() == QLatin1String("AdfState"))
            feeder = reader.readElementText().trimmed();
        else
            reader.skipCurrentElement();
    }
    if (reader.hasError() && reader.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        return Unreachable;
    if (state == QLatin1String("Stopped") || state == QLatin1String("Down"))
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
