#include "imagetest.h"

namespace {

oxToneMapping mapping(int mode, float black, float white, float exponent, float saturation)
{
    oxToneMapping m;
    m.mode = mode, m.blackPoint = black, m.whitePoint = white, m.exponent = exponent, m.saturation = saturation;
    return m;
}

std::unique_ptr<oxImageHalf> halfImage(std::initializer_list<oxColourHalf> pixels)
{
    return imageOf<oxColourHalf>(uint32_t(pixels.size()), 1, [&](uint32_t x, uint32_t) { return pixels.begin()[x]; });
}

} // namespace

TEST(ToneMapping, WhichConversionsAreMappedAndHow)
{
    // The program maps high dynamic range only.
    const auto hdr = mapping(TM_HDR_ONLY, 0, 1, 1, 1);
    EXPECT_TRUE(hdr.appliesTo(ST_UINT8, ST_HALF) && hdr.appliesTo(ST_UINT16, ST_HALF) &&
                hdr.appliesTo(ST_UINT8, ST_FLOAT));
    EXPECT_FALSE(hdr.appliesTo(ST_HALF, ST_HALF) || hdr.appliesTo(ST_UINT8, ST_UINT16) || hdr.appliesTo(ST_HALF, ST_UINT8) ||
                 oxToneMapping::neutral().appliesTo(ST_UINT8, ST_HALF));
    // Values exact in half. B = 0.125, W = 2.125: k = 0.5; exponent 2; saturation 0.5.
    // (1.125, 0.5, 2.125) - B = (1, 0.375, 2); * k = (0.5, 0.1875, 1); squared
    // = (0.25, 0.03515625, 1); L = 0.11 + 0.017578125 + 0.0975 = 0.225078125;
    // mixed halfway to L: (0.2375390625, 0.1301171875, 0.6125390625).
    const auto m = mapping(TM_HDR_ONLY, 0.125f, 2.125f, 2.0f, 0.5f);
    const oxColourFloat f = oxToneMap({1.125f, 0.5f, 2.125f, 0.75f}, m);
    EXPECT_NEAR(f.r, 0.2375390625f, 1e-6f);
    EXPECT_NEAR(f.g, 0.1301171875f, 1e-6f);
    EXPECT_NEAR(f.b, 0.6125390625f, 1e-6f);
    EXPECT_EQ(f.a, 0.75f);
    auto source = halfImage({{1.125f, 0.5f, 2.125f, 0.75f}, {0.125f, 0.125f, 0.125f, 1.0f}, {4.0f, 4.0f, 4.0f, 0.0f}});
    oxImageUInt8 target;
    ASSERT_TRUE(target.convertFrom(*source, m));
    // × 256, truncated; the black point; above white clamps.
    EXPECT_EQ(std::vector(target.pixels(), target.pixels() + 3),
              (std::vector<oxColour>{{60, 33, 156, 192}, {0, 0, 0, 255}, {255, 255, 255, 0}}));
    oxImageUInt16 wide;
    ASSERT_TRUE(wide.convertFrom(*source, m));
    EXPECT_EQ(wide.at(0, 0).r, uint16_t(0.2375390625 * 65536));

    // B = 0.25, W = 0.75: 0.5 is half way; exponent 0.5 gives sqrt(0.5) = 0.7071 → 181.
    source = halfImage({{0.5f, 0.25f, 0.75f, 1.0f}});
    ASSERT_TRUE(target.convertFrom(*source, mapping(TM_HDR_ONLY, 0.25f, 0.75f, 1, 1)));
    EXPECT_EQ(target.at(0, 0), oxColour(128, 0, 255, 255));
    ASSERT_TRUE(target.convertFrom(*source, mapping(TM_HDR_ONLY, 0.25f, 0.75f, 0.5f, 1)));
    EXPECT_EQ(target.at(0, 0).r, 181);
    // Saturation 0: grey L = 0.088 + 0.2 + 0.078 = 0.366; saturation 2: 0.366 + 2 × (0.8 - 0.366).
    const oxColourFloat g = oxToneMap({0.2f, 0.4f, 0.8f, 1.0f}, mapping(TM_HDR_ONLY, 0, 1, 1, 0));
    EXPECT_NEAR(g.r, 0.366f, 1e-6f);
    EXPECT_TRUE(g.r == g.g && g.g == g.b);
    EXPECT_NEAR(oxToneMap({0.2f, 0.4f, 0.8f, 1.0f}, mapping(TM_HDR_ONLY, 0, 1, 1, 2)).b, 1.234f, 1e-6f);
    // Below black with a fractional exponent: red's power would be NaN and make the whole pixel black; it
    // counts as 0 and the other channels keep their values.
    const oxColourFloat n = oxToneMap({0.0f, 0.5f, 0.5f, 1.0f}, mapping(TM_HDR_ONLY, 0.25f, 1.25f, 0.5f, 1.0f));
    EXPECT_EQ(n.r, 0.0f);
    EXPECT_NEAR(n.g, 0.5f, 1e-6f);
    EXPECT_NEAR(n.b, 0.5f, 1e-6f);
    // With an integer exponent the negative value has a power and keeps it.
    EXPECT_NEAR(oxToneMap({0.0f, 0.5f, 0.5f, 1.0f}, mapping(TM_HDR_ONLY, 0.25f, 1.25f, 1.0f, 1.0f)).r, -0.25f, 1e-6f);
}
