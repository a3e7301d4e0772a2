#include "xdriver.h"

#include "childprocess.h"
#include "testsupport.h"

#include "oxengine/platform/x11util.h"

// gtest before Xlib, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

bool haveXDisplay()
{
    Display* d = oxOpenXDisplay();
    if (!d)
        return false;
    XCloseDisplay(d);
    return true;
}

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

bool runIsolated(const std::function<void()>& body, std::chrono::seconds limit)
{
    const pid_t pid = startChild([&] {
        body();
        return testing::Test::HasFailure() ? 1 : 0;
    });
    if (pid < 0)
        return false;
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitChild(pid);
            ADD_FAILURE() << "the case did not finish within " << limit.count() << " s";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
