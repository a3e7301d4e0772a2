// A panel that shows a content larger than itself through a clipped
// viewport, scrolled by the wheel, by its scroll bars and by dragging.
#pragma once

#include "oxengine/gui/panel.h"
#include "oxengine/gui/transforms.h"

class oxGuiScrollablePanel : public oxGuiPanel {
public:
    // Stretches along both axes.
    explicit oxGuiScrollablePanel(std::unique_ptr<oxGuiElement> content);
    ~oxGuiScrollablePanel() override;

    // Scrolls so that the content point p (content coordinates) lies in the
    // viewport, moving as little as needed.
    virtual void ensureVisible(oxGuiPoint p);

    // The content's size plus the margins.
    oxGuiSize contentExtent() const;
    oxGuiPoint scroll() const { return m_scroll; }
    // Limited to the range the content allows.
    void setScroll(oxGuiPoint s);
    bool isHovered() const { return m_hover; }
    bool isDragging() const { return m_dragging; }
    // The thickness of the scroll bars.
    int barWidth() const { return m_barTextHeight / 2; }

    void setContent(std::unique_ptr<oxGuiElement> e) override;
    // Kept for the panel itself: the content keeps the scroll transform,
    // which maps through this one, so scrolled areas nest.
    void setTransform(oxGuiTransform* t) override;
    // The content always fills at least the viewport.
    void setSize(oxGuiSize s) override;
    // Natural size, but never more than a third of the window per axis.
    void setTextHeight(int h) override;
    void onMouseMove(int button, int x, int y) override;
    bool onClick(int button, int x, int y) override;
    bool onMouseWheel(int direction, int x, int y) override;
    bool beginDrag(int x, int y, oxGuiElement*& dragged, int& axes) override;
    void dragBy(int dx, int dy) override;
    void endDrag() override;
    void draw() override;

private:
    oxGuiPoint maxScroll() const;

    oxGuiPoint m_scroll;
    oxGuiScrollTransform m_scrollTransform{this};
    bool m_hover = false;
    bool m_dragging = false;
    int m_barTextHeight = defaultGuiStyle.textHeight;
};
