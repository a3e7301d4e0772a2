// The GLUT binding of the framework: window, callbacks, command queue and the
// main loop, which we run ourselves (glutMainLoopEvent + a sleep on the X
// connection) so other threads can wake it and it never spins while idle.
#include "oxengine/platform/glapp.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/startuptrace.h"
#include "oxengine/platform/glapp_x11.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/platform/rc.h"
#include "oxengine/platform/x11util.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdarg>
#include <dlfcn.h>
#include <link.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

oxGLUTApplication* theApplication = nullptr;

namespace {

void glutWarning(const char* format, va_list args)
{
    std::fputs("freeglut: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
}

// The display named by a -display option, else null (DISPLAY).
const char* displayName(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (argv[i] && std::strcmp(argv[i], "-display") == 0)
            return argv[i + 1];
    return nullptr;
}

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};

} // namespace

// Plain functions for GLUT; each does nothing while no application runs.
struct oxGLUTCallbacks {
    static void reshape(int w, int h)
    {
        if (theApplication)
            theApplication->handleReshape(w, h);
    }
    static void specialDown(int key, int, int)
    {
        if (theApplication) {
            theApplication->setKeyModifiers(glutGetModifiers());
            theApplication->dispatchKeyDown(key, true);
        }
    }
    static void specialUp(int key, int, int)
    {
        if (theApplication)
            theApplication->dispatchKeyUp(key, true);
    }
    static void keyDown(unsigned char key, int, int)
    {
        if (theApplication) {
            theApplication->setKeyModifiers(glutGetModifiers());
            theApplication->dispatchKeyDown(key, false);
        }
    }
    static void keyUp(unsigned char key, int, int)
    {
        if (theApplication)
            theApplication->dispatchKeyUp(key, false);
    }
    static void mouse(int button, int state, int x, int y)
    {
        if (theApplication) {
            theApplication->setKeyModifiers(glutGetModifiers());
            theApplication->handleMouseButton(button, state == GLUT_DOWN, x, y);
        }
    }
    static void motion(int x, int y)
    {
        if (theApplication)
            theApplication->handleMotion(x, y);
    }
    static void passiveMotion(int x, int y)
    {
        if (theApplication)
            theApplication->handlePassiveMotion(x, y);
    }
    static void menuStatus(int status, int x, int y)
    {
        if (theApplication)
            theApplication->dispatchMenuStatus(status != 0, x, y);
    }
    static void wheel(int, int direction, int x, int y)
    {
        if (theApplication)
            theApplication->dispatchMouseWheel(direction, x, y);
    }
    static void close()
    {
        if (theApplication)
            theApplication->handleClose();
    }
    static void display()
    {
        if (theApplication)
            theApplication->handleDisplay();
    }

    static void install()
    {
        glutReshapeFunc(reshape);
        glutSpecialFunc(specialDown);
        glutSpecialUpFunc(specialUp);
        glutKeyboardFunc(keyDown);
        glutKeyboardUpFunc(keyUp);
        glutMouseFunc(mouse);
        glutMotionFunc(motion);
        glutPassiveMotionFunc(passiveMotion);
        glutMenuStatusFunc(menuStatus);
        glutMouseWheelFunc(wheel);
        glutCloseFunc(close);
        glutWMCloseFunc(close);
        glutDisplayFunc(display);
    }
};

// ---- Command queue ---------------------------------------------------------------

void oxGLUTApplication::CommandQueue::push(unsigned c)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(c);
}

bool oxGLUTApplication::CommandQueue::empty() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.empty();
}

size_t oxGLUTApplication::CommandQueue::size() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

void oxGLUTApplication::CommandQueue::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.clear();
}

void oxGLUTApplication::CommandQueue::attach(oxApplication* app)
{
    oxIdleListener::attach(app);
    m_registered = true;
}

void oxGLUTApplication::CommandQueue::detach()
{
    oxIdleListener::detach();
    m_registered = false;
}

bool oxGLUTApplication::CommandQueue::idle(int64_t)
{
    bool have = false;
    unsigned c = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_queue.empty()) {
            c = m_queue.front();
            m_queue.pop_front();
            have = true;
        }
    }
    if (have)
        m_app->dispatchCommand(c);
    // A push from another thread after this test is handed over again by
    // processCrossThreadRequests, woken by that push.
    if (empty())
        m_app->removeIdleListener(this);
    return true;
}

// ---- oxGLUTApplication ---------------------------------------------------------------

oxGLUTApplication::oxGLUTApplication()
    : m_commands(this), m_title(oxGetTranslation("OpenGL Application")), m_mainThread(std::this_thread::get_id()),
      m_platform(std::make_unique<oxGLUTPlatform>())
{
}

