#include "settings/ParamSetting.h"

#include "settings/OcrLanguages.h"
#include "settings/PrinterAddress.h"
#include "settings/SaveFormat.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#include <functional>
#include <sys/stat.h>

ParamSetting ParamSetting::instance;

namespace {

// Bounded integer tests are unsigned, so a negative value fails every one of them.
bool inRange(int value, unsigned max)
{
    return static_cast<unsigned>(value) <= max;
}

// Visibility flags in the order they are read and written, with their keys.
struct VisibleKey
{
    const char *key;
    bool ParamSetting::*flag;
};

const VisibleKey kVisibleKeys[] = {
    {"/BASE/save_path", &ParamSetting::visible_save_path},
    {"/BASE/resolution", &ParamSetting::visible_resolution},
    {"/BASE/save_type", &ParamSetting::visible_save_type},
    {"/BASE/source_type", &ParamSetting::visible_source_type},
    {"/BASE/image_type", &ParamSetting::visible_image_type},
    {"/BASE/paper_size", &ParamSetting::visible_paper_size},
    {"/BASE/paper_thickness", &ParamSetting::visible_paper_thickness},
    {"/BASE/paper_material", &ParamSetting::visible_paper_material},
    {"/IMAGE/halftone", &ParamSetting::visible_halftone},
    {"/IMAGE/brightness", &ParamSetting::visible_brightness},
    {"/IMAGE/contrast", &ParamSetting::visible_contrast},
    {"/IMAGE/color_curve", &ParamSetting::visible_color_curve},
    {"/IMAGE/descreen", &ParamSetting::visible_descreen},
    {"/CORRECT/angle_correct", &ParamSetting::visible_angle_correct},
    {"/CORRECT/gamma_correct", &ParamSetting::visible_gamma_correct},
    {"/CORRECT/brightness_correct", &ParamSetting::visible_brightness_correct},
    {"/CORRECT/contrast_correct", &ParamSetting::visible_contrast_correct},
    {"/CORRECT/deskew", &ParamSetting::visible_deskew},
    {"/CORRECT/skip_blank", &ParamSetting::visible_skip_blank},
    {"/ORTHER/filter", &ParamSetting::visible_filter},
    {"/ORTHER/name", &ParamSetting::visible_name},
    {"/ORTHER/impermeable", &ParamSetting::visible_impermeable},
    {"/ORTHER/change_bkg", &ParamSetting::visible_change_bkg},
    {"/ORTHER/eco_mode", &ParamSetting::visible_eco_mode},
    {"/ORTHER/progress", &ParamSetting::visible_progress},
};

} // namespace

ParamSetting::ParamSetting()
{
    // The scan fields start at their defaults (ScanSettings).
    printer_ip = QStringLiteral("192.168.0.1");
    user_model = 1;
    initUserModel(1);
}

ParamSetting::~ParamSetting() = default;

void ParamSetting::initParamSetting()
{
    static_cast<ScanSettings &>(*this) = ScanSettings();
}

void ParamSetting::initUserModel(int)
{
    for (const VisibleKey &entry : kVisibleKeys)
        this->*entry.flag = true;
}

QString ParamSetting::defaultsFolder()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/config");
}

QString ParamSetting::operatorFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/veldrin-scan");
}

namespace {

// Makes `folder` private (mode 0700) when it is missing, with the folders above it.
bool makePrivateFolder(const QString &folder)
{
    return QFileInfo(folder).isDir() || (QDir().mkpath(QFileInfo(folder).path()) &&
                                         ::mkdir(QFile::encodeName(folder).constData(), 0700) == 0);
}

} // namespace

QString ParamSetting::templateFolder()
{
    const QString folder = operatorFolder() + QStringLiteral("/templates");
    makePrivateFolder(operatorFolder());
    makePrivateFolder(folder);
    return folder;
}

QString ParamSetting::paramFilePath(const QString &path)
{
    if (!path.isEmpty())
        return path;
    return operatorFolder() + QStringLiteral("/ParamSetting.ini");
}

QString ParamSetting::visibleFilePath()
{
    return operatorFolder() + QStringLiteral("/VisibleSetting.ini");
}

namespace {

// The files a load reads, in order, each over the one before: a template alone; for the
// default files the machine's defaults, then the operator's own. False when one of them must
// not be read; missing files are left out.
bool layers(const QString &path, const QString &fileName, QList<QByteArray> *contents)
{
    const QStringList files =
        !path.isEmpty() ? QStringList{path}
                        : QStringList{ParamSetting::defaultsFolder() + QLatin1Char('/') + fileName,
                                      ParamSetting::operatorFolder() + QLatin1Char('/') + fileName};
    for (const QString &file : files) {
        QByteArray content;
        const SettingsFile::Status status = SettingsFile::read(file, &content);
        if (status == SettingsFile::Refused)
            return false;
        if (status == SettingsFile::Read)
            contents->append(content);
    }
    return true;
}

// Writes into `file`; the default files go into the operator's own folder, made private on
// first use.
bool update(const QString &path, const QString &file,
            const std::function<void(QSettings &)> &change)
{
    if (path.isEmpty() && !makePrivateFolder(ParamSetting::operatorFolder()))
        return false;
    return SettingsFile::update(file, change);
}

} // namespace

