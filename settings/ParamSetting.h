// settings/: the settings record and its ini files, the table of output formats the record
// indexes (SaveFormat), and the dialogs that change the record. Of the rest it uses only pages/'s
// FileCommit, to put its files in place whole.

#pragma once

#include "settings/ScanSettings.h"
#include "settings/SettingsFile.h"

#include <QMutex>
#include <QString>

class QSettings;

// The one record of everything the console keeps between runs: scan parameters (the fields of
// ScanSettings), interface mode, visibility flags of the custom mode, printer address and the
// work-log file name. Fields are public and read directly on the GUI thread; the ini files
// change only through the save calls. A scan or preview works on its own copy of the scan
// fields (scanSettings()), never on the record.
//
// Each operator has settings of their own: the default files ParamSetting.ini and
// VisibleSetting.ini are read from the machine's defaults (config/ of the application
// directory, read-only to operators on an installation) and then from the operator's own
// folder (operatorFolder(), ~/.config/veldrin-scan), whose keys win; saves write the operator's
// own files only. Files are read and written through SettingsFile: never through a link.
class ParamSetting : public ScanSettings
{
public:
    ParamSetting();
    ~ParamSetting();

    static ParamSetting instance;

    void initParamSetting();
    void initUserModel(int model);

    // The loads refuse a file the settings class must not read (see SettingsFile) and then
    // return false with nothing changed; a missing file loads nothing and is fine. An empty
    // path loads the default files (machine's defaults, then the operator's own).
    bool loadParamSettings(QString path);
    // Returns true only when the file was really written. An empty path writes the operator's
    // own file; an existing file is replaced only when it is the operator's own regular file.
    bool saveParamSettings(QString path);
    bool loadIPSettings(QString path);
    bool saveIPSettings(QString path);
    bool loadVisibleSettings();
    bool saveVisibleSettings();

    // printer_ip is copied by the reachability monitor's thread while the GUI thread may replace
    // it; every access from outside the GUI thread, and every write, goes through these two.
    QString printerAddress() const;
    void setPrinterAddress(const QString &address);
    // The host part of the printer address (what is pinged); empty for an address that is not
    // valid (see PrinterAddress).
    QString printerHost() const;

    // The scan fields as they are now: the copy a run works on.
    ScanSettings scanSettings() const { return *this; }

    static constexpr qint64 MaxFileBytes = SettingsFile::MaxFileBytes;
    // False for a file SettingsFile refuses to read.
    static bool isReadable(const QString &file);

    // The machine's defaults: config/ in the application directory.
    static QString defaultsFolder();
    // The operator's own settings: "veldrin-scan" in the user's configuration folder
    // ($XDG_CONFIG_HOME, normally ~/.config).
    static QString operatorFolder();
    // Where the operator's templates go: "templates" in the operator's own folder, made
    // (private) when it is missing.
    static QString templateFolder();
    // The file a save writes: `path`, or for an empty one the operator's own file.
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
    // The chosen scanner's name as the scanner list showed it ("/PRINTER/name"); empty for a
    // typed address. Only the GUI thread uses it.
    QString printer_name;

private:
    void readParamSettings(QSettings &s);
    void writeParamSettings(QSettings &s) const;

    mutable QMutex m_printerIpMutex;
};
