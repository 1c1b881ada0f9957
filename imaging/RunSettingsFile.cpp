#include "imaging/RunSettingsFile.h"

#include <QFile>
#include <QSettings>

namespace {

// Every field by its key: one list for both directions, so none is written but not read.
template <typename Visit> void fields(ScanSettings &s, Visit visit)
{
    visit("name", s.name);
    visit("save_type", s.save_type);
    visit("image_type", s.image_type);
    visit("halftone", s.halftone);
    visit("filter", s.filter);
    visit("brightness", s.brightness);
    visit("contrast", s.contrast);
    visit("color_curve", s.color_curve);
    visit("descreen", s.descreen);
    visit("descreen_radius", s.descreen_radius);
    visit("angle_correct", s.angle_correct);
    visit("gamma_correct", s.gamma_correct);
    visit("brightness_correct", s.brightness_correct);
    visit("contrast_correct", s.contrast_correct);
    visit("deskew", s.deskew);
    visit("skip_blank", s.skip_blank);
    visit("impermeable", s.impermeable);
    visit("change_bkg", s.change_bkg);
    visit("bkg_red", s.bkg_red);
    visit("bkg_green", s.bkg_green);
    visit("bkg_blue", s.bkg_blue);
}

} // namespace

bool RunSettingsFile::write(const QString &file, const ScanSettings &settings)
{
    ScanSettings copy = settings;
    {
        QSettings ini(file, QSettings::IniFormat);
        fields(copy, [&ini](const char *key, const auto &value) {
            ini.setValue(QLatin1String("run/") + QLatin1String(key), value);
        });
        ini.sync();
        if (ini.status() != QSettings::NoError)
            return false;
    }
    return QFile::exists(file);
}

bool RunSettingsFile::read(const QString &file, ScanSettings *settings)
{
    if (!QFile::exists(file))
        return false;
    const QSettings ini(file, QSettings::IniFormat);
    fields(*settings, [&ini](const char *key, auto &value) {
        const QVariant stored = ini.value(QLatin1String("run/") + QLatin1String(key));
        using Type = std::decay_t<decltype(value)>;
        if (stored.isValid() && stored.canConvert<Type>())
            value = stored.value<Type>();
    });
    return ini.status() == QSettings::NoError;
}
