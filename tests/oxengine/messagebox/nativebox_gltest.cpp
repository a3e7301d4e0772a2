// gtest before Xlib, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "oxengine/messagebox.h"
#include "oxengine/messagebox_native.h"
#include "oxengine/x11util.h"
#include "support/testsupport.h"
#include "support/xdriver.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>

using namespace std::chrono_literals;

namespace {

#define REQUIRE_DISPLAY()                                                                                              \
    if (!haveXDisplay())                                                                                               \
    GTEST_SKIP() << "no X display"

// The visible window with exactly this name, or 0 after the time limit.
unsigned long findWindow(const std::string& title, std::chrono::milliseconds limit = 10s)
{
    unsigned long id = 0;
    waitUntil(
        [&] {
            std::string out;
            xdotool("search --onlyvisible --name '^" + title + "$'", &out);
            id = std::strtoul(out.c_str(), nullptr, 10);
            return id != 0;
        },
        limit);
    return id;
}

int countWindows(const std::string& title)
{
    std::string out;
    xdotool("search --onlyvisible --name '^" + title + "$'", &out);
    int n = 0;
    for (char c : out)
        n += c == '\n';
    return n;
}

// Waits until the box has the keyboard, so that keys sent through XTEST reach it.
bool waitForFocus(unsigned long window)
{
    return waitUntil(
        [&] {
            std::string out;
            xdotool("getwindowfocus", &out);
            return std::strtoul(out.c_str(), nullptr, 10) == window;
        },
        5s);
}

std::string windowProperty(unsigned long window, const std::string& name)
{
    std::string out;
    runCommand("xprop -id " + std::to_string(window) + " " + name, &out);
    return out;
}

void sendDeleteWindow(unsigned long window)
{
    Display* d = oxOpenXDisplay();
    ASSERT_NE(d, nullptr);
    XEvent e;
    std::memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    XSendEvent(d, window, False, NoEventMask, &e);
    XCloseDisplay(d);
}

// Shows a message box on another thread and answers it with keys.
int answerWithKeys(const std::string& title, int buttons, const std::string& keys)
{
    auto result = std::async(std::launch::async, [&] { return oxShowMessage("Some text.", title, buttons); });
    const unsigned long w = findWindow(title);
    EXPECT_NE(w, 0u) << title;
    EXPECT_TRUE(waitForFocus(w)) << title;
    xdotool("key " + keys);
    return result.get();
}

oxMessageAnswer nativeAnswer(const oxMessageRequest& r, const std::function<void(unsigned long)>& drive)
{
    auto result = std::async(std::launch::async, [&] { return oxNativeMessageBox(r); });
    const unsigned long w = findWindow(r.title);
    EXPECT_NE(w, 0u) << r.title;
    EXPECT_TRUE(waitForFocus(w));
    drive(w);
    const std::optional<oxMessageAnswer> a = result.get();
    EXPECT_TRUE(a.has_value());
    return a.value_or(oxMessageAnswer{});
}

// The test entry answers boxes without a window; these tests want the window.
class NativeBox : public testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("OX_MESSAGE_LOG");
        m_previous = oxSetMessageHandler({});
    }
    void TearDown() override { oxSetMessageHandler(m_previous); }

private:
    oxMessageHandler m_previous;
};

} // namespace

TEST_F(NativeBox, EnterAndEscapeGiveTheBoxAnswers)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated(
        [] {
            EXPECT_EQ(answerWithKeys("oxbox ok enter", MB_OK, "Return"), MB_OK);
            EXPECT_EQ(answerWithKeys("oxbox ok escape", MB_OK, "Escape"), MB_OK);
            EXPECT_EQ(answerWithKeys("oxbox yesno enter", MB_YES | MB_NO, "Return"), MB_YES);
            EXPECT_EQ(answerWithKeys("oxbox yesno escape", MB_YES | MB_NO, "Escape"), MB_NO);
            EXPECT_EQ(answerWithKeys("oxbox yesno tab", MB_YES | MB_NO, "Tab Return"), MB_NO);
            EXPECT_EQ(answerWithKeys("oxbox yesno arrows", MB_YES | MB_NO, "Right Right space"), MB_YES);
            // Cancel is reported as OK by oxShowMessage.
            EXPECT_EQ(answerWithKeys("oxbox ync escape", MB_YES | MB_NO | MB_CANCEL, "Escape"), MB_OK);
            EXPECT_EQ(answerWithKeys("oxbox ync left", MB_YES | MB_NO | MB_CANCEL, "Left Return"), MB_OK);
            EXPECT_EQ(answerWithKeys("oxbox ync shifttab", MB_YES | MB_NO | MB_CANCEL, "shift+Tab shift+Tab Return"),
                      MB_NO);
        },
        120s));
}

TEST_F(NativeBox, NativeAnswersIncludeCancelAndTheCloseButton)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated(
        [] {
            oxMessageRequest r;
            r.title = "oxbox native cancel";
            r.text = "Cancel me";
            r.buttons = MB_OK | MB_CANCEL;
            EXPECT_EQ(nativeAnswer(r, [](unsigned long) { xdotool("key Escape"); }).button, MB_CANCEL);
            r.title = "oxbox native close";
            r.buttons = MB_YES | MB_NO;
            EXPECT_EQ(nativeAnswer(r, [](unsigned long w) { sendDeleteWindow(w); }).button, MB_NO);
        },
        60s));
}

