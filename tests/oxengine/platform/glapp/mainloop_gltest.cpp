// gtest before Xlib, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "glapp_fixtures.h"
#include "support/gltest.h"
#include "support/loopapp.h"

#include "oxengine/core/strings.h"
#include "oxengine/gui/guitest.h"
#include "oxengine/platform/mainwindow.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/platform/x11util.h"
#include "support/testsupport.h"

#include <GL/gl.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <optional>

using namespace std::chrono_literals;

namespace {

// Position of the top-level window in the stacking order (bottom first), or -1.
int stackingIndex(unsigned long window)
{
    Display* d = oxOpenXDisplay();
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    int index = -1;
    if (d && XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
        index = int(std::find(children, children + count, window) - children);
        index = index == int(count) ? -1 : index;
        XFree(children);
    }
    if (d)
        XCloseDisplay(d);
    return index;
}

void rect(float x0, float y0, float x1, float y1, float r, float g, float b)
{
    glColor3f(r, g, b);
    glRectf(x0, y0, x1, y1);
}

} // namespace

// Asleep with nothing to do, in the main loop and in a modal run, the program uses no processor time; a post or a
// redraw from another thread wakes the loop, and the modal run takes its own posts and the window's clicks.
TEST(MainLoop, ARunDrawsListenersInOrderSleepsWhenIdleAndWakesForPostsFromAnotherThread)
{
    isolatedCase([] {
        LoopApp app;
        app.setInitialWindowSize(320, 240);
        EventLog log; // written and read on the main thread only
        RecordingListener rec("r", log);
        app.addGUIEventListener(&rec);
        // In window pixels: pre-render the left half red, the scene a middle band green, post-render a blue square.
        struct Layers : oxRenderListener {
            void preRender() override
            {
                glDisable(GL_DEPTH_TEST);
                rect(0, 0, 160, 240, 1, 0, 0);
            }
            void postRender() override { rect(100, 100, 140, 140, 0, 0, 1); }
        } layers;
        app.addRenderListener(&layers);
        app.renderHook = [] { rect(80, 0, 240, 120, 0, 1, 0); };
        std::optional<GLFrame> frame;
        oxNativeWindowHandles handles;
        oxMainWindowContext shared;
        std::atomic<bool> delivered{false}, running{false}, ownCommand{false};
        std::atomic<int> result{-1}, okX{0}, okY{0};
        std::unique_ptr<ScriptPanel> dialog;
        app.commandHook = [&](unsigned c) {
            if (c == 42) {
                handles = app.nativeHandles();
                shared = oxGetMainWindowContext();
                glClearColor(0, 0, 0, 1);
                app.display(true); // draw without swapping and read the back buffer
                frame.emplace(320, 240, 240);
                return delivered = true;
            }
            if (c != 700)
                return false;
            dialog = std::make_unique<ScriptPanel>();
            dialog->script = [&](unsigned own) { return own == 701 && (ownCommand = true); };
            okX = dialog->ok->getPosition().x + dialog->ok->getSize().width / 2;
            okY = dialog->ok->getPosition().y + dialog->ok->getSize().height / 2;
            running = true;
            result = dialog->runModal();
            running = false;
            return true;
        };
        const auto idleTime = [](std::chrono::milliseconds span) {
            std::this_thread::sleep_for(300ms); // settled first
            const double start = cpuSeconds();
            std::this_thread::sleep_for(span);
            return cpuSeconds() - start;
        };
        double loopUsed = -1, modalUsed = -1;
        bool postWoke = false, redrawWoke = false, tookPost = false;
        EXPECT_EQ(app.runFor(40s, [&] {
            loopUsed = idleTime(3s);
            app.postCommand(42);
            postWoke = waitUntil([&] { return delivered.load(); }, 2s);
            const int before = app.frames;
            app.postRedisplayFromAnyThread();
            redrawWoke = waitUntil([&] { return app.frames > before; }, 2s);
            app.postCommand(700);
            if (waitUntil([&] { return running.load(); }, 5s)) {
                modalUsed = idleTime(1s);
                app.postCommand(701);
                tookPost = waitUntil([&] { return ownCommand.load(); }, 5s);
                clickInWindow(app.nativeHandles().window, okX, okY);
                waitUntil([&] { return !running; }, 5s);
            }
            app.postCommand(LoopApp::CMD_QUIT);
        }), 0);
        EXPECT_FALSE(app.timedOut || app.closed); // a leave is no close
        EXPECT_TRUE(loopUsed >= 0 && loopUsed < 0.02 * 3.0) << loopUsed;
        EXPECT_TRUE(modalUsed >= 0 && modalUsed < 0.02) << modalUsed;
        EXPECT_TRUE(postWoke);
        EXPECT_TRUE(redrawWoke);
        EXPECT_TRUE(tookPost);
        EXPECT_EQ(result.load(), GUI_CMD_OK);
        dialog.reset();
        EXPECT_EQ(std::ranges::count(log, "r:reshape(320,240)"), 1);
        EXPECT_TRUE(handles.display && handles.window && handles.context && handles.fbConfig && handles.visualId);
        EXPECT_EQ(shared.drawable, handles.window);
        EXPECT_EQ(shared.context, handles.context);
        // Gone with the window.
        EXPECT_EQ(oxGetMainWindowContext().context, nullptr);
        EXPECT_EQ(app.nativeHandles().window, 0u);
        ASSERT_TRUE(frame);
        frame->save("glapp_windowed");
        // Pre-render only, the scene over it and over the background, the post-render on top, the cleared background.
        std::string seen;
        for (const auto& [x, y] : {std::pair{20, 200}, {90, 20}, {200, 20}, {120, 120}, {300, 200}})
            seen += frame->text(x, y);
        EXPECT_EQ(seen, "(255,0,0)(0,255,0)(0,255,0)(0,0,255)(0,0,0)");
    });
}

