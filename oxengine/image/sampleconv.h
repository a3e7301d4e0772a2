// Conversions between the sample types, channel by channel.
//
// To 8 bits a value is multiplied by 256 and to 16 bits by 65536, truncated
// and clamped, so 1.0 reaches the maximum through the clamp and 0.5 gives 128
// (32768). NaN gives 0. uint8 <-> uint16 go directly (byte duplication, high
// byte); every other pair goes through float.
#pragma once

#include "oxengine/image/sampletypes.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

namespace oxSample {

constexpr float UINT8_TO_FLOAT = 0.003921569f;
constexpr float UINT16_TO_FLOAT = 1.5259022e-5f;

constexpr float fromUInt8(uint8_t c)
{
    return float(c) * UINT8_TO_FLOAT;
}

constexpr float fromUInt16(uint16_t c)
{
    return float(c) * UINT16_TO_FLOAT;
}

// The comparisons are written so that NaN fails the first one and ends at 0.
constexpr uint8_t toUInt8(float f)
{
    float v = f * 256.0f;
    v = v > 0.0f ? v : 0.0f;
    v = v < 255.0f ? v : 255.0f;
    return uint8_t(v);
}

constexpr uint16_t toUInt16(float f)
{
    float v = f * 65536.0f;
    v = v > 0.0f ? v : 0.0f;
    v = v < 65535.0f ? v : 65535.0f;
    return uint16_t(v);
}

constexpr uint16_t uint8ToUInt16(uint8_t c)
{
    return uint16_t(c * 257u);
}

constexpr uint8_t uint16ToUInt8(uint16_t c)
{
    return uint8_t(c >> 8);
}

} // namespace oxSample

// Widening of any pixel to four floats.
constexpr oxColourFloat oxToFloat(const oxColourFloat& p)
{
    return p;
}
constexpr oxColourFloat oxToFloat(const oxColour& p)
{
    using namespace oxSample;
    return {fromUInt8(p.r), fromUInt8(p.g), fromUInt8(p.b), fromUInt8(p.a)};
}
constexpr oxColourFloat oxToFloat(const oxColourUInt16& p)
{
    using namespace oxSample;
    return {fromUInt16(p.r), fromUInt16(p.g), fromUInt16(p.b), fromUInt16(p.a)};
}
constexpr oxColourFloat oxToFloat(const oxColourHalf& p)
{
    return {p.r.toFloat(), p.g.toFloat(), p.b.toFloat(), p.a.toFloat()};
}

// Narrowing of four floats to pixel type T.
template <class T> constexpr T oxFromFloat(const oxColourFloat& f);
template <> constexpr oxColourFloat oxFromFloat<oxColourFloat>(const oxColourFloat& f)
{
    return f;
}
template <> constexpr oxColour oxFromFloat<oxColour>(const oxColourFloat& f)
{
    using namespace oxSample;
    return {toUInt8(f.r), toUInt8(f.g), toUInt8(f.b), toUInt8(f.a)};
}
template <> constexpr oxColourUInt16 oxFromFloat<oxColourUInt16>(const oxColourFloat& f)
{
    using namespace oxSample;
    return {toUInt16(f.r), toUInt16(f.g), toUInt16(f.b), toUInt16(f.a)};
}
template <> constexpr oxColourHalf oxFromFloat<oxColourHalf>(const oxColourFloat& f)
{
    return {oxHalf(f.r), oxHalf(f.g), oxHalf(f.b), oxHalf(f.a)};
}

// Any pixel type to any other, by the conversion table.
template <class To, class From> constexpr To oxConvertPixel(const From& p)
{
    if constexpr (std::is_same_v<To, From>) {
        return p;
    } else if constexpr (std::is_same_v<From, oxColour> && std::is_same_v<To, oxColourUInt16>) {
        using namespace oxSample;
        return {uint8ToUInt16(p.r), uint8ToUInt16(p.g), uint8ToUInt16(p.b), uint8ToUInt16(p.a)};
    } else if constexpr (std::is_same_v<From, oxColourUInt16> && std::is_same_v<To, oxColour>) {
        using namespace oxSample;
        return {uint16ToUInt8(p.r), uint16ToUInt8(p.g), uint16ToUInt8(p.b), uint16ToUInt8(p.a)};
    } else {
        return oxFromFloat<To>(oxToFloat(p));
    }
}

// A colour value converted to pixel type T. Unknown type tags read as uint8.
template <class T> T oxConvertValue(const oxColourValue& v)
{
    auto read = [&v](auto pixel) {
        std::memcpy(&pixel, v.storage, sizeof pixel);
        return oxConvertPixel<T>(pixel);
    };
    switch (v.type) {
    case ST_HALF:
        return read(oxColourHalf());
    case ST_UINT16:
        return read(oxColourUInt16());
    case ST_FLOAT:
        return read(oxColourFloat());
    default:
        return read(oxColour());
    }
}

// Row conversions of n pixels between any two sample types (float included).
// Source and target must not overlap unless they are the same buffer of the
// same type.
void oxConvertPixels(const void* source, oxSampleType sourceType, void* target, oxSampleType targetType, size_t n);
// n pixels of the given type widened to floats, and back.
void oxPixelsToFloat(const void* source, oxSampleType sourceType, oxColourFloat* target, size_t n);
void oxPixelsFromFloat(const oxColourFloat* source, void* target, oxSampleType targetType, size_t n);
