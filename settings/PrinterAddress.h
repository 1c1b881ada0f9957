#pragma once

#include <QCoreApplication>
#include <QString>

// What the printer-address field accepts, and the one meaning each accepted text has:
//  - an IPv4 address in dotted decimal, four numbers from 0 to 255 without leading zeros
//    ("192.168.001.010" is refused: resolvers read a leading zero as octal, another device);
//  - a host name (letters, digits and hyphens in dot-separated labels, stored in lower case);
//  - a URL "http[s]://host[:port][/path]" with such a host (its port replaces the one of the
//    scan program's URL template for this scanner).
//  - a device chosen from the scanner list: "sane:NAME" (a SANE device such as a USB scanner),
//    "escl:ADDRESS" or "wsd:ADDRESS" (a network scanner and its protocol, ADDRESS as above).
// The text is stored normalised (surrounding blanks gone, scheme and host in lower case, a
// host name's trailing dot, a port's leading zeros and a path of just "/" left out) and handed
// to the scan program unchanged; the reachability ping gets the host alone.
class PrinterAddress
{
    Q_DECLARE_TR_FUNCTIONS(PrinterAddress)

public:
    enum Problem
    {
        Ok,
        Empty,
        Blank,       // white space inside
        LeadingZero, // an IPv4 number written with a leading zero
        BadIPv4,     // digits and dots, but not four numbers from 0 to 255
        BadHostName, // a character or label no host name has
        BadScheme,   // a URL other than http:// or https://
        BadPort,     // not a number from 1 to 65535
        BadUrl,      // user information, query, fragment, or an empty host
        BadDevice    // "sane:" without a device name, "escl:" or "wsd:" without an address
    };

    // Checks `typed`; `normalised` gets the text to store when it is accepted.
    static Problem check(const QString &typed, QString *normalised = nullptr);
    // The host part of an accepted address; empty for one that is not accepted.
    static QString host(const QString &address);
    // "escl" or "wsd" for an address with that prefix, else empty.
    static QString protocol(const QString &address);
    // The SANE device name of a "sane:NAME" address, else empty.
    static QString device(const QString &address);
    // The eSCL root URL ("http://host:port/eSCL") of an accepted "escl:" address or plain URL
    // (the scan program's default protocol), else empty.
    static QString esclUrl(const QString &address);
    // What the operator is told about a refused address, in the window's language.
    static QString problemText(Problem problem, const QString &typed);
};
