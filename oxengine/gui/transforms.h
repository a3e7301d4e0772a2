// Mappings from element coordinates to window coordinates, for elements
// drawn inside a scrolled area.
#pragma once

#include "oxengine/gui/geometry.h"

class oxGuiScrollablePanel;

class oxGuiTransform {
public:
    virtual ~oxGuiTransform() = default;
    virtual oxGuiPointD toWindowPoint(oxGuiPoint p) const = 0;
    virtual oxGuiSizeD toWindowSize(oxGuiSize s) const = 0;
    virtual oxGuiPoint toElementPoint(oxGuiPointD p) const = 0;
};

// Maps a scrollable panel's content: content elements keep their positions
// in the unscrolled content space and the panel's scroll offset moves them.
// The panel is not owned (the panel embeds its transform).
class oxGuiScrollTransform : public oxGuiTransform {
public:
    explicit oxGuiScrollTransform(const oxGuiScrollablePanel* panel) : m_panel(panel) {}
    oxGuiPointD toWindowPoint(oxGuiPoint p) const override;
    oxGuiSizeD toWindowSize(oxGuiSize s) const override;
    oxGuiPoint toElementPoint(oxGuiPointD p) const override;

private:
    const oxGuiScrollablePanel* m_panel;
};
