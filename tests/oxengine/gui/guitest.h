// Helpers of the widget toolkit's tests: an application without a window
// (so commands, listeners and modal runs work), probe elements that record
// what reaches them, and recorders for the cursor and the sounds.
#pragma once

#include "oxengine/glapp.h"
#include "oxengine/gui/draw.h"
#include "oxengine/gui/host.h"
#include "oxengine/sound.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <memory>
#include <string>
#include <vector>

using Log = std::vector<std::string>;

// Installed as theApplication for its lifetime; never opens a window.
class GuiTestApp : public oxGLUTApplication {
public:
    GuiTestApp() { theApplication = this; }
    ~GuiTestApp() override { theApplication = nullptr; }
    int width() const override { return windowWidth; }
    int height() const override { return windowHeight; }
    // Delivers every queued command, as idle passes of the main loop would.
    void deliverAll()
    {
        while (deliverNextCommand()) {
        }
    }
    int windowWidth = 1920, windowHeight = 1080;
};

class CountingIdle : public oxIdleListener {
public:
    bool idle(int64_t) override
    {
        ++calls;
        if (hook)
            hook();
        return true;
    }
    int calls = 0;
    std::function<void()> hook;
};

// A listener behind the toolkit: records what gets past it.
class Behind : public oxGUIEventListener {
public:
    explicit Behind(Log& log) : m_log(log) {}
    bool onMouseButton(int b, bool pressed, int, int) override
    {
        return note("button" + std::to_string(b) + (pressed ? "down" : "up"));
    }
    bool onClick(int b, int, int) override { return note("click" + std::to_string(b)); }
    bool onMouseWheel(int d, int, int) override { return note("wheel" + std::to_string(d)); }
    bool onCommand(unsigned c) override { return note("cmd" + std::to_string(c)); }
    bool onKeyDown(int k, bool) override { return note("key" + std::to_string(k)); }
    bool onKeyUp(int k, bool) override { return note("keyup" + std::to_string(k)); }

private:
    bool note(const std::string& s)
    {
        m_log.push_back(s);
        return false;
    }
    Log& m_log;
};

// An element that records its events under a name. Its natural size (what
// setTextHeight gives it) is set by the test.
class Probe : public oxGuiElement {
public:
    Probe(std::string name, Log* log, oxGuiSize natural = {10, 10}) : m_name(std::move(name)), m_log(log), natural(natural)
    {
        m_size = natural;
    }
    void setTextHeight(int) override { m_size = natural; }
    bool onClick(int b, int x, int y) override { return hit("click", b, x, y); }
    void onMouseMove(int, int x, int y) override
    {
        if (logMoves && hits(x, y))
            note("move");
    }
    bool onKeyDown(int k, bool) override
    {
        note("key" + std::to_string(k));
        return handlesKeys;
    }
    bool onMouseWheel(int, int x, int y) override { return hit("wheel", 0, x, y); }
    bool beginDrag(int x, int y, oxGuiElement*& dragged, int& a) override
    {
        if (!dragAxes || !isActive() || !hits(x, y))
            return false;
        dragged = this;
        a = dragAxes;
        note("begin");
        return true;
    }
    void dragBy(int dx, int dy) override
    {
        moved.x += dx;
        moved.y += dy;
        note("drag(" + std::to_string(dx) + "," + std::to_string(dy) + ")");
    }
    void endDrag() override { note("end"); }
    void onFocusChanged(bool f) override { note(f ? "focus" : "blur"); }
    bool acceptsFocus() const override { return focusable; }
    void draw() override {}

    oxGuiPoint moved;
    int dragAxes = 0;
    bool handlesKeys = false;
    bool focusable = false;
    bool logMoves = true;

private:
    bool hit(const char* what, int b, int x, int y)
    {
        if (!isActive() || !hits(x, y) || b != 0)
            return false;
        note(what);
        return true;
    }
    void note(const std::string& s)
    {
        if (m_log)
            m_log->push_back(m_name + ":" + s);
    }
    std::string m_name;
    Log* m_log;

public:
    oxGuiSize natural;
};

inline std::unique_ptr<Probe> probe(const std::string& name, Log* log, oxGuiSize natural = {10, 10})
{
    return std::make_unique<Probe>(name, log, natural);
}

// Records cursor changes while alive.
class CursorLog {
public:
    CursorLog() { m_previous = oxSetGuiCursorSetter(&CursorLog::record); }
    ~CursorLog()
    {
        oxSetGuiCursorSetter(m_previous);
        shapes().clear();
    }
    static std::vector<int>& shapes()
    {
        static std::vector<int> s;
        return s;
    }

private:
    static void record(int shape) { shapes().push_back(shape); }
    oxGuiCursorSetter m_previous;
};

// Records the sounds played while alive.
class SoundLog {
public:
    SoundLog() : m_shared(std::make_shared<Shared>()), m_wasEnabled(soundEnabled)
    {
        soundEnabled = true;
        auto shared = m_shared;
        m_previous = oxSetSoundPlayer([shared](const char* id) {
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->ids.push_back(id);
        });
    }
    ~SoundLog()
    {
        oxFlushSounds(std::chrono::seconds(5));
        oxSetSoundPlayer(m_previous);
        soundEnabled = m_wasEnabled;
    }
    // The event ids played so far (waits for the sound thread).
    std::vector<std::string> played()
    {
        oxFlushSounds(std::chrono::seconds(5));
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        return m_shared->ids;
    }

private:
    struct Shared {
        std::mutex mutex;
        std::vector<std::string> ids;
    };
    std::shared_ptr<Shared> m_shared;
    bool m_wasEnabled;
    oxSoundPlayer m_previous;
};
