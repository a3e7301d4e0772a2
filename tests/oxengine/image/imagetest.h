// Helpers shared by the image model tests.
#pragma once

#include "oxengine/image/image.h"
#include "oxengine/image/sampleconv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>

using ImageTypes = testing::Types<oxColour, oxColourHalf, oxColourUInt16>;

// A pixel that differs for every (x, y) of a small picture, in any type.
template <class T> T patternPixel(uint32_t x, uint32_t y)
{
    return oxConvertPixel<T>(oxColour(uint8_t(x * 7 + 1), uint8_t(y * 13 + 2), uint8_t((x ^ y) + 40), uint8_t(200 + x)));
}

template <class T> std::unique_ptr<oxImageImpl<T>> patternImage(uint32_t w, uint32_t h)
{
    auto image = oxImageImpl<T>::create(w, h);
    for (uint32_t y = 0; image && y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            image->at(x, y) = patternPixel<T>(x, y);
    return image;
}

inline bool samePixels(const oxImage& a, const oxImage& b)
{
    return a.size() == b.size() && a.sampleType() == b.sampleType() &&
           (a.byteSize() == 0 || std::memcmp(a.data(), b.data(), a.byteSize()) == 0);
}

// Sets a pixel limit for one scope and restores the old one.
struct PixelLimit {
    explicit PixelLimit(uint64_t pixels) { oxImage::setPixelLimit(pixels); }
    ~PixelLimit() { oxImage::setPixelLimit(old); }
    const uint64_t old = oxImage::pixelLimit();
};

// Readable failure output for every pixel type.
template <class T, class = decltype(oxSampleTraits<T>::type)> std::ostream& operator<<(std::ostream& os, const T& c)
{
    const auto channel = [](auto v) {
        if constexpr (std::is_same_v<decltype(v), oxHalf>)
            return v.toFloat();
        else
            return +v;
    };
    return os << "(" << channel(c.r) << "," << channel(c.g) << "," << channel(c.b) << "," << channel(c.a) << ")";
}
