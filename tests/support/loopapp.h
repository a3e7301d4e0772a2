// An application whose render and command hooks the test sets, run with a watchdog.
#pragma once

#include "oxengine/platform/glapp.h"
#include "testsupport.h"
#include "xdriver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class LoopApp : public oxGLUTApplication {
public:
    static constexpr unsigned CMD_QUIT = 0xFFFF0001u;

    std::function<void()> renderHook;
    std::function<bool(unsigned)> commandHook;
    std::atomic<int> frames{0};
    std::atomic<bool> closed{false}, timedOut{false};

    void onStart() override
    {
        if (m_driver)
            m_driverThread = std::thread([this] {
                waitUntil([this] { return frames > 0; }, std::chrono::seconds(5));
                m_driver();
            });
    }
    void render() override
    {
        ++frames;
        if (renderHook)
            renderHook();
    }
    bool onCommand(unsigned c) override
    {
        if (c == CMD_QUIT)
            return leaveMainLoop(), true;
        return commandHook && commandHook(c);
    }
    void onClose() override { closed = true; }

    // Runs until a watchdog ends the loop after `limit`; the driver runs on its own thread from the first frame.
    int runFor(std::chrono::seconds limit, std::function<void()> driver = {})
    {
        char name[] = "glapp_gltest";
        char* argv[] = {name, nullptr};
        std::mutex m;
        std::condition_variable cv;
        bool finished = false;
        std::thread watchdog([&] {
            std::unique_lock<std::mutex> lock(m);
            if (!cv.wait_for(lock, limit, [&] { return finished; }))
                timedOut = true, leaveMainLoop();
        });
        m_driver = std::move(driver);
        const int rc = run(this, 1, argv);
        {
            std::lock_guard<std::mutex> lock(m);
            finished = true;
        }
        cv.notify_all();
        watchdog.join();
        if (m_driverThread.joinable())
            m_driverThread.join();
        return rc;
    }

private:
    std::function<void()> m_driver;
    std::thread m_driverThread;
};
