#pragma once

#include <QString>
#include <QStringList>

// "ScanConsoleApp -l": the devices SANE finds, as libsane reports them to any scanning
// application (sane_get_devices with the configuration in force: SANE_CONFIG_DIR, else
// /etc/sane.d, so sane-airscan's network discovery runs as configured there). One line per
// device on standard output, five fields separated by tabs:
//   SANE name, vendor, model, type, URL
// The URL is that of a network scanner listed in a [devices] section of sane-airscan's
// configuration; it is empty for the others (sane-airscan does not tell a discovered device's
// URL, only its address in the type field "ip=ADDRESS"). Tabs and line breaks in the fields are
// replaced by blanks.
class DeviceList
{
public:
    // Prints the list; the exit code (ResultSuccess, or ResultInternalError when SANE cannot
    // start).
    static int print();
    // The [devices] entries of sane-airscan's configuration files (`texts`, in the order they
    // are read): name -> URL.
    static QList<QPair<QString, QString>> configuredUrls(const QStringList &texts);
    // The configuration files sane-airscan reads, most important first.
    static QStringList configFiles();
    // One output line for a device.
    static QString line(const QStringList &fields);
};
