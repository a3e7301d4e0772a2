#include "oxengine/platform/glapp_x11.h"

#include "oxengine/platform/mainwindow.h"
#include "oxengine/platform/x11util.h"

#include <GL/glx.h>
#include <X11/Xatom.h>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

#include <poll.h>

namespace {

const char* kWakeAtomName = "_OX_WAKE_MAIN_LOOP";

Bool isWake(Display*, XEvent* e, XPointer atom)
{
    return e->type == ClientMessage && e->xclient.message_type == *reinterpret_cast<Atom*>(atom);
}

GLXFBConfig configOfContext(Display* d, GLXContext ctx, int screen)
{
    int id = 0;
    if (glXQueryContext(d, ctx, GLX_FBCONFIG_ID, &id) != Success)
        return nullptr;
    const int attributes[] = {GLX_FBCONFIG_ID, id, None};
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(d, screen, attributes, &count);
    if (!configs)
        return nullptr;
    // The array is ours, the configs it points to belong to the library.
    GLXFBConfig config = count > 0 ? configs[0] : nullptr;
    XFree(configs);
    return config;
}

bool mapNextFullScreen = false;

using MapWindowFunction = int (*)(Display*, Window);

MapWindowFunction libraryMapWindow()
{
    static const auto function = reinterpret_cast<MapWindowFunction>(dlsym(RTLD_NEXT, "XMapWindow"));
    return function;
}

} // namespace

void oxMapNextWindowFullScreen(bool on)
{
    mapNextFullScreen = on && libraryMapWindow() != nullptr;
}

// Takes the place of Xlib's XMapWindow for everything linked with us
// (freeglut included); without the request above it only passes the call on.
extern "C" int XMapWindow(Display* display, Window window)
{
    if (mapNextFullScreen) {
        mapNextFullScreen = false;
        const Atom fullScreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&fullScreen), 1);
    }
    const MapWindowFunction map = libraryMapWindow();
    return map ? map(display, window) : 0;
}

bool oxGLUTPlatform::managerDoesFullScreen() const
{
    if (!m_display)
        return false;
    const Atom wanted = XInternAtom(m_display, "_NET_WM_STATE_FULLSCREEN", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(m_display, DefaultRootWindow(m_display), XInternAtom(m_display, "_NET_SUPPORTED", False), 0,
                           4096, False, XA_ATOM, &type, &format, &count, &after, &data) == Success &&
        data && type == XA_ATOM && format == 32) {
        const Atom* atoms = reinterpret_cast<const Atom*>(data); // format 32 travels as longs
        found = std::find(atoms, atoms + count, wanted) != atoms + count;
    }
    if (data)
        XFree(data);
    return found;
}

