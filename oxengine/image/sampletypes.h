// Pixel sample types shared by images, textures, the toolkit and settings.
#pragma once

#include <cstdint>

// An RGBA colour of four 8-bit channels. Its text form and drawing helpers
// live in oxengine/colour.h.
struct oxColour {
    uint8_t r = 0, g = 0, b = 0, a = 0;

    constexpr oxColour() = default;
    constexpr oxColour(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha = 255)
        : r(red), g(green), b(blue), a(alpha) {}

    // Makes this the current OpenGL colour (each channel / 255).
    void setGLColour() const;
    // Mixes R, G, B towards other by fraction (0..1); keeps this alpha.
    oxColour blend(const oxColour& other, float fraction) const;

    friend constexpr bool operator==(const oxColour&, const oxColour&) = default;
};
static_assert(sizeof(oxColour) == 4, "oxColour is four packed bytes");
