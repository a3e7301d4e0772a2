// Shared by the viewer's test programs: a settings store of the test's own,
// pictures written for a test, and a message capture any thread may use.
#pragma once

#include "app/loader/loadercontext.h"

#include "oxengine/image/handler.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/storage/config.h"
#include "oxengine/storage/files.h"
#include "support/testsupport.h"
#include "support/xdriver.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

// A loader context that makes itself current, or fails to.
struct FakeContext : LoaderContext {
    explicit FakeContext(bool works) : works(works) {}
    bool makeCurrent() override { return current = works; }
    bool isCurrent() const override { return current; }
    void finish() override {}
    bool works, current = false;
};

// A fresh, empty settings store for as long as it lives (make one per test),
// and the file-name support the settings' defaults need.
struct TestSettings {
    explicit TestSettings(const char* program = "app_test")
    {
        setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
        oxConfig::initialize("Quorvel Software", "Pictavo");
        if (!oxFilename::isInitialized())
            oxFilename::initialize(program);
    }
    TempDir dir;
};

// A temporary HOME for a whole test program (one per program: an inline
// variable of the fixture header), with the file-name support and the
// settings store the program's units read.
struct AppTestHome {
    explicit AppTestHome(const char* program)
    {
        if (!oxFilename::isInitialized())
            oxFilename::initialize(program);
        oxConfig::initialize("Quorvel Software", "Pictavo");
    }
    TempHome home;
};

// An 8-bit picture of pixel(x, y), written by the engine's writer for the
// path's format; returns the path.
inline std::string writePicture(const std::string& path, uint32_t w, uint32_t h,
                                const std::function<oxColour(uint32_t x, uint32_t y)>& pixel)
{
    oxImageRegistry::instance().saveImage(*imageOf<oxColour>(w, h, pixel), path, oxToneMapping::neutral());
    return path;
}

// Boxes from any thread, with the thread that asked; Yes/No questions get
// `answer`.
class ThreadSafeMessages {
public:
    struct Box {
        oxMessageRequest request;
        std::thread::id thread;
    };
    explicit ThreadSafeMessages(int answer = MB_YES)
    {
        m_previous = oxSetMessageHandler([this, answer](const oxMessageRequest& r) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_boxes.push_back({r, std::this_thread::get_id()});
            return oxMessageAnswer{(r.buttons & MB_YES) ? answer : MB_OK, {}};
        });
    }
    ~ThreadSafeMessages() { oxSetMessageHandler(m_previous); }
    std::vector<Box> boxes() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_boxes;
    }
    size_t count() const { return boxes().size(); }
    std::string texts() const // for failure output
    {
        std::string all;
        for (const Box& b : boxes())
            all += b.request.title + ": " + b.request.text + "\n";
        return all;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Box> m_boxes;
    oxMessageHandler m_previous;
};
