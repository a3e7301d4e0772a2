// Application framework: listeners, the GLUT main loop, the command queue and
// the timers. Everything here runs on the main thread, except postCommand,
// postRedisplayFromAnyThread and leaveMainLoop, which any thread may call.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class oxApplication;
class oxViewingTransform;

// Modifier keys held at an input event (the values of GLUT's GLUT_ACTIVE_*).
enum oxKeyModifier { KM_SHIFT = 1, KM_CTRL = 2, KM_ALT = 4 };

// Stopwatch over std::chrono::steady_clock.
class oxTimer {
public:
    enum Unit { Seconds = 0, Milliseconds = 1, Microseconds = 2, Ticks = 3 };
    void restart();
    int64_t stop();                  // ticks since restart
    int64_t elapsed(int unit) const; // while running: up to now; stopped: up to the stop
    bool isRunning() const { return m_running; }
    static int64_t frequency();      // ticks per second
    static int64_t now();

    // Converts a tick count to unit (0 for an unknown unit) without
    // overflowing for long spans.
    static int64_t ticksToUnit(int64_t ticks, int unit);

private:
    int64_t m_start = 0;
    mutable int64_t m_now = 0;
    bool m_running = false;
};

class oxGUIEventListener {
public:
    virtual ~oxGUIEventListener();
    virtual bool onMouseButton(int button, bool pressed, int x, int y);
    virtual bool onClick(int button, int x, int y);
    virtual void onDrag(int dx, int dy);
    virtual void onMouseMove(int button, int x, int y); // button held, or -1
    virtual bool onMouseWheel(int direction, int x, int y);
    virtual bool onMenuStatus(bool inUse, int x, int y);
    virtual bool onCommand(unsigned command);
    virtual bool onKeyDown(int key, bool special);
    virtual bool onKeyUp(int key, bool special);
    virtual void onReshape(int width, int height);
    virtual void attach(oxApplication* app) { m_owner = app; }
    virtual void detach() { m_owner = nullptr; }
    oxApplication* owner() const { return m_owner; }

private:
    oxApplication* m_owner = nullptr;
};

class oxRenderListener {
public:
    virtual ~oxRenderListener();
    virtual void preRender() {}
    virtual void postRender() {}
    virtual void attach(oxApplication* app) { m_owner = app; }
    virtual void detach() { m_owner = nullptr; }
    oxApplication* owner() const { return m_owner; }

private:
    oxApplication* m_owner = nullptr;
};

class oxIdleListener {
public:
    virtual ~oxIdleListener();
    // Calls idle with the microseconds since the last accepted call; restarts
    // the timer when idle returns true.
    virtual void tick();
    virtual bool idle(int64_t elapsedMicroseconds) = 0;
    virtual void attach(oxApplication* app);
    virtual void detach();
    oxApplication* owner() const { return m_owner; }

protected:
    oxTimer m_timer;

private:
    oxApplication* m_owner = nullptr;
};

class oxApplication : public oxGUIEventListener {
public:
    oxApplication();
    ~oxApplication() override;
    oxApplication(const oxApplication&) = delete;
    oxApplication& operator=(const oxApplication&) = delete;

    virtual void postRedisplay() = 0;
    // Main thread: a redraw once the milliseconds have passed (timed frames
    // such as an animation's); the loop sleeps until then. Only the earliest
    // of several requests is kept. Here: a redraw now.
    virtual void postRedisplayAfter(int /*milliseconds*/) { postRedisplay(); }
    virtual void swapBuffers() = 0;
    virtual void idleListenersChanged(int oldCount, int newCount) = 0;
    virtual void onStart() {}
    virtual void render() {}
    // Whether the next frame's drawing covers every pixel of the window
    // opaquely, so clearing first would be a pass for nothing.
    virtual bool frameCoversWindow() { return false; }
    virtual void onClose() {}
    virtual int width() const { return 0; }
    virtual int height() const { return 0; }
    virtual void display(bool flushOnly);
    virtual void addIdleListener(oxIdleListener* l);
    virtual void removeIdleListener(oxIdleListener* l);

    void addGUIEventListener(oxGUIEventListener* l, bool atFront = false);
    void removeGUIEventListener(oxGUIEventListener* l);
    void addRenderListener(oxRenderListener* l, bool atFront = false);
    void removeRenderListener(oxRenderListener* l);
    // Replaces (and destroys) the installed transform; the new one is
    // appended to the GUI event listeners and owned by the application.
    void setViewingTransform(std::unique_ptr<oxViewingTransform> t);
    oxViewingTransform* viewingTransform() const { return m_viewingTransform.get(); }

