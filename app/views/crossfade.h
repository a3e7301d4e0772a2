// The state of the cross-fade from the previous picture to the new one: the
// picture fading out, with the scale and offset it was shown with, and the
// part of the fade still to run (1 at its start, 0 when none runs). It runs
// for a fixed time, linearly.
#pragma once

#include "app/loader/loadedpicture.h"

#include <cstdint>

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
