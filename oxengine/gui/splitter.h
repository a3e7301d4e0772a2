// A thin vertical bar that the user drags to set the width of the element
// to its left (the target, not owned).
#pragma once

#include "oxengine/gui/element.h"

class oxGuiHSplitter : public oxGuiElement {
public:
    // 5 pixels wide, stretching to the full height in a horizontal sizer.
    explicit oxGuiHSplitter(oxGuiElement* target);

    // After a drag: the target's width when it began and now.
    virtual void onSplitMoved(int oldWidth, int newWidth);

    bool isHovered() const { return m_hover; }
    bool isDragging() const { return m_dragging; }
    // The bar's colour when the pointer is not over it.
    oxColour barColour() const { return m_bgColour.blend(m_fgColour, 0.3f); }

    void onMouseMove(int button, int x, int y) override;
    bool beginDrag(int x, int y, oxGuiElement*& dragged, int& axes) override;
    void dragBy(int dx, int dy) override;
    void endDrag() override;
    void draw() override;

private:
    // The target is kept between these widths, and narrow enough to leave
    // MIN_WIDTH of the window beside it.
    static constexpr int MIN_WIDTH = 50;
    static constexpr int MAX_WIDTH = 10000;

    oxGuiElement* m_target;
    bool m_hover = false;
    bool m_dragging = false;
    int m_dragStartWidth = 0;
    int64_t m_dragOffset = 0;
};
