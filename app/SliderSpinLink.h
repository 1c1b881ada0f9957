#pragma once

class QDoubleSpinBox;
class QSlider;
class QSpinBox;

// Keeps a slider and its spin box showing the same value: a change on either side sets the
// other, and the second change ends there because the value no longer changes.
class SliderSpinLink
{
public:
    // The same integer on both sides.
    static void link(QSlider *slider, QSpinBox *spinBox);
    // The slider counts hundredths of the spin box's value (two decimals).
    static void linkHundredths(QSlider *slider, QDoubleSpinBox *spinBox);
    // A spin box value in the slider's hundredths. Rounded, not truncated: 19.99 * 100 is
    // 1998.9999... in binary, and truncating it would move the slider to 1998 and then the spin
    // box to 19.98.
    static int toHundredths(double value);
};
