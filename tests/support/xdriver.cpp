#include "xdriver.h"

#include "childprocess.h"
#include "testsupport.h"

#include "oxengine/core/strings.h"
#include "oxengine/platform/x11util.h"

// gtest before Xlib, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>

int xdotool(const std::string& args, std::string* output)
{
    std::string text;
    int rc = -1;
    for (int attempt = 0; attempt < 3; ++attempt) {
        rc = runCommand("xdotool " + args + " 2>&1", &text);
        if (text.find("Can't open display") == std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (output)
        *output = text;
    return rc;
}

std::vector<unsigned long> visibleWindows(const std::string& namePattern)
{
    std::string out;
    xdotool("search --onlyvisible --name '" + namePattern + "'", &out);
    std::vector<unsigned long> ids;
    for (const std::string& line : splitString(out, "\n"))
        if (const unsigned long id = std::strtoul(line.c_str(), nullptr, 10))
            ids.push_back(id);
    return ids;
}

bool waitForFocus(unsigned long window, std::chrono::milliseconds limit)
{
    return waitUntil([&] {
        std::string out;
        xdotool("getwindowfocus", &out);
        return std::strtoul(out.c_str(), nullptr, 10) == window;
    }, limit);
}

void clickInWindow(unsigned long window, int x, int y, int button)
{
    xdotool("mousemove --window " + std::to_string(window) + " " + std::to_string(x) + " " + std::to_string(y) +
            " click " + std::to_string(button));
}

void requestWindowClose(unsigned long window)
{
    Display* d = oxOpenXDisplay();
    ASSERT_NE(d, nullptr);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    XSendEvent(d, window, False, NoEventMask, &e);
    XCloseDisplay(d);
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void isolatedCase(const std::function<void()>& body, std::chrono::seconds limit)
{
    Display* d = oxOpenXDisplay();
    if (!d)
        GTEST_SKIP() << "no X display";
    XCloseDisplay(d);
    const pid_t pid = startChild([&] {
        body();
        return testing::Test::HasFailure() ? 1 : 0;
    });
    ASSERT_GE(pid, 0);
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitChild(pid);
            FAIL() << "the case did not finish within " << limit.count() << " s";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
