#include "tests/support/RecordFixtures.h"

#include "settings/ParamSetting.h"

namespace RecordFixtures {

void fillNonDefault(ParamSetting &p)
{
    p.save_path = "/srv/scans/day one";
    p.name = "Contract";
    p.resolution = 4;
    p.save_type = 5;
    p.source_type = 2;
    p.image_type = 2;
    p.paper_size = 8;
    p.paper_thickness = 1.25f;
    p.paper_material = 1;
    p.halftone = 1;
    p.filter = 3;
    p.brightness = 40;
    p.contrast = 60;
    p.color_curve = 80;
    p.descreen = true;
    p.descreen_radius = 7.5f;
    p.angle_correct = -45.5f;
    p.gamma_correct = 2.5f;
    p.brightness_correct = 19.5f;
    p.contrast_correct = -3.25f;
    p.impermeable = 3;
    p.eco_mode = true;
    p.progress = true;
    p.change_bkg = true;
    p.deskew = true;
    p.skip_blank = true;
    p.ocr_languages = "eng";
}

QVariantList scanFields(const ParamSetting &p)
{
    return {p.save_path,
            p.name,
            p.resolution,
            p.save_type,
            p.source_type,
            p.image_type,
            p.paper_size,
            p.paper_thickness,
            p.paper_material,
            p.halftone,
            p.filter,
            p.brightness,
            p.contrast,
            p.color_curve,
            p.descreen,
            p.descreen_radius,
            p.angle_correct,
            p.gamma_correct,
            p.brightness_correct,
            p.contrast_correct,
            p.impermeable,
            p.eco_mode,
            p.progress,
            p.change_bkg,
            p.bkg_red,
            p.bkg_green,
            p.bkg_blue,
            p.deskew,
            p.skip_blank,
            p.user_model,
            p.ocr_languages};
}

} // namespace RecordFixtures
