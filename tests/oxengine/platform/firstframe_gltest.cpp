#include <gtest/gtest.h>

#include "oxengine/platform/firstframe.h"

#include "oxengine/platform/x11util.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

// The frame drawn without GL changes in places and is shown again, also in the window that came over it.
TEST(FirstFrameWindow, ChangedAreasAreShownAgainAlsoInTheWindowOverIt)
{
    std::unique_ptr<Display, int (*)(Display*)> display(oxOpenXDisplay(), XCloseDisplay);
    if (!display)
        GTEST_SKIP() << "no X display";
    Display* d = display.get();
    std::unique_ptr<oxFirstFrameWindow> window = oxFirstFrameWindow::open(d);
    if (!window)
        GTEST_SKIP() << "not a 24-bit screen";
    const int w = window->width(), h = window->height();
    std::vector<uint32_t> frame(size_t(w) * size_t(h), 0x204060);
    EXPECT_FALSE(window->update(frame, {{0, 0, 8, 8}})) << "nothing shown yet";
    ASSERT_TRUE(window->show(frame));

    // A window over it at the screen's top left, as the GL window before its first frame.
    const Window cover = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, unsigned(w), unsigned(h), 0, 0, 0);
    XMapWindow(d, cover);
    XSync(d, False);
    const auto paint = [&](int x0, int y0, uint32_t colour) {
        for (int y = y0; y < y0 + 10; ++y)
            for (int x = x0; x < x0 + 20; ++x)
                frame[size_t(y) * size_t(w) + size_t(x)] = colour;
    };
    const auto pixel = [&](int x, int y) {
        XImage* image = XGetImage(d, cover, x, y, 1, 1, AllPlanes, ZPixmap);
        const unsigned long p = image ? XGetPixel(image, 0, 0) & 0xFFFFFF : 0xDEAD;
        if (image)
            XDestroyImage(image);
        return p;
    };
    paint(5, 7, 0xFF0000);
    ASSERT_TRUE(window->update(frame, {{5, 7, 20, 10}}, cover));
    EXPECT_EQ(pixel(10, 10), 0xFF0000u);
    EXPECT_EQ(pixel(w - 1, h - 1), 0x204060u) << "the cover gets the whole frame first";
    paint(40, 30, 0x00FF00);
    paint(70, 30, 0x0000FF); // changed, but not among the areas given
    ASSERT_TRUE(window->update(frame, {{40, 30, 20, 10}}, cover));
    EXPECT_EQ(pixel(45, 35), 0x00FF00u);
    EXPECT_EQ(pixel(75, 35), 0x204060u);
    XDestroyWindow(d, cover);
}
