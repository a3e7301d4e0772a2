#include "oxengine/platform/rc.h"

#include "oxengine/core/errors.h"
#include "oxengine/platform/mainwindow.h"

#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

// Catches the X errors of our own requests, so that a failed GLX call is a
// failure we report instead of Xlib's default handler ending the process.
// Errors on other connections go on to the handler that was installed.
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display) : m_lock(mutex())
    {
        XSync(display, False);
        s_display = display;
        s_error = 0;
        s_previous = XSetErrorHandler(&XErrorTrap::handler);
        m_display = display;
    }
    ~XErrorTrap()
    {
        XSync(m_display, False);
        XSetErrorHandler(s_previous);
        s_display = nullptr;
    }
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;
    // Waits for the server's answers, then tells whether one was an error.
    bool failed()
    {
        XSync(m_display, False);
        return s_error != 0;
    }

private:
    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }
    static int handler(Display* display, XErrorEvent* event)
    {
        if (display == s_display) {
            s_error = event->error_code;
            return 0;
        }
        return s_previous ? s_previous(display, event) : 0;
    }

    std::lock_guard<std::mutex> m_lock;
    Display* m_display = nullptr;
    static inline Display* s_display = nullptr;
    static inline int s_error = 0;
    static inline XErrorHandler s_previous = nullptr;
};

GLXFBConfig chooseConfig(Display* display)
{
    const int attributes[] = {GLX_X_RENDERABLE, True, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT, GLX_RENDER_TYPE,
                              GLX_RGBA_BIT, GLX_DOUBLEBUFFER, True, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8,
                              GLX_BLUE_SIZE, 8, GLX_DEPTH_SIZE, 16, None};
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), attributes, &count);
    GLXFBConfig chosen = configs && count > 0 ? configs[0] : nullptr;
    if (configs)
        XFree(configs);
    return chosen;
}

int configAttribute(Display* display, GLXFBConfig config, int attribute)
{
    int value = 0;
    glXGetFBConfigAttrib(display, config, attribute, &value);
    return value;
}

GLXFBConfig configById(Display* display, int id)
{
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display, DefaultScreen(display), &count);
    GLXFBConfig found = nullptr;
    for (int i = 0; configs && i < count && !found; ++i)
        if (configAttribute(display, configs[i], GLX_FBCONFIG_ID) == id)
            found = configs[i];
    if (configs)
        XFree(configs);
    return found;
}

} // namespace

void oxPreferInterpretedVertexPrograms()
{
    setenv("DRAW_USE_LLVM", "0", 0);
}

void oxInitXThreads()
{
    static std::once_flag once;
    std::call_once(once, [] { XInitThreads(); });
}

// ---- oxWindow -------------------------------------------------------------------------------

struct oxWindow::Impl {
    Display* display = nullptr;
    bool ownsDisplay = false;
    GLXFBConfig config = nullptr;
    Colormap colormap = 0;
    Window window = 0;
    GLXWindow drawable = 0;

    ~Impl()
    {
        if (!display)
            return;
        if (drawable)
            glXDestroyWindow(display, drawable);
        if (window)
            XDestroyWindow(display, window);
        if (colormap)
            XFreeColormap(display, colormap);
        if (ownsDisplay)
            XCloseDisplay(display);
        else
            XFlush(display);
    }
};

