// gtest before Xlib, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "loopapp.h"

#include "oxengine/mainwindow.h"
#include "oxengine/messagebox.h"
#include "oxengine/strings.h"
#include "oxengine/x11util.h"
#include "support/testsupport.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

using namespace std::chrono_literals;

namespace {

#define REQUIRE_DISPLAY()                                                                                              \
    if (!haveXDisplay())                                                                                                \
    GTEST_SKIP() << "no X display"

class Recorder : public oxGUIEventListener {
public:
    Recorder(std::string name, SharedLog& log) : m_name(std::move(name)), m_log(log) {}
    bool handleKeys = false, handleClicks = false;
    bool onKeyDown(int key, bool special) override
    {
        m_log.add(m_name + ":key" + std::to_string(key) + (special ? "s" : ""));
        return handleKeys;
    }
    bool onMouseButton(int button, bool pressed, int, int) override
    {
        m_log.add(m_name + ":button" + std::to_string(button) + (pressed ? "down" : "up"));
        return false;
    }
    bool onClick(int button, int, int) override
    {
        m_log.add(m_name + ":click" + std::to_string(button));
        return handleClicks;
    }
    bool onMouseWheel(int direction, int, int) override
    {
        m_log.add(m_name + ":wheel" + std::to_string(direction));
        return true;
    }
    void onReshape(int w, int h) override { m_log.add(m_name + ":reshape" + std::to_string(w) + "x" + std::to_string(h)); }

private:
    std::string m_name;
    SharedLog& m_log;
};

std::vector<std::string> splitLines(const std::string& text)
{
    return splitString(text, "\n");
}

std::string windowId(const LoopApp& app)
{
    return std::to_string(app.nativeHandles().window);
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Sends the close request a window manager sends for the title bar's button.
void sendDeleteWindow(unsigned long window)
{
    Display* d = oxOpenXDisplay();
    ASSERT_NE(d, nullptr);
    XEvent e;
    std::memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, window, False, NoEventMask, &e);
    XCloseDisplay(d);
}

// Position of the top-level window in the stacking order (bottom first), or -1.
int stackingIndex(unsigned long window)
{
    Display* d = oxOpenXDisplay();
    if (!d)
        return -1;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    int index = -1;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i)
            if (children[i] == window)
                index = int(i);
        XFree(children);
    }
    XCloseDisplay(d);
    return index;
}

} // namespace