bool ParamSetting::isReadable(const QString &file)
{
    QByteArray content;
    return SettingsFile::read(file, &content) != SettingsFile::Refused;
}

bool ParamSetting::loadParamSettings(QString path)
{
    QList<QByteArray> files;
    if (!layers(path, QStringLiteral("ParamSetting.ini"), &files))
        return false;
    for (const QByteArray &content : files) {
        SettingsFile file(content);
        readParamSettings(file.settings());
    }
    return true;
}

void ParamSetting::readParamSettings(QSettings &s)
{

    auto readInt = [&s](const char *key, int &field, bool (*accept)(int)) {
        const int v = s.value(QLatin1String(key), field).toInt();
        if (accept(v))
            field = v;
    };
    auto readFloat = [&s](const char *key, float &field, bool (*accept)(float)) {
        const float v = s.value(QLatin1String(key), field).toFloat();
        if (accept(v))
            field = v;
    };
    auto readBool = [&s](const char *key, bool &field) {
        field = s.value(QLatin1String(key), field).toBool();
    };
    // Every number has its range: an index within its combo box's items, a value within its
    // spin box's; anything else keeps the field's current value.
    readInt("/HELP/user_model", user_model, [](int v) { return inRange(v, 2); });
    const QString path_ = s.value(QStringLiteral("/BASE/save_path"), save_path).toString();
    if (!path_.isEmpty())
        save_path = path_;
    readInt("/BASE/resolution", resolution, [](int v) { return inRange(v, 4); });
    readInt("/BASE/save_type", save_type, [](int v) { return SaveFormat::isFormat(v); });
    if (s.contains(QStringLiteral("/BASE/ocr_languages"))) {
        // Only languages this machine has: a template from another machine may name others.
        QStringList dropped;
        ocr_languages =
            OcrLanguages::checked(s.value(QStringLiteral("/BASE/ocr_languages")).toString(),
                                  OcrLanguages::installed(), &dropped);
        if (!dropped.isEmpty())
            qWarning("Recognition languages not installed, left out: %s",
                     qPrintable(dropped.join(QLatin1Char('+'))));
    }
    readInt("/BASE/source_type", source_type, [](int v) { return inRange(v, 2); });
    readInt("/BASE/image_type", image_type, [](int v) { return inRange(v, 2); });
    readInt("/BASE/paper_size", paper_size, [](int v) { return inRange(v, 16); });
    readFloat("/BASE/paper_thickness", paper_thickness,
              [](float v) { return v > 0.0f && v < 10.0f; });
    readInt("/BASE/paper_material", paper_material, [](int v) { return inRange(v, 2); });
    readInt("/IMAGE/halftone", halftone, [](int v) { return inRange(v, 1); });
    readInt("/IMAGE/brightness", brightness, [](int v) { return inRange(v, 100); });
    readInt("/IMAGE/contrast", contrast, [](int v) { return inRange(v, 100); });
    readInt("/IMAGE/color_curve", color_curve, [](int v) { return inRange(v, 100); });
    readBool("/IMAGE/descreen", descreen);
    readFloat("/IMAGE/descreen_radius", descreen_radius,
              [](float v) { return v > 0.99999f && static_cast<double>(v) < 10.00001; });
    readFloat("/CORRECT/angle_correct", angle_correct,
              [](float v) { return v > -180.0f && v < 180.0f; });
    readFloat("/CORRECT/gamma_correct", gamma_correct,
              [](float v) { return v > 0.099999f && v < 4.000001f; });
    readFloat("/CORRECT/brightness_correct", brightness_correct,
              [](float v) { return v > -20.0f && v < 20.0f; });
    readFloat("/CORRECT/contrast_correct", contrast_correct,
              [](float v) { return v > -20.0f && v < 20.0f; });
    readBool("/CORRECT/deskew", deskew);
    readBool("/CORRECT/skip_blank", skip_blank);
    readInt("/ORTHER/filter", filter, [](int v) { return inRange(v, 4); });
    name = s.value(QStringLiteral("/ORTHER/name"), name).toString();
    readInt("/ORTHER/impermeable", impermeable, [](int v) { return inRange(v, 3); });
    readBool("/ORTHER/eco_mode", eco_mode);
    readBool("/ORTHER/change_bkg", change_bkg);
    readInt("/ORTHER/bkg_red", bkg_red, [](int v) { return inRange(v, 255); });
    readInt("/ORTHER/bkg_green", bkg_green, [](int v) { return inRange(v, 255); });
    readInt("/ORTHER/bkg_blue", bkg_blue, [](int v) { return inRange(v, 255); });
    readBool("/ORTHER/progress", progress);
}

