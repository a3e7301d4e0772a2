#include <gtest/gtest.h>

#include "oxengine/platform/rc.h"

#include "oxengine/platform/mainwindow.h"
#include "support/gltest.h"
#include "support/testsupport.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

// The main thread's context after another was current, released or destroyed. Textures shared with the
// loader thread's context: the single-picture view's GL tests.
TEST(RenderingContext, WindowsAndContexts)
{
    if (!glTestContext(64, 64))
        GTEST_SKIP() << "no X display with GLX";
    // The test window recorded as the main window, as the framework does for the program.
    oxSetMainWindowContext({glXGetCurrentDisplay(), glXGetCurrentDrawable(), glXGetCurrentContext()});
    void* mainContext = glXGetCurrentContext();
    oxWindow window; // as the loader thread's: on the main window's connection, never shown
    auto* display = static_cast<Display*>(window.display());
    EXPECT_EQ(display, glXGetCurrentDisplay());
    ASSERT_NE(window.deviceContext(), 0u);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, window.nativeWindow(), &attributes));
    EXPECT_EQ(std::tuple(attributes.width, attributes.height, attributes.map_state), std::tuple(640, 480, IsUnmapped));
    oxRC rc(window, 0, mainContext);
    ASSERT_TRUE(rc.makeCurrent());
    EXPECT_TRUE(rc.isCurrent());
    oxRC::doneCurrent();
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    oxRC::doneCurrent(); // with nothing current: no harm
    EXPECT_TRUE(makeMainWindowCurrent());
    EXPECT_EQ(glXGetCurrentContext(), mainContext);
    EXPECT_FALSE(rc.isCurrent()); // another is current
    {
        oxRC other(window); // not current when destroyed
    }
    EXPECT_EQ(glXGetCurrentContext(), mainContext);

    // A window that could not be made is reported and cannot be made current.
    const oxMainWindowContext main = oxGetMainWindowContext();
    oxSetMainWindowContext({});
    auto noServer = std::make_unique<EnvironmentVariable>("DISPLAY", ":9876"); // no such server: the window cannot be made
    oxWindow broken("broken");
    noServer.reset();
    oxSetMainWindowContext(main);
    EXPECT_EQ(std::pair(broken.nativeWindow(), broken.deviceContext()), std::pair(0ul, 0ul));
    MessageCapture boxes;
    oxRC brokenRc(broken, 0, main.context);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_NE(boxes.messages()[0].text.find("The passed window is not yet initialized."), std::string::npos);
    EXPECT_FALSE(brokenRc.makeCurrent() || brokenRc.isCurrent());
    EXPECT_EQ(glXGetCurrentContext(), main.context);
}

