// Doubles for the background loader: a preparation without GL that can be held up or made to fail per file,
// and the application's queue, redisplay and failure report.
#pragma once

#include "app/loader/bgtexloader.h"
#include "tests/app/apptest.h"

#include "oxengine/core/errors.h"
#include "oxengine/platform/messagebox.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <set>
#include <thread>

// The loader's log lands in the temporary HOME.
inline AppTestHome g_loaderTestHome;

// A JPEG file whose left half is red and right half blue.
inline std::string writeJpeg(const std::string& path, uint32_t width, uint32_t height)
{
    return writePicture(path, width, height,
                        [&](uint32_t x, uint32_t) { return x < width / 2 ? oxColour(255, 0, 0) : oxColour(0, 0, 255); });
}

// Names containing "throw-engine", "throw-memory", "throw-std" or "refuse" fail that way ("full-refused":
// only the full picture); names in existing folders are decoded for real. A first look is 4 x the cover.
// Fills of blocked names wait.
class FakeFill {
public:
    struct Call {
        std::string name;
        int maximum; // requested size: thumbnail size, or 0
        bool firstLook;
    };
    PictureFiller filler()
    {
        return [this](const std::string& name, LoadedPicture& p, const oxCancelToken& cancel) {
            return fill(name, p, cancel);
        };
    }
    void block(const std::string& name, bool blocked = true)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        blocked ? void(m_blocked.insert(name)) : void(m_blocked.erase(name));
        m_cv.notify_all();
    }
    void release(const std::string& name) { block(name, false); }
    bool waitBlocked(const std::string& name)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(20), [&] { return m_waiting.count(name) > 0; });
    }
    std::vector<Call> calls() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    // Fills of the name; maximum -1: of any size.
    int callsFor(const std::string& name, int maximum = -1) const
    {
        const auto all = calls();
        return int(std::count_if(all.begin(), all.end(), [&](const Call& c) {
            return c.name == name && (maximum < 0 || c.maximum == maximum);
        }));
    }
    std::atomic<int> delayUs{0};
    // Blocked fills that gave up because they were cancelled.
    int cancelledFills() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_cancelled;
    }

private:
    bool fill(const std::string& name, LoadedPicture& p, const oxCancelToken& cancel)
    {
        const int maximum = p.imageWidth;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_calls.push_back({name, maximum, p.coverWidth > 0});
            p.text = "fill " + std::to_string(m_calls.size());
            m_waiting.insert(name);
            m_cv.notify_all();
            // A blocked fill is a long decode: it gives up once cancelled.
            while (!m_cv.wait_for(lock, std::chrono::milliseconds(2), [&] { return m_blocked.count(name) == 0; }))
                if (cancel.cancelled())
                    break;
            m_waiting.erase(name);
            if (cancel.cancelled())
                ++m_cancelled;
        }
        cancel.check();
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs.load()));
        const auto has = [&](const char* part) { return name.find(part) != std::string::npos; };
        if (has("throw-engine"))
            throw oxImageException("damaged picture", name);
        if (has("throw-memory"))
            throw std::bad_alloc();
        if (has("throw-std"))
            throw std::runtime_error("odd failure");
        if (has("refuse") && (!has("full-refused") || !p.coverWidth))
            return false;
        if (p.coverWidth > 0) {
            p.firstLook = true;
            p.imageWidth = p.coverWidth, p.imageHeight = p.coverHeight;
            p.expectedWidth = 4 * p.coverWidth, p.expectedHeight = 4 * p.coverHeight;
        }
        if (oxFilename(name).parentFolder().exists()) {
            auto image = oxImageRegistry::instance().loadImage(name, oxSize(maximum, maximum));
            p.imageWidth = int(image->width()), p.imageHeight = int(image->height());
        }
        return true;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::set<std::string> m_blocked, m_waiting;
    std::vector<Call> m_calls;
    int m_cancelled = 0;
};

// "kind:name" per command, "kindT:name" for thumbnails.
template <class Commands> std::vector<std::string> describe(const Commands& commands)
{
    static const char* kinds[] = {"load", "unload", "transform", "convert", "copymove"};
    std::vector<std::string> out;
    for (const LoaderCommand& command : commands) {
        const auto* load = std::get_if<LoadCommand>(&command);
        const auto* unload = std::get_if<UnloadCommand>(&command);
        const bool thumbnail = (load && load->thumbnail) || (unload && unload->thumbnail);
        out.push_back(kinds[command.index()] + std::string(thumbnail ? "T:" : ":") + commandFile(command));
    }
    return out;
}

// A started loader over its own picture list, with the doubles above.
struct LoaderRig {
    explicit LoaderRig(std::vector<std::string> names = {}, bool start = true, bool contextWorks = true,
                       const std::function<void(LoaderServices&)>& adjust = {})
        : list(std::move(names))
    {
        LoaderServices s;
        s.fill = fill.filler();
        s.makeContext = [contextWorks](int, void*) { return std::make_unique<FakeContext>(contextWorks); };
        s.postCommand = [this](unsigned c) {
            std::lock_guard<std::mutex> lock(mutex);
            posted.push_back(c);
        };
        s.requestRedisplay = [this] { ++redisplays; };
        s.reportFailures = [this](const std::vector<FileOperationFailure>& f) {
            std::lock_guard<std::mutex> lock(mutex);
            reports.push_back(f);
        };
        if (adjust)
            adjust(s);
        loader = std::make_unique<BGTextureLoader>(list, s);
        if (start) {
            EXPECT_TRUE(loader->startLoader());
        }
    }
    // The thread stops while the pointer is still set: hooks that reach the loader through it may run
    // until then (reset clears the pointer before the destructor joins the thread).
    ~LoaderRig()
    {
        if (loader && loader->isRunning())
            loader->shutdownLoader();
        loader.reset();
    }
    // Until the queue has run empty after the last command.
    bool idle()
    {
        return waitUntil([&] { return loader->progress() == LoaderProgress{}; });
    }
    // Holds the thread inside the fill of gate, so the queue stays as it is.
    void hold(const std::string& gate, bool thumbnail = true)
    {
        fill.block(gate);
        loader->enqueue(LoadCommand{.name = gate, .thumbnail = thumbnail, .urgent = true});
        ASSERT_TRUE(fill.waitBlocked(gate));
    }
    std::vector<unsigned> commands()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return posted;
    }
    // What the report hook was given, one entry per call.
    std::vector<std::vector<FileOperationFailure>> failures()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return reports;
    }
    bool notified(unsigned code)
    {
        return waitUntil([&] {
            const auto c = commands();
            return std::find(c.begin(), c.end(), code) != c.end();
        });
    }
    std::vector<std::string> queued() const { return describe(loader->queuedCommands()); }
    static std::vector<std::string> numbered(int n, const std::string& prefix)
    {
        std::vector<std::string> names;
        for (int i = 0; i < n; ++i)
            names.push_back(prefix + std::to_string(i) + ".jpg");
        return names;
    }

    std::vector<std::string> list;
    FakeFill fill;
    std::mutex mutex;
    std::vector<unsigned> posted;
    std::vector<std::vector<FileOperationFailure>> reports;
    std::atomic<int> redisplays{0};
    std::unique_ptr<BGTextureLoader> loader;
};
