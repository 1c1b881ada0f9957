#include "app/SliderSpinLink.h"

#include <QDoubleSpinBox>
#include <QSlider>
#include <QSpinBox>

void SliderSpinLink::link(QSlider *slider, QSpinBox *spinBox)
{
    QObject::connect(spinBox, QOverload<int>::of(&QSpinBox::valueChanged), slider,
                     &QSlider::setValue);
    QObject::connect(slider, &QSlider::valueChanged, spinBox, &QSpinBox::setValue);
}

void SliderSpinLink::linkHundredths(QSlider *slider, QDoubleSpinBox *spinBox)
{
    QObject::connect(spinBox, QOverload<double>::of(&QDoubleSpinBox::valueChanged), slider,
                     [slider](double value) { slider->setValue(toHundredths(value)); });
    QObject::connect(slider, &QSlider::valueChanged, spinBox,
                     [spinBox](int value) { spinBox->setValue(value * 0.01); });
}

int SliderSpinLink::toHundredths(double value)
{
    return qRound(value * 100.0);
}
