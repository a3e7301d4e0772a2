// Application framework: listeners, the GLUT main loop, the command queue and
// the timers. Everything here runs on the main thread, except postCommand,
// postRedisplayFromAnyThread and wakeMainLoop, which any thread may call.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class oxApplication;
class oxViewingTransform;

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

    // Elapsed-time arithmetic of the millisecond fallback counter, which
    // wraps at 2^32 (exposed for tests).
    static int64_t wrappedMillisecondSpan(uint32_t start, uint32_t now);

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
    virtual void swapBuffers() = 0;
    virtual void idleListenersChanged(int oldCount, int newCount) = 0;
    virtual void onStart() {}
    virtual void render() {}
    virtual void onClose() {}
    virtual int width() const { return 0; }
    virtual int height() const { return 0; }
    virtual void display(bool flushOnly);
    virtual void setPerspective(float fovy, float zNear, float zFar) = 0;
    virtual void addIdleListener(oxIdleListener* l);
    virtual void removeIdleListener(oxIdleListener* l);

    void addGUIEventListener(oxGUIEventListener* l, bool atFront = false);
    void removeGUIEventListener(oxGUIEventListener* l);
    void addRenderListener(oxRenderListener* l, bool atFront = false);
    void removeRenderListener(oxRenderListener* l);
    // Replaces the installed transform (destroyed when deleteOld); the new one
    // is appended to the GUI event listeners.
    void setViewingTransform(oxViewingTransform* t, bool deleteOld);
    oxViewingTransform* viewingTransform() const { return m_viewingTransform; }

    void setClearMask(unsigned mask) { m_clearMask = mask; }
    unsigned clearMask() const { return m_clearMask; }

    const std::vector<oxGUIEventListener*>& guiEventListeners() const { return m_guiListeners; }
    const std::vector<oxIdleListener*>& idleListeners() const { return m_idleListeners; }
    const std::vector<oxRenderListener*>& renderListeners() const { return m_renderListeners; }

    // Event fan-out used by the window-system binding (and by tests). The
    // bool ones stop at the first listener that handles the event.
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
    oxViewingTransform* m_viewingTransform = nullptr;
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

class oxGLUTApplication : public oxApplication {
public:
    oxGLUTApplication();
    ~oxGLUTApplication() override;

    void postRedisplay() override;
    void swapBuffers() override;
    void idleListenersChanged(int oldCount, int newCount) override;
    int width() const override { return m_width; }
    int height() const override { return m_height; }
    void setPerspective(float fovy, float zNear, float zFar) override;
    // Safe from any thread: the command reaches the listeners on the main
    // thread, one per idle pass, in the order posted per thread.
    virtual void postCommand(unsigned command);
    virtual void updateProjection();

    void setInitialWindowSize(int width, int height);
    void setTitle(const std::string& title);
    const std::string& title() const { return m_title; }
    void setDisplayMode(const std::string& mode) { m_displayMode = mode; }
    void setGameModeString(const std::string& mode) { m_gameMode = mode; }

    // Does not return until the main loop ends (leaveMainLoop).
    static int run(oxGLUTApplication* app, int argc, char** argv);
    // Ends the main loop after the current callback.
    void leaveMainLoop();

    bool isGameModeActive() const;
    void leaveGameModeAndExit();
    bool setSwapInterval(bool on);
    void setFullScreen(bool on);
    bool isFullScreen() const { return m_fullScreen; }

    oxNativeWindowHandles nativeHandles() const;
    // Any thread: wakes the sleeping main loop and requests a redraw.
    void postRedisplayFromAnyThread();

    int glutWindow() const { return m_window; }

    // Queued commands not yet delivered (main thread).
    size_t pendingCommands() const;

    // Called on the main thread when the loop is woken from another thread
    // (also usable by tests that drive the loop by hand).
    void processCrossThreadRequests();

private:
    friend struct oxGLUTCallbacks;
    class CommandQueue : public oxIdleListener {
    public:
        explicit CommandQueue(oxGLUTApplication* app) : m_app(app) {}
        bool idle(int64_t elapsedMicroseconds) override;
        void push(unsigned c);
        bool empty() const;
        size_t size() const;
        void clear();
        bool registered = false;

    private:
        oxGLUTApplication* m_app;
        mutable std::mutex m_mutex;
        std::deque<unsigned> m_queue;
    };

    CommandQueue m_commands;
    int m_width = 640;
    int m_height = 480;
    std::string m_title;
    std::string m_displayMode = "rgb double depth";
    std::string m_gameMode;
    int m_menuButton = -1;
    bool m_menuAttached = false;
    bool m_buttonDown[4] = {false, false, false, false};
    float m_fovy = 45.0f, m_aspect = 1.0f, m_zNear = 1.0f, m_zFar = 100.0f;
    int m_window = 0;
    bool m_fullScreen = false;
    bool m_idleInstalled = false;
};

// The running application (null before run).
extern oxGLUTApplication* theApplication;

// Engine GL utility: is name one of the blank-separated GL extension tokens?
bool isExtensionSupported(const char* name);
// GL procedure lookup (glXGetProcAddressARB).
void* oxGetProcAddress(const char* name);