// A window destroyed by another client ends the run through onClose (every other case ends it by a leave); the close
// button is the desktop end-to-end test's.
TEST(MainLoop, CommandsFromFourThreadsArriveOnceAndInOrderAndADestroyedWindowEndsTheRun)
{
    isolatedCase([] {
        LoopApp app;
        app.setInitialWindowSize(64, 64);
        constexpr unsigned kThreads = 4, kEach = 10000;
        std::vector<std::vector<unsigned>> received(kThreads);
        std::atomic<unsigned> total{0};
        bool offMainThread = false;
        const std::thread::id mainThread = std::this_thread::get_id();
        app.commandHook = [&](unsigned c) {
            offMainThread = offMainThread || std::this_thread::get_id() != mainThread;
            if (c >> 16 < kThreads)
                received[c >> 16].push_back(c & 0xFFFF);
            ++total;
            return true;
        };
        EXPECT_EQ(app.runFor(60s, [&] {
            std::vector<std::thread> posters;
            for (unsigned t = 0; t < kThreads; ++t)
                posters.emplace_back([&, t] {
                    for (unsigned i = 0; i < kEach; ++i)
                        app.postCommand(t << 16 | i);
                });
            for (auto& p : posters)
                p.join();
            waitUntil([&] { return total >= kThreads * kEach; }, 30s);
            xdotool("windowclose " + std::to_string(app.nativeHandles().window));
        }), 0);
        EXPECT_FALSE(app.timedOut);
        EXPECT_TRUE(app.closed);
        EXPECT_FALSE(offMainThread);
        std::vector<unsigned> inOrder(kEach);
        std::iota(inOrder.begin(), inOrder.end(), 0u);
        for (unsigned t = 0; t < kThreads; ++t)
            EXPECT_TRUE(received[t] == inOrder) << "thread " << t << ": " << received[t].size() << " commands";
    });
}

TEST(MainLoop, MessageBoxFromAThreadShowsAboveTheFullScreenWindow)
{
    isolatedCase([] {
        EnvironmentVariable noLog("OX_MESSAGE_LOG", nullptr);
        Seam<oxMessageHandler> realBoxes(oxSetMessageHandler, {}); // a real box
        LoopApp app;
        app.setTitle("oxtest fullscreen box");
        app.setFullScreen(true);
        std::atomic<int> answer{0};
        EXPECT_EQ(app.runFor(30s, [&] {
            waitUntil([&] { return app.width() > 640; }, 5s);
            const unsigned long main = app.nativeHandles().window;
            // An empty caption becomes the application's title.
            std::thread box([&] { answer = oxShowMessage("Above the full-screen window?", "", MB_YES | MB_NO); });
            unsigned long boxWindow = 0;
            waitUntil([&] {
                for (unsigned long w : visibleWindows("^oxtest fullscreen box$"))
                    boxWindow = w != main ? w : boxWindow;
                return boxWindow != 0;
            }, 10s);
            EXPECT_NE(boxWindow, 0u);
            // Raised over it (no window manager here keeps the box above): the box comes back on top.
            xdotool("windowraise " + std::to_string(main));
            EXPECT_TRUE(waitUntil([&] { return stackingIndex(boxWindow) > stackingIndex(main); }, 5s));
            std::string transient;
            runCommand("xprop -id " + std::to_string(boxWindow) + " WM_TRANSIENT_FOR", &transient);
            char expected[32];
            std::snprintf(expected, sizeof expected, "0x%lx", main);
            EXPECT_NE(transient.find(expected), std::string::npos) << transient;
            waitForFocus(boxWindow, 5s);
            xdotool("key Return");
            box.join();
            app.postCommand(LoopApp::CMD_QUIT);
        }), 0);
        EXPECT_EQ(answer.load(), MB_YES);
    });
}

