// Mipmap levels built by the engine: 2 x 2 box averaging per sample type.
#include "oxengine/graphics/texture.h"

#include "oxengine/image/half.h"

#include <new>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Integer channels round the mean: (sum + n/2) / n.
template <class C> C meanOf(const C* v, int n)
{
    unsigned sum = 0;
    for (int i = 0; i < n; ++i)
        sum += v[i];
    return C((sum + unsigned(n) / 2) / unsigned(n));
}

oxHalf meanOf(const oxHalf* v, int n)
{
    float sum = 0;
    for (int i = 0; i < n; ++i)
        sum += float(v[i]);
    return oxHalf(sum / float(n));
}

template <class T> T meanPixel(const T* const* p, int n)
{
    decltype(p[0]->r) c[4];
    T out;
    auto channel = [&](auto member) {
        for (int i = 0; i < n; ++i)
            c[i] = p[i]->*member;
        out.*member = meanOf(c, n);
    };
    channel(&T::r), channel(&T::g), channel(&T::b), channel(&T::a);
    return out;
}

// Where a level's pixels come from: rows of any stride, so that the first
// smaller level can be read in place from the caller's buffer.
template <class T> struct Rows {
    const unsigned char* base;
    size_t strideBytes;
    uint32_t width, height;
    const T* row(uint32_t y) const { return reinterpret_cast<const T*>(base + y * strideBytes); }
};

template <class T> void halveRange(const Rows<T>& src, oxImageImpl<T>& dst, uint32_t x0, uint32_t y)
{
    const bool halveX = src.width > 1, halveY = src.height > 1;
    const int n = (halveX ? 2 : 1) * (halveY ? 2 : 1);
    const T* row0 = src.row(halveY ? 2 * y : y);
    const T* row1 = halveY ? src.row(2 * y + 1) : row0;
    T* out = dst.row(y);
    for (uint32_t x = x0; x < dst.width(); ++x) {
        const uint32_t sx = halveX ? 2 * x : x;
        // The block's pixels in a fixed order; only the first n are read.
        const T* block[4] = {row0 + sx, halveX ? row0 + sx + 1 : row1 + sx, row1 + sx, row1 + sx + 1};
        out[x] = meanPixel(block, n);
    }
}

// The common case, 8-bit 2 x 2 blocks, four output pixels at a time with the
// same rounding as meanOf; this is most of the time of a picture's levels.
uint32_t halveRowFast(const oxColour* row0, const oxColour* row1, oxColour* out, uint32_t width)
{
    uint32_t x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
    const auto* a = reinterpret_cast<const unsigned char*>(row0);
    const auto* b = reinterpret_cast<const unsigned char*>(row1);
    for (; x + 4 <= width; x += 4) {
        __m128i half[2];
        for (int k = 0; k < 2; ++k) {
            const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 8 * x + 16 * k));
            const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 8 * x + 16 * k));
            // Columns 0,1 and 2,3 of both rows summed per channel, then the
            // two columns of each block added.
            const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero));
            const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero));
            const __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(lo, hi), _mm_unpackhi_epi64(lo, hi));
            half[k] = _mm_srli_epi16(_mm_add_epi16(sum, two), 2);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(half[0], half[1]));
    }
#else
    (void)row0, (void)row1, (void)out, (void)width;
#endif
    return x;
}

template <class T> void halve(const Rows<T>& src, oxImageImpl<T>& dst)
{
    for (uint32_t y = 0; y < dst.height(); ++y) {
        uint32_t x = 0;
        if constexpr (std::is_same_v<T, oxColour>)
            if (src.width > 1 && src.height > 1)
                x = halveRowFast(src.row(2 * y), src.row(2 * y + 1), dst.row(y), dst.width());
        halveRange(src, dst, x, y);
    }
}

template <class T> Rows<T> rowsOf(const oxImageImpl<T>& image)
{
    return {static_cast<const unsigned char*>(image.data()), size_t(image.width()) * sizeof(T), image.width(),
            image.height()};
}

template <class T> bool appendLevels(Rows<T> last, int components, std::vector<std::unique_ptr<oxImage>>& levels)
{
    while (last.width > 1 || last.height > 1) {
        const uint32_t w = last.width > 1 ? last.width / 2 : 1;
        const uint32_t h = last.height > 1 ? last.height / 2 : 1;
        auto next = oxImageImpl<T>::create(w, h);
        if (!next)
            return false;
        next->setComponents(components);
        halve(last, *next);
        last = rowsOf(*next);
        levels.push_back(std::move(next));
    }
    return true;
}

} // namespace

std::vector<std::unique_ptr<oxImage>> oxBuildSmallerMipmapLevels(const oxPixelRect& base)
{
    std::vector<std::unique_ptr<oxImage>> levels;
    if (!base.data || base.width == 0 || base.height == 0 || base.rowPixels < base.width)
        return levels;
    const size_t stride = base.rowPixels * size_t(bytesPerPixel(base.type));
    const auto* bytes = static_cast<const unsigned char*>(base.data);
    bool ok = false;
    try {
        switch (base.type) {
        case ST_UINT8:
            ok = appendLevels(Rows<oxColour>{bytes, stride, base.width, base.height}, base.components, levels);
            break;
        case ST_HALF:
            ok = appendLevels(Rows<oxColourHalf>{bytes, stride, base.width, base.height}, base.components, levels);
            break;
        case ST_UINT16:
            ok = appendLevels(Rows<oxColourUInt16>{bytes, stride, base.width, base.height}, base.components, levels);
            break;
        default:
            break;
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok)
        levels.clear();
    return levels;
}
