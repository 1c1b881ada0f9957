#pragma once

#include "settings/ScanSettings.h"

#include <QString>

// The settings of a run, kept beside its pages in the page store's folder: a page taken from
// the scan program but not yet corrected when the console ended can be corrected at the next
// start exactly as the run would have. Every field PageCorrector reads is kept (an ini file).
class RunSettingsFile
{
public:
    static bool write(const QString &file, const ScanSettings &settings);
    // The settings the file holds; a field it lacks keeps its default. False when there is no
    // such file.
    static bool read(const QString &file, ScanSettings *settings);
};
