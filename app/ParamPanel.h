#pragma once

#include <QString>

class ParamSetting;

namespace Ui {
class MainWindow;
}

// The parameter panel as a view of the settings record: the record into the controls and the
// controls back into the record (the colour of the background swatch excepted: only its colour
// dialog writes that).
class ParamPanel
{
public:
    static void show(Ui::MainWindow *ui, const ParamSetting &record);
    // The integer pairs and the corrections are read from their spin boxes, not their sliders.
    static void read(const Ui::MainWindow *ui, ParamSetting &record);
    // The background swatch's style sheet for a colour.
    static QString bkgStyle(int red, int green, int blue);
};
