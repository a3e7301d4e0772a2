// Arbitrary bytes as an embedded ICC profile (RGB, 16-bit and CMYK pixels) and as
// the display's profile: used or ignored, never out of bounds, never leaking.
#include "oxengine/image/colour/colourprofile.h"
#include "oxengine/image/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    oxColourSource source;
    source.icc.assign(data, data + size);
    auto rgb = oxImageUInt8::create(7, 3);
    rgb->fill(oxColourValue(oxColour(200, 100, 50, 128)));
    oxConvertToDisplay(*rgb, source);
    auto deep = oxImageUInt16::create(3, 2);
    deep->fill(oxColourValue(oxColourUInt16(1000, 50000, 30000, 65535)));
    oxConvertToDisplay(*deep, source);
    source.cmyk = true;
    source.inverted = size % 2 == 1;
    auto ink = oxImageUInt8::create(5, 2);
    ink->fill(oxColourValue(oxColour(10, 20, 30, 40)));
    oxConvertToDisplay(*ink, source);
    // Now the bytes as the display's profile, with an untagged picture.
    oxSetDisplayProfile(std::vector<unsigned char>(data, data + size));
    oxConvertToDisplay(*rgb, oxColourSource());
    oxSetDisplayProfile({});
    return 0;
}
