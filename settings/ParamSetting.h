#pragma once

#include "settings/ScanSettings.h"

#include <QMutex>
#include <QString>

// The one record of everything the console keeps between runs: scan parameters (the fields of
// ScanSettings), interface mode, visibility flags of the custom mode, printer address and the
// work-log file name. Fields are public and read directly on the GUI thread; the ini files
// change only through the save calls. A scan or preview works on its own copy of the scan
// fields (scanSettings()), never on the record.
class ParamSetting : public ScanSettings
{
public:
    ParamSetting();
    ~ParamSetting();

    static ParamSetting instance;

    void initParamSetting();
    void initUserModel(int model);

    // The loads refuse a file the settings class must not read (see isReadable) and then
    // return false with nothing changed; a missing file loads nothing and is fine.
    bool loadParamSettings(QString path);
    // Returns true only when the file was really written.
    bool saveParamSettings(QString path);
    bool loadIPSettings(QString path);
    bool saveIPSettings(QString path);
    bool loadVisibleSettings();
    bool saveVisibleSettings();

    // printer_ip is copied by the reachability monitor's thread while the GUI thread may replace
    // it; every access from outside the GUI thread, and every write, goes through these two.
    QString printerAddress() const;
    void setPrinterAddress(const QString &address);

    // The scan fields as they are now: the copy a run works on.
    ScanSettings scanSettings() const { return *this; }

    // Settings files are small. One larger than this, one that is no plain file (a pipe would
    // block), or one holding an encoded value other than a float (an image, say, which the
    // settings class would decode on reading) is not read at all.
    static constexpr qint64 MaxFileBytes = 1024 * 1024;
    static bool isReadable(const QString &file);

    static QString paramFilePath(const QString &path);
    static QString visibleFilePath();

    int user_model;

    // Visibility flags of the custom interface mode.
    bool visible_save_path;
    bool visible_resolution;
    bool visible_save_type;
    bool visible_source_type;
    bool visible_image_type;
    bool visible_paper_size;
    bool visible_paper_thickness;
    bool visible_paper_material;
    bool visible_halftone;
    bool visible_brightness;
    bool visible_contrast;
    bool visible_color_curve;
    bool visible_filter;
    bool visible_descreen;
    bool visible_angle_correct;
    bool visible_gamma_correct;
    bool visible_brightness_correct;
    bool visible_contrast_correct;
    bool visible_deskew;
    bool visible_skip_blank;
    bool visible_name;
    bool visible_impermeable;
    bool visible_eco_mode;
    bool visible_change_bkg;
    bool visible_progress;

    QString log_file_name;
    QString printer_ip;

private:
    mutable QMutex m_printerIpMutex;
};
