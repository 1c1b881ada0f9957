#pragma once

#include <QImage>
#include <QVector>

class ParamSetting;

// The correction fields of the settings record that decide what happens to a scanned page.
// Default values are the neutral ones (nothing to do; colour mode colour).
struct CorrectionParams
{
    float angle_correct = 0.0f;
    float brightness_correct = 0.0f;
    float contrast_correct = 0.0f;
    float gamma_correct = 1.0f;
    int brightness = 100;
    int contrast = 100;
    int color_curve = 100;
    int filter = 0;
    bool descreen = false;
    float descreen_radius = 5.0f;
    int impermeable = 0;
    int image_type = 2;
    int halftone = 0;
    bool change_bkg = false;
    int bkg_red = 255;
    int bkg_green = 255;
    int bkg_blue = 255;

    // The record's current values.
    static CorrectionParams fromSettings(const ParamSetting &settings);
};

// Corrects one page in the fixed order: rotation, tone adjustment, artistic filter,
// descreening, bleed-through suppression, black and white, background colour; each step only
// when its parameters ask for it.
class PageCorrector
{
public:
    enum Step
    {
        Rotation,
        ToneAdjust,
        Filter,
        Descreen,
        BleedThrough,
        Threshold,
        Halftoning,
        BackgroundColour
    };

    // The steps the parameters call for, in order.
    static QVector<Step> plan(const CorrectionParams &params);
    // Applies them to `image` and returns them. A null image stays null.
    static QVector<Step> correct(QImage *image, const CorrectionParams &params);
};