oxWindow::oxWindow(const std::string& title) : impl(new Impl)
{
    constexpr unsigned width = 640, height = 480;
    oxInitXThreads();
    impl->display = static_cast<Display*>(oxGetMainWindowContext().display);
    if (!impl->display) {
        impl->display = XOpenDisplay(nullptr);
        impl->ownsDisplay = impl->display != nullptr;
    }
    Display* d = impl->display;
    if (!d)
        return;
    impl->config = chooseConfig(d);
    if (!impl->config)
        return;
    XVisualInfo* visual = glXGetVisualFromFBConfig(d, impl->config);
    if (!visual)
        return;
    XErrorTrap trap(d);
    const Window root = RootWindow(d, visual->screen);
    impl->colormap = XCreateColormap(d, root, visual->visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = impl->colormap;
    attributes.border_pixel = 0;
    impl->window = XCreateWindow(d, root, 0, 0, width, height, 0, visual->depth, InputOutput, visual->visual,
                                 CWColormap | CWBorderPixel, &attributes);
    XFree(visual);
    if (trap.failed() || !impl->window) {
        impl->window = 0;
        return;
    }
    XStoreName(d, impl->window, title.c_str());
    XChangeProperty(d, impl->window, XInternAtom(d, "_NET_WM_NAME", False), XInternAtom(d, "UTF8_STRING", False), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    XSizeHints* size = XAllocSizeHints();
    if (size) {
        size->flags = PMinSize | PMaxSize;
        size->min_width = size->max_width = int(width);
        size->min_height = size->max_height = int(height);
        XSetWMNormalHints(d, impl->window, size);
        XFree(size);
    }
    impl->drawable = glXCreateWindow(d, impl->config, impl->window, nullptr);
    if (trap.failed())
        impl->drawable = 0;
    XFlush(d);
}

oxWindow::~oxWindow() = default;

unsigned long oxWindow::nativeWindow() const
{
    return impl->window;
}
unsigned long oxWindow::deviceContext() const
{
    return impl->drawable;
}
void* oxWindow::display() const
{
    return impl->display;
}
void* oxWindow::fbConfig() const
{
    return impl->config;
}

// ---- oxRC ---------------------------------------------------------------------------------------

struct oxRC::Impl {
    Display* display = nullptr;
    GLXDrawable window = 0;
    GLXDrawable drawable = 0;
    GLXContext context = nullptr;
};

oxRC::oxRC(const oxWindow& window, int pixelFormat, void* sharedContext) : impl(new Impl)
{
    impl->display = static_cast<Display*>(window.display());
    impl->window = window.nativeWindow();
    impl->drawable = window.deviceContext();
    if (!oxVerify(impl->display && impl->window && impl->drawable, "The passed window is not yet initialized."))
        return;
    Display* d = impl->display;
    auto config = static_cast<GLXFBConfig>(window.fbConfig());
    if (pixelFormat != 0) {
        GLXFBConfig requested = configById(d, pixelFormat);
        if (requested && config &&
            configAttribute(d, requested, GLX_VISUAL_ID) == configAttribute(d, config, GLX_VISUAL_ID))
            config = requested;
    }
    if (!oxVerify(config, "glXChooseFBConfig() failed"))
        return;
    auto share = static_cast<GLXContext>(sharedContext);
    {
        XErrorTrap trap(d);
        impl->context = glXCreateNewContext(d, config, GLX_RGBA_TYPE, share, True);
        if (trap.failed() && impl->context) {
            glXDestroyContext(d, impl->context);
            impl->context = nullptr;
        }
    }
    if (impl->context)
        return;
    if (share) {
        // As a context that cannot join the shared objects still draws, go on
        // without sharing.
        oxVerify(impl->context, "glXCreateNewContext() with a shared context failed");
        XErrorTrap trap(d);
        impl->context = glXCreateNewContext(d, config, GLX_RGBA_TYPE, nullptr, True);
        if (trap.failed())
            impl->context = nullptr;
    }
    oxVerify(impl->context, "glXCreateNewContext() failed");
}

oxRC::~oxRC()
{
    if (!impl->context)
        return;
    // Only our own context is released: another one current on this thread
    // (the main window's) stays current.
    if (isCurrent())
        doneCurrent();
    glXDestroyContext(impl->display, impl->context);
}

bool oxRC::makeCurrent()
{
    if (!impl->context)
        return false;
    return glXMakeContextCurrent(impl->display, impl->drawable, impl->drawable, impl->context) == True;
}

bool oxRC::isCurrent() const
{
    return impl->context && glXGetCurrentContext() == impl->context;
}

void oxRC::doneCurrent()
{
    if (Display* d = glXGetCurrentDisplay())
        glXMakeContextCurrent(d, None, None, nullptr);
}

bool makeMainWindowCurrent()
{
    const oxMainWindowContext main = oxGetMainWindowContext();
    if (!main.display || !main.context)
        return false;
    return glXMakeContextCurrent(static_cast<Display*>(main.display), main.drawable, main.drawable,
                                 static_cast<GLXContext>(main.context)) == True;
}
