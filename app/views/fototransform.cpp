#include "app/views/fototransform.h"

#include "app/views/display.h"

#include "oxengine/gui/draw.h"
#include "oxengine/gui/keys.h"

#include <GL/freeglut_std.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double FIT_MIN = 0.01, FIT_MAX = 8.0, ZOOM_MAX = 16.0;
constexpr int DRAG_THRESHOLD = 5;
constexpr double DRAG_SPEED = 3.0;
constexpr double WHEEL_STEP = 1.1, KEY_STEP_IN = 1.1, KEY_STEP_OUT = 0.9;

// A content of 0 pixels (a one-pixel picture is its width - 1) counts as one,
// so the fit stays finite; nothing else is changed by it.
double divisor(int extent)
{
    return extent > 0 ? double(extent) : 1.0;
}

// Fitting before the zoom limits: the whole content, or its width.
double rawFit(double W, double H, oxGuiSize content, bool fitsToWidth)
{
    const double fx = W / divisor(content.width), fy = H / divisor(content.height);
    return fy < fx && fitsToWidth ? fx : std::min(fx, fy);
}

} // namespace

double fitZoomFor(double windowWidth, double windowHeight, oxGuiSize content, bool fitsToWidth)
{
    return std::clamp(rawFit(windowWidth, windowHeight, content, fitsToWidth), FIT_MIN, FIT_MAX);
}

FotoTransform::FotoTransform(Display* view, oxApplication* app) : m_app(app), m_view(view) {}

FotoTransform::~FotoTransform()
{
    stopAnimation();
}

oxApplication* FotoTransform::app() const
{
    if (m_app)
        return m_app;
    if (oxApplication* a = oxGUIEventListener::owner())
        return a;
    return theApplication;
}

double FotoTransform::windowWidth() const
{
    const oxApplication* a = app();
    return a ? std::max(0, a->width()) : 0.0;
}

double FotoTransform::windowHeight() const
{
    const oxApplication* a = app();
    return a ? std::max(0, a->height()) : 0.0;
}

void FotoTransform::redraw() const
{
    if (oxApplication* a = app())
        a->postRedisplay();
}

void FotoTransform::startAnimation()
{
    if (!isAnimating())
        if (oxApplication* a = app())
            a->addIdleListener(this);
}

void FotoTransform::stopAnimation()
{
    if (oxApplication* a = oxIdleListener::owner())
        a->removeIdleListener(this);
}

void FotoTransform::setView(Display* view)
{
    m_view = view;
    refit();
}

void FotoTransform::computeFit()
{
    const double W = windowWidth(), H = windowHeight();
    oxGuiSize content{0, 0};
    if (m_view)
        content = m_view->contentSize();
    else
        content = {int(W), int(H)};
    const double fit = rawFit(W, H, content, m_view && m_view->fitsToWidth());
    m_fitZoom = std::clamp(fit, FIT_MIN, FIT_MAX);
    m_minZoom = std::min(1.0, m_fitZoom);
    m_maxZoom = fit >= ZOOM_MAX ? fit : ZOOM_MAX;
}

void FotoTransform::computeScrollLimits()
{
    oxGuiSizeD scaled{windowWidth(), windowHeight()};
    if (m_view)
        scaled = m_view->scaledContentSize();
    auto limits = [](double content, double window, double& lo, double& hi) {
        const double spare = content - window;
        if (spare < 0 || !std::isfinite(spare))
            lo = hi = std::isfinite(spare) ? spare * 0.5 : 0.0;
        else
            lo = 0, hi = spare;
    };
    limits(scaled.width, windowWidth(), m_minOffsetX, m_maxOffsetX);
    limits(scaled.height, windowHeight(), m_minOffsetY, m_maxOffsetY);
}

void FotoTransform::zoomTo(double zoom, bool immediate, double anchorX, double anchorY)
{
    if (std::isnan(zoom))
        return;
    const double z = std::clamp(zoom, m_minZoom, m_maxZoom);
    const double px = windowWidth() * anchorX, py = windowHeight() * anchorY;
    const double ratio = z / m_zoom;
    m_offsetX = (px + m_offsetX) * ratio - px;
    m_offsetY = (py + m_offsetY) * ratio - py;
    m_zoom = z;
    if (immediate) {
        m_targetZoom = z;
        stopAnimation();
    }
    if (m_view)
        m_view->setDisplayScale(z);
    computeScrollLimits();
    m_offsetX = std::clamp(m_offsetX, m_minOffsetX, m_maxOffsetX);
    m_offsetY = std::clamp(m_offsetY, m_minOffsetY, m_maxOffsetY);
    redraw();
}

void FotoTransform::zoomAnimated(double target)
{
    if (std::isnan(target))
        return;
    m_targetZoom = std::clamp(target, m_minZoom, m_maxZoom);
    if (m_targetZoom != m_zoom)
        startAnimation();
}

bool FotoTransform::idle(int64_t elapsedMicroseconds)
{
    // The limits may have moved since the target was set (a reshape); a
    // target outside them could never be reached and the animation would
    // keep the processor busy.
    m_targetZoom = std::clamp(m_targetZoom, m_minZoom, m_maxZoom);
    const double factor = 1.0 + 2e-6 * double(std::max<int64_t>(elapsedMicroseconds, 0));
    double z;
    if (m_zoom / factor <= m_targetZoom)
        z = std::min(m_targetZoom, m_zoom * factor);
    else
        z = m_zoom / factor;
    zoomTo(z, z == m_targetZoom, m_anchorX, m_anchorY);
    return true;
}

