// The per-sample-type operations of oxImageImpl<T>. Included only by
// image_templ.cpp, which instantiates them for the three image types.
#pragma once

#include "oxengine/core/errors.h"
#include "oxengine/image/image.h"
#include "oxengine/image/parallel.h"
#include "oxengine/image/sampleconv.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace oxImageDetail {

inline int saturatedProduct(int64_t a, int64_t b)
{
    return int(std::clamp<int64_t>(a * b, 1, INT_MAX));
}

// Rotations move pixels in square tiles so reads and writes both stay in cache.
constexpr uint32_t ROTATE_TILE = 32;

} // namespace oxImageDetail

template <class Image> std::unique_ptr<Image> oxImage::sizedLike(uint32_t width, uint32_t height) const
{
    auto image = Image::create(width, height);
    if (image)
        image->copyInformation(*this);
    return image;
}

template <class T> oxImageImpl<T>::oxImageImpl(const oxImageImpl& other) : oxImage(other.sampleType())
{
    copyInformation(other);
    if (resize(other.width(), other.height(), false))
        other.copyRectTo(0, 0, int(other.width()), int(other.height()), *this, 0, 0);
}

template <class T> std::unique_ptr<oxImageImpl<T>> oxImageImpl<T>::create(uint32_t width, uint32_t height)
{
    auto image = std::make_unique<oxImageImpl>();
    if (!image->resize(width, height, true))
        return nullptr;
    return image;
}

template <class T> std::unique_ptr<oxImage> oxImageImpl<T>::clone() const
{
    auto copy = std::make_unique<oxImageImpl>(*this);
    if (copy->width() != width() || copy->height() != height())
        return nullptr;
    return copy;
}

template <class T> void oxImageImpl<T>::flipHorizontal()
{
    oxParallelFor(height(), width(), [this](size_t begin, size_t end) {
        for (size_t y = begin; y < end; ++y)
            std::reverse(row(uint32_t(y)), row(uint32_t(y)) + width());
        return true;
    });
}

template <class T> std::unique_ptr<oxImage> oxImageImpl<T>::reducedCopy(int f) const
{
    if (!oxVerify(f > 0, "Invalid scaling factor"))
        return nullptr;
    if (empty())
        return nullptr;
    const auto factor = uint32_t(f);
    auto out = sizedLike<oxImageImpl>(std::max(1u, width() / factor), std::max(1u, height() / factor));
    if (!out)
        return nullptr;
    oxParallelFor(out->height(), out->width(), [&](size_t begin, size_t end) {
        for (size_t y = begin; y < end; ++y) {
            const T* in = row(uint32_t(y * factor));
            T* to = out->row(uint32_t(y));
            for (size_t x = 0; x < out->width(); ++x)
                to[x] = in[x * factor];
        }
        return true;
    });
    out->setReduction(oxImageDetail::saturatedProduct(reduction(), f));
    return out;
}

template <class T> std::unique_ptr<oxImage> oxImageImpl<T>::resampledCopy(int newWidth, int newHeight, int filter) const
{
    if (newWidth <= 0 || newHeight <= 0 || empty() || width() > uint32_t(INT_MAX) || height() > uint32_t(INT_MAX))
        return nullptr;
    auto out = sizedLike<oxImageImpl>(uint32_t(newWidth), uint32_t(newHeight));
    if (!out || !resampleRows(pixels(), int(width()), int(height()), out->pixels(), newWidth, newHeight, filter))
        return nullptr;
    // An enlarged copy is no smaller than its file than this one is, so the
    // factor never drops below 1.
    const uint32_t factor = std::max({1u, width() / uint32_t(newWidth), height() / uint32_t(newHeight)});
    out->setReduction(oxImageDetail::saturatedProduct(reduction(), factor));
    return out;
}

