// Drawing in window pixels, origin at the top left, y downward.
#pragma once

// Sets an orthographic projection over the window and an identity
// model-view matrix for its lifetime, and puts both matrices back after it.
// The window is the running application's; without one (tests, tools,
// before the main loop) the current viewport stands for it.
class oxWindowPixelProjection {
public:
    oxWindowPixelProjection();
    ~oxWindowPixelProjection();
    oxWindowPixelProjection(const oxWindowPixelProjection&) = delete;
    oxWindowPixelProjection& operator=(const oxWindowPixelProjection&) = delete;
};
