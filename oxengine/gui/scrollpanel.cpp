#include "oxengine/gui/scrollpanel.h"

#include "oxengine/gui/draw.h"

#include <algorithm>

oxGuiPointD oxGuiScrollTransform::toWindowPoint(oxGuiPoint p) const
{
    const oxGuiPoint s = m_panel->scroll();
    return ::toWindowPoint(*m_panel, {p.x - s.x, p.y - s.y});
}

oxGuiSizeD oxGuiScrollTransform::toWindowSize(oxGuiSize z) const
{
    return ::toWindowSize(*m_panel, z);
}

oxGuiPoint oxGuiScrollTransform::toElementPoint(oxGuiPointD q) const
{
    const oxGuiPoint p = ::toElementPoint(*m_panel, q);
    const oxGuiPoint s = m_panel->scroll();
    return {p.x + s.x, p.y + s.y};
}

oxGuiScrollablePanel::oxGuiScrollablePanel(std::unique_ptr<oxGuiElement> content)
{
    oxGuiScrollablePanel::setContent(std::move(content));
    m_stretch = {1, 1};
}

oxGuiScrollablePanel::~oxGuiScrollablePanel()
{
    // The content maps through this panel; it goes while the panel is whole.
    m_content.reset();
}

oxGuiSize oxGuiScrollablePanel::contentExtent() const
{
    const oxGuiSize c = m_content ? m_content->getSize() : oxGuiSize{};
    return {c.width + m_margins.left + m_margins.right, c.height + m_margins.top + m_margins.bottom};
}

oxGuiPoint oxGuiScrollablePanel::maxScroll() const
{
    const oxGuiSize e = contentExtent();
    return {std::max(0, e.width - m_size.width), std::max(0, e.height - m_size.height)};
}

void oxGuiScrollablePanel::setScroll(oxGuiPoint s)
{
    const oxGuiPoint most = maxScroll();
    const oxGuiPoint clamped{std::clamp(s.x, 0, most.x), std::clamp(s.y, 0, most.y)};
    if (clamped == m_scroll)
        return;
    m_scroll = clamped;
    requestRedisplay();
}

void oxGuiScrollablePanel::setContent(std::unique_ptr<oxGuiElement> e)
{
    oxGuiPanel::setContent(std::move(e));
    if (m_content)
        m_content->setTransform(&m_scrollTransform);
}

void oxGuiScrollablePanel::setTransform(oxGuiTransform* t)
{
    oxGuiElement::setTransform(t);
}

void oxGuiScrollablePanel::setSize(oxGuiSize s)
{
    oxGuiElement::setSize(s);
    if (m_content) {
        const oxGuiSize c = m_content->getSize();
        const int vw = std::max(0, s.width - m_margins.left - m_margins.right);
        const int vh = std::max(0, s.height - m_margins.top - m_margins.bottom);
        m_content->setSize({std::max(c.width, vw), std::max(c.height, vh)});
    }
    // A larger viewport may leave the old offset past the end.
    m_scroll = {std::min(m_scroll.x, maxScroll().x), std::min(m_scroll.y, maxScroll().y)};
}

void oxGuiScrollablePanel::setTextHeight(int h)
{
    m_barTextHeight = h;
    if (!m_content)
        return;
    m_content->setTextHeight(h);
    oxGuiSize e = contentExtent();
    const oxGuiSize window = applicationWindowSize();
    if (window.width > 0 && window.height > 0) {
        e.width = std::min(e.width, int(0.33 * window.width));
        e.height = std::min(e.height, int(0.33 * window.height));
    }
    m_size = e;
}

void oxGuiScrollablePanel::onMouseMove(int button, int x, int y)
{
    const bool hover = hits(x, y);
    if (hover != m_hover) {
        m_hover = hover;
        requestRedisplay();
    }
    if (forwards())
        m_content->onMouseMove(button, x, y);
}

bool oxGuiScrollablePanel::onClick(int button, int x, int y)
{
    if (!forwards() || !hits(x, y))
        return false;
    return m_content->onClick(button, x, y);
}

