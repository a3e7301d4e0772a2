// Widget toolkit test helpers: a windowless application, recording probes and listeners.
#pragma once

#include "oxengine/core/strings.h"
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/graphics/textoutput.h"
#include "oxengine/gui/button.h"
#include "oxengine/gui/draw.h"
#include "oxengine/gui/edit.h"
#include "oxengine/gui/host.h"
#include "oxengine/gui/keys.h"
#include "oxengine/gui/modal.h"
#include "oxengine/gui/scrollpanel.h"
#include "oxengine/gui/sizers.h"
#include "oxengine/platform/glapp.h"
#include "support/switches.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using Log = std::vector<std::string>;

// theApplication without a window, silent, counting redraws; a modal run's first redraw plays the next `script`
// step.
class GuiTestApp : public oxGLUTApplication {
public:
    GuiTestApp() { theApplication = this; }
    ~GuiTestApp() override { theApplication = nullptr; }
    int width() const override { return windowWidth; }
    int height() const override { return windowHeight; }
    void postRedisplay() override
    {
        ++redisplays;
        const auto& listeners = guiEventListeners();
        auto* helper = listeners.empty() ? nullptr : dynamic_cast<oxGuiModalHelper*>(listeners.front());
        if (!helper)
            m_stepped = nullptr;
        if (!helper || helper == m_stepped || m_busy || script.empty())
            return;
        m_stepped = helper, m_busy = true, ++runs;
        auto step = std::move(script.front());
        script.pop_front();
        step();
        m_busy = false;
    }
    // Delivers every queued command, as idle passes of the main loop would.
    void deliverAll()
    {
        while (deliverNextCommand()) {
        }
    }
    // Each character (UTF-8 decoded) as a plain key press; <Name> a special
    // key (<Left>, <Home>, <PgUp>, <Ins>, <Del>, ...), <S-Name> with Shift.
    void type(const std::string& keys)
    {
        static const std::map<std::string, int> names = {
            {"Left", GUI_SPECIAL_LEFT},    {"Up", GUI_SPECIAL_UP},      {"Right", GUI_SPECIAL_RIGHT},
            {"Down", GUI_SPECIAL_DOWN}, {"PgUp", GUI_SPECIAL_PAGE_UP}, {"Home", GUI_SPECIAL_HOME}, {"End", GUI_SPECIAL_END},
            {"Ins", GUI_SPECIAL_INSERT}, {"Del", GUI_SPECIAL_DELETE}};
        for (size_t pos = 0; pos < keys.size();) {
            if (keys[pos] != '<') {
                dispatchKeyDown(int(utf8Decode(keys, pos)), false);
                continue;
            }
            const size_t end = keys.find('>', pos);
            std::string name = keys.substr(pos + 1, end - pos - 1);
            const bool shift = name.rfind("S-", 0) == 0;
            setKeyModifiers(shift ? KM_SHIFT : 0);
            dispatchKeyDown(names.at(shift ? name.substr(2) : name), true);
            setKeyModifiers(0);
            pos = end + 1;
        }
    }
    // A left press and release at the centre of e, through the framework.
    void click(const oxGuiElement& e)
    {
        const int x = e.getPosition().x + e.getSize().width / 2, y = e.getPosition().y + e.getSize().height / 2;
        handleMouseButton(0, true, x, y);
        handleMouseButton(0, false, x, y);
    }

    int windowWidth = 1920, windowHeight = 1080;
    std::deque<std::function<void()>> script;
    int runs = 0, redisplays = 0;

private:
    SoundSwitch m_quiet{false};
    const oxGUIEventListener* m_stepped = nullptr;
    bool m_busy = false;
};

// A listener behind the toolkit: records what gets past it.
class Behind : public oxGUIEventListener {
public:
    explicit Behind(Log& log) : m_log(log) {}
    bool onMouseButton(int b, bool down, int, int) override { return note("button" + std::to_string(b) + (down ? "down" : "up")); }
    bool onClick(int b, int, int) override { return note("click" + std::to_string(b)); }
    bool onMouseWheel(int d, int, int) override { return note("wheel" + std::to_string(d)); }
    bool onCommand(unsigned c) override { return note("cmd" + std::to_string(c)); }
    bool onKeyDown(int k, bool) override { return note("key" + std::to_string(k)); }
    bool onKeyUp(int k, bool) override { return note("keyup" + std::to_string(k)); }

private:
    bool note(const std::string& s) { return m_log.push_back(s), false; }
    Log& m_log;
};

