// Mipmap levels built by the engine: 2 x 2 box averaging per sample type.
#include "oxengine/graphics/texture.h"

#include "oxengine/image/half.h"

#include <new>

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

template <class T> void halve(const oxImageImpl<T>& src, oxImageImpl<T>& dst)
{
    const bool halveX = src.width() > 1, halveY = src.height() > 1;
    const int n = (halveX ? 2 : 1) * (halveY ? 2 : 1);
    for (uint32_t y = 0; y < dst.height(); ++y) {
        const T* row0 = src.row(halveY ? 2 * y : y);
        const T* row1 = halveY ? src.row(2 * y + 1) : row0;
        T* out = dst.row(y);
        for (uint32_t x = 0; x < dst.width(); ++x) {
            const uint32_t sx = halveX ? 2 * x : x;
            // The block's pixels in a fixed order; only the first n are read.
            const T* block[4] = {row0 + sx, halveX ? row0 + sx + 1 : row1 + sx, row1 + sx, row1 + sx + 1};
            out[x] = meanPixel(block, n);
        }
    }
}

template <class T> bool appendLevels(std::vector<std::unique_ptr<oxImage>>& levels)
{
    while (true) {
        const auto& last = static_cast<const oxImageImpl<T>&>(*levels.back());
        if (last.width() <= 1 && last.height() <= 1)
            return true;
        const uint32_t w = last.width() > 1 ? last.width() / 2 : 1;
        const uint32_t h = last.height() > 1 ? last.height() / 2 : 1;
        auto next = oxImageImpl<T>::create(w, h);
        if (!next)
            return false;
        next->setComponents(last.components());
        halve(last, *next);
        levels.push_back(std::move(next));
    }
}

} // namespace

std::vector<std::unique_ptr<oxImage>> oxBuildMipmapLevels(const oxImage& image)
{
    std::vector<std::unique_ptr<oxImage>> levels;
    if (image.empty())
        return levels;
    auto first = image.clone();
    if (!first)
        return levels;
    levels.push_back(std::move(first));
    bool ok = false;
    try {
        switch (image.sampleType()) {
        case ST_UINT8:
            ok = appendLevels<oxColour>(levels);
            break;
        case ST_HALF:
            ok = appendLevels<oxColourHalf>(levels);
            break;
        case ST_UINT16:
            ok = appendLevels<oxColourUInt16>(levels);
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