bool ParamSetting::saveParamSettings(QString path)
{
    return update(path, paramFilePath(path), [this](QSettings &s) { writeParamSettings(s); });
}

void ParamSetting::writeParamSettings(QSettings &s) const
{
    s.setValue(QStringLiteral("/HELP/user_model"), user_model);
    s.setValue(QStringLiteral("/BASE/save_path"), save_path);
    s.setValue(QStringLiteral("/BASE/resolution"), resolution);
    s.setValue(QStringLiteral("/BASE/save_type"), save_type);
    s.setValue(QStringLiteral("/BASE/ocr_languages"), ocr_languages);
    s.setValue(QStringLiteral("/BASE/source_type"), source_type);
    s.setValue(QStringLiteral("/BASE/image_type"), image_type);
    s.setValue(QStringLiteral("/BASE/paper_size"), paper_size);
    s.setValue(QStringLiteral("/BASE/paper_thickness"), paper_thickness);
    s.setValue(QStringLiteral("/BASE/paper_material"), paper_material);
    s.setValue(QStringLiteral("/IMAGE/halftone"), halftone);
    s.setValue(QStringLiteral("/IMAGE/brightness"), brightness);
    s.setValue(QStringLiteral("/IMAGE/contrast"), contrast);
    s.setValue(QStringLiteral("/IMAGE/color_curve"), color_curve);
    s.setValue(QStringLiteral("/IMAGE/descreen"), descreen);
    s.setValue(QStringLiteral("/IMAGE/descreen_radius"), descreen_radius);
    s.setValue(QStringLiteral("/CORRECT/angle_correct"), angle_correct);
    s.setValue(QStringLiteral("/CORRECT/gamma_correct"), gamma_correct);
    s.setValue(QStringLiteral("/CORRECT/brightness_correct"), brightness_correct);
    s.setValue(QStringLiteral("/CORRECT/contrast_correct"), contrast_correct);
    s.setValue(QStringLiteral("/CORRECT/deskew"), deskew);
    s.setValue(QStringLiteral("/CORRECT/skip_blank"), skip_blank);
    s.setValue(QStringLiteral("/ORTHER/filter"), filter);
    s.setValue(QStringLiteral("/ORTHER/name"), name);
    s.setValue(QStringLiteral("/ORTHER/impermeable"), impermeable);
    s.setValue(QStringLiteral("/ORTHER/change_bkg"), change_bkg);
    s.setValue(QStringLiteral("/ORTHER/bkg_red"), bkg_red);
    s.setValue(QStringLiteral("/ORTHER/bkg_green"), bkg_green);
    s.setValue(QStringLiteral("/ORTHER/bkg_blue"), bkg_blue);
    s.setValue(QStringLiteral("/ORTHER/eco_mode"), eco_mode);
    s.setValue(QStringLiteral("/ORTHER/progress"), progress);
}

bool ParamSetting::loadIPSettings(QString path)
{
    QList<QByteArray> files;
    if (!layers(path, QStringLiteral("ParamSetting.ini"), &files))
        return false;
    for (const QByteArray &content : files) {
        SettingsFile file(content);
        setPrinterAddress(
            file.settings().value(QStringLiteral("/PRINTER/IP"), printerAddress()).toString());
        printer_name =
            file.settings().value(QStringLiteral("/PRINTER/name"), printer_name).toString();
    }
    return true;
}

bool ParamSetting::saveIPSettings(QString path)
{
    const QString address = printerAddress();
    return update(path, paramFilePath(path), [&address, this](QSettings &s) {
        s.setValue(QStringLiteral("/PRINTER/IP"), address);
        s.setValue(QStringLiteral("/PRINTER/name"), printer_name);
    });
}

bool ParamSetting::loadVisibleSettings()
{
    QList<QByteArray> files;
    if (!layers(QString(), QStringLiteral("VisibleSetting.ini"), &files))
        return false;
    // A flag no file names is shown.
    initUserModel(user_model);
    for (const QByteArray &content : files) {
        SettingsFile file(content);
        for (const VisibleKey &entry : kVisibleKeys)
            this->*entry.flag =
                file.settings().value(QLatin1String(entry.key), this->*entry.flag).toBool();
    }
    return true;
}

bool ParamSetting::saveVisibleSettings()
{
    return update(QString(), visibleFilePath(), [this](QSettings &s) {
        for (const VisibleKey &entry : kVisibleKeys)
            s.setValue(QLatin1String(entry.key), this->*entry.flag);
    });
}

QString ParamSetting::printerHost() const
{
    return PrinterAddress::host(printerAddress());
}

QString ParamSetting::printerAddress() const
{
    QMutexLocker lock(&m_printerIpMutex);
    return printer_ip;
}

void ParamSetting::setPrinterAddress(const QString &address)
{
    QMutexLocker lock(&m_printerIpMutex);
    printer_ip = address;
}
