// Helpers shared by the texture tests.
#pragma once

#include "oxengine/graphics/texsupport.h"
#include "oxengine/image/image.h"
#include "oxengine/image/sampleconv.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using TextureSampleTypes = testing::Types<oxColour, oxColourHalf, oxColourUInt16>;

// Replaces the driver's capabilities for one test (or lowers its limits) and
// restores everything afterwards.
class DriverEmulation {
public:
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

// A capable modern driver, for tests that must not depend on the real one.
inline oxTextureCapabilities modernDriver()
{
    oxTextureCapabilities c;
    c.glMajor = 4, c.glMinor = 5;
    c.anisotropic = c.multitexture = c.floatTextures = c.npotTextures = true;
    c.textureUnits = 8;
    c.maxAnisotropy = 16;
    c.maxTextureSize = 4096;
    return c;
}

// An image of pixel type T whose pixels are the given 8-bit colours, converted.
template <class T> std::unique_ptr<oxImageImpl<T>> imageOf(uint32_t w, uint32_t h, oxColour (*colour)(uint32_t, uint32_t))
{
    auto image = oxImageImpl<T>::create(w, h);
    for (uint32_t y = 0; image && y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            image->at(x, y) = oxConvertPixel<T>(colour(x, y));
    return image;
}
