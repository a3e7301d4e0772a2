// A window that shows one finished frame, drawn without OpenGL, while the GL
// driver loads: on a software renderer the driver and its first shaders take
// longer than decoding the start picture, and this way the picture is on
// screen as soon as it is decoded. It is a plain full-screen window whose
// background becomes the frame, so the server paints it without waiting for
// us; the GL window maps over it, and it goes once the GL frame is shown.
// Until then parts of the frame may change and be shown again, also in the
// GL window over it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct _XDisplay;

class oxFirstFrameWindow {
public:
    // Maps a full-screen window on a connection of its own to the display
    // probe is connected to; it shows nothing yet (the screen keeps what it
    // showed). Null when the screen's default visual is not 24-bit true
    // colour. The window has no name: scripts look for the program's window
    // by name.
    static std::unique_ptr<oxFirstFrameWindow> open(_XDisplay* probe);
    // Main thread, with the GL window's context current when there is one:
    // whatever that context's connection has sent (the frame that takes this
    // one's place) reaches the server first, so no bare screen shows between.
    ~oxFirstFrameWindow();
    oxFirstFrameWindow(const oxFirstFrameWindow&) = delete;
    oxFirstFrameWindow& operator=(const oxFirstFrameWindow&) = delete;

    // The screen's size, which the frame must have.
    int width() const { return m_width; }
    int height() const { return m_height; }
    // Shows the frame (0x00RRGGBB words, rows top first) once the window is
    // mapped over the whole screen. False (nothing shown) when the frame has
    // another size or a window manager put the window elsewhere (one of
    // several monitors, inside a frame).
    bool show(const std::vector<uint32_t>& frame);
    // A pixel rectangle of a frame shown before.
    struct Area {
        int x = 0, y = 0, width = 0, height = 0;
    };
    // Shows the areas of the frame again (changed since it was shown), and in
    // cover too when given: a window over this one that shows nothing of its
    // own yet (the GL window before its first frame), which first gets the
    // whole frame. False, nothing shown, when no frame was shown, the frame
    // has another size, or cover is not a 24-bit window at the screen's top
    // left.
    bool update(const std::vector<uint32_t>& frame, const std::vector<Area>& areas, unsigned long cover = 0);

private:
    oxFirstFrameWindow() = default;

    _XDisplay* m_display = nullptr;
    unsigned long m_window = 0;
    unsigned long m_pixmap = 0;
    int m_width = 0, m_height = 0;
    unsigned long m_cover = 0; // the window given the whole frame last
};
