#pragma once

#include "device/driver/DriverSettings.h"

#include <QString>

// The SANE device one scan goes to. By address, it is the sane-airscan device
// "airscan:<protocol>:Scanner:<url>" with the URL made from the template and the -p address, so
// no discovery is needed; a configured SANE device name replaces the address.
//
// The -p address is one of
//   an IPv4 address in dotted decimal without leading zeros ("192.168.1.20"),
//   a host name ("mfp-3.example"),
//   a URL http://host[:port][/path] or https://... (host as above; the path defaults to /eSCL),
//     which replaces the URL template for that scanner,
//   "escl:" or "wsd:" followed by one of the above: that protocol instead of the configured one,
//   "sane:" followed by a SANE device name (a USB scanner, SANE's test device): that device.
// Anything else is refused, in particular a name the resolver would read as a number in
// another way ("192.168.001.010" is 192.168.1.8 to it, "0x7f.1" and "127.1" are 127.0.0.1).
class DeviceTarget
{
public:
    // False with the reason in `error` when the address is none of the above.
    static bool make(const DriverSettings &settings, const QString &address, DeviceTarget *target,
                     QString *error);
    // Whether `host` is a canonical IPv4 address or a host name that cannot be read as a
    // number.
    static bool isHost(const QString &host);

    QString saneName() const { return m_saneName; }
    // The device's eSCL root URL ("http://192.168.0.7/eSCL"); empty unless it is reached by
    // address over eSCL.
    QString esclUrl() const { return m_esclUrl; }
    // The host the scan talks to; empty unless it is reached by address.
    QString host() const { return m_host; }
    // Whether it is reached by address through sane-airscan alone.
    bool byAddress() const { return m_byAddress; }

private:
    QString m_saneName;
    QString m_esclUrl;
    QString m_host;
    bool m_byAddress = false;
};
