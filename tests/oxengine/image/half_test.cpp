#include "oxengine/image/half.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

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

} // namespace

TEST(Half, EveryValueWidensExactlyAndSurvivesTheRoundTripNarrowingRoundsToNearestEvenAndSaturates)
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
}
