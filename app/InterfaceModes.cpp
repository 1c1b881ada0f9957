#include "app/InterfaceModes.h"

#include "settings/ParamSetting.h"

#include "ui_MainWindow.h"

#include <QStyle>

#include <utility>

namespace {

// One line of the custom-mode visibility table: the flag, the controls it shows, and the
// companions that are shown only while the row's check box is checked as well.
struct VisibleRow
{
    VisibleRow(bool ParamSetting::*flag_, QList<QWidget *> controls_,
               QAbstractButton *checkBox_ = nullptr, QList<QWidget *> companions_ = {})
        : flag(flag_), controls(std::move(controls_)), checkBox(checkBox_),
          companions(std::move(companions_))
    {
    }
    bool ParamSetting::*flag;
    QList<QWidget *> controls;
    QAbstractButton *checkBox;
    QList<QWidget *> companions;
};

struct VisibleGroup
{
    QWidget *groupBox;
    QList<VisibleRow> rows;
};

QList<VisibleGroup> visibilityTable(const Ui::MainWindow *ui)
{
    using P = ParamSetting;
    return {
        {ui->groupBox_baseSetting,
         {
             {&P::visible_save_path, {ui->btn_path, ui->edit_path}},
             {&P::visible_name, {ui->label_name, ui->edit_name}},
             {&P::visible_resolution, {ui->label_resolution, ui->combox_resolution}},
             // The language chooser follows this row (see the constructor).
             {&P::visible_save_type, {ui->label_saveType, ui->combox_saveType}},
             {&P::visible_source_type, {ui->label_source, ui->combox_source}},
             {&P::visible_image_type, {ui->label_imgType, ui->combox_imgType}},
             {&P::visible_paper_size, {ui->label_paperSize, ui->combox_paperSize}},
             {&P::visible_paper_thickness, {ui->label_thickness, ui->spinBox_thickness}},
             {&P::visible_paper_material, {ui->label_material, ui->combox_material}},
         }},
        {ui->groupBox_enhancement,
         {
             {&P::visible_halftone, {ui->label_halftone, ui->combox_halftone}},
             {&P::visible_filter, {ui->label_filter, ui->combox_filter}},
             {&P::visible_brightness,
              {ui->label_brightness, ui->slider_brightness, ui->spinBox_brightness}},
             {&P::visible_contrast,
              {ui->label_contrast, ui->slider_contrast, ui->spinBox_contrast}},
             {&P::visible_color_curve,
              {ui->label_colorCurve, ui->slider_colorCurve, ui->spinBox_colorCurve}},
             {&P::visible_descreen,
              {ui->checkBox_descreening},
              ui->checkBox_descreening,
              {ui->label_descreening, ui->spinBox_descreening}},
         }},
        {ui->groupBox_adjust,
         {
             {&P::visible_angle_correct,
              {ui->label_adjustAngle, ui->slider_adjustAngle, ui->spinBox_adjustAngle}},
             {&P::visible_gamma_correct,
              {ui->label_adjustGamma, ui->slider_adjustGama, ui->spinBox_adjustGama}},
             {&P::visible_brightness_correct,
              {ui->label_adjustBrightness, ui->slider_adjustBrightness,
               ui->spinBox_adjustBrightness}},
             {&P::visible_contrast_correct,
              {ui->label_adjustContrast, ui->slider_adjustContrast, ui->spinBox_adjustContrast}},
             {&P::visible_deskew, {ui->cb_deskew}},
             {&P::visible_skip_blank, {ui->cb_skip_blank}},
         }},
        {ui->groupBox_other,
         {
             {&P::visible_impermeable, {ui->label_impermeability, ui->combox_impermeability}},
             {&P::visible_eco_mode, {ui->label_ECO, ui->combox_ECO}},
             {&P::visible_change_bkg,
              {ui->checkBox_bkgColor},
              ui->checkBox_bkgColor,
              {ui->btn_bkgColor}},
             {&P::visible_progress, {ui->checkBox_progress}},
         }},
    };
}

// Shows a row: its controls when `visible`, its companions only while its check box is checked.
void applyRow(const VisibleRow &row, bool visible)
{
    for (QWidget *w : row.controls)
        w->setVisible(visible);
    const bool companions = visible && row.checkBox && row.checkBox->isChecked();
    for (QWidget *w : row.companions)
        w->setVisible(companions);
}

} // namespace

