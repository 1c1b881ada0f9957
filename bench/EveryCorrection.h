#pragma once

#include "settings/ScanSettings.h"

// Every correction of the chain switched on, for the benchmarks; `imageType` 0 adds the
// black-and-white step (threshold, or halftone with `halftone` 1).
inline void setEveryCorrection(ScanSettings &s, int imageType, int halftone = 0)
{
    s.angle_correct = 0.5f;
    s.brightness_correct = 4.0f;
    s.contrast_correct = 3.0f;
    s.gamma_correct = 1.2f;
    s.brightness = 95;
    s.contrast = 100;
    s.color_curve = 105;
    s.filter = 1;
    s.descreen = true;
    s.descreen_radius = 5.0f;
    s.impermeable = 2;
    s.image_type = imageType;
    s.halftone = halftone;
    s.change_bkg = true;
    s.bkg_red = 250;
    s.bkg_green = 245;
    s.bkg_blue = 230;
}
