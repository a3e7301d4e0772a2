#include "oxengine/gui/splitter.h"

#include "oxengine/gui/draw.h"

#include <algorithm>

oxGuiHSplitter::oxGuiHSplitter(oxGuiElement* target) : m_target(target)
{
    m_size = {5, defaultGuiStyle.textHeight};
    m_stretch = {0, 1};
}

void oxGuiHSplitter::onSplitMoved(int, int) {}

void oxGuiHSplitter::onMouseMove(int, int x, int y)
{
    const bool hover = hits(x, y);
    if (hover != m_hover) {
        m_hover = hover;
        requestRedisplay();
    }
}

bool oxGuiHSplitter::beginDrag(int x, int y, oxGuiElement*& dragged, int& axes)
{
    if (!isActive() || !m_target || !hits(x, y))
        return false;
    m_dragging = true;
    m_dragStartWidth = m_target->getSize().width;
    m_dragOffset = 0;
    dragged = this;
    axes = 1;
    return true;
}

void oxGuiHSplitter::dragBy(int dx, int)
{
    if (!m_dragging || !m_target)
        return;
    // From the width at the press, so the bar stays under the pointer after
    // it was held at a limit.
    m_dragOffset += dx;
    int64_t w = std::clamp<int64_t>(m_dragStartWidth + m_dragOffset, MIN_WIDTH, MAX_WIDTH);
    const int window = applicationWindowSize().width;
    if (window > 0)
        w = std::min<int64_t>(w, window - MIN_WIDTH);
    const int width = int(std::max<int64_t>(w, 0));
    m_target->setSize({width, m_target->getSize().height});
    m_target->setPosition(m_target->getPosition());
    requestRedisplay();
}

void oxGuiHSplitter::endDrag()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    if (m_target)
        onSplitMoved(m_dragStartWidth, m_target->getSize().width);
    requestRedisplay();
}

void oxGuiHSplitter::draw()
{
    if (!isVisible())
        return;
    const oxColour bar = barColour();
    const oxGuiPoint p = m_position;
    const int w = m_size.width, h = m_size.height;
    auto fill = [&](oxColour c, int x, int y, int sw, int sh) {
        if (sw <= 0 || sh <= 0)
            return;
        setColour(c);
        fillRect(toWindowPoint(*this, {x, y}), toWindowSize(*this, {sw, sh}));
    };
    prepare2D();
    if (!m_hover) {
        fill(bar, p.x, p.y, w, h);
        return;
    }
    // Hovered: opaque as the foreground, with a bevel lit from the top left.
    const uint8_t alpha = m_fgColour.a;
    const int b = std::max(1, w / 4);
    auto withAlpha = [alpha](oxColour c) { return oxColour(c.r, c.g, c.b, alpha); };
    fill(withAlpha(bar), p.x, p.y, w, h);
    const oxColour light = withAlpha(m_bgColour.blend(m_fgColour, 0.6f)), dark = withAlpha(m_bgColour);
    fill(light, p.x, p.y, b, h - b);
    fill(light, p.x, p.y, w - b, b);
    fill(dark, p.x + w - b, p.y + b, b, h - b);
    fill(dark, p.x + b, p.y + h - b, w - b, b);
}
