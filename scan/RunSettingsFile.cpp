#include "scan/RunSettingsFile.h"

#include "pages/PageStoreFolder.h"
#include "settings/ParamSetting.h"

bool RunSettingsFile::write(const QString &file, const ScanSettings &settings)
{
    ParamSetting record;
    static_cast<ScanSettings &>(record) = settings;
    return record.saveParamSettings(file);
}

std::function<bool(const QString &)> RunSettingsFile::writer(const ScanSettings &settings)
{
    return [settings](const QString &file) { return write(file, settings); };
}

bool RunSettingsFile::read(const QString &file, ScanSettings *settings)
{
    // Only a file of ours; read then as the parameter file is.
    QByteArray bytes;
    if (!PageStoreFolder::readOwnFile(file, ParamSetting::MaxFileBytes, &bytes))
        return false;
    ParamSetting record;
    static_cast<ScanSettings &>(record) = *settings;
    if (!record.loadParamSettings(file))
        return false;
    *settings = record.scanSettings();
    return true;
}