oxGLUTApplication::~oxGLUTApplication()
{
    m_commands.clear();
    if (m_commands.registered())
        removeIdleListener(&m_commands);
    if (theApplication == this)
        theApplication = nullptr;
}

void oxGLUTApplication::postRedisplay()
{
    if (!onMainThread()) {
        postRedisplayFromAnyThread();
        return;
    }
    if (m_window)
        glutPostWindowRedisplay(m_window);
    m_redisplayPosted = true;
    m_postPass = m_pass;
}

void oxGLUTApplication::postRedisplayFromAnyThread()
{
    if (onMainThread()) {
        postRedisplay();
        return;
    }
    m_redisplayRequested = true;
    wakeMainLoop();
}

void oxGLUTApplication::swapBuffers()
{
    if (m_window)
        glutSwapBuffers();
}

void oxGLUTApplication::idleListenersChanged(int oldCount, int newCount)
{
    // The loop calls the idle dispatcher only while this is set; otherwise it
    // sleeps until the next event.
    if (oldCount == 0 && newCount > 0)
        m_idleInstalled = true;
    else if (oldCount > 0 && newCount == 0)
        m_idleInstalled = false;
}

void oxGLUTApplication::updateProjection()
{
    if (m_window) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, m_width, m_height, 0, 0, 1);
        glMatrixMode(GL_MODELVIEW);
    }
    postRedisplay();
}

void oxGLUTApplication::postCommand(unsigned command)
{
    m_commands.push(command);
    if (!onMainThread())
        wakeMainLoop();
    else if (!m_commands.registered())
        addIdleListener(&m_commands);
}

size_t oxGLUTApplication::pendingCommands() const
{
    return m_commands.size();
}

void oxGLUTApplication::wakeMainLoop()
{
    // Coalesced: one wake-up until the main thread has taken the requests.
    if (!m_wakePending.exchange(true))
        m_platform->sendWake();
}

void oxGLUTApplication::processCrossThreadRequests()
{
    m_wakePending = false;
    if (m_redisplayRequested.exchange(false))
        postRedisplay();
    if (!m_commands.registered() && !m_commands.empty())
        addIdleListener(&m_commands);
}

void oxGLUTApplication::setInitialWindowSize(int width, int height)
{
    if (m_started)
        return;
    oxAssert(width > 0 && height > 0, "invalid initial GLUT window size");
    m_width = width;
    m_height = height;
}

void oxGLUTApplication::setTitle(const std::string& title)
{
    m_title = title;
    if (!m_running)
        return;
    oxSetMessageBoxDefaultTitle(title);
    if (m_window && m_caption.empty()) {
        glutSetWindow(m_window);
        glutSetWindowTitle(title.c_str());
    }
}

void oxGLUTApplication::setWindowCaption(const std::string& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    if (m_running && m_window) {
        glutSetWindow(m_window);
        glutSetWindowTitle((m_caption.empty() ? m_title : m_caption).c_str());
    }
}

void oxGLUTApplication::setWindowIcon(int width, int height, std::vector<uint32_t> argb)
{
    m_icon.clear();
    if (width <= 0 || height <= 0 || argb.size() != size_t(width) * size_t(height))
        return;
    m_icon.reserve(argb.size() + 2);
    m_icon.push_back(unsigned(width));
    m_icon.push_back(unsigned(height));
    m_icon.insert(m_icon.end(), argb.begin(), argb.end());
    if (m_running && m_window)
        m_platform->setIcon(m_icon);
}

void oxGLUTApplication::leaveMainLoop()
{
    m_leave = true;
    if (!onMainThread())
        wakeMainLoop();
}

bool oxGLUTApplication::setSwapInterval(bool on)
{
    return m_platform->setSwapInterval(on);
}

void oxGLUTApplication::setFullScreen(bool on)
{
    m_fullScreen = on;
    if (!m_window)
        return;
    glutSetWindow(m_window);
    if (!m_managedFullScreen) {
        if (on)
            glutFullScreen();
        else
            glutLeaveFullScreen();
        return;
    }
    m_platform->requestFullScreen(on);
    // A window mapped full-screen has no other size the manager could return to.
    if (!on && m_openedFullScreen) {
        m_openedFullScreen = false;
        glutReshapeWindow(m_windowedWidth, m_windowedHeight);
    }
}

oxNativeWindowHandles oxGLUTApplication::nativeHandles() const
{
    return m_platform->handles();
}

// ---- Event translation ---------------------------------------------------------------

void oxGLUTApplication::handleReshape(int width, int height)
{
    const int h = height == 0 ? 1 : height;
    m_width = width;
    m_height = h;
    if (m_window)
        glViewport(0, 0, width, h);
    updateProjection();
    postRedisplay();
    dispatchReshape(width, h);
}

