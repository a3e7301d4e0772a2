// A slider that only shows its value and maximum as "value/maximum".
#pragma once

#include "oxengine/gui/slider.h"

class oxGuiProgressBar : public oxGuiSlider {
public:
    oxGuiProgressBar();
    std::string valueText() const override;
    bool onClick(int, int, int) override { return false; }
    bool onMouseWheel(int, int, int) override { return false; }
    bool onKeyDown(int, bool) override { return false; }
    bool beginDrag(int, int, oxGuiElement*&, int&) override { return false; }
    bool acceptsFocus() const override { return false; }
};
