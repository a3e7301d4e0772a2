#include "oxengine/image/half.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define OX_HAVE_F16C_PATH 1
#else
#define OX_HAVE_F16C_PATH 0
#endif

namespace oxHalfDetail {

void halfToFloatPortable(const uint16_t* in, float* out, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        out[i] = oxHalfBitsToFloat(in[i]);
}

void floatToHalfPortable(const float* in, uint16_t* out, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        out[i] = oxFloatToHalfBits(in[i]);
}

#if OX_HAVE_F16C_PATH

bool cpuHasF16C()
{
    // cpuid leaf 1: F16C (ecx bit 29) needs AVX (bit 28), and the system must
    // save the wide registers on task switches (OSXSAVE, bit 27, and XCR0).
    static const bool has = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!__get_cpuid(1, &a, &b, &c, &d))
            return false;
        const unsigned needed = (1u << 29) | (1u << 28) | (1u << 27);
        if ((c & needed) != needed)
            return false;
        unsigned lo = 0, hi = 0;
        __asm__("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        return (lo & 6u) == 6u;
    }();
    return has;
}

__attribute__((target("avx,f16c"))) void halfToFloatF16C(const uint16_t* in, float* out, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm256_storeu_ps(out + i, _mm256_cvtph_ps(h));
    }
    if (i < n) {
        // The tail goes through the same instruction, so no value takes the other path.
        alignas(16) uint16_t h[8] = {};
        alignas(32) float f[8];
        std::memcpy(h, in + i, (n - i) * sizeof(uint16_t));
        _mm256_store_ps(f, _mm256_cvtph_ps(_mm_load_si128(reinterpret_cast<const __m128i*>(h))));
        std::memcpy(out + i, f, (n - i) * sizeof(float));
    }
}

__attribute__((target("avx,f16c"))) void floatToHalfF16C(const float* in, uint16_t* out, size_t n)
{
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i h = _mm256_cvtps_ph(_mm256_loadu_ps(in + i), _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), h);
    }
    if (i < n) {
        alignas(32) float f[8] = {};
        alignas(16) uint16_t h[8];
        std::memcpy(f, in + i, (n - i) * sizeof(float));
        _mm_store_si128(reinterpret_cast<__m128i*>(h),
                        _mm256_cvtps_ph(_mm256_load_ps(f), _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
        std::memcpy(out + i, h, (n - i) * sizeof(uint16_t));
    }
}

#else

bool cpuHasF16C()
{
    return false;
}

void halfToFloatF16C(const uint16_t* in, float* out, size_t n)
{
    halfToFloatPortable(in, out, n);
}

void floatToHalfF16C(const float* in, uint16_t* out, size_t n)
{
    floatToHalfPortable(in, out, n);
}

#endif

} // namespace oxHalfDetail

void oxHalfToFloat(const uint16_t* in, float* out, size_t n)
{
    if (oxHalfDetail::cpuHasF16C())
        oxHalfDetail::halfToFloatF16C(in, out, n);
    else
        oxHalfDetail::halfToFloatPortable(in, out, n);
}

void oxFloatToHalf(const float* in, uint16_t* out, size_t n)
{
    if (oxHalfDetail::cpuHasF16C())
        oxHalfDetail::floatToHalfF16C(in, out, n);
    else
        oxHalfDetail::floatToHalfPortable(in, out, n);
}