    void setClearMask(unsigned mask) { m_clearMask = mask; }
    unsigned clearMask() const { return m_clearMask; }

    const std::vector<oxGUIEventListener*>& guiEventListeners() const { return m_guiListeners; }
    const std::vector<oxIdleListener*>& idleListeners() const { return m_idleListeners; }
    const std::vector<oxRenderListener*>& renderListeners() const { return m_renderListeners; }

    // Event fan-out used by the window-system binding (and by tests). The
    // bool ones stop at the first listener that handles the event. Listeners
    // may add or remove listeners while an event is delivered.
    bool dispatchMouseButton(int button, bool pressed, int x, int y);
    bool dispatchClick(int button, int x, int y);
    void dispatchDrag(int dx, int dy);
    void dispatchMouseMove(int button, int x, int y);
    bool dispatchMouseWheel(int direction, int x, int y);
    bool dispatchMenuStatus(bool inUse, int x, int y);
    bool dispatchCommand(unsigned command);
    bool dispatchKeyDown(int key, bool special);
    bool dispatchKeyUp(int key, bool special);
    void dispatchReshape(int width, int height);
    // One idle pass: tick() on every idle listener, re-reading the count.
    void dispatchIdle();

private:
    std::unique_ptr<oxViewingTransform> m_viewingTransform;
    unsigned m_clearMask;
    std::vector<oxGUIEventListener*> m_guiListeners;
    std::vector<oxIdleListener*> m_idleListeners;
    std::vector<oxRenderListener*> m_renderListeners;
};

// Native handles of the program's window, for shared rendering contexts.
struct oxNativeWindowHandles {
    void* display = nullptr;       // Display* of the GLUT connection
    unsigned long window = 0;      // X Window
    void* context = nullptr;       // GLXContext of the window
    void* fbConfig = nullptr;      // GLXFBConfig of the window, when known
    int visualId = 0;
};

struct _XDisplay;
struct oxGLUTPlatform; // X11 side of the main loop (glapp_x11.cpp)

class oxGLUTApplication : public oxApplication {
public:
    oxGLUTApplication();
    ~oxGLUTApplication() override;

    void postRedisplay() override;
    void postRedisplayAfter(int milliseconds) override;
    void swapBuffers() override;
    void idleListenersChanged(int oldCount, int newCount) override;
    int width() const override { return m_width; }
    int height() const override { return m_height; }
    // Safe from any thread: the command reaches the listeners on the main
    // thread, one per idle pass, in the order posted per thread.
    virtual void postCommand(unsigned command);
    // Called by run once the display is known to be there, before the window
    // and its GL context are made (loading the GL driver takes a while): work
    // that needs neither can start here. The connection closes after the call.
    virtual void onBeforeWindow(_XDisplay* /*display*/) {}
    // Window pixels: origin at the top left, y downward, depth 0 to 1.
    virtual void updateProjection();

    void setInitialWindowSize(int width, int height);
    // The application's name: the window's caption unless one is set, and
    // the caption of boxes and dialogs without a title of their own.
    void setTitle(const std::string& title);
    const std::string& title() const { return m_title; }
    // What the window's title bar (and a task switcher) shows now, such as
    // the picture's name; empty: the title.
    void setWindowCaption(const std::string& caption);
    const std::string& windowCaption() const { return m_caption; }
    // The window's icon, ARGB pixels with rows top first (applied when the
    // window opens if it does not exist yet).
    void setWindowIcon(int width, int height, std::vector<uint32_t> argb);
    void setDisplayMode(const std::string& mode) { m_displayMode = mode; }

    // Does not return until the main loop ends (leaveMainLoop, or the window
    // was closed); then the window is gone and GLUT is shut down, so a later
    // run may start again. Returns 0, or 1 when no window could be opened.
    static int run(oxGLUTApplication* app, int argc, char** argv);
    // Ends the main loop after the current callback (any thread).
    void leaveMainLoop();
    bool isRunning() const { return m_running; }

    bool setSwapInterval(bool on);
    // Before run the wish is applied when the window opens.
    void setFullScreen(bool on);
    bool isFullScreen() const { return m_fullScreen; }

    // All null/0 while no window exists.
    oxNativeWindowHandles nativeHandles() const;
    // Any thread: wakes the sleeping main loop and requests a redraw.
    void postRedisplayFromAnyThread();

    int glutWindow() const { return m_window; }
    // True while the main loop calls the idle dispatcher (idle listeners exist).
    bool isIdleCallbackInstalled() const { return m_idleInstalled; }

    // Queued commands not yet delivered.
    size_t pendingCommands() const;

