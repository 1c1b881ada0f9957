#pragma once

#include <QString>

class IniEnvSettings;

// How the scan program finds its scanner and what it lets a scanner make it do:
// ScanConsoleApp.ini beside the program, each key overridden by an environment variable.
//   [device]/url           SCANCONSOLE_DEVICE_URL       URL template, %1 is the -p address
//   [device]/protocol      SCANCONSOLE_DEVICE_PROTOCOL  escl or wsd
//   [device]/sane_device   SCANCONSOLE_SANE_DEVICE      a SANE device name used instead of the
//                                                       address (USB scanners, SANE's test device)
//   [device]/timeout_s     SCANCONSOLE_TIMEOUT_S        how long an unanswering device is waited
//                                                       for, and a page that makes no progress
//   [device]/max_pages     SCANCONSOLE_MAX_PAGES        pages a job may deliver
//   [device]/max_memory_mb SCANCONSOLE_MAX_MEMORY_MB    memory the program may hold
//   [device]/min_free_mb   SCANCONSOLE_MIN_FREE_MB      space kept free in the page folder
struct DriverSettings
{
    QString urlTemplate = QStringLiteral("http://%1/eSCL");
    QString protocol = QStringLiteral("escl");
    QString saneDevice;
    int timeoutS = 30;
    int maxPages = 1000;
    int maxMemoryMb = 1024;
    int minFreeMb = 64;

    // False with the reason in `error` for a protocol other than escl or wsd, or a URL template
    // without %1.
    static bool read(const IniEnvSettings &source, DriverSettings *settings, QString *error);
};
