// Helpers for the tests of the editing controls, menus and dialogs: typing
// through the application's key dispatch, the toolkit's text widths, and an
// application that acts out a script step whenever a modal run begins (the
// run's first redraw request), so convenience functions that build and run
// their dialog internally can be answered.
#pragma once

#include "guitest.h"

#include "oxengine/graphics/fontmanager.h"
#include "oxengine/graphics/textoutput.h"
#include "oxengine/gui/modal.h"
#include "oxengine/strings.h"

#include <deque>
#include <functional>
#include <string>

// Sounds are off unless a test records them (SoundLog switches them on).
class ScriptedApp : public GuiTestApp {
public:
    ScriptedApp() : m_sound(soundEnabled) { soundEnabled = false; }
    ~ScriptedApp() override { soundEnabled = m_sound; }
    void postRedisplay() override
    {
        ++redisplays;
        const auto& listeners = guiEventListeners();
        auto* helper = listeners.empty() ? nullptr : dynamic_cast<oxGuiModalHelper*>(listeners.front());
        if (!helper) {
            m_stepped = nullptr;
            return;
        }
        if (helper == m_stepped || m_busy || script.empty())
            return;
        m_stepped = helper;
        m_busy = true;
        auto step = std::move(script.front());
        script.pop_front();
        ++runs;
        step();
        m_busy = false;
    }
    // Each character (UTF-8 decoded) as a plain key press.
    void type(const std::string& text)
    {
        size_t pos = 0;
        while (pos < text.size())
            dispatchKeyDown(int(utf8Decode(text, pos)), false);
    }
    void special(int key) { dispatchKeyDown(key, true); }

    std::deque<std::function<void()>> script;
    int runs = 0;
    int redisplays = 0;

private:
    bool m_sound;
    const oxGUIEventListener* m_stepped = nullptr;
    bool m_busy = false;
};

// The width of one line of text in the toolkit's font at height h.
inline double textWidth(const std::string& text, double h)
{
    oxTextOutput out;
    out.setFont(GLFontManager::getFont(defaultGuiStyle.fontName));
    out.setText(text);
    out.setTextHeight(h);
    return out.measure().width;
}

// A left click through the framework at the centre of an element.
inline void clickCentre(GuiTestApp& app, const oxGuiElement& e)
{
    const int x = e.getPosition().x + e.getSize().width / 2, y = e.getPosition().y + e.getSize().height / 2;
    app.handleMouseButton(0, true, x, y);
    app.handleMouseButton(0, false, x, y);
}