    // Main thread: takes over what other threads asked for (command queue
    // registration, redisplay). Called by the loop when it is woken.
    void processCrossThreadRequests();
    // Main thread: one pass over pending window events and cross-thread
    // requests without waiting. Modal loops nested in a handler use this
    // (rather than glutMainLoopEvent alone) so that posts from other threads
    // keep arriving, and waitForEvents to sleep between passes.
    void processPendingEvents();
    // Main thread: sleeps until a window event or a cross-thread request
    // arrives; returns at once when a redraw is still due. A modal loop that
    // does not run the idle listeners passes idleListenersPaused, so that
    // they do not keep it awake (queued commands still do).
    void waitForEvents(bool idleListenersPaused = false);
    // Main thread: offers the oldest queued command to the listeners now, as
    // the queue's idle pass does; false when none was queued. For modal
    // loops that deliver commands without running the other idle listeners.
    bool deliverNextCommand();
    // True once the main loop was asked to end; nested loops end then too.
    bool isLeaving() const { return m_leave; }
    // Shift, Ctrl and Alt (KM_* bits) as they were at the key or mouse event
    // being delivered; the window-system binding sets them before each one.
    int keyModifiers() const { return m_keyModifiers; }
    void setKeyModifiers(int modifiers) { m_keyModifiers = modifiers; }

    // Translation of the window system's callbacks (public so the click and
    // reshape rules can be driven without a window).
    void handleReshape(int width, int height);
    void handleMouseButton(int button, bool pressed, int x, int y);
    void handleMotion(int x, int y);        // a button is held
    void handlePassiveMotion(int x, int y); // no button is held
    void handleDisplay();
    void handleClose();

private:
    friend struct oxGLUTCallbacks;
    class CommandQueue : public oxIdleListener {
    public:
        explicit CommandQueue(oxGLUTApplication* app) : m_app(app) {}
        bool idle(int64_t elapsedMicroseconds) override;
        void attach(oxApplication* app) override;
        void detach() override;
        void push(unsigned c);
        bool empty() const;
        size_t size() const;
        void clear();
        bool registered() const { return m_registered; }

    private:
        oxGLUTApplication* m_app;
        bool m_registered = false;
        mutable std::mutex m_mutex;
        std::deque<unsigned> m_queue;
    };

    bool onMainThread() const { return std::this_thread::get_id() == m_mainThread; }
    void wakeMainLoop();
    void openWindow();
    void closeWindow();
    void windowGone();
    void windowDestroyedElsewhere();
    void mainLoop();
    // Hands the keys read on the keyboard's connection to the listeners.
    void deliverKeys();

    CommandQueue m_commands;
    int m_width = 640;
    int m_height = 480;
    std::string m_title;
    std::string m_caption;
    std::vector<unsigned long> m_icon; // _NET_WM_ICON: width, height, pixels
    std::string m_displayMode = "rgb double depth";
    bool m_buttonDown[4] = {false, false, false, false};

    // Pointer state for drags and click recognition.
    int m_lastX = 0, m_lastY = 0;
    int m_pressX = 0, m_pressY = 0;
    int m_lastButton = -1;

    int m_window = 0;
    bool m_fullScreen = false;
    // The window manager takes full-screen requests (else freeglut sizes the window).
    bool m_managedFullScreen = false;
    // Opened full-screen: leaving it the first time gives the window its initial size.
    bool m_openedFullScreen = false;
    int m_windowedWidth = 640;
    int m_windowedHeight = 480;
    bool m_started = false;
    bool m_running = false;
    std::atomic<bool> m_leave{false};
    bool m_idleInstalled = false;
    int m_keyModifiers = 0;

    // Redraw bookkeeping so the loop never sleeps with a redraw due.
    bool m_redisplayPosted = false;
    // When a timed redraw is due (postRedisplayAfter); max() for none.
    std::chrono::steady_clock::time_point m_redrawDue = std::chrono::steady_clock::time_point::max();
    // Posts the timed redraw when it is due; else the milliseconds until it
    // is (-1 for none).
    int checkTimedRedraw();
    uint64_t m_pass = 0;
    uint64_t m_postPass = 0;

    std::thread::id m_mainThread;
    std::atomic<bool> m_wakePending{false};
    std::atomic<bool> m_redisplayRequested{false};
    std::unique_ptr<oxGLUTPlatform> m_platform;
};

// The running application (null before run).
extern oxGLUTApplication* theApplication;

// Engine GL utility: is name one of the blank-separated GL extension tokens?
bool isExtensionSupported(const char* name);
// The token test behind it: name is a whole blank-separated token of list.
bool oxHasExtensionToken(const char* list, const char* name);
// GL procedure lookup (glXGetProcAddressARB).
void* oxGetProcAddress(const char* name);
