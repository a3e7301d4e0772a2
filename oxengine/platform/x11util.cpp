#include "oxengine/platform/x11util.h"

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

std::atomic<int> g_reported{0};
std::atomic<int> g_quiet{0};

int reportError(Display* display, XErrorEvent* e)
{
    // A stale window id (a window closed by another client) can produce a
    // burst of the same error; a few lines are enough to diagnose it.
    if (g_quiet.load() == 0 && g_reported.fetch_add(1) < 20) {
        char text[256] = "";
        XGetErrorText(display, e->error_code, text, sizeof text);
        std::fprintf(stderr, "X error: %s (request %d.%d, resource 0x%lx)\n", text, e->request_code, e->minor_code,
                     e->resourceid);
    }
    return 0;
}

} // namespace

void oxInstallXErrorHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        XSetErrorHandler(reportError);
    });
}

oxQuietXErrors::oxQuietXErrors()
{
    ++g_quiet;
}

oxQuietXErrors::~oxQuietXErrors()
{
    --g_quiet;
}

Display* oxOpenXDisplay(const char* name)
{
    oxInstallXErrorHandler();
    if (!name && !std::getenv("DISPLAY"))
        return nullptr;
    for (int attempt = 0;; ++attempt) {
        if (Display* d = XOpenDisplay(name))
            return d;
        if (attempt == 2)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool oxPrimaryScreenSize(int& width, int& height)
{
    Display* d = oxOpenXDisplay();
    if (!d)
        return false;
    width = DisplayWidth(d, DefaultScreen(d));
    height = DisplayHeight(d, DefaultScreen(d));
    XCloseDisplay(d);
    return true;
}

std::vector<unsigned char> oxDisplayIccProfile(Display* display)
{
    std::vector<unsigned char> profile;
    if (!display)
        return profile;
    const Atom property = XInternAtom(display, "_ICC_PROFILE", True);
    if (property == None)
        return profile;
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    // A profile is at most a few megabytes; the length is in 32-bit units.
    constexpr long MAX_LONGS = (16L << 20) / 4;
    if (XGetWindowProperty(display, DefaultRootWindow(display), property, 0, MAX_LONGS, False, AnyPropertyType, &type,
                           &format, &items, &after, &data) == Success &&
        data && format == 8)
        profile.assign(data, data + items);
    if (data)
        XFree(data);
    return profile;
}

void oxSendClientMessage(Display* display, unsigned long window, unsigned long atom)
{
    XEvent e;
    std::memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = atom;
    e.xclient.format = 32;
    XSendEvent(display, window, False, NoEventMask, &e);
    XFlush(display);
}
