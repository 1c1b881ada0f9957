#include "device/driver/DriverSettings.h"

#include "device/common/IniEnvSettings.h"

bool DriverSettings::read(const IniEnvSettings &source, DriverSettings *s, QString *error)
{
    s->urlTemplate = source.text("device/url", "SCANCONSOLE_DEVICE_URL", s->urlTemplate);
    s->protocol =
        source.text("device/protocol", "SCANCONSOLE_DEVICE_PROTOCOL", s->protocol).toLower();
    s->saneDevice = source.text("device/sane_device", "SCANCONSOLE_SANE_DEVICE", QString());
    s->timeoutS = source.number("device/timeout_s", "SCANCONSOLE_TIMEOUT_S", 1, 3600, s->timeoutS);
    s->maxPages =
        source.number("device/max_pages", "SCANCONSOLE_MAX_PAGES", 1, 1000000, s->maxPages);
    s->maxMemoryMb = source.number("device/max_memory_mb", "SCANCONSOLE_MAX_MEMORY_MB", 64, 1048576,
                                   s->maxMemoryMb);
    s->minFreeMb =
        source.number("device/min_free_mb", "SCANCONSOLE_MIN_FREE_MB", 0, 1048576, s->minFreeMb);
    if (s->protocol != QLatin1String("escl") && s->protocol != QLatin1String("wsd")) {
        *error = QStringLiteral("unknown device protocol '%1' (escl or wsd)").arg(s->protocol);
        return false;
    }
    if (s->saneDevice.isEmpty() && !s->urlTemplate.contains(QLatin1String("%1"))) {
        *error =
            QStringLiteral("the device URL '%1' has no %1 for the address").arg(s->urlTemplate);
        return false;
    }
    return true;
}
