#include "imagetest.h"

#include "oxengine/image/half.h"

#include <bit>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr float NaN = NAN, INF = INFINITY;

template <class T> T grey(float v)
{
    return oxConvertPixel<T>(oxColourFloat(v, v, v, v));
}

} // namespace

TEST(Conversion, BoundariesAndRows)
{
    // The same result from a float channel and from a half channel (all exact in half).
    struct Case {
        float value;
        int uint8, uint16;
    } cases[] = {{0.0f, 0, 0},         {1.0f / 65536, 0, 1},     {1.0f / 256, 1, 256}, {255.0f / 256, 255, 65280},
                 {0.5f, 128, 32768},   {1.0f, 255, 65535},       {3.0f, 255, 65535},   {65504.0f, 255, 65535},
                 {-0.5f, 0, 0},        {-0.0f, 0, 0},            {NaN, 0, 0},          {-NaN, 0, 0},
                 {INF, 255, 65535},    {-INF, 0, 0}};
    for (const Case& c : cases) {
        const oxColourHalf h = grey<oxColourHalf>(c.value);
        EXPECT_EQ(std::vector<int>({grey<oxColour>(c.value).r, grey<oxColourUInt16>(c.value).r, oxConvertPixel<oxColour>(h).g,
                                    oxConvertPixel<oxColourUInt16>(h).g}),
                  std::vector({c.uint8, c.uint16, c.uint8, c.uint16}))
            << c.value;
    }
    // Integers to float and half, and between themselves.
    EXPECT_EQ(oxConvertPixel<oxColourFloat>(oxColour(0, 1, 255, 128)),
              oxColourFloat(0.0f, 0.003921569f, 255 * 0.003921569f, 128 * 0.003921569f));
    EXPECT_EQ(oxConvertPixel<oxColourFloat>(oxColourUInt16(0, 1, 65535, 32768)),
              oxColourFloat(0.0f, 1.5259022e-5f, 65535 * 1.5259022e-5f, 32768 * 1.5259022e-5f));
    // Full intensity lands exactly on half 1.0 from both.
    EXPECT_EQ(oxConvertPixel<oxColourHalf>(oxColour(255, 0, 128, 1)),
              oxColourHalf(1.0f, 0.0f, 128 * 0.003921569f, 0.003921569f));
    EXPECT_EQ(oxConvertPixel<oxColourHalf>(oxColourUInt16(65535, 0, 0, 0)).r.bits(), 0x3c00);
    // Byte duplication up, high byte down.
    EXPECT_EQ(oxConvertPixel<oxColourUInt16>(oxColour(0, 1, 0x12, 255)), oxColourUInt16(0, 257, 0x1212, 65535));
    EXPECT_EQ(oxConvertPixel<oxColour>(oxColourUInt16(0x1234, 0xffff, 0x00ff, 0x0100)), oxColour(0x12, 0xff, 0, 1));

    // Every half value, byte and 16-bit value, and random floats with
    // specials, through the row converters of every pair of types.
    std::vector<oxColourHalf> halves(16384);
    std::vector<oxColour> bytes(64);
    std::vector<oxColourUInt16> words(16384);
    for (uint32_t i = 0; i < 65536; ++i) {
        (&halves[0].r)[i] = oxHalf::fromBits(uint16_t(i));
        (&words[0].r)[i] = uint16_t(i);
        (&bytes[0].r)[i % 256] = uint8_t(i);
    }
    std::vector<oxColourFloat> floats(5000);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> range(-2.0f, 3.0f);
    for (auto& f : floats)
        f = {range(random), range(random), range(random), range(random)};
    floats[0] = {NaN, INF, -INF, -0.0f};
    const auto check = [](const auto& source, auto targetPixel) { // row against pixel by pixel
        using S = typename std::decay_t<decltype(source)>::value_type;
        using U = decltype(targetPixel);
        std::vector<U> row(source.size());
        oxConvertPixels(source.data(), oxSampleTraits<S>::type, row.data(), oxSampleTraits<U>::type, source.size());
        for (size_t i = 0; i < source.size(); ++i) {
            const U expected = oxConvertPixel<U>(source[i]);
            ASSERT_EQ(std::memcmp(&row[i], &expected, sizeof(U)), 0)
                << "pixel " << i << " from type " << oxSampleTraits<S>::type << " to " << oxSampleTraits<U>::type;
        }
    };
    const auto toAll = [&](const auto& source) {
        check(source, oxColour()), check(source, oxColourHalf()), check(source, oxColourUInt16());
        check(source, oxColourFloat());
    };
    toAll(halves), toAll(bytes), toAll(words), toAll(floats);
}