TEST(MainLoop, WindowedRunDrawsListenersInOrder)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated([] {
        LoopApp app;
        app.setInitialWindowSize(320, 240);
        app.setTitle("oxtest windowed");
        SharedLog log;
        Recorder rec("r", log);
        app.addGUIEventListener(&rec);

        // The pre-render listener fills the left half red, the scene fills a
        // middle band green, the post-render listener puts a blue square on top.
        struct Layers : oxRenderListener {
            static void rect(float x0, float y0, float x1, float y1, float r, float g, float b)
            {
                glColor3f(r, g, b);
                glBegin(GL_QUADS);
                glVertex2f(x0, y0), glVertex2f(x1, y0), glVertex2f(x1, y1), glVertex2f(x0, y1);
                glEnd();
            }
            void preRender() override
            {
                glMatrixMode(GL_PROJECTION);
                glLoadIdentity();
                glOrtho(0, 320, 240, 0, -1, 1);
                glMatrixMode(GL_MODELVIEW);
                glDisable(GL_DEPTH_TEST);
                rect(0, 0, 160, 240, 1, 0, 0);
            }
            void postRender() override { rect(100, 100, 140, 140, 0, 0, 1); }
        } layers;
        app.addRenderListener(&layers);
        app.renderHook = [] { Layers::rect(80, 0, 240, 120, 0, 1, 0); };

        std::vector<uint8_t> pixels;
        oxNativeWindowHandles handles;
        oxMainWindowContext shared;
        int glutWidth = 0;
        bool multitexture = false, bogusExtension = true;
        void* activeTexture = nullptr;
        app.commandHook = [&](unsigned c) {
            if (c != 1)
                return false;
            multitexture = isExtensionSupported("GL_ARB_multitexture");
            bogusExtension = isExtensionSupported("GL_ARB_multi");
            activeTexture = oxGetProcAddress("glActiveTextureARB");
            std::printf("swap interval control: %s\n", app.setSwapInterval(false) ? "yes" : "no");
            handles = app.nativeHandles();
            shared = oxGetMainWindowContext();
            glutWidth = glutGet(GLUT_WINDOW_WIDTH);
            // Draw without swapping and read the back buffer.
            glClearColor(0, 0, 0, 1);
            app.display(true);
            pixels.resize(320 * 240 * 4);
            glReadBuffer(GL_BACK);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, 320, 240, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
            app.leaveMainLoop();
            return true;
        };
        const int rc = app.runFor(20s, [&] {
            waitUntil([&] { return app.frames > 0; }, 5s);
            app.postCommand(1);
        });
        EXPECT_EQ(rc, 0);
        EXPECT_FALSE(app.timedOut);
            EXPECT_EQ(glutWidth, 320);
        EXPECT_TRUE(multitexture);
        EXPECT_FALSE(bogusExtension);
        EXPECT_NE(activeTexture, nullptr);
        EXPECT_TRUE(log.contains("r:reshape320x240"));
        EXPECT_NE(handles.display, nullptr);
        EXPECT_NE(handles.window, 0u);
        EXPECT_NE(handles.context, nullptr);
        EXPECT_NE(handles.fbConfig, nullptr);
        EXPECT_NE(handles.visualId, 0);
        EXPECT_EQ(shared.drawable, handles.window);
        EXPECT_EQ(shared.context, handles.context);
        // Gone with the window.
        EXPECT_EQ(oxGetMainWindowContext().context, nullptr);
        EXPECT_EQ(app.nativeHandles().window, 0u);

        ASSERT_EQ(pixels.size(), 320u * 240 * 4);
        // GL rows start at the bottom: window y = 239 - row.
        auto at = [&](int x, int y) {
            const uint8_t* p = &pixels[(size_t(239 - y) * 320 + x) * 4];
            return (p[0] > 128 ? 4 : 0) | (p[1] > 128 ? 2 : 0) | (p[2] > 128 ? 1 : 0);
        };
        EXPECT_EQ(at(20, 200), 4);  // red: pre-render only
        EXPECT_EQ(at(90, 20), 2);   // green scene over the red
        EXPECT_EQ(at(200, 20), 2);  // green over the black background
        EXPECT_EQ(at(120, 120), 1); // blue on top of everything
        EXPECT_EQ(at(300, 200), 0); // cleared to black
        writePngRGBA(artifactDir() + "/glapp_windowed_bottom_up.png", pixels.data(), 320, 240);
    }, 90s));
}

TEST(MainLoop, FullScreenWindowCoversTheScreen)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated([] {
        LoopApp app;
        app.setInitialWindowSize(300, 200);
        app.setFullScreen(true);
        int screenW = 0, screenH = 0;
        app.startHook = [&] {
            screenW = glutGet(GLUT_SCREEN_WIDTH);
            screenH = glutGet(GLUT_SCREEN_HEIGHT);
        };
        const int rc = app.runFor(20s, [&] {
            waitUntil([&] { return screenW > 0 && app.width() == screenW && app.height() == screenH; }, 5s);
            app.postCommand(LoopApp::CMD_QUIT);
        });
        EXPECT_EQ(rc, 0);
        EXPECT_GT(screenW, 300);
        EXPECT_EQ(app.width(), screenW);
        EXPECT_EQ(app.height(), screenH);
    }, 90s));
}

TEST(MainLoop, ImpossibleGameModeFallsBackToAWindow)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated([] {
        LoopApp app;
        app.setInitialWindowSize(200, 100);
        app.setGameModeString("7x5:3@1");
        bool active = true;
        int window = 0;
        app.startHook = [&] {
            active = app.isGameModeActive();
            window = app.glutWindow();
            // Ignored once the application runs.
            app.setInitialWindowSize(10, 10);
            app.leaveGameModeAndExit(); // nothing: not in game mode
        };
        const int rc = app.runFor(20s, [&] {
            waitUntil([&] { return app.frames > 0; }, 5s);
            app.postCommand(LoopApp::CMD_QUIT);
        });
        EXPECT_EQ(rc, 0);
        EXPECT_FALSE(active);
        EXPECT_GT(window, 0);
        EXPECT_EQ(app.width(), 200);
        EXPECT_GT(app.frames.load(), 0);
    }, 90s));
}

