#include "oxengine/image/sampleconv.h"

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

// Channels as flat arrays, so the compiler can vectorise the loops.
void uint8ToFloat(const uint8_t* in, float* out, size_t channels)
{
    for (size_t i = 0; i < channels; ++i)
        out[i] = oxSample::fromUInt8(in[i]);
}

void uint16ToFloat(const uint16_t* in, float* out, size_t channels)
{
    for (size_t i = 0; i < channels; ++i)
        out[i] = oxSample::fromUInt16(in[i]);
}

void floatToUInt8(const float* in, uint8_t* out, size_t channels)
{
    for (size_t i = 0; i < channels; ++i)
        out[i] = oxSample::toUInt8(in[i]);
}

void floatToUInt16(const float* in, uint16_t* out, size_t channels)
{
    for (size_t i = 0; i < channels; ++i)
        out[i] = oxSample::toUInt16(in[i]);
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
        const auto* in = static_cast<const uint8_t*>(source);
        auto* out = static_cast<uint16_t*>(target);
        for (size_t i = 0; i < n * 4; ++i)
            out[i] = oxSample::uint8ToUInt16(in[i]);
        return;
    }
    if (sourceType == ST_UINT16 && targetType == ST_UINT8) {
        const auto* in = static_cast<const uint16_t*>(source);
        auto* out = static_cast<uint8_t*>(target);
        for (size_t i = 0; i < n * 4; ++i)
            out[i] = oxSample::uint16ToUInt8(in[i]);
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