void oxGLUTApplication::handleMouseButton(int button, bool pressed, int x, int y)
{
    // GLUT numbers extra mouse buttons past the four we track.
    const bool tracked = button >= 0 && button < 4;
    bool click = false;
    if (pressed) {
        m_lastX = m_pressX = x;
        m_lastY = m_pressY = y;
        m_lastButton = button;
        if (tracked)
            m_buttonDown[button] = true;
    } else {
        if (tracked)
            m_buttonDown[button] = false;
        click = button == m_lastButton && std::abs(x - m_pressX) + std::abs(y - m_pressY) <= 5;
    }
    dispatchMouseButton(button, pressed, x, y);
    if (click)
        dispatchClick(button, x, y);
}

void oxGLUTApplication::handleMotion(int x, int y)
{
    const int dx = x - m_lastX, dy = y - m_lastY;
    m_lastX = x;
    m_lastY = y;
    dispatchDrag(dx, dy);
    handlePassiveMotion(x, y);
}

void oxGLUTApplication::handlePassiveMotion(int x, int y)
{
    const int held = m_buttonDown[0] ? 0 : m_buttonDown[2] ? 2 : m_buttonDown[1] ? 1 : -1;
    dispatchMouseMove(held, x, y);
}

void oxGLUTApplication::handleDisplay()
{
    m_redisplayPosted = false;
    display(false);
}

void oxGLUTApplication::handleClose()
{
    // freeglut destroys the window right after this callback returns.
    onClose();
    windowGone();
}

void oxGLUTApplication::windowDestroyedElsewhere()
{
    // Another client destroyed the window (freeglut ignores that): treat it
    // as a close, then let freeglut drop its record quietly.
    onClose();
    glutSetWindow(m_window);
    glutCloseFunc(nullptr);
    const int window = m_window;
    Display* display = static_cast<Display*>(m_platform->handles().display);
    windowGone();
    oxQuietXErrors quiet;
    glutDestroyWindow(window);
    XSync(display, False);
}

void oxGLUTApplication::windowGone()
{
    m_platform->close();
    m_window = 0;
    // Nothing is left to show or to receive input: the run ends.
    m_leave = true;
}

// ---- Window and main loop ---------------------------------------------------------------

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OX_LEAK_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define OX_LEAK_CHECKED 1
#endif

namespace {

#ifdef OX_LEAK_CHECKED
int pinDriver(dl_phdr_info* info, size_t, void*)
{
    if (info->dlpi_name && std::strstr(info->dlpi_name, "/dri/"))
        dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}
#endif

// Closing the display unloads the GL driver (Mesa's *_dri.so), whose static
// data still holds a few small blocks of its own. In a leak-checked build
// the driver stays mapped, so that the checker sees them held rather than
// lost; a normal build needs nothing of the kind.
void keepDriversForTheLeakCheck()
{
#ifdef OX_LEAK_CHECKED
    dl_iterate_phdr(pinDriver, nullptr);
#endif
}

} // namespace

void oxGLUTApplication::openWindow()
{
    m_window = glutCreateWindow((m_caption.empty() ? m_title : m_caption).c_str());
}

void oxGLUTApplication::closeWindow()
{
    if (m_window) {
        // Our own teardown is not the user closing the window.
        glutSetWindow(m_window);
        glutCloseFunc(nullptr);
        m_platform->close();
        // A context still current is only marked for deletion by freeglut's
        // glXDestroyContext, and the driver keeps the window's surface (a
        // whole colour buffer) with it: let go of it first.
        oxRC::doneCurrent();
        glutDestroyWindow(m_window);
        m_window = 0;
    }
    glutMainLoopEvent();
}

void oxGLUTApplication::processPendingEvents()
{
    ++m_pass;
    if (!m_running) {
        processCrossThreadRequests();
        return;
    }
    if (m_window && m_platform->drainWakesAndCheckDestroyed())
        windowDestroyedElsewhere();
    glutMainLoopEvent();
    deliverKeys();
    processCrossThreadRequests();
}

void oxGLUTApplication::deliverKeys()
{
    // One at a time: a key that runs a modal loop leaves the rest to it.
    oxKeyEvent key;
    while (!m_leave && m_window && m_platform->takeKey(key)) {
        setKeyModifiers(key.modifiers);
        if (key.pressed)
            dispatchKeyDown(key.code, key.special);
        else
            dispatchKeyUp(key.code, key.special);
    }
}

void oxGLUTApplication::postRedisplayAfter(int milliseconds)
{
    const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    m_redrawDue = std::min(m_redrawDue, due);
}

