#include "oxengine/image/half.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

// Independent of the code under test: built from ldexp and nearbyint.
double referenceWidening(uint16_t h)
{
    const int exponent = (h >> 10) & 0x1f, mantissa = h & 0x3ff;
    const double sign = (h & 0x8000) ? -1.0 : 1.0;
    if (exponent == 0)
        return sign * std::ldexp(mantissa, -24);
    if (exponent == 31)
        return mantissa ? std::nan("") : sign * INFINITY;
    return sign * std::ldexp(1024 + mantissa, exponent - 25);
}

uint16_t referenceNarrowing(float f)
{
    const uint16_t sign = std::signbit(f) ? 0x8000 : 0;
    const double a = std::fabs(double(f));
    if (a >= 65520.0)
        return sign | 0x7c00;
    if (a < std::ldexp(1.0, -14))
        return sign | uint16_t(std::nearbyint(a * 16777216.0));
    int e = 0;
    std::frexp(a, &e);
    int exponent = e - 1;
    double q = std::nearbyint(std::ldexp(a, 10 - exponent));
    if (q == 2048.0) {
        q = 1024.0;
        ++exponent;
    }
    return uint16_t(sign | ((exponent + 15) << 10) | (uint16_t(q) - 1024));
}

uint32_t bitsOf(float f)
{
    return std::bit_cast<uint32_t>(f);
}

std::vector<uint16_t> everyHalf()
{
    std::vector<uint16_t> all(65536);
    for (uint32_t i = 0; i < all.size(); ++i)
        all[i] = uint16_t(i);
    return all;
}

// The narrowing implementations that must agree bit for bit.
std::vector<std::vector<uint16_t>> narrowAll(const std::vector<float>& in)
{
    std::vector<std::vector<uint16_t>> results;
    std::vector<uint16_t> single(in.size()), portable(in.size()), dispatched(in.size());
    for (size_t i = 0; i < in.size(); ++i)
        single[i] = oxFloatToHalfBits(in[i]);
    oxHalfDetail::floatToHalfPortable(in.data(), portable.data(), in.size());
    oxFloatToHalf(in.data(), dispatched.data(), in.size());
    results = {single, portable, dispatched};
    if (oxHalfDetail::cpuHasF16C()) {
        std::vector<uint16_t> hardware(in.size());
        oxHalfDetail::floatToHalfF16C(in.data(), hardware.data(), in.size());
        results.push_back(hardware);
    }
    return results;
}

} // namespace

TEST(Half, WideningOfEveryValueIsExact)
{
    const auto halves = everyHalf();
    std::vector<float> portable(halves.size()), dispatched(halves.size()), hardware(halves.size());
    oxHalfDetail::halfToFloatPortable(halves.data(), portable.data(), halves.size());
    oxHalfToFloat(halves.data(), dispatched.data(), halves.size());
    const bool f16c = oxHalfDetail::cpuHasF16C();
    RecordProperty("f16c", f16c ? "compared" : "not on this CPU");
    if (f16c)
        oxHalfDetail::halfToFloatF16C(halves.data(), hardware.data(), halves.size());
    for (uint32_t h = 0; h < 65536; ++h) {
        const float single = oxHalfBitsToFloat(uint16_t(h));
        const double expected = referenceWidening(uint16_t(h));
        if (std::isnan(expected)) {
            ASSERT_TRUE(std::isnan(single)) << std::hex << h;
            EXPECT_EQ(std::signbit(single), bool(h & 0x8000)) << std::hex << h;
            // Quiet, payload kept in the top mantissa bits.
            EXPECT_EQ(bitsOf(single) & 0x003fe000u, uint32_t(h & 0x1ff) << 13) << std::hex << h;
            EXPECT_TRUE(bitsOf(single) & 0x00400000u) << std::hex << h;
        } else {
            ASSERT_EQ(double(single), expected) << std::hex << h;
            EXPECT_EQ(std::signbit(single), bool(h & 0x8000)) << std::hex << h;
        }
        ASSERT_EQ(bitsOf(portable[h]), bitsOf(single)) << std::hex << h;
        ASSERT_EQ(bitsOf(dispatched[h]), bitsOf(single)) << std::hex << h;
        if (f16c) {
            ASSERT_EQ(bitsOf(hardware[h]), bitsOf(single)) << std::hex << h;
        }
    }
}

