// Window-system independent part of the framework: timers, listeners and the
// application's listener lists and dispatch rules.
#include "oxengine/platform/glapp.h"

#include "oxengine/core/errors.h"
#include "oxengine/platform/viewingtransform.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstring>

// ---- oxTimer -----------------------------------------------------------------

int64_t oxTimer::frequency()
{
    using period = std::chrono::steady_clock::period;
    return period::den / period::num;
}

int64_t oxTimer::now()
{
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

int64_t oxTimer::ticksToUnit(int64_t ticks, int unit)
{
    int64_t perSecond;
    switch (unit) {
    case Seconds: perSecond = 1; break;
    case Milliseconds: perSecond = 1000; break;
    case Microseconds: perSecond = 1000000; break;
    case Ticks: return ticks;
    default: return 0;
    }
    // ticks * perSecond / frequency would overflow after a few hours of
    // nanosecond ticks; split into whole seconds and the remainder.
    const int64_t f = frequency();
    return ticks / f * perSecond + ticks % f * perSecond / f;
}

void oxTimer::restart()
{
    m_now = now();
    m_start = m_now;
    m_running = true;
}

int64_t oxTimer::stop()
{
    // A stopped (or never started) timer keeps its span instead of measuring
    // from wherever start was left.
    if (m_running)
        m_now = now();
    m_running = false;
    return m_now - m_start;
}

int64_t oxTimer::elapsed(int unit) const
{
    if (m_running)
        m_now = now();
    return ticksToUnit(m_now - m_start, unit);
}

// ---- Listeners -----------------------------------------------------------------

oxGUIEventListener::~oxGUIEventListener()
{
    if (m_owner)
        m_owner->removeGUIEventListener(this);
}

bool oxGUIEventListener::onMouseButton(int, bool, int, int) { return false; }
bool oxGUIEventListener::onClick(int, int, int) { return false; }
void oxGUIEventListener::onDrag(int, int) {}
void oxGUIEventListener::onMouseMove(int, int, int) {}
bool oxGUIEventListener::onMouseWheel(int, int, int) { return false; }
bool oxGUIEventListener::onMenuStatus(bool, int, int) { return false; }
bool oxGUIEventListener::onCommand(unsigned) { return false; }
bool oxGUIEventListener::onKeyDown(int, bool) { return false; }
bool oxGUIEventListener::onKeyUp(int, bool) { return false; }
void oxGUIEventListener::onReshape(int, int) {}

oxRenderListener::~oxRenderListener()
{
    if (m_owner)
        m_owner->removeRenderListener(this);
}

oxIdleListener::~oxIdleListener()
{
    if (m_owner)
        m_owner->removeIdleListener(this);
}

void oxIdleListener::tick()
{
    if (idle(m_timer.elapsed(oxTimer::Microseconds)))
        m_timer.restart();
}

void oxIdleListener::attach(oxApplication* app)
{
    m_owner = app;
    m_timer.restart();
}

void oxIdleListener::detach()
{
    m_owner = nullptr;
    m_timer.stop();
}

// ---- oxApplication ---------------------------------------------------------------

oxApplication::oxApplication() : m_clearMask(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT)
{
    addGUIEventListener(this);
}

oxApplication::~oxApplication()
{
    for (oxGUIEventListener* l : m_guiListeners)
        l->detach();
    m_guiListeners.clear();
    for (oxIdleListener* l : m_idleListeners)
        l->detach();
    m_idleListeners.clear();
    for (oxRenderListener* l : m_renderListeners)
        l->detach();
    m_renderListeners.clear();
    m_viewingTransform.reset();
}

void oxApplication::addGUIEventListener(oxGUIEventListener* l, bool atFront)
{
    oxAssert(l != 0, "GUIEventListener must not be 0");
    m_guiListeners.insert(atFront ? m_guiListeners.begin() : m_guiListeners.end(), l);
    l->attach(this);
}

void oxApplication::removeGUIEventListener(oxGUIEventListener* l)
{
    oxAssert(l != 0, "GUIEventListener must not be 0");
    const auto n = std::erase(m_guiListeners, l);
    for (size_t i = 0; i < n; ++i)
        l->detach();
}

void oxApplication::addRenderListener(oxRenderListener* l, bool atFront)
{
    oxAssert(l != 0, "RenderListener must not be 0");
    m_renderListeners.insert(atFront ? m_renderListeners.begin() : m_renderListeners.end(), l);
    l->attach(this);
}

void oxApplication::removeRenderListener(oxRenderListener* l)
{
    oxAssert(l != 0, "RenderListener must not be 0");
    const auto n = std::erase(m_renderListeners, l);
    for (size_t i = 0; i < n; ++i)
        l->detach();
}

void oxApplication::addIdleListener(oxIdleListener* l)
{
    oxAssert(l != 0, "IdleListener must not be 0");
    m_idleListeners.push_back(l);
    l->attach(this);
    const int n = int(m_idleListeners.size());
    idleListenersChanged(n - 1, n);
}

void oxApplication::removeIdleListener(oxIdleListener* l)
{
    oxAssert(l != 0, "IdleListener must not be 0");
    auto it = std::find(m_idleListeners.begin(), m_idleListeners.end(), l);
    if (it == m_idleListeners.end())
        return;
    m_idleListeners.erase(it);
    l->detach();
    const int n = int(m_idleListeners.size());
    idleListenersChanged(n + 1, n);
}

void oxApplication::setViewingTransform(std::unique_ptr<oxViewingTransform> t)
{
    if (m_viewingTransform) {
        removeGUIEventListener(m_viewingTransform.get());
        m_viewingTransform.reset();
    }
    m_viewingTransform = std::move(t);
    if (m_viewingTransform)
        addGUIEventListener(m_viewingTransform.get());
}

void oxApplication::display(bool flushOnly)
{
    if (m_clearMask != 0 && !frameCoversWindow())
        glClear(m_clearMask);
    glLoadIdentity();
    if (m_viewingTransform)
        m_viewingTransform->apply();
    for (size_t i = 0; i < m_renderListeners.size(); ++i)
        m_renderListeners[i]->preRender();
    render();
    for (size_t i = 0; i < m_renderListeners.size(); ++i)
        m_renderListeners[i]->postRender();
    if (flushOnly)
        glFlush();
    else
        swapBuffers();
}

// Listeners may register or remove listeners while an event is delivered (a
// modal run puts its helper in front, a view swaps itself out). The event goes
// to the listeners registered when it started, skipping any that were removed
// on the way, so nobody is called twice or after it left.
namespace {

template <typename Call>
bool untilHandled(const std::vector<oxGUIEventListener*>& list, Call call)
{
    const std::vector<oxGUIEventListener*> snapshot = list;
    for (oxGUIEventListener* l : snapshot)
        if (std::find(list.begin(), list.end(), l) != list.end() && call(l))
            return true;
    return false;
}

template <typename Call>
void toAll(const std::vector<oxGUIEventListener*>& list, Call call)
{
    untilHandled(list, [&](oxGUIEventListener* l) {
        call(l);
        return false;
    });
}

} // namespace

bool oxApplication::dispatchMouseButton(int button, bool pressed, int x, int y)
{
    return untilHandled(m_guiListeners, [&](oxGUIEventListener* l) { return l->onMouseButton(button, pressed, x, y); });
}

bool oxApplication::dispatchClick(int button, int x, int y)
{
    return untilHandled(m_guiListeners, [&](oxGUIEventListener* l) { return l->onClick(button, x, y); });
}

void oxApplication::dispatchDrag(int dx, int dy)
{
    toAll(m_guiListeners, [&](oxGUIEventListener* l) { l->onDrag(dx, dy); });
}

void oxApplication::dispatchMouseMove(int button, int x, int y)
{
    toAll(m_guiListeners, [&](oxGUIEventListener* l) { l->onMouseMove(button, x, y); });
}

bool oxApplication::dispatchMouseWheel(int direction, int x, int y)
{
    return untilHandled(m_guiListeners, [&](oxGUIEventListener* l) { return l->onMouseWheel(direction, x, y); });
}

bool oxApplication::dispatchMenuStatus(bool inUse, int x, int y)
{
    return untilHandled(m_guiListeners, [&](oxGUIEventListener* l) { return l->onMenuStatus(inUse, x, y); });
}

bool oxApplication::dispatchCommand(unsigned command)
{
    return untilHandled(m_guiListeners, [&](oxGUIEventListener* l) { return l->onCommand(command); });
}

bool oxApplication::dispatchKeyDown(int key, bool special)
{
    return untilHandled(m_guiListeners, [&](oxGUIEventListener* l) { return l->onKeyDown(key, special); });
}

bool oxApplication::dispatchKeyUp(int key, bool special)
{
    return untilHandled(m_guiListeners, [&](oxGUIEventListener* l) { return l->onKeyUp(key, special); });
}

void oxApplication::dispatchReshape(int width, int height)
{
    toAll(m_guiListeners, [&](oxGUIEventListener* l) { l->onReshape(width, height); });
}

void oxApplication::dispatchIdle()
{
    for (size_t i = 0; i < m_idleListeners.size(); ++i)
        m_idleListeners[i]->tick();
}

// ---- GL utilities -------------------------------------------------------------------

bool oxHasExtensionToken(const char* list, const char* name)
{
    if (!list || !name || !*name)
        return false;
    const size_t n = std::strlen(name);
    for (const char* p = list; *p;) {
        while (*p == ' ')
            ++p;
        const char* end = p;
        while (*end && *end != ' ')
            ++end;
        if (size_t(end - p) == n && std::memcmp(p, name, n) == 0)
            return true;
        p = end;
    }
    return false;
}

bool isExtensionSupported(const char* name)
{
    return oxHasExtensionToken(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), name);
}
