#include <gtest/gtest.h>

#include "oxengine/platform/rc.h"

#include "oxengine/platform/mainwindow.h"
#include "support/gltest.h"
#include "support/switches.h"
#include "support/testsupport.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <thread>

namespace {

// Opens the test window and records it as the main window, as the framework does for the program.
class RenderingContext : public testing::Test {
protected:
    void SetUp() override
    {
        if (!glTestContext(64, 64))
            GTEST_SKIP() << "no X display with GLX";
        oxSetMainWindowContext({glXGetCurrentDisplay(), glXGetCurrentDrawable(), glXGetCurrentContext()});
    }
};

} // namespace

TEST_F(RenderingContext, TextureMadeOnAnotherThreadIsDrawnByTheMainThread)
{
    void* mainContext = glXGetCurrentContext();
    GLuint texture = 0;
    bool madeCurrent = false, wasCurrent = false, currentAfterDone = true;
    std::thread loader([&] {
        oxWindow window("Dummy Texture Loader Window");
        oxRC rc(window, 0, mainContext);
        madeCurrent = rc.makeCurrent();
        wasCurrent = rc.isCurrent();
        const uint8_t texels[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        glFinish(); // visible to the other context from here on
        oxRC::doneCurrent();
        currentAfterDone = rc.isCurrent();
    });
    loader.join();
    ASSERT_TRUE(madeCurrent);
    EXPECT_TRUE(wasCurrent && !currentAfterDone);
    EXPECT_EQ(glXGetCurrentContext(), mainContext); // the main thread kept its context

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(glIsTexture(texture));
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glQuad(0, 0, 64, 64);
    glDisable(GL_TEXTURE_2D);
    glSaveArtifact("rc_shared_texture", 64, 64);
    const GLFrame back(64, 64);
    EXPECT_EQ(back.text(16, 16) + back.text(48, 16) + back.text(16, 48) + back.text(48, 48),
              "(255,0,0)(0,255,0)(0,0,255)(255,255,255)");
    glDeleteTextures(1, &texture);
}

// The main thread's context after another was current, released or destroyed.
TEST_F(RenderingContext, ADefaultWindowIsHiddenDoneCurrentOrDestroyingLeaveTheMainContextAloneAndAFailedWindowIsReported)
{
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

