#include "device/driver/DeviceTarget.h"

#include <QRegularExpression>

#include <arpa/inet.h>

bool DeviceTarget::isHost(const QString &host)
{
    static const QRegularExpression label(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?$"));
    static const QRegularExpression octet(QStringLiteral("^(0|[1-9][0-9]{0,2})$"));
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    const QStringList labels = host.split(QLatin1Char('.'));
    for (const QString &part : labels) {
        if (!label.match(part).hasMatch())
            return false;
    }
    bool canonical = labels.size() == 4;
    for (const QString &part : labels)
        canonical = canonical && octet.match(part).hasMatch() && part.toInt() <= 255;
    if (canonical)
        return true;
    // The resolver reads all-numeric names, and the octal ("010"), hexadecimal ("0x7f") and
    // short ("127.1") forms inet_aton knows, as addresses; no host name ends in a number.
    in_addr ignored;
    return !digits.match(labels.last()).hasMatch() &&
           inet_aton(host.toLatin1().constData(), &ignored) == 0;
}

bool DeviceTarget::make(const DriverSettings &settings, const QString &address,
                        DeviceTarget *target, QString *error)
{
    target->m_host.clear();
    // The console names a chosen device in the address: "sane:NAME" for any SANE device (a USB
    // scanner), "escl:URL" or "wsd:URL" for a network scanner at the URL it was found at.
    QString protocol = settings.protocol;
    QString saneDevice = settings.saneDevice;
    QString rest = address;
    static const QRegularExpression prefixed(QStringLiteral("^(sane|escl|wsd):(?!//)(.*)$"));
    const QRegularExpressionMatch chosen = prefixed.match(address);
    if (chosen.hasMatch()) {
        rest = chosen.captured(2);
        if (chosen.captured(1) == QLatin1String("sane"))
            saneDevice = rest;
        else
            protocol = chosen.captured(1);
        if (rest.isEmpty() || (!saneDevice.isEmpty() && saneDevice.startsWith(QLatin1Char('-')))) {
            *error = QStringLiteral("'%1' names no device").arg(address);
            return false;
        }
    }
    if (!saneDevice.isEmpty()) {
        target->m_saneName = saneDevice;
        target->m_esclUrl.clear();
        target->m_byAddress = false;
        return true;
    }
    static const QRegularExpression urlForm(QStringLiteral(
        "^(?i:(https?))://([^/:?#@\\[\\]]+)(?::([1-9][0-9]{0,4}))?(/[A-Za-z0-9._~/-]*)?$"));
    QString host = rest;
    QString url;
    const QRegularExpressionMatch match = urlForm.match(rest);
    if (match.hasMatch()) {
        host = match.captured(2);
        const int port = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
        QString path = match.captured(4);
        while (path.endsWith(QLatin1Char('/')))
            path.chop(1);
        if (path.isEmpty())
            path = QStringLiteral("/eSCL");
        if (port <= 65535)
            url = QStringLiteral("%1://%2%3%4")
                      .arg(match.captured(1).toLower(), host,
                           port ? QStringLiteral(":%1").arg(port) : QString(), path);
    }
    if (!isHost(host) || (match.hasMatch() && url.isEmpty())) {
        *error = QStringLiteral("'%1' is not a scanner address (an IPv4 address in dotted "
                                "decimal, a host name or an http(s) URL)")
                     .arg(address);
        return false;
    }
    if (url.isEmpty())
        url = QString(settings.urlTemplate).replace(QLatin1String("%1"), rest);
    target->m_saneName = QStringLiteral("airscan:%1:Scanner:%2").arg(protocol, url);
    target->m_esclUrl = protocol == QLatin1String("escl") ? url : QString();
    target->m_host = host;
    target->m_byAddress = true;
    return true;
}