template <class T> std::unique_ptr<oxImage> oxImageImpl<T>::rotatedCopy(int rotation) const
{
    using oxImageDetail::ROTATE_TILE;
    const bool quarter = rotation == 1 || rotation == 3;
    auto out = sizedLike<oxImageImpl>(quarter ? height() : width(), quarter ? width() : height());
    if (!out)
        return nullptr;
    if (quarter) {
        const oxSize source = sourceSize();
        out->setSourceSize({source.height, source.width});
    }
    if (empty())
        return out;
    const uint32_t w = width(), h = height();
    const auto work = [&](size_t begin, size_t end) {
        for (size_t r0 = begin; r0 < end; r0 += ROTATE_TILE) {
            const size_t r1 = std::min<size_t>(end, r0 + ROTATE_TILE);
            if (!quarter) {
                for (size_t r = r0; r < r1; ++r) {
                    if (rotation == 2)
                        std::reverse_copy(row(uint32_t(h - 1 - r)), row(uint32_t(h - 1 - r)) + w,
                                          out->row(uint32_t(r)));
                    else
                        std::memcpy(out->row(uint32_t(r)), row(uint32_t(r)), rowBytes());
                }
                continue;
            }
            // Target row r is source column x: r = x for one quarter turn,
            // r = width - 1 - x for three.
            for (uint32_t c0 = 0; c0 < h; c0 += ROTATE_TILE) {
                const uint32_t c1 = std::min(h, c0 + ROTATE_TILE);
                for (size_t r = r0; r < r1; ++r) {
                    T* to = out->row(uint32_t(r));
                    if (rotation == 1) {
                        for (uint32_t y = c0; y < c1; ++y)
                            to[h - 1 - y] = at(uint32_t(r), y);
                    } else {
                        const auto x = uint32_t(w - 1 - r);
                        for (uint32_t y = c0; y < c1; ++y)
                            to[y] = at(x, y);
                    }
                }
            }
        }
        return true;
    };
    oxParallelFor(out->height(), out->width(), work);
    return out;
}

template <class T> void oxImageImpl<T>::fill(const oxColourValue& colour)
{
    if (empty())
        return;
    const T pixel = oxConvertValue<T>(colour);
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &pixel, sizeof pixel);
    if (std::all_of(bytes, bytes + sizeof bytes, [&](unsigned char b) { return b == bytes[0]; })) {
        std::memset(data(), bytes[0], byteSize());
        return;
    }
    std::fill_n(row(0), width(), pixel);
    for (uint32_t y = 1; y < height(); ++y)
        std::memcpy(row(y), row(0), rowBytes());
}

template <class T> bool oxImageImpl<T>::convertFrom(const oxImage& source, const oxToneMapping& toneMapping)
{
    // Taken first: the source may be this image, which resize would reset.
    const int components = source.components(), reductionOfSource = source.reduction();
    std::string comment = source.comment();
    if (&source != this && !resize(source.width(), source.height(), true))
        return false;
    if (toneMapping.appliesTo(sampleType(), source.sampleType())) {
        const oxSampleType from = source.sampleType();
        const size_t columns = width(), inStep = size_t(source.pixelBytes());
        oxParallelFor(height(), columns * 4, [&](size_t begin, size_t end) {
            constexpr size_t CHUNK = 256;
            oxColourFloat scratch[CHUNK];
            for (size_t y = begin; y < end; ++y) {
                const unsigned char* in = source.rowData(uint32_t(y));
                T* to = row(uint32_t(y));
                for (size_t done = 0; done < columns; done += CHUNK) {
                    const size_t n = std::min(CHUNK, columns - done);
                    oxPixelsToFloat(in + done * inStep, from, scratch, n);
                    oxToneMapPixels(scratch, n, toneMapping);
                    oxPixelsFromFloat(scratch, to + done, sampleType(), n);
                }
            }
            return true;
        });
    } else {
        source.copyRectTo(0, 0, int(source.width()), int(source.height()), *this, 0, 0);
    }
    setComponents(components);
    setReduction(reductionOfSource);
    setComment(std::move(comment));
    return true;
}

template <class T> void oxImageImpl<T>::copyRectTo(int x, int y, int w, int h, oxImage& target, int tx, int ty) const
{
    copyRectBytes(x, y, w, h, target, tx, ty);
}
