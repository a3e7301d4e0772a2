// Helpers shared by the texture tests.
#pragma once

#include "oxengine/core/errors.h"
#include "oxengine/graphics/texsupport.h"
#include "oxengine/image/image.h"
#include "oxengine/image/sampleconv.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

using TextureSampleTypes = testing::Types<oxColour, oxColourHalf, oxColourUInt16>;

// Replaces or lowers the driver's capabilities for one test and restores them.
struct DriverEmulation {
    DriverEmulation() = default;
    explicit DriverEmulation(const oxTextureCapabilities& caps) { overrideTextureCapabilities(caps); }
    ~DriverEmulation()
    {
        overrideTextureCapabilities(std::nullopt);
        setTextureSizeLimit(0);
        setNPOTTexturesDisabled(false);
    }
    DriverEmulation(const DriverEmulation&) = delete;
    DriverEmulation& operator=(const DriverEmulation&) = delete;
};

// A capable driver, for tests that must not depend on the real one.
inline oxTextureCapabilities modernDriver()
{
    oxTextureCapabilities c;
    c.glMajor = 4, c.glMinor = 5;
    c.anisotropic = c.multitexture = c.floatTextures = c.npotTextures = true;
    c.textureUnits = 8, c.maxAnisotropy = 16, c.maxTextureSize = 4096;
    return c;
}

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

template <class T> std::unique_ptr<oxImageImpl<T>> imageOf(uint32_t w, uint32_t h, oxColour (*colour)(uint32_t, uint32_t))
{
    auto image = oxImageImpl<T>::create(w, h);
    for (uint32_t y = 0; image && y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            image->at(x, y) = oxConvertPixel<T>(colour(x, y));
    return image;
}

// The message of the oxTextureException that make throws.
inline std::string textureError(const std::function<void()>& make)
{
    try {
        make();
    } catch (const oxTextureException& e) {
        return e.getMessage();
    }
    return "no exception";
}