// An application with a recording listener behind everything.
class GuiTest : public testing::Test {
protected:
    void SetUp() override { app.addGUIEventListener(&behind); }
    // Delivers the queued commands; what reached the listener since the last call.
    Log take()
    {
        app.deliverAll();
        return std::exchange(log, {});
    }
    GuiTestApp app;
    Log log;
    Behind behind{log};
};

// An element that records its events under a name. Its natural size (what setTextHeight gives it) is set by the test.
class Probe : public oxGuiElement {
public:
    Probe(std::string name, Log* log, oxGuiSize natural) : natural(natural), m_name(std::move(name)), m_log(log)
    {
        m_size = natural;
    }
    void setTextHeight(int) override { m_size = natural; }
    bool onClick(int b, int x, int y) override { return b == 0 && hit("click", x, y); }
    bool onMouseWheel(int, int x, int y) override { return hit("wheel", x, y); }
    void onMouseMove(int, int x, int y) override
    {
        if (logMoves)
            hit("move", x, y);
    }
    bool onKeyDown(int k, bool) override { return note("key" + std::to_string(k)), handlesKeys; }
    bool beginDrag(int x, int y, oxGuiElement*& dragged, int& a) override
    {
        if (!dragAxes || !hit("begin", x, y))
            return false;
        dragged = this, a = dragAxes;
        return true;
    }
    void dragBy(int dx, int dy) override
    {
        moved.x += dx, moved.y += dy;
        note("drag(" + std::to_string(dx) + "," + std::to_string(dy) + ")");
    }
    void endDrag() override { note("end"); }
    void onFocusChanged(bool f) override { note(f ? "focus" : "blur"); }
    bool acceptsFocus() const override { return focusable; }
    void draw() override {}

    oxGuiSize natural;
    oxGuiPoint moved;
    int dragAxes = 0;
    bool handlesKeys = false, focusable = false, logMoves = true;

private:
    bool hit(const char* what, int x, int y) { return isActive() && hits(x, y) && (note(what), true); }
    void note(const std::string& s)
    {
        if (m_log)
            m_log->push_back(m_name + ":" + s);
    }
    std::string m_name;
    Log* m_log;
};

inline std::unique_ptr<Probe> probe(const std::string& name, Log* log = nullptr, oxGuiSize natural = {10, 10})
{
    return std::make_unique<Probe>(name, log, natural);
}

// Modal buttons OK (1), No (4), Cancel (8) and a draggable probe; commands go to `script`.
class ScriptPanel : public oxGuiModalPanel {
public:
    explicit ScriptPanel(Log* log = nullptr) : oxGuiModalPanel(std::make_unique<oxGuiVSizer>())
    {
        auto* column = static_cast<oxGuiVSizer*>(content());
        ok = column->addChild(std::make_unique<oxGuiModalButton>(this, GUI_CMD_OK, "OK"));
        no = column->addChild(std::make_unique<oxGuiModalButton>(this, 4, "No"));
        column->addChild(std::make_unique<oxGuiModalButton>(this, GUI_CMD_CANCEL, "Cancel"));
        drag = column->addChild(probe("drag", log, {50, 50}));
        drag->dragAxes = 3;
        applyStyle(oxGuiStyle{});
        setPosition({0, 0});
    }
    bool onCommand(unsigned c) override { return script ? script(c) : false; }
    std::function<bool(unsigned)> script;
    oxGuiModalButton* ok = nullptr;
    oxGuiModalButton* no = nullptr;
    Probe* drag = nullptr;
};

using Drag = std::pair<const oxGuiElement*, int>;
const Drag NO_DRAG{nullptr, 0};

// What a press at (x, y) on e starts dragging, and along which axes.
inline Drag dragAt(oxGuiElement& e, int x, int y)
{
    oxGuiElement* dragged = nullptr;
    int axes = 0;
    return e.beginDrag(x, y, dragged, axes) ? Drag(dragged, axes) : NO_DRAG;
}

// The width of one line of text in the toolkit's font at height h.
inline double textWidth(const std::string& text, double h)
{
    oxTextOutput out;
    out.setFont(GLFontManager::getFont(defaultGuiStyle.fontName));
    out.setText(text);
    out.setTextHeight(h);
    return out.measure().width;
}
