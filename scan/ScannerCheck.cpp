#include "scan/ScannerCheck.h"

#include "device/common/EsclHttp.h"
#include "settings/PrinterAddress.h"

#include <QXmlStreamReader>

ScannerCheck::ScannerCheck(const QString &address, QObject *parent)
    : QThread(parent), m_address(address)
{
}

ScannerCheck::~ScannerCheck()
{
    wait(); // bounded by the request's deadline
}

QString ScannerCheck::urlFor(const QString &address)
{
    QString normal;
    if (PrinterAddress::check(address, &normal) != PrinterAddress::Ok)
        return QString();
    const QString url = PrinterAddress::esclUrl(normal);
    if (!url.isEmpty())
        return url;
    if (!PrinterAddress::protocol(normal).isEmpty() || !PrinterAddress::device(normal).isEmpty())
        return QString();
    return QStringLiteral("http://%1/eSCL").arg(normal);
}

QString ScannerCheck::makeAndModel(const QByteArray &capabilities)
{
    QXmlStreamReader reader(capabilities);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("ScannerCapabilities"))
        return QString();
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("MakeAndModel"))
            return reader.readElementText().simplified().left(200);
        reader.skipCurrentElement();
    }
    return QString();
}

void ScannerCheck::run()
{
    const QString url = urlFor(m_address);
    if (url.isEmpty()) {
        emit Checked(false, PrinterAddress::device(m_address).isEmpty()
                                ? tr("Only eSCL scanners can be asked for their model")
                                : tr("A scanner on this computer: it is tested by scanning"));
        return;
    }
    const EsclHttp::Reply reply =
        EsclHttp::get(QUrl(url + QStringLiteral("/ScannerCapabilities")), kMaxBytes, kTimeoutMs);
    if (!reply.ok) {
        emit Checked(false, reply.problem);
        return;
    }
    const QString model = makeAndModel(reply.body);
    if (model.isEmpty())
        emit Checked(false, tr("The answer is not an eSCL scanner's capabilities"));
    else
        emit Checked(true, model);
}
