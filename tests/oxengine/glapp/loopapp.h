// Helpers for the framework's tests under Xvfb: an application whose start,
// render and command hooks are set by the test, run with a watchdog.
#pragma once

#include "oxengine/glapp.h"
#include "support/xdriver.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Texts recorded on the main thread and read by the test's driver thread.
class SharedLog {
public:
    void add(const std::string& s)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.push_back(s);
    }
    std::vector<std::string> items() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_items;
    }
    bool contains(const std::string& s) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& i : m_items)
            if (i == s)
                return true;
        return false;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_items;
};

class LoopApp : public oxGLUTApplication {
public:
    static constexpr unsigned CMD_QUIT = 0xFFFF0001u;

    std::function<void()> startHook;
    std::function<void()> renderHook;
    std::function<bool(unsigned)> commandHook;
    std::function<void()> closeHook;
    std::atomic<int> frames{0};
    std::atomic<bool> closed{false};

    void onStart() override
    {
        if (startHook)
            startHook();
    }
    void render() override
    {
        ++frames;
        if (renderHook)
            renderHook();
    }
    bool onCommand(unsigned c) override
    {
        if (c == CMD_QUIT) {
            leaveMainLoop();
            return true;
        }
        return commandHook ? commandHook(c) : false;
    }
    void onClose() override
    {
        closed = true;
        if (closeHook)
            closeHook();
    }

    // Runs the application; a watchdog ends the loop after `limit`. The driver,
    // when given, runs on its own thread once the loop has started.
    int runFor(std::chrono::seconds limit, std::function<void()> driver = {}, std::vector<std::string> args = {})
    {
        std::vector<std::string> storage = {"glapp_gltest"};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& s : storage)
            argv.push_back(s.data());
        argv.push_back(nullptr);

        std::mutex m;
        std::condition_variable cv;
        bool finished = false;
        std::thread watchdog([&] {
            std::unique_lock<std::mutex> lock(m);
            if (!cv.wait_for(lock, limit, [&] { return finished; })) {
                timedOut = true;
                leaveMainLoop();
            }
        });
        std::thread driverThread;
        auto userStart = startHook;
        startHook = [&, userStart] {
            if (userStart)
                userStart();
            if (driver)
                driverThread = std::thread(driver);
        };
        const int rc = run(this, int(storage.size()), argv.data());
        {
            std::lock_guard<std::mutex> lock(m);
            finished = true;
        }
        cv.notify_all();
        watchdog.join();
        if (driverThread.joinable())
            driverThread.join();
        startHook = userStart;
        return rc;
    }

    std::atomic<bool> timedOut{false};
};