TEST_F(NativeBox, MouseClickOnAButton)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated(
        [] {
            oxMessageRequest r;
            r.title = "oxbox click";
            r.text = "Click No";
            r.buttons = MB_YES | MB_NO;
            const oxMessageAnswer a = nativeAnswer(r, [](unsigned long w) {
                std::string geometry;
                xdotool("getwindowgeometry --shell " + std::to_string(w), &geometry);
                const int width = std::atoi(geometry.substr(geometry.find("WIDTH=") + 6).c_str());
                const int height = std::atoi(geometry.substr(geometry.find("HEIGHT=") + 7).c_str());
                // "No" is the last button, at the bottom right corner.
                xdotool("mousemove --window " + std::to_string(w) + " " + std::to_string(width - 40) + " " +
                        std::to_string(height - 25) + " click 1");
            });
            EXPECT_EQ(a.button, MB_NO);
        },
        60s));
}

TEST_F(NativeBox, WindowPropertiesForWindowManagers)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated(
        [] {
            oxMessageRequest r;
            r.title = "oxbox Grüße";
            r.text = "Ωmega ist ein schöner Name.\nZweite Zeile mit einem sehr langen Text, der umbrochen werden muss, "
                     "weil er viel zu lang ist für eine Zeile.";
            r.icon = MI_WARNING;
            nativeAnswer(r, [](unsigned long w) {
                EXPECT_NE(windowProperty(w, "_NET_WM_NAME").find("\"oxbox Grüße\""), std::string::npos);
                EXPECT_NE(windowProperty(w, "WM_NAME").find("oxbox Gr"), std::string::npos);
                EXPECT_NE(windowProperty(w, "_NET_WM_STATE").find("_NET_WM_STATE_ABOVE"), std::string::npos);
                EXPECT_NE(windowProperty(w, "_NET_WM_WINDOW_TYPE").find("_NET_WM_WINDOW_TYPE_DIALOG"),
                          std::string::npos);
                EXPECT_NE(windowProperty(w, "WM_PROTOCOLS").find("WM_DELETE_WINDOW"), std::string::npos);
                runCommand("import -window " + std::to_string(w) + " " + artifactDir() + "/messagebox_warning.png");
                xdotool("key Return");
            });
        },
        60s));
}

TEST_F(NativeBox, WorksFromAnotherThreadAndShowsOneBoxAtATime)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated(
        [] {
            std::atomic<int> done{0};
            auto box = [&](const char* title) {
                std::thread([&, title] {
                    oxShowMessage("From a thread", title);
                    ++done;
                }).detach();
            };
            box("oxbox serial");
            box("oxbox serial");
            for (int i = 0; i < 2; ++i) {
                const unsigned long w = findWindow("oxbox serial");
                ASSERT_NE(w, 0u);
                EXPECT_EQ(countWindows("oxbox serial"), 1) << "the second box waits for the first";
                ASSERT_TRUE(waitForFocus(w));
                xdotool("key Return");
                ASSERT_TRUE(waitUntil([&] { return done == i + 1; }, 5s));
            }
        },
        60s));
}

TEST_F(NativeBox, BoxWithoutAnyFontStillAppearsAndAnswers)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated(
        [] {
            oxSetNativeBoxFonts({"-no-such-foundry-no-such-font-*"});
            EXPECT_EQ(answerWithKeys("oxbox nofont", MB_YES | MB_NO, "Tab Return"), MB_NO);
            oxSetNativeBoxFonts({});
        },
        60s));
}

TEST_F(NativeBox, InputBoxTakesTypedText)
{
    REQUIRE_DISPLAY();
    EXPECT_TRUE(runIsolated(
        [] {
            auto input = [](const std::string& title, std::string& text, bool multi, const std::string& driver) {
                auto result =
                    std::async(std::launch::async, [&] { return oxInputBox("Comment:", title, text, multi); });
                const unsigned long w = findWindow(title);
                EXPECT_NE(w, 0u);
                EXPECT_TRUE(waitForFocus(w));
                runCommand(driver);
                return result.get();
            };
            std::string text = "old";
            EXPECT_TRUE(input("oxinput typed", text, false,
                              "xdotool key BackSpace BackSpace BackSpace && xdotool type --delay 30 'Grüße Ω€' && "
                              "xdotool key Return"));
            EXPECT_EQ(text, "Grüße Ω€");

            text = "keep me";
            EXPECT_FALSE(input("oxinput cancel", text, false, "xdotool type --delay 30 'xyz' && xdotool key Escape"));
            EXPECT_EQ(text, "keep me");

            // Tab goes to OK and CANCEL; CANCEL answers like Escape.
            EXPECT_FALSE(input("oxinput tab cancel", text, false, "xdotool key Tab Tab Return"));
            EXPECT_EQ(text, "keep me");

            text = "ab";
            EXPECT_TRUE(input("oxinput multi", text, true,
                              "xdotool key Home Return Up && xdotool type --delay 30 'x' && xdotool key Tab Return"));
            EXPECT_EQ(text, "x\nab");
        },
        120s));
}
