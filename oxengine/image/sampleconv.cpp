#include "oxengine/image/sampleconv.h"

#include "oxengine/image/simd.h"

#include <algorithm>

oxColour::oxColour(const oxColourHalf& c) : oxColour(oxConvertPixel<oxColour>(c)) {}
oxColour::oxColour(const oxColourUInt16& c) : oxColour(oxConvertPixel<oxColour>(c)) {}
oxColour::oxColour(const oxColourFloat& c) : oxColour(oxConvertPixel<oxColour>(c)) {}
oxColour::oxColour(const oxColourValue& v) : oxColour(oxConvertValue<oxColour>(v)) {}

namespace {

template <class T> void storeValue(oxColourValue& v, const T& pixel)
{
    static_assert(sizeof(T) <= sizeof v.storage);
    std::memcpy(v.storage, &pixel, sizeof pixel);
    v.type = oxSampleTraits<T>::type;
}

// Channels as flat arrays in blocks of a fixed length, which the compiler
// vectorises at every optimisation level; the rest goes one by one through
// the same function, so every value converts the same way.
template <class In, class Out, class F>
inline void mapChannels(const In* __restrict in, Out* __restrict out, size_t n, F convert)
{
    constexpr size_t BLOCK = 32;
    size_t i = 0;
    for (; i + BLOCK <= n; i += BLOCK)
        for (size_t k = 0; k < BLOCK; ++k)
            out[i + k] = convert(in[i + k]);
    for (; i < n; ++i)
        out[i] = convert(in[i]);
}

OX_TARGET_CLONES void uint8ToFloat(const uint8_t* in, float* out, size_t channels)
{
    mapChannels(in, out, channels, oxSample::fromUInt8);
}

OX_TARGET_CLONES void uint16ToFloat(const uint16_t* in, float* out, size_t channels)
{
    mapChannels(in, out, channels, oxSample::fromUInt16);
}

OX_TARGET_CLONES void floatToUInt8(const float* in, uint8_t* out, size_t channels)
{
    mapChannels(in, out, channels, oxSample::toUInt8);
}

OX_TARGET_CLONES void floatToUInt16(const float* in, uint16_t* out, size_t channels)
{
    mapChannels(in, out, channels, oxSample::toUInt16);
}

OX_TARGET_CLONES void uint8ToUInt16(const uint8_t* in, uint16_t* out, size_t channels)
{
    mapChannels(in, out, channels, oxSample::uint8ToUInt16);
}

OX_TARGET_CLONES void uint16ToUInt8(const uint16_t* in, uint8_t* out, size_t channels)
{
    mapChannels(in, out, channels, oxSample::uint16ToUInt8);
}

} // namespace

oxColourValue::oxColourValue(const oxColour& c)
{
    storeValue(*this, c);
}
oxColourValue::oxColourValue(const oxColourHalf& c)
{
    storeValue(*this, c);
}
oxColourValue::oxColourValue(const oxColourUInt16& c)
{
    storeValue(*this, c);
}
oxColourValue::oxColourValue(const oxColourFloat& c)
{
    storeValue(*this, c);
}

void oxPixelsToFloat(const void* source, oxSampleType sourceType, oxColourFloat* target, size_t n)
{
    float* out = &target->r;
    switch (sourceType) {
    case ST_HALF:
        oxHalfToFloat(static_cast<const uint16_t*>(source), out, n * 4);
        break;
    case ST_UINT16:
        uint16ToFloat(static_cast<const uint16_t*>(source), out, n * 4);
        break;
    case ST_FLOAT:
        if (source != target)
            std::memmove(target, source, n * sizeof(oxColourFloat));
        break;
    default:
        uint8ToFloat(static_cast<const uint8_t*>(source), out, n * 4);
        break;
    }
}

void oxPixelsFromFloat(const oxColourFloat* source, void* target, oxSampleType targetType, size_t n)
{
    const float* in = &source->r;
    switch (targetType) {
    case ST_HALF:
        oxFloatToHalf(in, static_cast<uint16_t*>(target), n * 4);
        break;
    case ST_UINT16:
        floatToUInt16(in, static_cast<uint16_t*>(target), n * 4);
        break;
    case ST_FLOAT:
        if (source != target)
            std::memmove(target, source, n * sizeof(oxColourFloat));
        break;
    default:
        floatToUInt8(in, static_cast<uint8_t*>(target), n * 4);
        break;
    }
}

void oxConvertPixels(const void* source, oxSampleType sourceType, void* target, oxSampleType targetType, size_t n)
{
    const auto normal = [](oxSampleType t) { return t >= ST_UINT8 && t <= ST_FLOAT ? t : ST_UINT8; };
    sourceType = normal(sourceType);
    targetType = normal(targetType);
    if (sourceType == targetType) {
        if (source != target)
            std::memmove(target, source, n * bytesPerPixel(sourceType));
        return;
    }
    if (sourceType == ST_UINT8 && targetType == ST_UINT16) {
        uint8ToUInt16(static_cast<const uint8_t*>(source), static_cast<uint16_t*>(target), n * 4);
        return;
    }
    if (sourceType == ST_UINT16 && targetType == ST_UINT8) {
        uint16ToUInt8(static_cast<const uint16_t*>(source), static_cast<uint8_t*>(target), n * 4);
        return;
    }
    if (sourceType == ST_FLOAT) {
        oxPixelsFromFloat(static_cast<const oxColourFloat*>(source), target, targetType, n);
        return;
    }
    if (targetType == ST_FLOAT) {
        oxPixelsToFloat(source, sourceType, static_cast<oxColourFloat*>(target), n);
        return;
    }
    // Through a small float buffer that stays in the first-level cache.
    constexpr size_t CHUNK = 256;
    oxColourFloat scratch[CHUNK];
    const auto* in = static_cast<const unsigned char*>(source);
    auto* out = static_cast<unsigned char*>(target);
    const size_t inStep = bytesPerPixel(sourceType), outStep = bytesPerPixel(targetType);
    for (size_t done = 0; done < n; done += CHUNK) {
        const size_t count = std::min(CHUNK, n - done);
        oxPixelsToFloat(in + done * inStep, sourceType, scratch, count);
        oxPixelsFromFloat(scratch, out + done * outStep, targetType, count);
    }
}
