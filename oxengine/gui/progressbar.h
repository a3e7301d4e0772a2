// A slider that only shows its value and maximum as "value/maximum".
#pragma once

#include "oxengine/gui/slider.h"

class oxGuiProgressBar : public oxGuiSlider {
public:
    oxGuiProgressBar();
    std::string valueText() const override;
    // For an owner that updates the bar while drawing the frame that shows
    // it: range 0 ... total and the value, without asking for another frame
    // (which would draw again, update again and never rest).
    void setProgress(double done, double total);
    bool onClick(int, int, int) override { return false; }
    bool onMouseWheel(int, int, int) override { return false; }
    bool onKeyDown(int, bool) override { return false; }
    bool beginDrag(int, int, oxGuiElement*&, int&) override { return false; }
    bool acceptsFocus() const override { return false; }
};
