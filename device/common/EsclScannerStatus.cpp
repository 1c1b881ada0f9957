#include "device/common/EsclScannerStatus.h"

#include "device/common/EsclHttp.h"

#include <QXmlStreamReader>

EsclScannerStatus EsclScannerStatus::read(const QByteArray &document)
{
    EsclScannerStatus status;
    QXmlStreamReader reader(document);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("ScannerStatus"))
        return status;
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("State") && status.state.isEmpty())
            status.state = reader.readElementText().trimmed();
        else if (reader.name() == QLatin1String("AdfState") && status.adfState.isEmpty())
            status.adfState = reader.readElementText().trimmed();
        else
            reader.skipCurrentElement();
    }
    if (reader.hasError() && reader.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        return EsclScannerStatus();
    return status;
}

bool EsclScannerStatus::stopped() const
{
    return state.compare(QLatin1String("Stopped"), Qt::CaseInsensitive) == 0 ||
           state.compare(QLatin1String("Down"), Qt::CaseInsensitive) == 0;
}

EsclScannerStatus EsclScannerStatus::ask(const QString &esclRoot, int timeoutMs,
                                         const std::function<bool()> &stop)
{
    QString root = esclRoot;
    while (root.endsWith(QLatin1Char('/')))
        root.chop(1);
    const EsclHttp::Reply reply =
        EsclHttp::get(QUrl(root + QStringLiteral("/ScannerStatus")), kMaxBytes, timeoutMs, stop);
    return reply.ok ? read(reply.body) : EsclScannerStatus();
}