TEST(Half, EveryValueSurvivesTheRoundTrip)
{
    const auto halves = everyHalf();
    std::vector<float> floats(halves.size());
    oxHalfDetail::halfToFloatPortable(halves.data(), floats.data(), halves.size());
    const auto results = narrowAll(floats);
    for (uint32_t h = 0; h < 65536; ++h) {
        const bool nan = ((h >> 10) & 0x1f) == 31 && (h & 0x3ff);
        // A NaN stays a NaN of the same sign; the quiet bit is set.
        const uint16_t expected = nan ? uint16_t(h | 0x200) : uint16_t(h);
        for (const auto& r : results)
            ASSERT_EQ(r[h], expected) << std::hex << h;
    }
}

TEST(Half, NarrowingRoundsToNearestEven)
{
    // Around the midpoint of every pair of neighbouring finite halves: the
    // midpoint itself, and one float step either side.
    std::vector<float> probes;
    std::vector<uint16_t> expected;
    for (uint32_t h = 0; h < 0x7c00; ++h) {
        const double low = referenceWidening(uint16_t(h));
        const double high = h + 1 < 0x7c00 ? referenceWidening(uint16_t(h + 1)) : 65536.0;
        const auto mid = float((low + high) / 2); // exact: one more bit than a half has
        for (const uint16_t sign : {uint16_t(0), uint16_t(0x8000)}) {
            const float m = sign ? -mid : mid;
            probes.push_back(m);
            expected.push_back(uint16_t(sign | ((h & 1) ? h + 1 : h)));
            probes.push_back(std::nextafter(m, 0.0f));
            expected.push_back(uint16_t(sign | h));
            probes.push_back(std::nextafter(m, sign ? -INFINITY : INFINITY));
            expected.push_back(uint16_t(sign | (h + 1)));
        }
    }
    const auto results = narrowAll(probes);
    for (size_t i = 0; i < probes.size(); ++i) {
        ASSERT_EQ(referenceNarrowing(probes[i]), expected[i]) << probes[i];
        for (const auto& r : results)
            ASSERT_EQ(r[i], expected[i]) << std::hexfloat << probes[i];
    }
}

TEST(Half, SpecialValues)
{
    struct Case {
        float value;
        uint16_t bits;
    } cases[] = {{-0.0f, 0x8000},          {65504.0f, 0x7bff},          {65519.99f, 0x7bff},
                 {65520.0f, 0x7c00},       {-INFINITY, 0xfc00},         {std::ldexp(1.0f, -24), 0x0001},
                 {std::ldexp(1.0f, -25), 0}, {std::ldexp(1.5f, -25), 1}, {1e-30f, 0},
                 {std::nextafter(std::ldexp(1.0f, -14), 0.0f), 0x0400},
                 {std::bit_cast<float>(0x7f802000u), 0x7e01}}; // a signalling NaN comes back quiet
    for (const Case& c : cases)
        EXPECT_EQ(oxFloatToHalfBits(c.value), c.bits) << std::hexfloat << c.value;
}

TEST(Half, RandomFloatsAgreeWithTheReference)
{
    std::mt19937 random(1234);
    std::vector<float> probes;
    for (int i = 0; i < 1 << 20; ++i) {
        const float f = std::bit_cast<float>(uint32_t(random()));
        if (!std::isnan(f))
            probes.push_back(f);
    }
    const auto results = narrowAll(probes);
    for (size_t i = 0; i < probes.size(); ++i)
        for (const auto& r : results)
            ASSERT_EQ(r[i], referenceNarrowing(probes[i])) << std::hexfloat << probes[i];
}
