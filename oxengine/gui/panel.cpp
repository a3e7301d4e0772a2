#include "oxengine/gui/panel.h"

#include "oxengine/gui/draw.h"

#include <algorithm>

oxGuiPanel::oxGuiPanel(std::unique_ptr<oxGuiElement> content)
{
    oxGuiPanel::setContent(std::move(content));
}

oxGuiPanel::~oxGuiPanel() = default;

void oxGuiPanel::setMargins(int left, int top, int right, int bottom)
{
    m_margins = {left, top, right, bottom};
}

void oxGuiPanel::setContent(std::unique_ptr<oxGuiElement> e)
{
    m_content = std::move(e);
    // Content set into a transformed panel must map as the panel does.
    if (m_content && m_transform)
        m_content->setTransform(m_transform);
}

void oxGuiPanel::setFontName(const std::string& name)
{
    oxGuiElement::setFontName(name);
    if (m_content)
        m_content->setFontName(name);
}

void oxGuiPanel::setFgColour(oxColour c)
{
    oxGuiElement::setFgColour(c);
    if (m_content)
        m_content->setFgColour(c);
}

void oxGuiPanel::setBgColour(oxColour c)
{
    oxGuiElement::setBgColour(c);
    if (m_content)
        m_content->setBgColour(oxColour(c.r, c.g, c.b, 0));
}

void oxGuiPanel::setTransform(oxGuiTransform* t)
{
    oxGuiElement::setTransform(t);
    if (m_content)
        m_content->setTransform(t);
}

void oxGuiPanel::setPosition(oxGuiPoint p)
{
    oxGuiElement::setPosition(p);
    if (m_content)
        m_content->setPosition({p.x + m_margins.left, p.y + m_margins.top});
}

void oxGuiPanel::setSize(oxGuiSize s)
{
    oxGuiElement::setSize(s);
    if (m_content)
        m_content->setSize({std::max(0, s.width - m_margins.left - m_margins.right),
                            std::max(0, s.height - m_margins.top - m_margins.bottom)});
}

void oxGuiPanel::setTextHeight(int h)
{
    if (!m_content)
        return;
    m_content->setTextHeight(h);
    const oxGuiSize c = m_content->getSize();
    m_size = {c.width + m_margins.left + m_margins.right, c.height + m_margins.top + m_margins.bottom};
}

bool oxGuiPanel::contains(const oxGuiElement* e) const
{
    return e == this || (m_content && m_content->contains(e));
}

bool oxGuiPanel::onClick(int button, int x, int y)
{
    return forwards() && m_content->onClick(button, x, y);
}

void oxGuiPanel::onMouseMove(int button, int x, int y)
{
    if (forwards())
        m_content->onMouseMove(button, x, y);
}

bool oxGuiPanel::onKeyDown(int key, bool special)
{
    return forwards() && m_content->onKeyDown(key, special);
}

bool oxGuiPanel::onKeyUp(int key, bool special)
{
    return forwards() && m_content->onKeyUp(key, special);
}

bool oxGuiPanel::onMouseWheel(int direction, int x, int y)
{
    return forwards() && m_content->onMouseWheel(direction, x, y);
}

bool oxGuiPanel::beginDrag(int x, int y, oxGuiElement*& dragged, int& axes)
{
    return forwards() && m_content->beginDrag(x, y, dragged, axes);
}

void oxGuiPanel::collectFocusable(std::vector<oxGuiElement*>& out)
{
    if (forwards())
        m_content->collectFocusable(out);
}

void oxGuiPanel::drawPanel()
{
    drawPanel(m_bgColour);
}

void oxGuiPanel::drawPanel(oxColour fill)
{
    if (!isVisible())
        return;
    prepare2D();
    setColour(fill);
    fillRect(toWindowPoint(*this, m_position), toWindowSize(*this, m_size));
    if (m_content)
        m_content->draw();
}

void oxGuiPanel::draw()
{
    drawPanel();
}

void oxGuiPanel::centreInWindow()
{
    const oxGuiSize window = applicationWindowSize();
    if (window.width <= 0 || window.height <= 0)
        return;
    if (m_size.width > window.width || m_size.height > window.height) {
        const double f = std::min(double(window.width) / std::max(m_size.width, 1),
                                  double(window.height) / std::max(m_size.height, 1));
        setSize({int(m_size.width * f), int(m_size.height * f)});
    }
    setPosition({int((window.width - m_size.width) * 0.5), int((window.height - m_size.height) * 0.5)});
}
