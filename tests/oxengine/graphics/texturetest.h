// Helpers shared by the texture tests.
#pragma once

#include "oxengine/graphics/texsupport.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <functional>

using TextureSampleTypes = testing::Types<oxColour, oxColourHalf, oxColourUInt16>;

// Distinct colours whose 8-bit values survive every sample type.
inline oxColour palette(uint32_t x, uint32_t y)
{
    return oxColour(uint8_t(x * 80 + 15), uint8_t(y * 70 + 30), uint8_t(255 - x * 21 - y * 13), 255);
}

// A 1-texel red/blue checkerboard: every 2 x 2 block averages to purple.
inline oxColour checker(uint32_t x, uint32_t y)
{
    return (x + y) % 2 ? oxColour(255, 0, 0, 255) : oxColour(0, 0, 255, 255);
}

// The message of the oxTextureException that make throws ("" when none).
inline std::string textureError(const std::function<void()>& make)
{
    return thrownMessage<oxTextureException>(make);
}
