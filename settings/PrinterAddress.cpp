#include "settings/PrinterAddress.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

bool isDigits(const QString &text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return !text.isEmpty();
}

// Digits and dots only: meant as an IPv4 address, and checked as one.
PrinterAddress::Problem checkIPv4(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return PrinterAddress::BadIPv4;
    bool padded = false;
    for (const QString &part : parts) {
        if (!isDigits(part) || part.size() > 3 || part.toInt() > 255)
            return PrinterAddress::BadIPv4;
        padded = padded || (part.size() > 1 && part.startsWith(QLatin1Char('0')));
    }
    return padded ? PrinterAddress::LeadingZero : PrinterAddress::Ok;
}

// A host: an IPv4 address or a host name (RFC 1123 labels). `host` is normalised in place.
PrinterAddress::Problem checkHost(QString *host)
{
    if (host->isEmpty())
        return PrinterAddress::BadUrl;
    static const QRegularExpression digitsAndDots(QStringLiteral("^[0-9.]+$"));
    if (digitsAndDots.match(*host).hasMatch())
        return checkIPv4(*host);
    QString name = host->toLower();
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    static const QRegularExpression label(QStringLiteral("^[a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?$"));
    if (name.isEmpty() || name.size() > 253)
        return PrinterAddress::BadHostName;
    for (const QString &part : name.split(QLatin1Char('.'))) {
        if (!label.match(part).hasMatch())
            return PrinterAddress::BadHostName;
    }
    *host = name;
    return PrinterAddress::Ok;
}

struct Parts
{
    QString scheme; // empty for a plain host
    QString host;
    QString port;
    QString path;
};

PrinterAddress::Problem split(const QString &text, Parts *parts)
{
    const int schemeEnd = text.indexOf(QStringLiteral("://"));
    if (schemeEnd < 0) {
        parts->host = text;
        return checkHost(&parts->host);
    }
    parts->scheme = text.left(schemeEnd).toLower();
    if (parts->scheme != QLatin1String("http") && parts->scheme != QLatin1String("https"))
        return PrinterAddress::BadScheme;
    const QString rest = text.mid(schemeEnd + 3);
    const int slash = rest.indexOf(QLatin1Char('/'));
    const QString authority = slash < 0 ? rest : rest.left(slash);
    parts->path = slash < 0 ? QString() : rest.mid(slash);
    static const QRegularExpression pathChars(QStringLiteral("^[A-Za-z0-9._~!$&'()*+,;=:@%/-]*$"));
    if (authority.contains(QLatin1Char('@')) || rest.contains(QLatin1Char('?')) ||
        rest.contains(QLatin1Char('#')) || !pathChars.match(parts->path).hasMatch())
        return PrinterAddress::BadUrl;
    const int colon = authority.indexOf(QLatin1Char(':'));
    parts->host = colon < 0 ? authority : authority.left(colon);
    if (colon >= 0) {
        const QString port = authority.mid(colon + 1);
        if (!isDigits(port) || port.size() > 5 || port.toInt() < 1 || port.toInt() > 65535)
            return PrinterAddress::BadPort;
        parts->port = QString::number(port.toInt());
    }
    if (parts->path == QLatin1String("/"))
        parts->path.clear();
    return checkHost(&parts->host);
}

} // namespace

PrinterAddress::Problem PrinterAddress::check(const QString &typed, QString *normalised)
{
    QString text = typed.trimmed();
    if (text.isEmpty())
        return Empty;
    // A device chosen from the scanner list: "sane:NAME" is taken as SANE names it (any
    // printable text but a leading "-"); "escl:" and "wsd:" carry an address checked as below.
    if (text.startsWith(QLatin1String("sane:"))) {
        const QString name = text.mid(5);
        for (const QChar c : name) {
            if (!c.isPrint())
                return BadDevice;
        }
        if (name.isEmpty() || name.startsWith(QLatin1Char('-')))
            return BadDevice;
        if (normalised)
            *normalised = text;
        return Ok;
    }
    const QString protocol = PrinterAddress::protocol(text);
    if (!protocol.isEmpty()) {
        const Problem problem = check(text.mid(protocol.size() + 1), normalised);
        if (problem == Ok && normalised)
            normalised->prepend(protocol + QLatin1Char(':'));
        return problem == Empty ? BadDevice : problem;
    }
    for (const QChar c : text) {
        if (c.isSpace())
            return Blank;
    }
    Parts parts;
    const Problem problem = split(text, &parts);
    if (problem == Ok && normalised) {
        *normalised = parts.scheme.isEmpty()
                          ? parts.host
                          : parts.scheme + QStringLiteral("://") + parts.host +
                                (parts.port.isEmpty() ? QString() : QLatin1Char(':') + parts.port) +
                                parts.path;
    }
    return problem;
}

QString PrinterAddress::protocol(const QString &address)
{
    for (const char *name : {"escl", "wsd"}) {
        const QString prefix = QLatin1String(name) + QLatin1Char(':');
        if (address.startsWith(prefix) && !address.startsWith(prefix + QStringLiteral("//")))
            return QLatin1String(name);
    }
    return QString();
}

QString PrinterAddress::device(const QString &address)
{
    return address.startsWith(QLatin1String("sane:")) ? address.mid(5) : QString();
}

QString PrinterAddress::esclUrl(const QString &address)
{
    // A plain URL is an eSCL scanner's too, as the scan program takes it by default.
    const bool url = address.startsWith(QLatin1String("http://")) ||
                     address.startsWith(QLatin1String("https://"));
    if (protocol(address) != QLatin1String("escl") && !url)
        return QString();
    const QString rest = url ? address : address.mid(5);
    Parts parts;
    if (split(rest, &parts) != Ok)
        return QString();
    if (parts.scheme.isEmpty())
        return QStringLiteral("http://%1/eSCL").arg(parts.host);
    return parts.path.isEmpty() ? rest + QStringLiteral("/eSCL") : rest;
}

QString PrinterAddress::host(const QString &address)
{
    Parts parts;
    QString text = address.trimmed();
    const QString prefix = protocol(text);
    if (!prefix.isEmpty())
        text = text.mid(prefix.size() + 1);
    return check(text) == Ok && split(text, &parts) == Ok ? parts.host : QString();
}

QString PrinterAddress::problemText(Problem problem, const QString &typed)
{
    switch (problem) {
    case Ok:
        break;
    case Empty:
        return tr("Enter the printer's address");
    case Blank:
        return tr("The address must not contain blanks");
    case LeadingZero:
        return tr("The numbers of an IPv4 address must not start with 0: %1").arg(typed);
    case BadIPv4:
        return tr("An IPv4 address is four numbers from 0 to 255 separated by dots: %1").arg(typed);
    case BadHostName:
        return tr("Not a valid host name (letters, digits, hyphens and dots): %1").arg(typed);
    case BadScheme:
        return tr("Only addresses starting with http:// or https:// are accepted: %1").arg(typed);
    case BadPort:
        return tr("The port must be a number from 1 to 65535: %1").arg(typed);
    case BadUrl:
        return tr("Not a valid scanner address (http[s]://host[:port][/path]): %1").arg(typed);
    case BadDevice:
        return tr("Not a valid scanner device name: %1").arg(typed);
    }
    return QString();
}
