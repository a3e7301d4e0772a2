// Test doubles for the background loader: a preparation that needs no GL
// (and can be held up, or made to fail, per file), a context that is always
// current, the application's command queue and redisplay, and a message
// capture that the loader thread may use.
#pragma once

#include "app/bgtexloader.h"

#include "oxengine/errors.h"
#include "oxengine/files.h"
#include "oxengine/image/handler.h"
#include "oxengine/messagebox.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// HOME and the XDG folders of the process point into a temporary folder, so
// the log lands there and nothing touches the user's own files.
struct LoaderTestHome {
    LoaderTestHome()
    {
        setenv("HOME", home.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home.path() + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home.path() + "/data").c_str(), 1);
        oxFilename::initialize("loader_test");
    }
    TempDir home;
};

// Waits (without limit in the normal case) until cond holds; false after
// timeoutMs.
template <class Cond> bool waitUntil(Cond cond, int timeoutMs = 20000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Message boxes from any thread, answered with the default button.
class ThreadSafeMessages {
public:
    explicit ThreadSafeMessages(int answer = MB_OK)
    {
        m_previous = oxSetMessageHandler([this, answer](const oxMessageRequest& r) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_messages.push_back(r);
            oxMessageAnswer a;
            a.button = (r.buttons & (MB_YES | MB_NO)) ? answer : MB_OK;
            return a;
        });
    }
    ~ThreadSafeMessages() { oxSetMessageHandler(m_previous); }
    std::vector<oxMessageRequest> messages() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }
    size_t count() const { return messages().size(); }
    std::string texts() const
    {
        std::string all;
        for (const auto& m : messages())
            all += m.title + ": " + m.text + "\n";
        return all;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<oxMessageRequest> m_messages;
    oxMessageHandler m_previous;
};

// A preparation without GL. Per file it can block until released, throw,
// or fail; a real file (one that exists) is decoded through the registry so
// that sizes follow the file. Every fill is recorded.
class FakeFill {
public:
    struct Call {
        std::string name;
        int maximum; // the requested size (thumbnail size, or 0)
        std::thread::id thread;
    };

    PictureFiller filler()
    {
        return [this](const std::string& name, LoadedPicture& picture) { return fill(name, picture); };
    }

    void block(const std::string& name)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_blocked.insert(name);
    }
    void release(const std::string& name)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_blocked.erase(name);
        m_cv.notify_all();
    }
    // Waits until a fill of name is held up.
    bool waitBlocked(const std::string& name)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(20), [&] { return m_waiting.count(name) > 0; });
    }
    void setDelayMicroseconds(int us) { m_delayUs = us; }

    std::vector<Call> calls() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    // Fills of the name; maximum -1: of any size.
    int callsFor(const std::string& name, int maximum = -1) const
    {
        int n = 0;
        for (const Call& c : calls())
            n += c.name == name && (maximum < 0 || c.maximum == maximum);
        return n;
    }

private:
    bool fill(const std::string& name, LoadedPicture& picture)
    {
        const int maximum = picture.imageWidth;
        int serial;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_calls.push_back({name, maximum, std::this_thread::get_id()});
            serial = int(m_calls.size());
            if (m_blocked.count(name)) {
                m_waiting.insert(name);
                m_cv.notify_all();
                m_cv.wait(lock, [&] { return m_blocked.count(name) == 0; });
                m_waiting.erase(name);
            }
        }
        if (m_delayUs > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(m_delayUs));
        picture.text = "fill " + std::to_string(serial);
        if (name.find("throw-engine") != std::string::npos)
            throw oxImageException("damaged picture", name);
        if (name.find("throw-memory") != std::string::npos)
            throw std::bad_alloc();
        if (name.find("throw-std") != std::string::npos)
            throw std::runtime_error("odd failure");
        if (name.find("refuse") != std::string::npos)
            return false;
        if (oxFilename(name).parentFolder().exists()) {
            // Decodes like the preparation, so corrupt, vanished or
            // unreadable files fail the way they do in the program.
            auto image = oxImageRegistry::instance().loadImage(name, oxSize(maximum, maximum));
            picture.imageWidth = int(image->width());
            picture.imageHeight = int(image->height());
            picture.fullWidth = picture.imageWidth * image->reduction();
            picture.fullHeight = picture.imageHeight * image->reduction();
        }
        return true;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::set<std::string> m_blocked, m_waiting;
    std::vector<Call> m_calls;
    std::atomic<int> m_delayUs{0};
};

class FakeContext : public LoaderContext {
public:
    bool makeCurrent() override { return current = true; }
    bool isCurrent() const override { return current; }
    void finish() override {}
    bool current = false;
};

// The application's side: posted commands and redisplay requests.
class FakeHost {
public:
    LoaderServices services(FakeFill& fill)
    {
        LoaderServices s;
        s.fill = fill.filler();
        s.makeContext = [](int, void*) { return std::make_unique<FakeContext>(); };
        s.postCommand = [this](unsigned c) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_commands.push_back(c);
        };
        s.requestRedisplay = [this] { ++redisplays; };
        return s;
    }
    std::vector<unsigned> commands() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_commands;
    }
    std::atomic<int> redisplays{0};

private:
    mutable std::mutex m_mutex;
    std::vector<unsigned> m_commands;
};

// A started loader over a list of pictures with the doubles above.
struct LoaderRig {
    explicit LoaderRig(std::vector<std::string> names = {}) : list(std::move(names))
    {
        loader = std::make_unique<BGTextureLoader>(list, host.services(fill));
        EXPECT_TRUE(loader->startLoader());
    }
    // Waits until the queue has run empty after the last command.
    bool idle()
    {
        return waitUntil([&] { return loader->progress() == std::pair<int, int>(0, 0); });
    }
    // Holds the loader inside the fill of a picture, so the queue can be
    // looked at while nothing is taken from it.
    void hold(const std::string& gate = "gate", bool thumbnail = true)
    {
        fill.block(gate);
        loader->enqueueCommand(CMD_LOAD | CMD_URGENT | (thumbnail ? CMD_THUMBNAIL : 0), gate);
        ASSERT_TRUE(fill.waitBlocked(gate));
    }
    static std::vector<std::string> numbered(int n, const std::string& prefix = "/pictures/p")
    {
        std::vector<std::string> names;
        for (int i = 0; i < n; ++i)
            names.push_back(prefix + std::to_string(i) + ".jpg");
        return names;
    }

    std::vector<std::string> list;
    FakeFill fill;
    FakeHost host;
    std::unique_ptr<BGTextureLoader> loader;
};

// "kind:name" per queued command, thumbnail ones as "kindT:name", for
// comparing queues in one line.
inline std::vector<std::string> describe(const std::vector<LoaderCommand>& commands)
{
    static const char* kinds[] = {"unload", "load", "transform", "convert", "copymove"};
    std::vector<std::string> out;
    for (const LoaderCommand& c : commands)
        out.push_back(std::string(kinds[c.kind]) + (c.thumbnail ? "T:" : ":") + c.name);
    return out;
}