namespace {

// Independent of the code under test: built from ldexp.
double referenceWidening(uint16_t h)
{
    const int exponent = (h >> 10) & 0x1f, mantissa = h & 0x3ff;
    const double sign = (h & 0x8000) ? -1.0 : 1.0;
    if (exponent == 31)
        return mantissa ? std::nan("") : sign * INFINITY;
    return exponent == 0 ? sign * std::ldexp(mantissa, -24) : sign * std::ldexp(1024 + mantissa, exponent - 25);
}

uint32_t bitsOf(float f)
{
    return std::bit_cast<uint32_t>(f);
}

// Every narrowing implementation (one value, portable rows, dispatched rows,
// F16C where the processor has it): they must agree bit for bit.
std::vector<std::vector<uint16_t>> narrowAll(const std::vector<float>& in)
{
    std::vector<uint16_t> single(in.size()), portable(in.size()), dispatched(in.size()), hardware(in.size());
    for (size_t i = 0; i < in.size(); ++i)
        single[i] = oxFloatToHalfBits(in[i]);
    oxHalfDetail::floatToHalfPortable(in.data(), portable.data(), in.size());
    oxFloatToHalf(in.data(), dispatched.data(), in.size());
    if (!oxHalfDetail::cpuHasF16C())
        return {single, portable, dispatched};
    oxHalfDetail::floatToHalfF16C(in.data(), hardware.data(), in.size());
    return {single, portable, dispatched, hardware};
}

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

TEST(Half, WideningNarrowingAndToneMapping)
{
    std::vector<uint16_t> halves(65536);
    for (uint32_t i = 0; i < 65536; ++i)
        halves[i] = uint16_t(i);
    std::vector<float> portable(65536), dispatched(65536), hardware(65536);
    oxHalfDetail::halfToFloatPortable(halves.data(), portable.data(), 65536);
    oxHalfToFloat(halves.data(), dispatched.data(), 65536);
    const bool f16c = oxHalfDetail::cpuHasF16C();
    RecordProperty("f16c", f16c ? "compared" : "not on this CPU");
    if (f16c)
        oxHalfDetail::halfToFloatF16C(halves.data(), hardware.data(), 65536);
    for (uint32_t h = 0; h < 65536; ++h) {
        const float single = oxHalfBitsToFloat(uint16_t(h));
        const double expected = referenceWidening(uint16_t(h));
        EXPECT_EQ(std::signbit(single), bool(h & 0x8000)) << std::hex << h;
        if (std::isnan(expected)) { // quiet, the payload in the top mantissa bits
            ASSERT_TRUE(std::isnan(single)) << std::hex << h;
            EXPECT_EQ(bitsOf(single) & 0x007fe000u, 0x00400000u | uint32_t(h & 0x1ff) << 13) << std::hex << h;
        } else {
            ASSERT_EQ(double(single), expected) << std::hex << h;
        }
        ASSERT_EQ(bitsOf(portable[h]), bitsOf(single)) << std::hex << h;
        ASSERT_EQ(bitsOf(dispatched[h]), bitsOf(single)) << std::hex << h;
        ASSERT_TRUE(!f16c || bitsOf(hardware[h]) == bitsOf(single)) << std::hex << h;
    }
    const auto back = narrowAll(portable);
    for (uint32_t h = 0; h < 65536; ++h) {
        const bool nan = ((h >> 10) & 0x1f) == 31 && (h & 0x3ff); // stays NaN of its sign, quiet
        for (const auto& r : back)
            ASSERT_EQ(r[h], nan ? uint16_t(h | 0x200) : uint16_t(h)) << std::hex << h;
    }

    // The midpoint of every pair of neighbouring finite halves, and one float step either side of it;
    // then values beyond the finite boundaries, and a signalling NaN (it comes back quiet).
    std::vector<float> probes = {1e10f, -INFINITY, 1e-30f, -1e-30f, std::bit_cast<float>(0x7f802000u)};
    std::vector<uint16_t> expected = {0x7c00, 0xfc00, 0, 0x8000, 0x7e01};
    for (uint32_t h = 0; h < 0x7c00; ++h) {
        const double high = h + 1 < 0x7c00 ? referenceWidening(uint16_t(h + 1)) : 65536.0;
        const auto mid = float((referenceWidening(uint16_t(h)) + high) / 2); // exact: one more bit than a half
        for (const uint16_t sign : {uint16_t(0), uint16_t(0x8000)}) {
            const float m = sign ? -mid : mid;
            probes.insert(probes.end(), {m, std::nextafter(m, 0.0f), std::nextafter(m, sign ? -INFINITY : INFINITY)});
            expected.insert(expected.end(), {uint16_t(sign | ((h & 1) ? h + 1 : h)), uint16_t(sign | h),
                                             uint16_t(sign | (h + 1))});
        }
    }
    const auto results = narrowAll(probes);
    for (size_t i = 0; i < probes.size(); ++i)
        for (const auto& r : results)
            ASSERT_EQ(r[i], expected[i]) << std::hexfloat << probes[i];

    // Tone mapping: which conversions are mapped, and how.
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

