#pragma once

#include "settings/ScanSettings.h"

#include <QString>

#include <functional>

// The settings of a run, kept beside its pages in the page store's folder: a page taken from
// the scan program but not yet corrected when the console ended can be corrected at the next
// start exactly as the run would have. The file has the layout of the parameter file and is read
// back through the parameter file's own checks, so a value out of its control's range keeps its
// default; it is read only when it is a small regular file of ours.
class RunSettingsFile
{
public:
    static bool write(const QString &file, const ScanSettings &settings);
    // write() of `settings`, for the page store to call with its file (ImageManager::keepRun).
    static std::function<bool(const QString &file)> writer(const ScanSettings &settings);
    // The settings the file holds; a field it lacks, or holds out of range, keeps the value
    // `settings` had. False when there is no such file or it is not one to read.
    static bool read(const QString &file, ScanSettings *settings);
};
