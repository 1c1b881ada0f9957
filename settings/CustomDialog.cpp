#include "settings/CustomDialog.h"
#include "ui_CustomDialog.h"

#include "settings/ParamSetting.h"

#include <QCheckBox>

namespace {

// Each check box of the form with the flag it edits. visible_name and visible_progress have
// no control and change only through the file.
struct FlagBox
{
    QCheckBox *Ui::CustomDialog::*box;
    bool ParamSetting::*flag;
};

const FlagBox kFlagBoxes[] = {
    {&Ui::CustomDialog::checkBox_savePath, &ParamSetting::visible_save_path},
    {&Ui::CustomDialog::checkBox_resolution, &ParamSetting::visible_resolution},
    {&Ui::CustomDialog::checkBox_saveType, &ParamSetting::visible_save_type},
    {&Ui::CustomDialog::checkBox_source, &ParamSetting::visible_source_type},
    {&Ui::CustomDialog::checkBox_imgType, &ParamSetting::visible_image_type},
    {&Ui::CustomDialog::checkBox_paperSize, &ParamSetting::visible_paper_size},
    {&Ui::CustomDialog::checkBox_thickness, &ParamSetting::visible_paper_thickness},
    {&Ui::CustomDialog::checkBox_material, &ParamSetting::visible_paper_material},
    {&Ui::CustomDialog::checkBox_halftone, &ParamSetting::visible_halftone},
    {&Ui::CustomDialog::checkBox_brightness, &ParamSetting::visible_brightness},
    {&Ui::CustomDialog::checkBox_contrast, &ParamSetting::visible_contrast},
    {&Ui::CustomDialog::checkBox_colorCurve, &ParamSetting::visible_color_curve},
    {&Ui::CustomDialog::checkBox_filter, &ParamSetting::visible_filter},
    {&Ui::CustomDialog::checkBox_descreening, &ParamSetting::visible_descreen},
    {&Ui::CustomDialog::checkBox_adjustAngle, &ParamSetting::visible_angle_correct},
    {&Ui::CustomDialog::checkBox_adjustGamma, &ParamSetting::visible_gamma_correct},
    {&Ui::CustomDialog::checkBox_adjustBrightness, &ParamSetting::visible_brightness_correct},
    {&Ui::CustomDialog::checkBox_adjustContrast, &ParamSetting::visible_contrast_correct},
    {&Ui::CustomDialog::checkBox_deskew, &ParamSetting::visible_deskew},
    {&Ui::CustomDialog::checkBox_skipBlank, &ParamSetting::visible_skip_blank},
    {&Ui::CustomDialog::checkBox_impermeability, &ParamSetting::visible_impermeable},
    {&Ui::CustomDialog::checkBox_ECO, &ParamSetting::visible_eco_mode},
    {&Ui::CustomDialog::checkBox_bkgColor, &ParamSetting::visible_change_bkg},
};

} // namespace

CustomDialog::CustomDialog(QWidget *parent) : QDialog(parent), ui(new Ui::CustomDialog)
{
    // The form connects OK to accept() and Cancel to reject(); the slots below run after those,
    // still before a modal exec() returns.
    ui->setupUi(this);
    initCheckBox();
    connect(ui->okButton, &QPushButton::clicked, this, &CustomDialog::onOk);
    connect(ui->cancelButton, &QPushButton::clicked, this, &CustomDialog::onCancel);
}

CustomDialog::~CustomDialog()
{
    delete ui;
}

void CustomDialog::initCheckBox()
{
    const ParamSetting &p = ParamSetting::instance;
    for (const FlagBox &fb : kFlagBoxes)
        (ui->*fb.box)->setChecked(p.*fb.flag);
}

void CustomDialog::onOk()
{
    ParamSetting &p = ParamSetting::instance;
    for (const FlagBox &fb : kFlagBoxes)
        p.*fb.flag = (ui->*fb.box)->isChecked();
    p.saveVisibleSettings();
}

void CustomDialog::onCancel()
{
    reject();
}