bool oxGuiScrollablePanel::onMouseWheel(int direction, int x, int y)
{
    if (!isActive())
        return false;
    const oxGuiSize e = contentExtent();
    if (m_hover && e.height > m_size.height) {
        // One step is three lines.
        const int64_t step = int64_t(m_barTextHeight) * direction * 3;
        const int64_t to = std::clamp<int64_t>(m_scroll.y - step, 0, e.height - m_size.height);
        m_scroll.y = int(to);
        requestRedisplay();
        return true;
    }
    if (m_content && hits(x, y))
        return m_content->onMouseWheel(direction, x, y);
    return false;
}

bool oxGuiScrollablePanel::beginDrag(int x, int y, oxGuiElement*& dragged, int& axes)
{
    if (!isActive())
        return false;
    const oxGuiSize e = contentExtent();
    const int w = m_size.width, h = m_size.height, b = barWidth();
    const oxGuiPoint p = toElementPoint(*this, {double(x), double(y)});
    const bool wider = e.width > w, taller = e.height > h;
    int accepted = 0;
    if (taller && pointInRect(p.x, p.y, {m_position.x + w - b, m_position.y}, {b, h}))
        accepted = 2;
    else if (wider && pointInRect(p.x, p.y, {m_position.x, m_position.y + h - b}, {w, b}))
        accepted = 1;
    else if (m_content && m_content->beginDrag(x, y, dragged, axes))
        return true;
    else if ((wider || taller) && pointInRect(p.x, p.y, m_position, m_size))
        accepted = (wider ? 1 : 0) | (taller ? 2 : 0);
    if (!accepted)
        return false;
    dragged = this;
    axes = accepted;
    m_dragging = true;
    return true;
}

void oxGuiScrollablePanel::dragBy(int dx, int dy)
{
    // Like a scroll-bar thumb: moving by the whole viewport moves through
    // the whole content.
    const oxGuiSize e = contentExtent();
    const oxGuiPoint most = maxScroll();
    if (m_size.width > 0)
        m_scroll.x = int(std::clamp<int64_t>(m_scroll.x + int64_t(e.width) * dx / m_size.width, 0, most.x));
    if (m_size.height > 0)
        m_scroll.y = int(std::clamp<int64_t>(m_scroll.y + int64_t(e.height) * dy / m_size.height, 0, most.y));
    requestRedisplay();
}

void oxGuiScrollablePanel::endDrag()
{
    m_dragging = false;
    requestRedisplay();
}

void oxGuiScrollablePanel::ensureVisible(oxGuiPoint p)
{
    // The viewport shows content points c with
    // position + near margin <= c - scroll <= position + size - far margin.
    const int rx = p.x - m_position.x, ry = p.y - m_position.y;
    const int loX = rx - (m_size.width - m_margins.right), hiX = rx - m_margins.left;
    const int loY = ry - (m_size.height - m_margins.bottom), hiY = ry - m_margins.top;
    oxGuiPoint s = m_scroll;
    s.x = s.x < loX ? loX : std::min(s.x, hiX);
    s.y = s.y < loY ? loY : std::min(s.y, hiY);
    const oxGuiPoint most = maxScroll();
    m_scroll = {std::clamp(s.x, 0, most.x), std::clamp(s.y, 0, most.y)};
    requestRedisplay();
}

void oxGuiScrollablePanel::draw()
{
    if (!isVisible())
        return;
    const oxGuiPointD wp = toWindowPoint(*this, m_position);
    {
        oxGuiClipScope clip(wp, toWindowSize(*this, m_size));
        drawPanel();
    }
    if (!m_hover && !m_dragging)
        return;
    const oxGuiSize e = contentExtent();
    const int w = m_size.width, h = m_size.height, b = barWidth();
    prepare2D();
    auto bar = [&](oxGuiPoint at, oxGuiSize size, oxGuiPoint thumbAt, oxGuiSize thumb) {
        setColour(m_bgColour);
        fillRect(toWindowPoint(*this, at), toWindowSize(*this, size));
        setColour(m_fgColour);
        fillRect(toWindowPoint(*this, thumbAt), toWindowSize(*this, thumb));
    };
    if (e.height > h) {
        const int x = m_position.x + w - b;
        bar({x, m_position.y}, {b, h}, {x, int(m_position.y + int64_t(m_scroll.y) * h / e.height)},
            {b, int(int64_t(h) * h / e.height)});
    }
    if (e.width > w) {
        const int y = m_position.y + h - b;
        bar({m_position.x, y}, {w, b}, {int(m_position.x + int64_t(m_scroll.x) * w / e.width), y},
            {int(int64_t(w) * w / e.width), b});
    }
}