InterfaceModes::InterfaceModes(QMainWindow *window, Ui::MainWindow *ui) : m_window(window), m_ui(ui)
{
    // "识别语言" is no row of its own: it goes with the format's row, shown and hidden by every
    // mode, and shows only while that row holds a format that recognises text.
    ui->combox_ocrLanguages->followFormat(ui->combox_saveType, ui->label_ocrLanguages);
}

void InterfaceModes::showRecorded()
{
    switch (ParamSetting::instance.user_model) {
    case 0:
        showBase();
        break;
    case 1:
        showAll();
        break;
    case 2:
        showCustom();
        break;
    default:
        break;
    }
}

ScanSettings InterfaceModes::forRun(ScanSettings settings) const
{
    auto hidden = [this](const QWidget *control) { return !control->isVisibleTo(m_window); };
    if (hidden(m_ui->cb_deskew))
        settings.deskew = false;
    if (hidden(m_ui->cb_skip_blank))
        settings.skip_blank = false;
    if (hidden(m_ui->checkBox_descreening))
        settings.descreen = false;
    if (hidden(m_ui->combox_impermeability))
        settings.impermeable = 0;
    if (hidden(m_ui->checkBox_bkgColor))
        settings.change_bkg = false;
    return settings;
}

void InterfaceModes::placeGroupBoxes(bool oneColumn)
{
    QGridLayout *grid = m_ui->gridLayout;
    grid->removeWidget(m_ui->groupBox_enhancement);
    grid->removeWidget(m_ui->groupBox_other);
    grid->removeItem(m_ui->verticalSpacer);
    if (oneColumn) {
        grid->addWidget(m_ui->groupBox_enhancement, 2, 0);
        grid->addWidget(m_ui->groupBox_other, 3, 0);
        grid->addItem(m_ui->verticalSpacer, 4, 0);
    } else {
        grid->addWidget(m_ui->groupBox_enhancement, 0, 1);
        grid->addWidget(m_ui->groupBox_other, 1, 1);
        grid->addItem(m_ui->verticalSpacer, 2, 0);
    }
}

void InterfaceModes::showBase()
{
    const int titleBar = m_window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QSize size(300, 361 + 2 * titleBar);
    m_window->setMinimumSize(size);
    m_window->setMaximumSize(size);
    m_ui->action_base->setChecked(true);
    m_ui->action_custom->setChecked(false);
    m_ui->action_major->setChecked(false);

    const QList<VisibleGroup> groups = visibilityTable(m_ui);
    for (const VisibleGroup &group : groups)
        group.groupBox->setVisible(group.groupBox == m_ui->groupBox_baseSetting);
    for (const VisibleRow &row : groups.first().rows)
        applyRow(row, true);
    m_window->adjustSize();
}

void InterfaceModes::showAll()
{
    placeGroupBoxes(false);
    const int titleBar = m_window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    // 50 pixels more than the panel had before the correction group's row of 自动纠偏 and
    // 去除空白页 (28 for the row, 22 that the panel lacked already with the fonts here): every
    // control shows without scrolling.
    const QSize size(520, 496 + 50 + 2 * titleBar);
    m_window->setMinimumSize(size);
    m_window->setMaximumSize(size);
    m_ui->action_major->setChecked(true);
    m_ui->action_base->setChecked(false);
    m_ui->action_custom->setChecked(false);

    for (const VisibleGroup &group : visibilityTable(m_ui)) {
        group.groupBox->setVisible(true);
        for (const VisibleRow &row : group.rows)
            applyRow(row, true);
    }
}

void InterfaceModes::showCustom()
{
    placeGroupBoxes(true);
    m_window->setMinimumSize(300, 200);
    m_window->setMaximumSize(300, 800);
    m_ui->action_custom->setChecked(true);
    m_ui->action_base->setChecked(false);
    m_ui->action_major->setChecked(false);

    const ParamSetting &p = ParamSetting::instance;
    for (const VisibleGroup &group : visibilityTable(m_ui)) {
        bool any = false;
        for (const VisibleRow &row : group.rows) {
            const bool visible = p.*row.flag;
            applyRow(row, visible);
            any = any || visible;
        }
        group.groupBox->setVisible(any);
    }
}
