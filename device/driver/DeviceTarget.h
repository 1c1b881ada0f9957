#pragma once

#include "device/driver/DriverSettings.h"

#include <QString>

// The SANE device one scan goes to. By address, it is the sane-airscan device
// "airscan:<protocol>:Scanner:<url>" with the URL made from the template and the -p address, so
// no discovery is needed; a configured SANE device name replaces the address.
class DeviceTarget
{
public:
    // False with the reason in `error` when the address is neither an IPv4 address nor a host
    // name (it goes into a URL, so nothing else may pass).
    static bool make(const DriverSettings &settings, const QString &address, DeviceTarget *target,
                     QString *error);

    QString saneName() const { return m_saneName; }
    // The device's eSCL root URL ("http://192.168.0.7/eSCL"); empty unless it is reached by
    // address over eSCL.
    QString esclUrl() const { return m_esclUrl; }
    // Whether it is reached by address through sane-airscan alone.
    bool byAddress() const { return m_byAddress; }

private:
    QString m_saneName;
    QString m_esclUrl;
    bool m_byAddress = false;
};
