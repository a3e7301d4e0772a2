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
    if (image)
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                image->at(x, y) = patternPixel<T>(x, y);
    return image;
}

inline bool samePixels(const oxImage& a, const oxImage& b)
{
    return a.width() == b.width() && a.height() == b.height() && a.sampleType() == b.sampleType() &&
           (a.byteSize() == 0 || std::memcmp(a.data(), b.data(), a.byteSize()) == 0);
}

// Sets a pixel limit for one test and restores the old one.
class PixelLimit {
public:
    explicit PixelLimit(uint64_t pixels) : m_old(oxImage::pixelLimit()) { oxImage::setPixelLimit(pixels); }
    ~PixelLimit() { oxImage::setPixelLimit(m_old); }
    PixelLimit(const PixelLimit&) = delete;
    PixelLimit& operator=(const PixelLimit&) = delete;

private:
    uint64_t m_old;
};

inline std::ostream& operator<<(std::ostream& os, const oxColour& c)
{
    return os << "rgba(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << "," << int(c.a) << ")";
}
inline std::ostream& operator<<(std::ostream& os, const oxColourUInt16& c)
{
    return os << "rgba16(" << c.r << "," << c.g << "," << c.b << "," << c.a << ")";
}
inline std::ostream& operator<<(std::ostream& os, const oxColourHalf& c)
{
    return os << "half(" << c.r.toFloat() << "," << c.g.toFloat() << "," << c.b.toFloat() << "," << c.a.toFloat()
              << ")";
}
inline std::ostream& operator<<(std::ostream& os, const oxColourFloat& c)
{
    return os << "float(" << c.r << "," << c.g << "," << c.b << "," << c.a << ")";
}
