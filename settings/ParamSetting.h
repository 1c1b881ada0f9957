#pragma once

#include <QMutex>
#include <QString>

// The one record of everything the console keeps between runs: scan parameters, interface
// mode, visibility flags of the custom mode, printer address and the work-log file name.
// Fields are public and read directly; the ini files change only through the save calls.
class ParamSetting
{
public:
    ParamSetting();
    ~ParamSetting();

    static ParamSetting instance;

    void initParamSetting();
    void initUserModel(int model);

    void loadParamSettings(QString path);
    // Returns true only when the file was really written.
    bool saveParamSettings(QString path);
    void loadIPSettings(QString path);
    bool saveIPSettings(QString path);
    void loadVisibleSettings();
    bool saveVisibleSettings();

    // printer_ip is copied by the reachability monitor's thread while the GUI thread may replace
    // it; every access from outside the GUI thread, and every write, goes through these two.
    QString printerAddress() const;
    void setPrinterAddress(const QString &address);

    static QString paramFilePath(const QString &path);
    static QString visibleFilePath();

    // Scan fields.
    QString save_path;
    QString name;
    int resolution;
    int save_type;
    int source_type;
    int image_type;
    int paper_size;
    float paper_thickness;
    int paper_material;
    int halftone;
    int filter;
    int brightness;
    int contrast;
    int color_curve;
    bool descreen;
    float descreen_radius;
    float angle_correct;
    float gamma_correct;
    float brightness_correct;
    float contrast_correct;
    int impermeable;
    bool eco_mode;
    bool progress;
    bool change_bkg;
    int bkg_red;
    int bkg_green;
    int bkg_blue;

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
