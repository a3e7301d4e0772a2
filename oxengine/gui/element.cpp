#include "oxengine/gui/element.h"

#include "oxengine/gui/draw.h"
#include "oxengine/gui/host.h"
#include "oxengine/gui/transforms.h"
#include "oxengine/platform/glapp.h"


oxGuiElement::oxGuiElement()
    : m_fontName(defaultGuiStyle.fontName), m_size{100, defaultGuiStyle.textHeight},
      m_fgColour(defaultGuiStyle.fgColour), m_bgColour(defaultGuiStyle.bgColour)
{
}

oxGuiElement::~oxGuiElement()
{
    oxGuiForgetElement(this);
}

void oxGuiElement::applyStyle(const oxGuiStyle& style)
{
    setFontName(style.fontName);
    setTextHeight(style.textHeight);
    setSize(getSize());
    setPosition(getPosition());
    setFgColour(style.fgColour);
    setBgColour(style.bgColour);
}

void oxGuiElement::setEnabled(bool on)
{
    m_flags = on ? (m_flags | GUI_ENABLED) : (m_flags & ~GUI_ENABLED);
}

void oxGuiElement::setVisible(bool on)
{
    m_flags = on ? (m_flags | GUI_VISIBLE) : (m_flags & ~GUI_VISIBLE);
}

bool oxGuiElement::hasFocus() const
{
    return focusedElement() == this;
}

void oxGuiElement::render()
{
    if (!isVisible())
        return;
    oxGuiRenderScope scope(m_transform == nullptr);
    draw();
}

bool oxGuiElement::onClick(int, int, int)
{
    return false;
}

void oxGuiElement::onMouseMove(int, int, int) {}

bool oxGuiElement::onKeyDown(int, bool)
{
    return false;
}

bool oxGuiElement::onKeyUp(int, bool)
{
    return false;
}

bool oxGuiElement::onMouseWheel(int, int, int)
{
    return false;
}

bool oxGuiElement::beginDrag(int, int, oxGuiElement*&, int&)
{
    return false;
}

void oxGuiElement::dragBy(int, int) {}

void oxGuiElement::endDrag() {}

void oxGuiElement::onFocusChanged(bool) {}

void oxGuiElement::collectFocusable(std::vector<oxGuiElement*>& out)
{
    if (isActive() && acceptsFocus())
        out.push_back(this);
}

bool oxGuiElement::hits(int x, int y) const
{
    const oxGuiPoint p = toElementPoint(*this, {double(x), double(y)});
    return pointInRect(p.x, p.y, m_position, m_size);
}

oxGuiPointD toWindowPoint(const oxGuiElement& e, oxGuiPoint p)
{
    if (const oxGuiTransform* t = e.getTransform())
        return t->toWindowPoint(p);
    return {double(p.x), double(p.y)};
}

oxGuiSizeD toWindowSize(const oxGuiElement& e, oxGuiSize s)
{
    if (const oxGuiTransform* t = e.getTransform())
        return t->toWindowSize(s);
    return {double(s.width), double(s.height)};
}

oxGuiPoint toElementPoint(const oxGuiElement& e, oxGuiPointD p)
{
    if (const oxGuiTransform* t = e.getTransform())
        return t->toElementPoint(p);
    return {oxGuiToPixel(p.x), oxGuiToPixel(p.y)};
}

void requestRedisplay()
{
    if (theApplication)
        theApplication->postRedisplay();
}

oxGuiSize applicationWindowSize()
{
    if (!theApplication)
        return {};
    return {theApplication->width(), theApplication->height()};
}
