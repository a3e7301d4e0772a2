// The sample-type independent part of oxImage: buffer, information, limits.
#include "oxengine/image/image.h"

#include "oxengine/core/errors.h"
#include "oxengine/image/parallel.h"
#include "oxengine/image/sampleconv.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<uint64_t> g_pixelLimit{oxImage::DEFAULT_PIXEL_LIMIT};

} // namespace

int reductionFactor(const oxSize& size, const oxSize& maximum)
{
    const auto direction = [](int32_t extent, int32_t limit) -> int64_t {
        if (limit <= 0)
            return 1;
        int64_t f = std::max<int64_t>(1, extent / limit);
        if (extent / f > limit)
            ++f;
        return f;
    };
    return int(std::max<int64_t>({1, direction(size.width, maximum.width), direction(size.height, maximum.height)}));
}

int budgetFactor(uint64_t width, uint64_t height, int bytesPerPixel, uint64_t budget)
{
    if (budget == 0 || width == 0 || height == 0)
        return 1;
    const auto bytes = [&](uint64_t f) {
        return std::max<uint64_t>(1, width / f) * std::max<uint64_t>(1, height / f) * uint64_t(bytesPerPixel);
    };
    // Start near the answer (the square root of the excess) and step up;
    // a 1 x 1 picture is as small as it gets.
    const double excess = double(width) * double(height) * bytesPerPixel / double(budget);
    uint64_t f = std::max<uint64_t>(1, uint64_t(std::sqrt(excess)));
    while (f > 1 && bytes(f - 1) <= budget)
        --f;
    const uint64_t largest = std::max(width, height);
    while (f < largest && bytes(f) > budget)
        ++f;
    return int(std::min<uint64_t>(f, INT32_MAX));
}

oxImage::~oxImage() = default;

void oxImage::saveToFile(const std::string& filename, const oxToneMapping& toneMapping) const
{
    oxSaveImageFile(*this, filename, toneMapping);
}

bool oxImage::resize(const oxSize& size, bool reset)
{
    // Negative sizes become huge unsigned ones, which the size check refuses.
    return resize(uint32_t(size.width), uint32_t(size.height), reset);
}

bool oxImage::resize(uint32_t width, uint32_t height, bool reset)
{
    if (reset) {
        m_components = 4;
        m_reduction = 1;
        m_sourceSize = oxSize();
        m_comment.clear();
        m_damage.clear();
        m_animation.reset();
    }
    if (width == 0 || height == 0) {
        m_pixels.reset();
        m_width = m_height = 0;
        return true;
    }
    size_t bytes = 0;
    if (!sizeAllowed(width, height, uint64_t(pixelBytes()), &bytes))
        return false;
    if (bytes != byteSize() || !m_pixels) {
        // realloc keeps the old bytes as far as they fit and leaves the old
        // buffer alone when it fails.
        void* grown = std::realloc(m_pixels.get(), bytes);
        if (!grown)
            return false;
        (void)m_pixels.release();
        m_pixels.reset(static_cast<unsigned char*>(grown));
    }
    m_width = width;
    m_height = height;
    return true;
}

bool oxImage::assign(const oxImage& other)
{
    if (&other == this)
        return true;
    if (!resize(other.width(), other.height(), true))
        return false;
    copyInformation(other);
    other.copyRectTo(0, 0, int(other.width()), int(other.height()), *this, 0, 0);
    return true;
}

void oxImage::flipVertical()
{
    const size_t bytes = rowBytes();
    for (uint32_t i = 0; i < m_height / 2; ++i) {
        unsigned char* top = rowData(i);
        std::swap_ranges(top, top + bytes, rowData(m_height - 1 - i));
    }
}

void oxImage::setComponents(int comp)
{
    oxAssert(comp >= 1 && comp <= 4, "wrong number of components!");
    m_components = comp;
}

void oxImage::setReduction(int reduction)
{
    m_reduction = std::max(1, reduction);
}

oxSize oxImage::sourceSize() const
{
    if (m_sourceSize.width > 0 && m_sourceSize.height > 0)
        return m_sourceSize;
    const auto times = [this](uint32_t side) {
        return int32_t(std::min<uint64_t>(uint64_t(side) * uint64_t(m_reduction), INT32_MAX));
    };
    return {times(m_width), times(m_height)};
}

void oxImage::setPixelLimit(uint64_t pixels)
{
    g_pixelLimit = pixels;
}

uint64_t oxImage::pixelLimit()
{
    return g_pixelLimit;
}

bool oxImage::sizeAllowed(uint64_t width, uint64_t height, uint64_t bytesPerPixel, size_t* bytes)
{
    uint64_t pixels = 0, total = 0;
    if (__builtin_mul_overflow(width, height, &pixels) || __builtin_mul_overflow(pixels, bytesPerPixel, &total))
        return false;
    // Sizes and rectangles are signed 32-bit, and buffers must stay
    // addressable by pointer differences.
    if (width > uint64_t(INT32_MAX) || height > uint64_t(INT32_MAX) || total > uint64_t(PTRDIFF_MAX))
        return false;
    if (pixels > g_pixelLimit)
        return false;
    if (bytes)
        *bytes = size_t(total);
    return true;
}

void oxImage::copyInformation(const oxImage& other)
{
    m_components = other.m_components;
    m_reduction = other.m_reduction;
    m_sourceSize = other.m_sourceSize;
    if (&other != this) {
        m_comment = other.m_comment;
        m_damage = other.m_damage;
    }
}

void oxImage::copyRectBytes(int x, int y, int w, int h, oxImage& target, int tx, int ty) const
{
    if (x < 0 || y < 0 || tx < 0 || ty < 0 || int64_t(x) >= m_width || int64_t(y) >= m_height ||
        int64_t(tx) >= target.m_width || int64_t(ty) >= target.m_height || w <= 0 || h <= 0)
        return;
    const auto columns =
        size_t(std::min<int64_t>({w, int64_t(m_width) - x, int64_t(target.m_width) - tx}));
    const auto rows = size_t(std::min<int64_t>({h, int64_t(m_height) - y, int64_t(target.m_height) - ty}));
    const size_t srcPixel = size_t(pixelBytes()), dstPixel = size_t(target.pixelBytes());
    const auto sourceRow = [&](size_t r) { return rowData(uint32_t(size_t(y) + r)) + size_t(x) * srcPixel; };
    const auto targetRow = [&](size_t r) {
        return target.rowData(uint32_t(size_t(ty) + r)) + size_t(tx) * dstPixel;
    };

    if (m_sampleType == target.m_sampleType) {
        // Within one image the rectangles may overlap: move rows in the
        // order that never overwrites rows still to be read.
        const bool upwards = &target == this && ty > y;
        for (size_t i = 0; i < rows; ++i) {
            const size_t r = upwards ? rows - 1 - i : i;
            std::memmove(targetRow(r), sourceRow(r), columns * srcPixel);
        }
        return;
    }
    oxParallelFor(rows, columns, [&](size_t begin, size_t end) {
        for (size_t r = begin; r < end; ++r)
            oxConvertPixels(sourceRow(r), m_sampleType, targetRow(r), target.m_sampleType, columns);
        return true;
    });
}

std::unique_ptr<oxImage> oxCreateImage(oxSampleType type, uint32_t width, uint32_t height)
{
    switch (type) {
    case ST_UINT8:
        return oxImageUInt8::create(width, height);
    case ST_HALF:
        return oxImageHalf::create(width, height);
    case ST_UINT16:
        return oxImageUInt16::create(width, height);
    default:
        return nullptr;
    }
}
