#include "app/ParamPanel.h"

#include "app/LanguageChooser.h"
#include "app/SliderSpinLink.h"
#include "settings/ParamSetting.h"

#include "ui_MainWindow.h"

QString ParamPanel::bkgStyle(int red, int green, int blue)
{
    return QStringLiteral("background:rgb(%0,%1,%2);border:none;").arg(red).arg(green).arg(blue);
}

void ParamPanel::show(Ui::MainWindow *ui, const ParamSetting &p)
{
    ui->edit_path->setText(p.save_path);
    ui->combox_resolution->setCurrentIndex(p.resolution);
    ui->combox_saveType->setCurrentIndex(p.save_type);
    ui->combox_ocrLanguages->setLanguages(p.ocr_languages);
    ui->combox_source->setCurrentIndex(p.source_type);
    ui->combox_imgType->setCurrentIndex(p.image_type);
    ui->combox_paperSize->setCurrentIndex(p.paper_size);
    ui->spinBox_thickness->setValue(p.paper_thickness);
    ui->combox_material->setCurrentIndex(p.paper_material);
    ui->combox_halftone->setCurrentIndex(p.halftone);

    ui->slider_brightness->setValue(p.brightness);
    ui->spinBox_brightness->setValue(p.brightness);
    ui->slider_contrast->setValue(p.contrast);
    ui->spinBox_contrast->setValue(p.contrast);
    ui->slider_colorCurve->setValue(p.color_curve);
    ui->spinBox_colorCurve->setValue(p.color_curve);

    ui->checkBox_descreening->setChecked(p.descreen);
    ui->label_descreening->setVisible(p.descreen);
    ui->spinBox_descreening->setVisible(p.descreen);
    ui->spinBox_descreening->setValue(p.descreen_radius);

    ui->slider_adjustAngle->setValue(SliderSpinLink::toHundredths(p.angle_correct));
    ui->spinBox_adjustAngle->setValue(p.angle_correct);
    ui->slider_adjustGama->setValue(SliderSpinLink::toHundredths(p.gamma_correct));
    ui->spinBox_adjustGama->setValue(p.gamma_correct);
    ui->slider_adjustBrightness->setValue(SliderSpinLink::toHundredths(p.brightness_correct));
    ui->spinBox_adjustBrightness->setValue(p.brightness_correct);
    ui->slider_adjustContrast->setValue(SliderSpinLink::toHundredths(p.contrast_correct));
    ui->spinBox_adjustContrast->setValue(p.contrast_correct);
    ui->cb_deskew->setChecked(p.deskew);
    ui->cb_skip_blank->setChecked(p.skip_blank);

    ui->combox_filter->setCurrentIndex(p.filter);
    ui->edit_name->setText(p.name);
    ui->combox_impermeability->setCurrentIndex(p.impermeable);
    ui->combox_ECO->setCurrentIndex(p.eco_mode ? 1 : 0);

    ui->checkBox_bkgColor->setChecked(p.change_bkg);
    ui->btn_bkgColor->setVisible(p.change_bkg);
    ui->btn_bkgColor->setStyleSheet(bkgStyle(p.bkg_red, p.bkg_green, p.bkg_blue));

    ui->checkBox_progress->setChecked(p.progress);
}

void ParamPanel::read(const Ui::MainWindow *ui, ParamSetting &p)
{
    p.save_path = ui->edit_path->text();
    p.name = ui->edit_name->text();
    p.resolution = ui->combox_resolution->currentIndex();
    p.save_type = ui->combox_saveType->currentIndex();
    p.ocr_languages = ui->combox_ocrLanguages->languages();
    p.source_type = ui->combox_source->currentIndex();
    p.image_type = ui->combox_imgType->currentIndex();
    p.paper_size = ui->combox_paperSize->currentIndex();
    p.paper_thickness = static_cast<float>(ui->spinBox_thickness->value());
    p.paper_material = ui->combox_material->currentIndex();
    p.halftone = ui->combox_halftone->currentIndex();
    p.brightness = ui->spinBox_brightness->value();
    p.contrast = ui->spinBox_contrast->value();
    p.color_curve = ui->spinBox_colorCurve->value();
    p.descreen = ui->checkBox_descreening->isChecked();
    p.descreen_radius = static_cast<float>(ui->spinBox_descreening->value());
    p.angle_correct = static_cast<float>(ui->spinBox_adjustAngle->value());
    p.gamma_correct = static_cast<float>(ui->spinBox_adjustGama->value());
    p.brightness_correct = static_cast<float>(ui->spinBox_adjustBrightness->value());
    p.contrast_correct = static_cast<float>(ui->spinBox_adjustContrast->value());
    p.deskew = ui->cb_deskew->isChecked();
    p.skip_blank = ui->cb_skip_blank->isChecked();
    p.filter = ui->combox_filter->currentIndex();
    p.impermeable = ui->combox_impermeability->currentIndex();
    p.eco_mode = ui->combox_ECO->currentIndex() == 1;
    p.change_bkg = ui->checkBox_bkgColor->isChecked();
    p.progress = ui->checkBox_progress->isChecked();
}
