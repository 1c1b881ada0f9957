#include "imaging/RunSettingsFile.h"

#include "imaging/SafeRead.h"
#include "settings/ParamSetting.h"

#include <QTemporaryFile>

bool RunSettingsFile::write(const QString &file, const ScanSettings &settings)
{
    ParamSetting record;
    static_cast<ScanSettings &>(record) = settings;
    return record.saveParamSettings(file);
}

bool RunSettingsFile::read(const QString &file, ScanSettings *settings)
{
    QByteArray bytes;
    if (SafeRead::file(file, ParamSetting::MaxFileBytes, &bytes) != SafeRead::Read)
        return false;
    // The settings class opens files by name: it reads a private copy of what was read here.
    QTemporaryFile copy;
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush())
        return false;
    ParamSetting record;
    static_cast<ScanSettings &>(record) = *settings;
    if (!record.loadParamSettings(copy.fileName()))
        return false;
    *settings = record.scanSettings();
    return true;
}
