#include "imagetest.h"

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

TEST(Conversion, FloatAndHalfToIntegersAtTheBoundariesIntegersToFloatHalfAndEachOtherRowsAsPixels)
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
    // Just below a step truncates down.
    EXPECT_EQ(grey<oxColour>(std::nextafter(1.0f / 256, 0.0f)).r, 0);
    const oxHalf below = oxHalf::fromBits(oxHalf(1.0f / 256).bits() - 1);
    EXPECT_EQ(oxConvertPixel<oxColour>(oxColourHalf(below, below, below, below)).r, 0);
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
    // Half to float is exact, specials included; float to half saturates to infinity.
    EXPECT_EQ(oxConvertPixel<oxColourFloat>(oxColourHalf(oxHalf::fromBits(1), oxHalf(-2.0f), oxHalf::fromBits(0x7c00), oxHalf(0.1f))),
              oxColourFloat(std::ldexp(1.0f, -24), -2.0f, INF, oxHalf(0.1f).toFloat()));
    EXPECT_EQ(grey<oxColourHalf>(1e6f).r.bits(), 0x7c00);
    // oxColour from every type and from a colour value converts by its own type.
    EXPECT_EQ(oxColour(oxColourFloat(-1.0f, NaN, 0.25f, 2.0f)), oxColour(0, 0, 64, 255));
    EXPECT_EQ(oxColour(oxColourValue(oxColourHalf(0.5f, 0.5f, 0.5f, 1.0f))), oxColour(128, 128, 128, 255));
    EXPECT_EQ(oxColour(oxColourValue(oxColourUInt16(0xabcd, 0, 0, 0xffff))), oxColour(0xab, 0, 0, 0xff));

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
