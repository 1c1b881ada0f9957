#pragma once

#include <QDir>
#include <QString>

// The scan fields of the settings record as one value: what one scan or preview works with.
// The record (ParamSetting) holds them for the window; a run gets its own copy when it starts,
// so nothing the window does to the record afterwards reaches the run's threads.
class ScanSettings
{
public:
    // Each field starts at its default.
    // The operator's own "Scans" folder: the one folder every operator can create and write.
    QString save_path = QDir::homePath() + QStringLiteral("/Scans");
    QString name = QStringLiteral("Image");
    int resolution = 2;
    int save_type = 0;
    int source_type = 1;
    int image_type = 0;
    int paper_size = 0;
    float paper_thickness = 0.5f;
    int paper_material = 0;
    int halftone = 0;
    int filter = 0;
    int brightness = 100;
    int contrast = 100;
    int color_curve = 100;
    bool descreen = false;
    float descreen_radius = 5.0f;
    float angle_correct = 0.0f;
    float gamma_correct = 1.0f;
    float brightness_correct = 0.0f;
    float contrast_correct = 0.0f;
    bool deskew = false;     // straighten pages fed in askew
    bool skip_blank = false; // leave out pages that are only paper
    int impermeable = 0;
    bool eco_mode = false;
    bool progress = false;
    bool change_bkg = false;
    int bkg_red = 255;
    int bkg_green = 255;
    int bkg_blue = 255;
    QString ocr_languages = QStringLiteral("chi_sim+eng"); // the searchable formats' languages,
                                                           // Tesseract codes joined by '+'
};