TEST(MainLoop, InputFromXdotoolReachesListenersInOrder)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated([] {
        LoopApp app;
        app.setInitialWindowSize(320, 240);
        SharedLog log;
        Recorder a("a", log), b("b", log), c("c", log);
        b.handleKeys = true;
        b.handleClicks = true;
        app.addGUIEventListener(&a);
        app.addGUIEventListener(&b);
        app.addGUIEventListener(&c);
        std::string failures;
        const int rc = app.runFor(30s, [&] {
            waitUntil([&] { return app.frames > 0; }, 5s);
            const std::string w = windowId(app);
            // Without a window manager the keyboard follows the pointer.
            xdotool("mousemove --window " + w + " 50 60 key x F1 click 1 click 4");
            if (!waitUntil([&] { return log.contains("c:wheel1") || log.contains("a:wheel1"); }, 5s))
                failures = "the events did not all arrive";
            app.postCommand(LoopApp::CMD_QUIT);
        });
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(failures, "");
        std::vector<std::string> events = log.items();
        std::erase_if(events, [](const std::string& s) { return s.find("reshape") != std::string::npos; });
        // The application itself is the first listener and handles nothing; b
        // handles keys and clicks, so c never sees them. The wheel is handled by a.
        EXPECT_EQ(events, (std::vector<std::string>{"a:key120", "b:key120", "a:key1s", "b:key1s", "a:button0down",
                                                    "b:button0down", "c:button0down", "a:button0up", "b:button0up",
                                                    "c:button0up", "a:click0", "b:click0", "a:wheel1"}));
    }, 90s));
}

TEST(MainLoop, CommandsFromFourThreadsArriveOnceAndInOrder)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated([] {
        LoopApp app;
        app.setInitialWindowSize(64, 64);
        constexpr unsigned kThreads = 4, kEach = 10000;
        std::vector<std::vector<unsigned>> received(kThreads);
        std::atomic<unsigned> total{0};
        bool offMainThread = false;
        const std::thread::id mainThread = std::this_thread::get_id();
        app.commandHook = [&](unsigned c) {
            if (std::this_thread::get_id() != mainThread)
                offMainThread = true;
            const unsigned t = c >> 16;
            if (t < kThreads)
                received[t].push_back(c & 0xFFFF);
            if (++total == kThreads * kEach)
                app.leaveMainLoop();
            return true;
        };
        const int rc = app.runFor(60s, [&] {
            std::vector<std::thread> posters;
            for (unsigned t = 0; t < kThreads; ++t)
                posters.emplace_back([&, t] {
                    for (unsigned i = 0; i < kEach; ++i)
                        app.postCommand(t << 16 | i);
                });
            for (auto& p : posters)
                p.join();
        });
        EXPECT_EQ(rc, 0);
        EXPECT_FALSE(app.timedOut);
        EXPECT_FALSE(offMainThread);
        EXPECT_EQ(total.load(), kThreads * kEach);
        for (unsigned t = 0; t < kThreads; ++t) {
            ASSERT_EQ(received[t].size(), kEach) << "thread " << t;
            for (unsigned i = 0; i < kEach; ++i)
                ASSERT_EQ(received[t][i], i) << "thread " << t;
        }
    }, 90s));
}

TEST(MainLoop, PostFromAnotherThreadWakesTheSleepingLoop)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated([] {
        LoopApp app;
        app.setInitialWindowSize(64, 64);
        std::atomic<int64_t> deliveredAt{0};
        app.commandHook = [&](unsigned c) {
            if (c == 42)
                deliveredAt = oxTimer::now();
            return c == 42;
        };
        std::vector<double> latencies;
        bool redrawWoke = false;
        const int rc = app.runFor(30s, [&] {
            waitUntil([&] { return app.frames > 0; }, 5s);
            for (int i = 0; i < 5; ++i) {
                std::this_thread::sleep_for(200ms); // the loop is asleep now
                deliveredAt = 0;
                const int64_t postedAt = oxTimer::now();
                app.postCommand(42);
                if (!waitUntil([&] { return deliveredAt != 0; }, 2s))
                    break;
                latencies.push_back(double(deliveredAt - postedAt) * 1000.0 / double(oxTimer::frequency()));
            }
            const int before = app.frames;
            std::this_thread::sleep_for(100ms);
            app.postRedisplayFromAnyThread();
            redrawWoke = waitUntil([&] { return app.frames > before; }, 2s);
            app.postCommand(LoopApp::CMD_QUIT);
        });
        EXPECT_EQ(rc, 0);
        ASSERT_EQ(latencies.size(), 5u) << "a posted command was not delivered within 2 s";
        EXPECT_TRUE(redrawWoke);
        std::sort(latencies.begin(), latencies.end());
        std::printf("wake-up latency of a cross-thread post: median %.3f ms, max %.3f ms\n", latencies[2], latencies[4]);
    }, 90s));
}

