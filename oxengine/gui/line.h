// A horizontal separator line.
#pragma once

#include "oxengine/gui/element.h"

// A band a third of its height, in the middle.
class oxGuiHLine : public oxGuiElement {
public:
    oxGuiHLine();
    // Half a text height high.
    void setTextHeight(int h) override;
    void draw() override;
};