int oxGLUTApplication::checkTimedRedraw()
{
    if (m_redrawDue == std::chrono::steady_clock::time_point::max())
        return -1;
    const auto now = std::chrono::steady_clock::now();
    if (now >= m_redrawDue) {
        m_redrawDue = std::chrono::steady_clock::time_point::max();
        postRedisplay();
        return -1;
    }
    // Rounded up, so the wait never ends just before the time.
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(m_redrawDue - now).count()) + 1;
}

void oxGLUTApplication::waitForEvents(bool idleListenersPaused)
{
    if (!m_running || m_leave || m_wakePending)
        return;
    const int timeout = checkTimedRedraw();
    if (idleListenersPaused ? !m_commands.empty() : m_idleInstalled)
        return;
    // A redraw posted during this pass (a callback asking for the next frame)
    // is drawn by the next pass; one still due after a full pass waits for the
    // window to become visible.
    if (m_redisplayPosted && m_postPass == m_pass)
        return;
    // Every event that could mean the window was destroyed woke us, so one
    // check before each sleep cannot miss it.
    if (m_window && !m_platform->windowExists()) {
        windowDestroyedElsewhere();
        return;
    }
    m_platform->waitForEvent(timeout);
    checkTimedRedraw();
}

bool oxGLUTApplication::deliverNextCommand()
{
    if (m_commands.empty())
        return false;
    if (!m_commands.registered())
        addIdleListener(&m_commands);
    m_commands.idle(0);
    return true;
}

void oxGLUTApplication::mainLoop()
{
    while (!m_leave) {
        processPendingEvents();
        if (m_leave)
            break;
        if (m_idleInstalled) {
            dispatchIdle();
            continue;
        }
        waitForEvents();
    }
}

int oxGLUTApplication::run(oxGLUTApplication* app, int argc, char** argv)
{
    if (!app)
        return 1;
    oxInstallXErrorHandler();
    // glutInit ends the process when it cannot open the display, so we try
    // first. The probe stays open until freeglut has its own connection: a
    // connection opened right after one was closed is sometimes dropped.
    std::unique_ptr<Display, DisplayCloser> probe(oxOpenXDisplay(displayName(argc, argv)));
    if (!probe) {
        std::fprintf(stderr, "%s\n", oxGetTranslation("Cannot open a window: no X display is available."));
        return 1;
    }
    app->onBeforeWindow(probe.get());
    theApplication = app;
    app->m_started = true;
    app->m_leave = false;
    app->m_mainThread = std::this_thread::get_id();

    glutInitWarningFunc(glutWarning);
    glutInit(&argc, argv);
    probe.reset();
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
    glutInitDisplayString(app->m_displayMode.c_str());
    glutInitWindowPosition(0, 0);
    app->m_windowedWidth = app->m_width;
    app->m_windowedHeight = app->m_height;
    if (app->m_fullScreen) {
        // At the screen's size and full-screen from the first map: the
        // first frame is drawn at its final size, and no framed window at
        // the initial size shows before.
        app->m_width = std::max(glutGet(GLUT_SCREEN_WIDTH), 1);
        app->m_height = std::max(glutGet(GLUT_SCREEN_HEIGHT), 1);
        oxMapNextWindowFullScreen(true);
    }
    glutInitWindowSize(app->m_width, app->m_height);
    app->openWindow();
    oxMapNextWindowFullScreen(false);
    if (app->m_window <= 0) {
        app->m_window = 0;
        glutExit();
        std::fprintf(stderr, "%s\n", oxGetTranslation("Cannot open a window: no X display is available."));
        return 1;
    }
    oxMarkStartup("window mapped");
    oxGLUTCallbacks::install();
    app->m_platform->open();
    oxMarkStartup("GL context ready");
    if (!app->m_icon.empty())
        app->m_platform->setIcon(app->m_icon);
    app->m_running = true;
    oxSetMessageBoxDefaultTitle(app->m_title);
    app->m_managedFullScreen = app->m_platform->managerDoesFullScreen();
    app->m_openedFullScreen = app->m_fullScreen && app->m_managedFullScreen;
    // A manager mapped it full-screen already; without one freeglut sizes it.
    if (app->m_fullScreen && !app->m_managedFullScreen)
        app->setFullScreen(true);
    // Commands posted before the loop existed.
    app->processCrossThreadRequests();

    app->onStart();
    app->mainLoop();

    {
        // Errors about resources that die with the connection mean nothing now.
        oxQuietXErrors quiet;
        app->closeWindow();
        app->m_running = false;
        keepDriversForTheLeakCheck();
        glutExit();
    }
    return 0;
}
