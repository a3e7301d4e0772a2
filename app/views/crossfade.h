// The state of the cross-fade from the previous picture to the new one: the
// picture fading out, with the scale and offset it was shown with, and the
// part of the fade still to run (1 at its start, 0 when none runs). It runs
// for a fixed time, linearly.
#pragma once

#include "app/loader/loadedpicture.h"

#include <cstdint>
#include <vector>

// A rectangle in window pixels, [x0, x1) x [y0, y1).
struct WindowRect {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return !(x0 < x1 && y0 < y1); }
};

// The parts of outer that inner does not cover, as at most four bands (the
// whole of outer when inner is null or misses it). The veil of a fade goes
// there: over the old picture only where the new one does not hide it.
std::vector<WindowRect> uncoveredParts(const WindowRect& outer, const WindowRect* inner);

class CrossFade {
public:
    // The picture on screen starts fading out over lengthMicroseconds
    // (clamped to 1 ... 10 000 000).
    void start(LoadedPicture* previous, double scale, double offsetX, double offsetY, int64_t lengthMicroseconds);
    // Moves the fade on; true when it has just ended. Every call advances it
    // by at least one microsecond, so the shortest fade ends at the next call.
    bool advance(int64_t elapsedMicroseconds);
    // Ends the fade and hands over the previous picture for release.
    LoadedPicture* take();

    LoadedPicture* previous() const { return m_previous; }
    double fade() const { return m_fade; }
    double previousScale() const { return m_scale; }
    double previousOffsetX() const { return m_offsetX; }
    double previousOffsetY() const { return m_offsetY; }
    int64_t length() const { return m_length; }
    // Opacity of the new picture and of the veil over the old one.
    double opacity() const;

private:
    LoadedPicture* m_previous = nullptr;
    double m_fade = 0.0;
    double m_scale = 1.0;
    double m_offsetX = 0.0, m_offsetY = 0.0;
    int64_t m_length = 500000;
};
