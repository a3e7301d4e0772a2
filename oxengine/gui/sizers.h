// Sizers lay their children out in a row (horizontal) or a column
// (vertical), sharing the extent by the children's stretch factors, and
// the spacer that takes up free room in them.
#pragma once

#include "oxengine/gui/container.h"

// Shared by both sizers; horizontal says which axis is the main one.
class oxGuiSizer : public oxGuiContainer {
public:
    // Stores the size and gives the children their sizes (without moving
    // them: set the size first, then the position).
    void setSize(oxGuiSize s) override;
    // Stacks the children along the main axis from p, without spacing.
    void setPosition(oxGuiPoint p) override;
    // Passes h on, then takes the natural size of the children.
    void setTextHeight(int h) override;

protected:
    explicit oxGuiSizer(bool horizontal) : m_horizontal(horizontal) {}

private:
    bool m_horizontal;
};

// Children side by side, centred vertically, never above the sizer's top.
class oxGuiHSizer : public oxGuiSizer {
public:
    oxGuiHSizer() : oxGuiSizer(true) {}
};

// Children stacked from the top, each as wide as the sizer.
class oxGuiVSizer : public oxGuiSizer {
public:
    oxGuiVSizer() : oxGuiSizer(false) {}
};

// Main-axis extents for children of these extents and stretch factors given
// extent in all: with room to spare, stretchable children (factor above 0)
// share the free room by their factors and the rest keep theirs; otherwise
// the others are scaled to fill the extent exactly (the last takes the
// rounding rest) and stretchable ones get 0.
std::vector<int> oxGuiDistribute(const std::vector<int>& extents, const std::vector<int>& stretch, int extent);

// A spacer of size (0, 0) with the given stretch; draws its background.
class oxGuiFlexi : public oxGuiElement {
public:
    oxGuiFlexi(int sx, int sy);
    // Back to no size: what a sizer stretched it to is no natural size, and
    // kept it would stop the sizer from ever shrinking again.
    void setTextHeight(int h) override;
    void draw() override;
};
