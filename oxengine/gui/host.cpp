#include "oxengine/gui/host.h"

#include "oxengine/gui/draw.h"

#include <GL/freeglut_std.h>

#include <algorithm>
#include <cstdlib>

namespace {

// The toolkit's input state; main thread only, like all element calls.
oxGuiElement* g_focus = nullptr;
oxGuiDragState g_drag;

// A press and motion of at most this many pixels is not yet a drag.
constexpr int DRAG_THRESHOLD = 5;

void endRunningDrag()
{
    oxGuiElement* e = g_drag.element;
    const bool moved = g_drag.moved;
    // Cleared first: endDrag may start something new or destroy elements.
    g_drag = oxGuiDragState();
    if (e)
        e->endDrag();
    if (moved)
        oxGuiSetCursor(GLUT_CURSOR_INHERIT);
}

} // namespace

oxGuiElement* focusedElement()
{
    return g_focus;
}

const oxGuiDragState& dragState()
{
    return g_drag;
}

void setFocus(oxGuiElement* e)
{
    if (!e || e == g_focus)
        return;
    oxGuiElement* old = g_focus;
    g_focus = e;
    if (old)
        old->onFocusChanged(false);
    // The old element's handler may have moved the focus on.
    if (g_focus == e)
        e->onFocusChanged(true);
}

bool focusNext(oxGuiElement& root, bool forward)
{
    std::vector<oxGuiElement*> order;
    root.collectFocusable(order);
    if (order.empty())
        return false;
    const auto it = std::find(order.begin(), order.end(), g_focus);
    size_t next = 0;
    if (it == order.end())
        next = forward ? 0 : order.size() - 1;
    else if (forward)
        next = (size_t(it - order.begin()) + 1) % order.size();
    else
        next = (size_t(it - order.begin()) + order.size() - 1) % order.size();
    setFocus(order[next]);
    requestRedisplay();
    return true;
}

bool dispatchMouseButton(oxGuiElement& element, int button, bool pressed, int x, int y, const void* source)
{
    if (button != 0)
        return false;
    if (!pressed) {
        if (!g_drag.element)
            return false;
        endRunningDrag();
        return true;
    }
    oxGuiElement* dragged = nullptr;
    int axes = 0;
    if (!element.beginDrag(x, y, dragged, axes) || !dragged)
        return false;
    // A press without the release of the one before (the window lost the
    // pointer): the old drag ends before the new one starts.
    if (g_drag.element && g_drag.element != dragged)
        endRunningDrag();
    g_drag.element = dragged;
    g_drag.axes = axes;
    g_drag.distance = 0;
    g_drag.moved = false;
    g_drag.source = source;
    return true;
}

void dispatchDrag(int dx, int dy, const void* source)
{
    if (!g_drag.element || source != g_drag.source)
        return;
    const int ax = (g_drag.axes & 1) ? dx : 0;
    const int ay = (g_drag.axes & 2) ? dy : 0;
    // Saturates instead of overflowing on an endless drag.
    const int64_t distance = int64_t(g_drag.distance) + std::abs(int64_t(ax)) + std::abs(int64_t(ay));
    g_drag.distance = int(std::min<int64_t>(distance, 1 << 30));
    if (!g_drag.moved && g_drag.distance > DRAG_THRESHOLD) {
        const int cursor = g_drag.axes == 1   ? GLUT_CURSOR_LEFT_RIGHT
                           : g_drag.axes == 2 ? GLUT_CURSOR_UP_DOWN
                           : g_drag.axes == 3 ? GLUT_CURSOR_CYCLE
                                              : -1;
        if (cursor >= 0)
            oxGuiSetCursor(cursor);
        g_drag.moved = true;
    }
    g_drag.element->dragBy(ax, ay);
}

bool dispatchKeyToFocus(int key, bool special)
{
    return g_focus && g_focus->onKeyDown(key, special);
}

void oxGuiForgetElement(const oxGuiElement* e)
{
    if (g_focus == e)
        g_focus = nullptr;
    if (g_drag.element == e) {
        const bool moved = g_drag.moved;
        g_drag = oxGuiDragState();
        // The pointer would otherwise keep the drag cursor after the
        // release that no longer ends anything.
        if (moved)
            oxGuiSetCursor(GLUT_CURSOR_INHERIT);
    }
}

// ---- oxGuiHost -------------------------------------------------------------------------

oxGuiHost::~oxGuiHost()
{
    // Elements may point at each other (splitter targets); none is used
    // while they go, and the last added goes first.
    while (!m_elements.empty())
        m_elements.pop_back();
}

void oxGuiHost::addOwned(std::unique_ptr<oxGuiElement> e, bool atFront)
{
    if (!e)
        return;
    if (atFront)
        m_elements.insert(m_elements.begin(), std::move(e));
    else
        m_elements.push_back(std::move(e));
}

bool oxGuiHost::removeElement(oxGuiElement* e)
{
    const auto it = std::find_if(m_elements.begin(), m_elements.end(), [e](const auto& p) { return p.get() == e; });
    if (it == m_elements.end())
        return false;
    // Out of the list before it is destroyed, so its destructor sees a
    // consistent host.
    std::unique_ptr<oxGuiElement> doomed = std::move(*it);
    m_elements.erase(it);
    return true;
}

// Elements are visited by index, so a handler that adds or removes top-level
// elements cannot invalidate the walk.
template <typename Call>
bool oxGuiHost::untilHandled(Call call)
{
    for (size_t i = 0; i < m_elements.size(); ++i)
        if (call(*m_elements[i]))
            return true;
    return false;
}

bool oxGuiHost::onMouseButton(int button, bool pressed, int x, int y)
{
    return untilHandled([&](oxGuiElement& e) { return dispatchMouseButton(e, button, pressed, x, y, this); });
}

bool oxGuiHost::onClick(int button, int x, int y)
{
    return untilHandled([&](oxGuiElement& e) { return e.onClick(button, x, y); });
}

void oxGuiHost::onDrag(int dx, int dy)
{
    dispatchDrag(dx, dy, this);
}

void oxGuiHost::onMouseMove(int button, int x, int y)
{
    untilHandled([&](oxGuiElement& e) {
        e.onMouseMove(button, x, y);
        return false;
    });
}

bool oxGuiHost::onMouseWheel(int direction, int x, int y)
{
    return untilHandled([&](oxGuiElement& e) { return e.onMouseWheel(direction, x, y); });
}

bool oxGuiHost::onKeyDown(int key, bool special)
{
    if (dispatchKeyToFocus(key, special))
        return true;
    return untilHandled([&](oxGuiElement& e) { return e.onKeyDown(key, special); });
}

bool oxGuiHost::onKeyUp(int key, bool special)
{
    return untilHandled([&](oxGuiElement& e) { return e.onKeyUp(key, special); });
}

void oxGuiHost::applyStyle(const oxGuiStyle& style)
{
    for (size_t i = 0; i < m_elements.size(); ++i)
        m_elements[i]->applyStyle(style);
}

void oxGuiHost::renderElements()
{
    for (size_t i = 0; i < m_elements.size(); ++i)
        m_elements[i]->render();
}
