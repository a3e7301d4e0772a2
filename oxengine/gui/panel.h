// A filled rectangle holding one content element (usually a sizer) inside a
// margin.
#pragma once

#include "oxengine/gui/element.h"

#include <memory>

struct oxGuiMargins {
    int left = 3, top = 3, right = 3, bottom = 3;
    friend constexpr bool operator==(const oxGuiMargins&, const oxGuiMargins&) = default;
};

class oxGuiPanel : public oxGuiElement {
public:
    oxGuiPanel() = default;
    explicit oxGuiPanel(std::unique_ptr<oxGuiElement> content);
    ~oxGuiPanel() override;

    // Stored; they take effect at the next size and position.
    virtual void setMargins(int left, int top, int right, int bottom);
    virtual oxGuiMargins getMargins() const { return m_margins; }
    // Destroys the previous content and owns the new one (null: none).
    virtual void setContent(std::unique_ptr<oxGuiElement> e);
    oxGuiElement* content() const { return m_content.get(); }

    void setFontName(const std::string& name) override;
    void setFgColour(oxColour c) override;
    // The content gets the colour with alpha 0, so widgets inside do not
    // fill over the panel's own background.
    void setBgColour(oxColour c) override;
    void setTransform(oxGuiTransform* t) override;
    void setPosition(oxGuiPoint p) override;
    void setSize(oxGuiSize s) override;
    // Passes h on, then fits the content plus the margins.
    void setTextHeight(int h) override;
    bool contains(const oxGuiElement* e) const override;
    bool onClick(int button, int x, int y) override;
    void onMouseMove(int button, int x, int y) override;
    bool onKeyDown(int key, bool special) override;
    bool onKeyUp(int key, bool special) override;
    bool onMouseWheel(int direction, int x, int y) override;
    bool beginDrag(int x, int y, oxGuiElement*& dragged, int& axes) override;
    void draw() override;
    void collectFocusable(std::vector<oxGuiElement*>& out) override;

    // Shrinks the panel uniformly if it is larger than the application
    // window, then centres it there. Nothing without an application.
    void centreInWindow();

protected:
    // The fill and the content, as every panel draws them (the fill in
    // the background colour unless another is given).
    void drawPanel();
    void drawPanel(oxColour fill);
    bool forwards() const { return isActive() && m_content; }

    std::unique_ptr<oxGuiElement> m_content;
    oxGuiMargins m_margins;
};
