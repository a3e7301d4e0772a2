#include "oxengine/x11errors.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>
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