void FotoTransform::scrollTo(double x, double y)
{
    if (std::isnan(x) || std::isnan(y))
        return;
    x = std::clamp(x, m_minOffsetX, m_maxOffsetX);
    y = std::clamp(y, m_minOffsetY, m_maxOffsetY);
    if (x == m_offsetX && y == m_offsetY)
        return;
    m_offsetX = x, m_offsetY = y;
    redraw();
}

void FotoTransform::apply()
{
    glTranslated(-m_offsetX, -m_offsetY, 0.0);
}

void FotoTransform::refit()
{
    computeFit();
    zoomTo(m_fitZoom, true, 0.5, 0.5);
    setDragState(DRAG_IDLE);
}

void FotoTransform::contentResized(oxGuiSize before)
{
    if (!m_view)
        return;
    if (m_zoom == m_fitZoom) {
        refit();
        return;
    }
    // Content sizes are pixels - 1; the longer side gives the finer ratio.
    const oxGuiSize now = m_view->contentSize();
    const bool wide = before.width >= before.height;
    const double ratio = wide ? (before.width + 1.0) / (now.width + 1.0) : (before.height + 1.0) / (now.height + 1.0);
    computeFit();
    // The offsets are screen pixels: the same picture size keeps them.
    m_zoom = std::clamp(m_zoom * ratio, m_minZoom, m_maxZoom);
    m_targetZoom = std::clamp(m_targetZoom * ratio, m_minZoom, m_maxZoom);
    m_view->setDisplayScale(m_zoom);
    computeScrollLimits();
    m_offsetX = std::clamp(m_offsetX, m_minOffsetX, m_maxOffsetX);
    m_offsetY = std::clamp(m_offsetY, m_minOffsetY, m_maxOffsetY);
    redraw();
}

void FotoTransform::onReshape(int, int)
{
    const bool atMinimum = m_zoom == m_minZoom;
    computeFit();
    zoomTo(atMinimum ? m_minZoom : m_zoom, true, 0.5, 0.5);
}

void FotoTransform::setDragState(int state)
{
    if (state == m_dragState)
        return;
    const int old = m_dragState;
    m_dragState = state;
    if (state == DRAG_MOVING)
        oxGuiSetCursor(GLUT_CURSOR_CYCLE);
    else if (state == DRAG_IDLE && old == DRAG_MOVING)
        oxGuiSetCursor(GLUT_CURSOR_INHERIT);
}

bool FotoTransform::onMouseButton(int button, bool pressed, int, int)
{
    if (button == 0) {
        if (pressed && m_dragState != DRAG_MOVING) {
            m_dragX = m_dragY = 0;
            setDragState(DRAG_PRESSED);
        } else {
            setDragState(DRAG_IDLE);
        }
        return true;
    }
    if (button == 1) {
        setDragState(pressed ? DRAG_MOVING : DRAG_IDLE);
        return true;
    }
    return false;
}

void FotoTransform::onDrag(int dx, int dy)
{
    if (m_dragState == DRAG_PRESSED) {
        m_dragX += dx, m_dragY += dy;
        if (std::abs(int64_t(m_dragX)) + std::abs(int64_t(m_dragY)) <= DRAG_THRESHOLD)
            return;
        dx = m_dragX, dy = m_dragY;
        m_dragX = m_dragY = 0;
        setDragState(DRAG_MOVING);
    }
    if (m_dragState == DRAG_MOVING)
        scrollTo(m_offsetX + DRAG_SPEED * dx, m_offsetY + DRAG_SPEED * dy);
}

bool FotoTransform::onMouseWheel(int direction, int x, int y)
{
    const double target = direction >= 1 ? m_targetZoom * WHEEL_STEP : m_targetZoom / WHEEL_STEP;
    const double W = windowWidth(), H = windowHeight();
    m_anchorX = W > 0 ? x / W : 0.5;
    m_anchorY = H > 0 ? y / H : 0.5;
    zoomAnimated(target);
    return true;
}

bool FotoTransform::onKeyDown(int key, bool special)
{
    m_anchorX = m_anchorY = 0.5;
    if (special) {
        const int modifiers = oxGuiKeyModifiers();
        double step = (modifiers & KM_CTRL) ? 40.0 : 20.0;
        if (modifiers & KM_SHIFT)
            step *= 0.4;
        switch (key) {
        case GUI_SPECIAL_LEFT:
            scrollTo(m_offsetX - step, m_offsetY);
            return true;
        case GUI_SPECIAL_UP:
            scrollTo(m_offsetX, m_offsetY - step);
            return true;
        case GUI_SPECIAL_RIGHT:
            scrollTo(m_offsetX + step, m_offsetY);
            return true;
        case GUI_SPECIAL_DOWN:
            scrollTo(m_offsetX, m_offsetY + step);
            return true;
        case GUI_SPECIAL_PAGE_UP:
            zoomAnimated(m_targetZoom * KEY_STEP_OUT);
            return true;
        case GUI_SPECIAL_PAGE_DOWN:
            zoomAnimated(m_targetZoom * KEY_STEP_IN);
            return true;
        default:
            return false;
        }
    }
    switch (key) {
    case '+':
        zoomAnimated(m_targetZoom * KEY_STEP_IN);
        return true;
    case '-':
        zoomAnimated(m_targetZoom * KEY_STEP_OUT);
        return true;
    case '1':
        zoomTo(1.0, true, 0.5, 0.5);
        return true;
    default:
        return false;
    }
}
