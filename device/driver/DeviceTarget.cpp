#include "device/driver/DeviceTarget.h"

#include <QRegularExpression>

#include <arpa/inet.h>

bool DeviceTarget::make(const DriverSettings &settings, const QString &address,
                        DeviceTarget *target, QString *error)
{
    if (!settings.saneDevice.isEmpty()) {
        target->m_saneName = settings.saneDevice;
        target->m_esclUrl.clear();
        target->m_byAddress = false;
        return true;
    }
    static const QRegularExpression hostName(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]*"
                       "[A-Za-z0-9])?)*$"));
    in_addr ip;
    const bool ipv4 = inet_pton(AF_INET, address.toLatin1().constData(), &ip) == 1;
    if (!ipv4 && !hostName.match(address).hasMatch()) {
        *error = QStringLiteral("'%1' is not a scanner address (an IPv4 address or host name)")
                     .arg(address);
        return false;
    }
    const QString url = QString(settings.urlTemplate).replace(QLatin1String("%1"), address);
    target->m_saneName = QStringLiteral("airscan:%1:Scanner:%2").arg(settings.protocol, url);
    target->m_esclUrl = settings.protocol == QLatin1String("escl") ? url : QString();
    target->m_byAddress = true;
    return true;
}
