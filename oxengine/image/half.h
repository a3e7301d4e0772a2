// IEEE 754 binary16 ("half") values and their conversions to and from float.
//
// Single values convert with the exact portable routines below; whole rows go
// through oxHalfToFloat / oxFloatToHalf, which use the CPU's F16C instructions
// when it has them. Both round to nearest, ties to even, so a picture converts
// to the same bits on every machine.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

// Exact widening: denormals, infinities and NaNs (made quiet, payload kept)
// come out as IEEE defines them.
constexpr float oxHalfBitsToFloat(uint16_t h)
{
    const uint32_t sign = uint32_t(h & 0x8000u) << 16;
    const uint32_t exponent = (h >> 10) & 0x1fu;
    const uint32_t mantissa = h & 0x3ffu;
    if (exponent == 0) {
        // Zero or denormal: mantissa × 2^-24, exact in float.
        const float magnitude = float(mantissa) * 5.9604644775390625e-8f;
        return sign ? -magnitude : magnitude;
    }
    if (exponent == 31) {
        const uint32_t nan = mantissa ? 0x00400000u : 0u; // quiet bit, as F16C sets it
        return std::bit_cast<float>(sign | 0x7f800000u | nan | (mantissa << 13));
    }
    return std::bit_cast<float>(sign | ((exponent + 112u) << 23) | (mantissa << 13));
}

// Narrowing with round to nearest, ties to even; values from 65520 up become
// infinity, values below the smallest denormal become (signed) zero.
constexpr uint16_t oxFloatToHalfBits(float f)
{
    const uint32_t x = std::bit_cast<uint32_t>(f);
    const uint16_t sign = uint16_t((x >> 16) & 0x8000u);
    const uint32_t magnitude = x & 0x7fffffffu;
    if (magnitude >= 0x7f800000u) {
        if (magnitude == 0x7f800000u)
            return sign | 0x7c00u;
        return uint16_t(sign | 0x7e00u | ((magnitude >> 13) & 0x3ffu));
    }
    if (magnitude >= 0x477ff000u) // 65520: halfway to the next power of two rounds up to infinity
        return sign | 0x7c00u;
    if (magnitude >= 0x38800000u) { // normal half range
        const uint32_t rebased = magnitude - 0x38000000u; // exponent bias 127 -> 15
        // A carry out of the mantissa correctly bumps the exponent.
        return uint16_t(sign | ((rebased + 0xfffu + ((rebased >> 13) & 1u)) >> 13));
    }
    if (magnitude <= 0x33000000u) // up to 2^-25: rounds to zero (the tie goes to even zero)
        return sign;
    // Denormal: value = mantissa24 × 2^(e - 150); in units of 2^-24 that is
    // mantissa24 >> (126 - e), rounded.
    const uint32_t e = magnitude >> 23;
    const uint32_t mantissa = (magnitude & 0x7fffffu) | 0x800000u;
    const uint32_t shift = 126u - e; // 14 .. 24
    uint32_t q = mantissa >> shift;
    const uint32_t rest = mantissa & ((1u << shift) - 1u);
    const uint32_t halfway = 1u << (shift - 1u);
    if (rest > halfway || (rest == halfway && (q & 1u)))
        ++q; // may reach 0x400, the smallest normal, which is the right encoding
    return uint16_t(sign | q);
}

class oxHalf {
public:
    constexpr oxHalf() = default;
    constexpr explicit oxHalf(float f) : m_bits(oxFloatToHalfBits(f)) {}
    static constexpr oxHalf fromBits(uint16_t bits)
    {
        oxHalf h;
        h.m_bits = bits;
        return h;
    }
    constexpr uint16_t bits() const { return m_bits; }
    constexpr explicit operator float() const { return oxHalfBitsToFloat(m_bits); }
    constexpr float toFloat() const { return oxHalfBitsToFloat(m_bits); }

    // Bitwise equality: +0 and -0 differ, a NaN equals itself.
    friend constexpr bool operator==(oxHalf a, oxHalf b) { return a.m_bits == b.m_bits; }

private:
    uint16_t m_bits = 0;
};
static_assert(sizeof(oxHalf) == 2);

// Row conversions, n values each. They use F16C when the CPU has it and give
// the same bits as the single-value routines in every case.
void oxHalfToFloat(const uint16_t* in, float* out, size_t n);
void oxFloatToHalf(const float* in, uint16_t* out, size_t n);

// Both implementations, for tests and benchmarks.
namespace oxHalfDetail {
bool cpuHasF16C();
void halfToFloatPortable(const uint16_t* in, float* out, size_t n);
void floatToHalfPortable(const float* in, uint16_t* out, size_t n);
// Only callable when cpuHasF16C() is true.
void halfToFloatF16C(const uint16_t* in, float* out, size_t n);
void floatToHalfF16C(const float* in, uint16_t* out, size_t n);
} // namespace oxHalfDetail
