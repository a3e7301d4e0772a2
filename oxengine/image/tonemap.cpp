#include "oxengine/image/tonemap.h"

#include <cmath>

bool oxToneMapping::appliesTo(oxSampleType target, oxSampleType source) const
{
    if (mode == TM_ALWAYS)
        return true;
    return mode == TM_HDR_ONLY && (target == ST_UINT8 || target == ST_UINT16) &&
           (source == ST_HALF || source == ST_FLOAT);
}

namespace {

struct Mapper {
    float black, k, exponent, saturation;
    bool power; // pow(x, 1) is x exactly, so the neutral exponent skips it

    explicit Mapper(const oxToneMapping& m)
        : black(m.blackPoint), k(1.0f / (m.whitePoint - m.blackPoint)), exponent(m.exponent),
          saturation(m.saturation), power(m.exponent != 1.0f)
    {
    }

    float raise(float x) const
    {
        if (!power)
            return x;
        const float y = std::pow(x, exponent);
        return std::isnan(y) && x < 0.0f ? 0.0f : y;
    }

    oxColourFloat operator()(const oxColourFloat& p) const
    {
        const float r = raise((p.r - black) * k);
        const float g = raise((p.g - black) * k);
        const float b = raise((p.b - black) * k);
        const float luminance = 0.11f * b + 0.5f * g + 0.39f * r;
        return {luminance + saturation * (r - luminance), luminance + saturation * (g - luminance),
                luminance + saturation * (b - luminance), p.a};
    }
};

} // namespace

oxColourFloat oxToneMap(const oxColourFloat& p, const oxToneMapping& mapping)
{
    return Mapper(mapping)(p);
}

void oxToneMapPixels(oxColourFloat* pixels, size_t n, const oxToneMapping& mapping)
{
    const Mapper mapper(mapping);
    for (size_t i = 0; i < n; ++i)
        pixels[i] = mapper(pixels[i]);
}
