#include "oxengine/gui/container.h"

#include <algorithm>

oxGuiContainer::~oxGuiContainer()
{
    while (!m_children.empty())
        m_children.pop_back();
}

oxGuiElement* oxGuiContainer::addChildOwned(std::unique_ptr<oxGuiElement> e)
{
    if (!e)
        return nullptr;
    if (m_transform)
        e->setTransform(m_transform);
    m_children.push_back(std::move(e));
    return m_children.back().get();
}

void oxGuiContainer::setFontName(const std::string& name)
{
    oxGuiElement::setFontName(name);
    forEachChild([&](oxGuiElement& c) { c.setFontName(name); });
}

void oxGuiContainer::setPosition(oxGuiPoint p)
{
    oxGuiElement::setPosition(p);
    forEachChild([&](oxGuiElement& c) { c.setPosition(p); });
}

void oxGuiContainer::setSize(oxGuiSize s)
{
    oxGuiElement::setSize(s);
    forEachChild([&](oxGuiElement& c) { c.setSize(s); });
}

void oxGuiContainer::setTextHeight(int h)
{
    forEachChild([&](oxGuiElement& c) { c.setTextHeight(h); });
}

void oxGuiContainer::setFgColour(oxColour col)
{
    oxGuiElement::setFgColour(col);
    forEachChild([&](oxGuiElement& c) { c.setFgColour(col); });
}

void oxGuiContainer::setBgColour(oxColour col)
{
    oxGuiElement::setBgColour(col);
    forEachChild([&](oxGuiElement& c) { c.setBgColour(col); });
}

void oxGuiContainer::setTransform(oxGuiTransform* t)
{
    oxGuiElement::setTransform(t);
    forEachChild([&](oxGuiElement& c) { c.setTransform(t); });
}

void oxGuiContainer::setEnabled(bool on)
{
    oxGuiElement::setEnabled(on);
    forEachChild([&](oxGuiElement& c) { c.setEnabled(on); });
}

bool oxGuiContainer::contains(const oxGuiElement* e) const
{
    if (e == this)
        return true;
    return std::any_of(m_children.begin(), m_children.end(), [e](const auto& c) { return c->contains(e); });
}

bool oxGuiContainer::onClick(int button, int x, int y)
{
    return isActive() && anyChild([&](oxGuiElement& c) { return c.onClick(button, x, y); });
}

void oxGuiContainer::onMouseMove(int button, int x, int y)
{
    if (isActive())
        forEachChild([&](oxGuiElement& c) { c.onMouseMove(button, x, y); });
}

bool oxGuiContainer::onKeyDown(int key, bool special)
{
    return isActive() && anyChild([&](oxGuiElement& c) { return c.onKeyDown(key, special); });
}

bool oxGuiContainer::onKeyUp(int key, bool special)
{
    return isActive() && anyChild([&](oxGuiElement& c) { return c.onKeyUp(key, special); });
}

bool oxGuiContainer::onMouseWheel(int direction, int x, int y)
{
    return isActive() && anyChild([&](oxGuiElement& c) { return c.onMouseWheel(direction, x, y); });
}

bool oxGuiContainer::beginDrag(int x, int y, oxGuiElement*& dragged, int& axes)
{
    return isActive() && anyChild([&](oxGuiElement& c) { return c.beginDrag(x, y, dragged, axes); });
}

void oxGuiContainer::draw()
{
    if (isVisible())
        forEachChild([](oxGuiElement& c) { c.draw(); });
}

void oxGuiContainer::collectFocusable(std::vector<oxGuiElement*>& out)
{
    if (!isActive())
        return;
    oxGuiElement::collectFocusable(out);
    forEachChild([&](oxGuiElement& c) { c.collectFocusable(out); });
}
