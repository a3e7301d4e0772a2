// Tone mapping: how high-dynamic-range pixels become displayable ones.
#pragma once

#include "oxengine/image/sampletypes.h"

#include <cstddef>

enum oxToneMappingMode : int32_t {
    TM_NONE = 0,     // convert plainly
    TM_ALWAYS = 1,   // tone-map every conversion
    TM_HDR_ONLY = 2, // only from half or float into uint8 or uint16
};

struct oxToneMapping {
    int32_t mode = TM_NONE;
    float blackPoint = 0.0f; // source value that becomes 0
    float whitePoint = 1.0f; // source value that becomes full intensity
    float exponent = 1.0f;   // power applied to red, green and blue
    float saturation = 1.0f; // 1 keeps the colours, 0 gives grey

    // What the engine passes when it has nothing to say.
    static constexpr oxToneMapping neutral() { return {}; }
    // Whether a conversion from source into target is tone-mapped.
    bool appliesTo(oxSampleType target, oxSampleType source) const;
};

// One pixel: (p - B) / (W - B) on red, green and blue, each raised to the
// exponent, then mixed with its luminance 0.39 r + 0.5 g + 0.11 b by the
// saturation. Alpha passes unchanged. A channel below the black point has no
// real power for a fractional exponent; it counts as 0 there instead of
// turning the whole pixel into NaN.
oxColourFloat oxToneMap(const oxColourFloat& p, const oxToneMapping& mapping);
// The same for n pixels in place.
void oxToneMapPixels(oxColourFloat* pixels, size_t n, const oxToneMapping& mapping);
