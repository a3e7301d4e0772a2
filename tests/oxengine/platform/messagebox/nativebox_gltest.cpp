// The engine's own Xlib box, found by its window name and driven with xdotool, each case in a child process.
// gtest before Xlib, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "oxengine/core/strings.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/platform/messagebox_native.h"
#include "oxengine/platform/x11util.h"
#include "support/testsupport.h"
#include "support/xdriver.h"

#include <atomic>
#include <cstdlib>
#include <future>
#include <thread>

using namespace std::chrono_literals;

namespace {

using Driver = std::function<void(unsigned long window)>;

std::vector<unsigned long> windows(const std::string& title)
{
    return visibleWindows("^" + title + "$");
}

// The box named title once it has the keyboard (so XTEST keys reach it), or 0.
unsigned long focusedBox(const std::string& title)
{
    unsigned long w = 0;
    EXPECT_TRUE(waitUntil([&] { return !windows(title).empty() && (w = windows(title).front()); }, 10s)) << title;
    EXPECT_TRUE(waitForFocus(w, 5s)) << title;
    return w;
}

// Runs show on another thread, lets act drive its box, returns show's result.
template <class Show>
auto drive(const std::string& title, Show show, const Driver& act)
{
    auto result = std::async(std::launch::async, show);
    act(focusedBox(title));
    return result.get();
}

Driver keys(const std::string& k)
{
    return [k](unsigned long) { xdotool("key " + k); };
}

// The answer to a box of the buttons, through oxShowMessage or (native) the box's own.
int answer(const std::string& title, int buttons, const Driver& act, bool native = false)
{
    oxMessageRequest r;
    r.title = title, r.text = "Some text.", r.buttons = buttons;
    return drive(title, [&] {
        return native ? oxNativeMessageBox(r).value_or(oxMessageAnswer{}).button : oxShowMessage(r.text, title, buttons);
    }, act);
}

// The test entry answers boxes without a window; these cases want the window.
void isolated(const std::function<void()>& body)
{
    isolatedCase([&] {
        unsetenv("OX_MESSAGE_LOG");
        oxSetMessageHandler({});
        body();
    }, 120s);
}

} // namespace

TEST(NativeBox, AnswersWindowPropertiesAndInputBox)
{
    isolated([] {
        const struct {
            const char* title;
            int buttons;
            const char* keys;
            int answer;
            bool native = false;
        } cases[] = {
            {"oxbox yesno enter", MB_YES | MB_NO, "Return", MB_YES},
            {"oxbox yesno tab", MB_YES | MB_NO, "Tab Return", MB_NO},
            {"oxbox yesno arrows", MB_YES | MB_NO, "Right Right space", MB_YES},
            // oxShowMessage reports Cancel as OK.
            {"oxbox ync escape", MB_YES | MB_NO | MB_CANCEL, "Escape", MB_OK},
            {"oxbox ync shifttab", MB_YES | MB_NO | MB_CANCEL, "shift+Tab shift+Tab Return", MB_NO},
            {"oxbox native cancel", MB_OK | MB_CANCEL, "Escape", MB_CANCEL, true},
        };
        for (const auto& c : cases)
            EXPECT_EQ(answer(c.title, c.buttons, keys(c.keys), c.native), c.answer) << c.title;
        EXPECT_EQ(answer("oxbox native close", MB_YES | MB_NO, requestWindowClose, true), MB_NO);
        // "No" is the last button, at the bottom right corner.
        EXPECT_EQ(answer("oxbox click", MB_YES | MB_NO, [](unsigned long w) {
                      std::string g;
                      xdotool("getwindowgeometry --shell " + std::to_string(w), &g);
                      clickInWindow(w, std::atoi(g.substr(g.find("WIDTH=") + 6).c_str()) - 40,
                                    std::atoi(g.substr(g.find("HEIGHT=") + 7).c_str()) - 25);
                  }, true),
                  MB_NO);
        // A family nobody has: fontconfig stands in its nearest, and the box answers.
        oxSetNativeBoxFonts({"-no-such-foundry-no-such-font-*"});
        EXPECT_EQ(answer("oxbox nofont", MB_YES | MB_NO, keys("Tab Return")), MB_NO);
        oxSetNativeBoxFonts({});

        // Window properties for window managers.
        oxMessageRequest r;
        r.title = "oxbox Grüße";
        r.text = "Ωmega ist ein schöner Name.\nZweite Zeile mit einem sehr langen Text, der umbrochen werden muss, "
                 "weil er viel zu lang ist für eine Zeile.";
        r.icon = MI_WARNING;
        drive(r.title, [&] { return oxNativeMessageBox(r); }, [](unsigned long w) {
            std::string props; // a line per property, WM_NAME's first
            runCommand("xprop -id " + std::to_string(w) + " WM_NAME _NET_WM_NAME _NET_WM_STATE _NET_WM_WINDOW_TYPE WM_PROTOCOLS",
                       &props);
            EXPECT_NE(props.substr(0, props.find('\n')).find("oxbox Gr"), std::string::npos) << props;
            for (const char* want : {"_NET_WM_NAME(UTF8_STRING) = \"oxbox Grüße\"", "_NET_WM_STATE_ABOVE",
                                     "_NET_WM_WINDOW_TYPE_DIALOG", "WM_DELETE_WINDOW"})
                EXPECT_NE(props.find(want), std::string::npos) << want << " in " << props;
            runCommand("import -window " + std::to_string(w) + " " + artifactDir() + "/messagebox_warning.png");
            xdotool("key Return");
        });

        // Boxes from other threads show one at a time.
        std::atomic<int> done{0};
        for (int i = 0; i < 2; ++i)
            std::thread([&] { oxShowMessage("From a thread", "oxbox serial"), ++done; }).detach();
        for (int i = 0; i < 2; ++i) {
            ASSERT_NE(focusedBox("oxbox serial"), 0u);
            EXPECT_EQ(windows("oxbox serial").size(), 1u) << "the second box waits for the first";
            xdotool("key Return");
            ASSERT_TRUE(waitUntil([&] { return done == i + 1; }, 5s));
        }

        // The input box takes typed text.
        const struct {
            const char* title;
            const char* before;
            const char* script;
            bool ok;
            const char* after;
        } inputs[] = {
            // xdotool lends a spare key code to a character the layout lacks and takes it
            // back after the delay: a box slowed by a busy machine must still read it.
            {"oxinput typed", "old",
             "xdotool key BackSpace BackSpace BackSpace && xdotool type --delay 120 'Grüße Ω€' && xdotool key Return",
             true, "Grüße Ω€"},
            // A layout's own key symbols (Greek), not Unicode ones; the display's layout is put back.
            {"oxinput layout", "",
             "l=$(setxkbmap -query | sed -n 's/^layout: *//p'); setxkbmap gr && "
             "xdotool key --delay 30 Greek_OMEGA Greek_omega; setxkbmap \"$l\" && xdotool key Return",
             true, "Ωω"},
            {"oxinput cancel", "keep me", "xdotool type --delay 30 'xyz' && xdotool key Escape", false, "keep me"},
            // Tab goes to OK, then CANCEL, which answers like Escape.
            {"oxinput tab cancel", "keep me", "xdotool key Tab Tab Return", false, "keep me"},
        };
        for (const auto& c : inputs) {
            std::string text = c.before;
            EXPECT_EQ(drive(c.title, [&] { return oxInputBox("Comment:", c.title, text); },
                            [&](unsigned long) { runCommand(c.script); }),
                      c.ok)
                << c.title;
            EXPECT_EQ(text, c.after) << c.title;
        }
    });
}