void oxGLUTPlatform::requestFullScreen(bool on) const
{
    if (!m_display || !m_window)
        return;
    XEvent e;
    std::memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = m_window;
    e.xclient.message_type = XInternAtom(m_display, "_NET_WM_STATE", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = on ? 1 : 0; // _NET_WM_STATE_ADD or _REMOVE
    e.xclient.data.l[1] = long(XInternAtom(m_display, "_NET_WM_STATE_FULLSCREEN", False));
    e.xclient.data.l[3] = 1; // from a normal application
    XSendEvent(m_display, DefaultRootWindow(m_display), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(m_display);
}

void oxGLUTPlatform::open()
{
    m_display = glXGetCurrentDisplay();
    m_window = glXGetCurrentDrawable();
    GLXContext ctx = glXGetCurrentContext();
    if (!m_display || !m_window || !ctx)
        return;

    m_handles.display = m_display;
    m_handles.window = m_window;
    m_handles.context = ctx;
    GLXFBConfig config = configOfContext(m_display, ctx, DefaultScreen(m_display));
    m_handles.fbConfig = config;
    int visual = 0;
    if (config && glXGetFBConfigAttrib(m_display, config, GLX_VISUAL_ID, &visual) == Success)
        m_handles.visualId = visual;
    oxSetMainWindowContext({m_display, m_window, ctx});

    // Which process the window is, for task switchers and window managers
    // (freeglut leaves it to the window manager, and not all set it).
    const unsigned long pid = static_cast<unsigned long>(getpid());
    XChangeProperty(m_display, m_window, XInternAtom(m_display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);

    // The window only receives DestroyNotify when someone else destroys it;
    // freeglut ignores that event, so we watch for it ourselves.
    XWindowAttributes attributes;
    if (XGetWindowAttributes(m_display, m_window, &attributes))
        XSelectInput(m_display, m_window, attributes.your_event_mask | StructureNotifyMask);

    // Wake-ups go to a window of freeglut's connection that nobody else
    // knows, so they still arrive when the visible window was destroyed.
    XSetWindowAttributes none;
    m_wakeTarget = XCreateWindow(m_display, DefaultRootWindow(m_display), -1, -1, 1, 1, 0, CopyFromParent, InputOnly,
                                 CopyFromParent, 0, &none);
    m_wakeAtom = XInternAtom(m_display, kWakeAtomName, False);
    XFlush(m_display);

    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_wakeDisplay = oxOpenXDisplay(DisplayString(m_display));
        if (m_wakeDisplay)
            m_wakeWindow = m_wakeTarget;
    }

    // Keys are read on a connection of their own (freeglut would drop every
    // character beyond Latin-1) and then no longer selected on freeglut's,
    // so each arrives once. Without that connection freeglut keeps them.
    if (!m_wakeDisplay)
        return;
    m_keyboard = oxX11Keyboard::create(DisplayString(m_display), m_window, [this] { sendWake(); });
    if (m_keyboard && XGetWindowAttributes(m_display, m_window, &attributes))
        XSelectInput(m_display, m_window, attributes.your_event_mask & ~(KeyPressMask | KeyReleaseMask));
    XFlush(m_display);
}

void oxGLUTPlatform::setIcon(const std::vector<unsigned long>& icon) const
{
    if (!m_display || !m_window || icon.size() < 3)
        return;
    // Format 32 properties travel as longs, whatever their width.
    XChangeProperty(m_display, m_window, XInternAtom(m_display, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(icon.data()), int(icon.size()));
    XFlush(m_display);
}

bool oxGLUTPlatform::takeKey(oxKeyEvent& key)
{
    return m_keyboard && m_keyboard->take(key);
}

void oxGLUTPlatform::close()
{
    // Before the wake-up channel goes: the reader may be sending a wake-up.
    m_keyboard.reset();
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        if (m_wakeDisplay)
            XCloseDisplay(m_wakeDisplay);
        m_wakeDisplay = nullptr;
        m_wakeWindow = 0;
    }
    if (m_display) {
        oxSetMainWindowContext({});
        if (m_wakeTarget)
            XDestroyWindow(m_display, m_wakeTarget);
    }
    m_wakeTarget = 0;
    m_display = nullptr;
    m_window = 0;
    m_handles = {};
}

void oxGLUTPlatform::sendWake()
{
    std::lock_guard<std::mutex> lock(m_wakeMutex);
    if (!m_wakeDisplay)
        return;
    // To the window's creator: freeglut's connection, on which the main
    // thread sleeps.
    oxSendClientMessage(m_wakeDisplay, m_wakeWindow, m_wakeAtom);
}

bool oxGLUTPlatform::drainWakesAndCheckDestroyed()
{
    if (!m_display)
        return false;
    XEventsQueued(m_display, QueuedAfterReading);
    XEvent e;
    Atom atom = m_wakeAtom;
    if (atom)
        while (XCheckIfEvent(m_display, &e, isWake, reinterpret_cast<XPointer>(&atom))) {
        }
    return XCheckTypedWindowEvent(m_display, m_window, DestroyNotify, &e);
}

bool oxGLUTPlatform::windowExists() const
{
    if (!m_display || !m_window)
        return false;
    oxQuietXErrors quiet;
    XWindowAttributes attributes;
    return XGetWindowAttributes(m_display, m_window, &attributes) != 0;
}

void oxGLUTPlatform::waitForEvent(int timeoutMs)
{
    if (!m_display)
        return;
    if (timeoutMs >= 0) {
        // A timed wait polls the socket: an event another thread's call read
        // into the queue meanwhile waits at most until the timeout.
        if (XPending(m_display) > 0)
            return;
        pollfd connection = {ConnectionNumber(m_display), POLLIN, 0};
        poll(&connection, 1, timeoutMs);
        return;
    }
    // XPeekEvent flushes our requests and sleeps until an event is queued;
    // unlike a poll on the socket it also sees events another thread's Xlib
    // call has already read into the queue.
    XEvent e;
    XPeekEvent(m_display, &e);
}

bool oxGLUTPlatform::setSwapInterval(bool on) const
{
    if (!m_display || !m_window)
        return false;
    const char* extensions = glXQueryExtensionsString(m_display, DefaultScreen(m_display));
    const int interval = on ? 1 : 0;
    if (oxHasExtensionToken(extensions, "GLX_EXT_swap_control")) {
        using Fn = void (*)(Display*, GLXDrawable, int);
        if (auto fn = reinterpret_cast<Fn>(oxGetProcAddress("glXSwapIntervalEXT"))) {
            fn(m_display, m_window, interval);
            return true;
        }
    }
    if (oxHasExtensionToken(extensions, "GLX_MESA_swap_control")) {
        using Fn = int (*)(unsigned);
        if (auto fn = reinterpret_cast<Fn>(oxGetProcAddress("glXSwapIntervalMESA")))
            return fn(unsigned(interval)) == 0;
    }
    if (oxHasExtensionToken(extensions, "GLX_SGI_swap_control")) {
        // The SGI form cannot switch synchronisation off (0 is an error).
        using Fn = int (*)(int);
        if (auto fn = reinterpret_cast<Fn>(oxGetProcAddress("glXSwapIntervalSGI")))
            return on && fn(interval) == 0;
    }
    return false;
}

void* oxGetProcAddress(const char* name)
{
    if (!name || !*name)
        return nullptr;
    return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}
