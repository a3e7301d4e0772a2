// The element base of the widget toolkit. Elements decide their geometry and
// state here; drawing is confined to draw() of each class and the helpers of
// gui/draw.h, so layout and input routing work without a display.
#pragma once

#include "oxengine/gui/geometry.h"
#include "oxengine/gui/style.h"

#include <string>
#include <vector>

class oxGuiTransform;

enum : uint8_t { GUI_ENABLED = 1, GUI_VISIBLE = 2 };

class oxGuiElement {
public:
    oxGuiElement();
    // Clears the focus and the running drag if they point here.
    virtual ~oxGuiElement();
    oxGuiElement(const oxGuiElement&) = delete;
    oxGuiElement& operator=(const oxGuiElement&) = delete;

    // Font name, text height, size, position, colours, in this order: the
    // size is set before the position so that sizers stack the new sizes.
    virtual void applyStyle(const oxGuiStyle& style);
    virtual void setFontName(const std::string& name) { m_fontName = name; }
    virtual void setPosition(oxGuiPoint p) { m_position = p; }
    virtual void setSize(oxGuiSize s) { m_size = s; }
    // Text-drawing classes store it and take their natural size.
    virtual void setTextHeight(int) {}
    virtual void setFgColour(oxColour c) { m_fgColour = c; }
    virtual void setBgColour(oxColour c) { m_bgColour = c; }
    // The transform is not owned; null means window coordinates.
    virtual void setTransform(oxGuiTransform* t) { m_transform = t; }
    virtual void setEnabled(bool on);
    virtual void setVisible(bool on);
    virtual void setStretch(oxGuiSize s) { m_stretch = s; }
    virtual std::string getFontName() const { return m_fontName; }
    virtual oxGuiPoint getPosition() const { return m_position; }
    virtual oxGuiSize getSize() const { return m_size; }
    virtual oxColour getFgColour() const { return m_fgColour; }
    virtual oxColour getBgColour() const { return m_bgColour; }
    virtual oxGuiTransform* getTransform() const { return m_transform; }
    virtual oxGuiSize getStretch() const { return m_stretch; }
    virtual bool isVisible() const { return (m_flags & GUI_VISIBLE) != 0; }
    // Visible and enabled: only active elements take input.
    virtual bool isActive() const { return (m_flags & (GUI_ENABLED | GUI_VISIBLE)) == (GUI_ENABLED | GUI_VISIBLE); }
    virtual bool hasFocus() const;
    // True for this element or one of its descendants.
    virtual bool contains(const oxGuiElement* e) const { return e == this; }
    // Draws the tree in window pixels (or under the transform's matrices)
    // with the GL state saved and restored around it.
    virtual void render();
    // Event coordinates are window coordinates, as the framework delivers
    // them; button 0 is the left button.
    virtual bool onClick(int button, int x, int y);
    virtual void onMouseMove(int button, int x, int y);
    virtual bool onKeyDown(int key, bool special);
    virtual bool onKeyUp(int key, bool special);
    virtual bool onMouseWheel(int direction, int x, int y);
    // Accepting fills dragged with the element that receives the drag and
    // axes with bit 0 for horizontal, bit 1 for vertical movement.
    virtual bool beginDrag(int x, int y, oxGuiElement*& dragged, int& axes);
    virtual void dragBy(int dx, int dy);
    virtual void endDrag();
    virtual void onFocusChanged(bool focused);
    virtual void draw() = 0;
    // Whether Tab may move the keyboard focus here.
    virtual bool acceptsFocus() const { return false; }
    // Appends the active elements of this subtree that accept the focus, in
    // drawing order (the Tab order).
    virtual void collectFocusable(std::vector<oxGuiElement*>& out);

    bool isEnabled() const { return (m_flags & GUI_ENABLED) != 0; }
    // Whether the window point lies on the element, mapped through its
    // transform (so scrolled content is hit where it is drawn).
    bool hits(int x, int y) const;

protected:
    std::string m_fontName;
    oxGuiPoint m_position;
    oxGuiSize m_size;
    oxColour m_fgColour;
    oxColour m_bgColour;
    oxGuiTransform* m_transform = nullptr;
    oxGuiSize m_stretch;
    uint8_t m_flags = GUI_ENABLED | GUI_VISIBLE;
};

// Mapping between an element's coordinates and window coordinates: through
// its transform, or without one by plain conversion (truncating to zero).
oxGuiPointD toWindowPoint(const oxGuiElement& e, oxGuiPoint p);
oxGuiSizeD toWindowSize(const oxGuiElement& e, oxGuiSize s);
oxGuiPoint toElementPoint(const oxGuiElement& e, oxGuiPointD p);

// Asks the running application to redraw; nothing without one.
void requestRedisplay();
// The running application's window size; (0, 0) without one.
oxGuiSize applicationWindowSize();