TEST(MainLoop, IdleLoopUsesNoProcessorTime)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated([] {
        LoopApp app;
        app.setInitialWindowSize(64, 64);
        double used = -1;
        const int rc = app.runFor(30s, [&] {
            waitUntil([&] { return app.frames > 0; }, 5s);
            std::this_thread::sleep_for(300ms);
            const double start = cpuSeconds();
            std::this_thread::sleep_for(3s);
            used = cpuSeconds() - start;
            app.postCommand(LoopApp::CMD_QUIT);
        });
        EXPECT_EQ(rc, 0);
        std::printf("processor time while idle: %.1f ms over 3 s (%.2f%%)\n", used * 1000.0, used / 3.0 * 100.0);
        EXPECT_GE(used, 0.0);
        EXPECT_LT(used, 0.02 * 3.0);
    }, 90s));
}

TEST(MainLoop, WindowManagerCloseReachesOnCloseAndEndsTheRun)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated([] {
        LoopApp app;
        app.setInitialWindowSize(64, 64);
        const int rc = app.runFor(20s, [&] {
            waitUntil([&] { return app.frames > 0; }, 5s);
            sendDeleteWindow(app.nativeHandles().window);
        });
        EXPECT_EQ(rc, 0);
        EXPECT_FALSE(app.timedOut);
        EXPECT_TRUE(app.closed);
    }, 90s));
}

TEST(MainLoop, WindowDestroyedByAnotherClientEndsTheRun)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated([] {
        LoopApp app;
        app.setInitialWindowSize(64, 64);
        const int rc = app.runFor(20s, [&] {
            waitUntil([&] { return app.frames > 0; }, 5s);
            xdotool("windowclose " + windowId(app));
        });
        EXPECT_EQ(rc, 0);
        EXPECT_FALSE(app.timedOut);
        EXPECT_TRUE(app.closed);
    }, 90s));
}

TEST(MainLoop, LeaveFromAnotherThreadEndsTheRun)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated([] {
        LoopApp app;
        app.setInitialWindowSize(64, 64);
        const int rc = app.runFor(20s, [&] {
            waitUntil([&] { return app.frames > 0; }, 5s);
            std::this_thread::sleep_for(100ms);
            app.leaveMainLoop();
        });
        EXPECT_EQ(rc, 0);
        EXPECT_FALSE(app.timedOut);
        EXPECT_FALSE(app.closed);
    }, 90s));
}

TEST(MainLoop, MessageBoxFromAThreadShowsAboveTheFullScreenWindow)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated([] {
        unsetenv("OX_MESSAGE_LOG");
        oxSetMessageHandler({}); // a real box (this child only)
        LoopApp app;
        app.setTitle("oxtest fullscreen box");
        app.setFullScreen(true);
        std::atomic<int> answer{0};
        const int rc = app.runFor(30s, [&] {
            waitUntil([&] { return app.frames > 0 && app.width() > 640; }, 5s);
            const unsigned long main = app.nativeHandles().window;
            // An empty caption becomes the application's title.
            std::thread box([&] { answer = oxShowMessage("Above the full-screen window?", "", MB_YES | MB_NO); });
            unsigned long boxWindow = 0;
            waitUntil(
                [&] {
                    std::string out;
                    xdotool("search --onlyvisible --name '^oxtest fullscreen box$'", &out);
                    for (const std::string& line : splitLines(out))
                        if (std::strtoul(line.c_str(), nullptr, 10) != main)
                            boxWindow = std::strtoul(line.c_str(), nullptr, 10);
                    return boxWindow != 0;
                },
                10s);
            EXPECT_NE(boxWindow, 0u);
            EXPECT_GT(stackingIndex(boxWindow), stackingIndex(main));
            std::string transient;
            runCommand("xprop -id " + std::to_string(boxWindow) + " WM_TRANSIENT_FOR", &transient);
            char expected[32];
            std::snprintf(expected, sizeof expected, "0x%lx", main);
            EXPECT_NE(transient.find(expected), std::string::npos) << transient;
            waitUntil(
                [&] {
                    std::string out;
                    xdotool("getwindowfocus", &out);
                    return std::strtoul(out.c_str(), nullptr, 10) == boxWindow;
                },
                5s);
            xdotool("key Return");
            box.join();
            app.postCommand(LoopApp::CMD_QUIT);
        });
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(answer.load(), MB_YES);
        EXPECT_GT(app.frames.load(), 0);
    }, 90s));
}
