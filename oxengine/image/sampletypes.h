// Pixel sample types shared by images, textures, the toolkit and settings.
#pragma once

#include "oxengine/image/half.h"

#include <cstdint>

struct oxColourHalf;
struct oxColourUInt16;
struct oxColourFloat;
struct oxColourValue;

// The kinds of pixel storage; the number is stored in images and colour values.
// Images exist for the first three; float occurs only in colour values and as
// the intermediate of conversions.
enum oxSampleType : int32_t {
    ST_UINT8 = 0,
    ST_HALF = 1,
    ST_UINT16 = 2,
    ST_FLOAT = 3,
};

// 8 for half and uint16, 16 for float, 4 for uint8 and for any unknown value.
constexpr int bytesPerPixel(int type)
{
    return type == ST_HALF || type == ST_UINT16 ? 8 : type == ST_FLOAT ? 16 : 4;
}

// An RGBA colour of four 8-bit channels. Its text form and drawing helpers
// live in oxengine/colour.h.
struct oxColour {
    uint8_t r = 0, g = 0, b = 0, a = 0;

    constexpr oxColour() = default;
    constexpr oxColour(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha = 255)
        : r(red), g(green), b(blue), a(alpha) {}
    // Conversions from the other sample types: floats and halves scale by 256,
    // truncate and clamp (1.0 gives 255, 0.5 gives 128); 16-bit channels keep
    // their high byte; a colour value converts by its own sample type.
    explicit oxColour(const oxColourHalf& c);
    explicit oxColour(const oxColourUInt16& c);
    explicit oxColour(const oxColourFloat& c);
    explicit oxColour(const oxColourValue& v);

    // Makes this the current OpenGL colour (each channel / 255).
    void setGLColour() const;
    // Mixes R, G, B towards other by fraction (0..1); keeps this alpha.
    oxColour blend(const oxColour& other, float fraction) const;

    friend constexpr bool operator==(const oxColour&, const oxColour&) = default;
};
static_assert(sizeof(oxColour) == 4, "oxColour is four packed bytes");

// Four IEEE binary16 channels; 1.0 is full intensity, values above 1 are allowed.
struct oxColourHalf {
    oxHalf r, g, b, a;

    constexpr oxColourHalf() = default;
    constexpr oxColourHalf(oxHalf red, oxHalf green, oxHalf blue, oxHalf alpha) : r(red), g(green), b(blue), a(alpha) {}
    constexpr oxColourHalf(float red, float green, float blue, float alpha = 1.0f)
        : r(red), g(green), b(blue), a(alpha) {}

    friend constexpr bool operator==(const oxColourHalf&, const oxColourHalf&) = default;
};
static_assert(sizeof(oxColourHalf) == 8);

// Four unsigned 16-bit channels; 65535 is full intensity.
struct oxColourUInt16 {
    uint16_t r = 0, g = 0, b = 0, a = 0;

    constexpr oxColourUInt16() = default;
    constexpr oxColourUInt16(uint16_t red, uint16_t green, uint16_t blue, uint16_t alpha = 65535)
        : r(red), g(green), b(blue), a(alpha) {}

    friend constexpr bool operator==(const oxColourUInt16&, const oxColourUInt16&) = default;
};
static_assert(sizeof(oxColourUInt16) == 8);

// Four 32-bit floats; 1.0 is full intensity.
struct oxColourFloat {
    float r = 0, g = 0, b = 0, a = 0;

    constexpr oxColourFloat() = default;
    constexpr oxColourFloat(float red, float green, float blue, float alpha = 1.0f)
        : r(red), g(green), b(blue), a(alpha) {}

    friend constexpr bool operator==(const oxColourFloat&, const oxColourFloat&) = default;
};
static_assert(sizeof(oxColourFloat) == 16);

// One pixel of any sample type, tagged with the type: the first
// bytesPerPixel(type) bytes of the storage hold the pixel.
struct oxColourValue {
    alignas(4) unsigned char storage[16] = {};
    int32_t type = ST_UINT8; // an oxSampleType

    oxColourValue() = default;
    oxColourValue(const oxColour& c);
    oxColourValue(const oxColourHalf& c);
    oxColourValue(const oxColourUInt16& c);
    oxColourValue(const oxColourFloat& c);

    oxSampleType sampleType() const { return static_cast<oxSampleType>(type); }
};
static_assert(sizeof(oxColourValue) == 20);

// The static facts of each pixel type.
template <class T> struct oxSampleTraits;
template <> struct oxSampleTraits<oxColour> {
    static constexpr oxSampleType type = ST_UINT8;
};
template <> struct oxSampleTraits<oxColourHalf> {
    static constexpr oxSampleType type = ST_HALF;
};
template <> struct oxSampleTraits<oxColourUInt16> {
    static constexpr oxSampleType type = ST_UINT16;
};
template <> struct oxSampleTraits<oxColourFloat> {
    static constexpr oxSampleType type = ST_FLOAT;
};
