#include "oxengine/platform/firstframe.h"

#include "oxengine/platform/x11util.h"

#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>

#include <poll.h>

namespace {

// Waits (briefly) until the window is mapped, and tells whether it covers the
// screen from its top-left corner.
bool placedOnScreen(Display* d, Window window, int width, int height)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    for (XEvent event; !XCheckTypedWindowEvent(d, window, MapNotify, &event);) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        XFlush(d);
        pollfd wait{ConnectionNumber(d), POLLIN, 0};
        poll(&wait, 1, int(left.count()));
        XEventsQueued(d, QueuedAfterReading);
    }
    XWindowAttributes attributes{};
    int x = -1, y = -1;
    Window child = 0;
    return XGetWindowAttributes(d, window, &attributes) && attributes.width == width && attributes.height == height &&
           XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child) && x == 0 && y == 0;
}

} // namespace

std::unique_ptr<oxFirstFrameWindow> oxFirstFrameWindow::open(Display* probe)
{
    if (!probe)
        return nullptr;
    const int screen = DefaultScreen(probe);
    const Visual* visual = DefaultVisual(probe, screen);
    if (DefaultDepth(probe, screen) != 24 || visual->c_class != TrueColor || visual->red_mask != 0xFF0000 ||
        visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF)
        return nullptr;
    // Our own connection: the probe closes before the GL frame replaces ours.
    std::unique_ptr<oxFirstFrameWindow> window(new oxFirstFrameWindow);
    window->m_display = oxOpenXDisplay(DisplayString(probe));
    Display* d = window->m_display;
    if (!d)
        return nullptr;
    window->m_width = DisplayWidth(d, screen);
    window->m_height = DisplayHeight(d, screen);
    // No background until the frame is there: the screen keeps what it showed.
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;
    attributes.event_mask = StructureNotifyMask;
    window->m_window = XCreateWindow(d, RootWindow(d, screen), 0, 0, unsigned(window->m_width),
                                     unsigned(window->m_height), 0, 24, InputOutput, DefaultVisual(d, screen),
                                     CWBackPixmap | CWEventMask, &attributes);
    const Atom fullScreen = XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(d, window->m_window, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&fullScreen), 1);
    XMapWindow(d, window->m_window);
    XFlush(d);
    return window;
}

namespace {

// The frame as an image of the server's format; its pixels stay the frame's.
struct FrameImage {
    FrameImage(Display* d, const std::vector<uint32_t>& frame, unsigned width, unsigned height)
        : image(XCreateImage(d, DefaultVisual(d, DefaultScreen(d)), 24, ZPixmap, 0,
                             reinterpret_cast<char*>(const_cast<uint32_t*>(frame.data())), width, height, 32,
                             int(width * 4)))
    {
    }
    ~FrameImage()
    {
        if (!image)
            return;
        image->data = nullptr;
        XDestroyImage(image);
    }
    FrameImage(const FrameImage&) = delete;
    FrameImage& operator=(const FrameImage&) = delete;
    XImage* image;
};

} // namespace

bool oxFirstFrameWindow::show(const std::vector<uint32_t>& frame)
{
    Display* d = m_display;
    if (frame.size() != size_t(m_width) * size_t(m_height) || !placedOnScreen(d, m_window, m_width, m_height))
        return false;
    const unsigned width = unsigned(m_width), height = unsigned(m_height);
    const FrameImage image(d, frame, width, height);
    if (!image.image)
        return false;
    if (!m_pixmap)
        m_pixmap = XCreatePixmap(d, m_window, width, height, 24);
    XPutImage(d, m_pixmap, DefaultGC(d, DefaultScreen(d)), image.image, 0, 0, 0, 0, width, height);
    XSetWindowBackgroundPixmap(d, m_window, m_pixmap);
    XClearWindow(d, m_window);
    XSync(d, False);
    return true;
}

bool oxFirstFrameWindow::update(const std::vector<uint32_t>& frame, const std::vector<Area>& areas,
                                unsigned long cover)
{
    Display* d = m_display;
    if (!m_pixmap || frame.size() != size_t(m_width) * size_t(m_height))
        return false;
    // A new cover must take our pixels as they are (same depth) where they
    // lie on the screen; asked once, not at every update.
    const bool newCover = cover && cover != m_cover;
    XWindowAttributes attributes{};
    int x = -1, y = -1;
    Window child = 0;
    if (newCover && (!XGetWindowAttributes(d, cover, &attributes) || attributes.depth != 24 ||
                     !XTranslateCoordinates(d, cover, DefaultRootWindow(d), 0, 0, &x, &y, &child) || x != 0 ||
                     y != 0))
        return false;
    const FrameImage image(d, frame, unsigned(m_width), unsigned(m_height));
    if (!image.image)
        return false;
    GC gc = DefaultGC(d, DefaultScreen(d));
    for (const Area& a : areas) {
        const int x0 = std::max(0, a.x), y0 = std::max(0, a.y);
        const int x1 = std::min(m_width, a.x + a.width), y1 = std::min(m_height, a.y + a.height);
        if (x1 <= x0 || y1 <= y0)
            continue;
        XPutImage(d, m_pixmap, gc, image.image, x0, y0, x0, y0, unsigned(x1 - x0), unsigned(y1 - y0));
        XClearArea(d, m_window, x0, y0, unsigned(x1 - x0), unsigned(y1 - y0), False);
        if (cover && !newCover)
            XCopyArea(d, m_pixmap, cover, gc, x0, y0, unsigned(x1 - x0), unsigned(y1 - y0), x0, y0);
    }
    if (newCover) {
        XCopyArea(d, m_pixmap, cover, gc, 0, 0, unsigned(std::min(attributes.width, m_width)),
                  unsigned(std::min(attributes.height, m_height)), 0, 0);
        m_cover = cover;
    }
    XSync(d, False);
    return true;
}

oxFirstFrameWindow::~oxFirstFrameWindow()
{
    if (!m_display)
        return;
    if (Display* gl = glXGetCurrentDisplay()) {
        glFinish();
        XSync(gl, False);
    }
    if (m_window)
        XDestroyWindow(m_display, m_window);
    if (m_pixmap)
        XFreePixmap(m_display, m_pixmap);
    XCloseDisplay(m_display);
}
