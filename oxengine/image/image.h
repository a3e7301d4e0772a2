// The image model: a rectangle of RGBA pixels of one sample type with the
// information that travels with them (meaningful channels, reduction factor,
// comment).
#pragma once

#include "oxengine/core/thread.h"
#include "oxengine/image/animation.h"
#include "oxengine/image/resample.h"
#include "oxengine/image/sampletypes.h"
#include "oxengine/image/tonemap.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

// A width and height; in a maximum size a value of 0 or below means no limit.
struct oxSize {
    int32_t width = 0, height = 0;

    constexpr oxSize() = default;
    constexpr oxSize(int32_t w, int32_t h) : width(w), height(h) {}
    friend constexpr bool operator==(const oxSize&, const oxSize&) = default;
};

// The smallest integer factor that brings size within maximum (each direction
// with a maximum above 0), at least 1. 1000 with a maximum of 300 gives 4.
int reductionFactor(const oxSize& size, const oxSize& maximum);
// The smallest integer factor f that brings a width × height picture of
// bytesPerPixel-byte pixels, reduced to max(1, width / f) × max(1, height / f)
// as reducedCopy does, within budget bytes (0: no budget), at least 1.
int budgetFactor(uint64_t width, uint64_t height, int bytesPerPixel, uint64_t budget);

// What a decoder is asked for besides the file.
struct oxLoadOptions {
    // The picture should fit (0 or below: no limit in that direction); a
    // decoder may decode smaller, the registry reduces whatever comes back.
    oxSize maximum;
    // At most this many bytes for the decoded pixels (0: no budget). A larger
    // picture is decoded reduced, never at full size first, or refused with
    // "too large" and the numbers when its decoder cannot reduce it.
    uint64_t budget = 0;
    // Polled between bands of rows; once it is cancelled the decoder stops
    // and throws oxCancelled.
    const oxCancelToken* cancel = nullptr;

    oxLoadOptions() = default;
    // A maximum alone (implicit: most callers only limit the size).
    oxLoadOptions(const oxSize& max) : maximum(max) {}
    bool cancelled() const { return cancel && cancel->cancelled(); }
    void checkCancelled() const
    {
        if (cancel)
            cancel->check();
    }
};

class oxImage;
// Writes an image through the image handler registry, which defines it
// (oxengine/image/handler.cpp). It has no stand-in: a weak one in this
// library would win whenever nothing else pulled the registry in.
void oxSaveImageFile(const oxImage& image, const std::string& filename, const oxToneMapping& toneMapping);

class oxImage {
public:
    // The virtual operations are in the order subclasses rely on.
    virtual void saveToFile(const std::string& filename, const oxToneMapping& toneMapping) const;
    // The resize operations give false (and keep the old buffer and size) when
    // the new size is refused or cannot be allocated. Kept bytes are not
    // cleared. reset sets components 4, reduction 1 and an empty comment.
    virtual bool resize(const oxSize& size, bool reset);
    virtual bool resize(uint32_t width, uint32_t height, bool reset);
    // Takes other's size, information and pixels, converted to this type.
    virtual bool assign(const oxImage& other);
    // Null when the pixels cannot be allocated.
    virtual std::unique_ptr<oxImage> clone() const = 0;
    virtual ~oxImage();
    virtual void flipVertical();
    virtual void flipHorizontal() = 0;
    // Every factor-th pixel (the top-left one of each block); null for an
    // empty image and for factor < 1 (the latter also reports the fault).
    virtual std::unique_ptr<oxImage> reducedCopy(int f) const = 0;
    // Filtered to the given size (filter: an oxImageFilter code); null when
    // a size is 0 or below or memory runs out.
    virtual std::unique_ptr<oxImage> resampledCopy(int width, int height, int filter) const = 0;
    // Quarter turns clockwise: 1, 2 or 3; any other code gives a plain copy.
    virtual std::unique_ptr<oxImage> rotatedCopy(int rotation) const = 0;
    virtual void fill(const oxColourValue& colour) = 0;
    // Becomes a copy of source in this sample type, tone-mapped when the
    // mapping applies to the pair of types. False when the size is refused.
    virtual bool convertFrom(const oxImage& source, const oxToneMapping& toneMapping) = 0;
    // Copies the rectangle (clipped to both images) to target at (tx, ty),
    // converting when the sample types differ. Nothing happens unless both
    // start points lie inside their images.
    virtual void copyRectTo(int x, int y, int w, int h, oxImage& target, int tx, int ty) const = 0;

    uint32_t width() const { return m_width; }
    uint32_t height() const { return m_height; }
    oxSize size() const { return {int32_t(m_width), int32_t(m_height)}; }
    bool empty() const { return m_width == 0 || m_height == 0; }
    oxSampleType sampleType() const { return m_sampleType; }
    int pixelBytes() const { return bytesPerPixel(m_sampleType); }
    size_t rowBytes() const { return size_t(m_width) * size_t(pixelBytes()); }
    size_t byteSize() const { return rowBytes() * m_height; }
    // The pixels, rows top first without padding; null for an empty image.
    void* data() { return m_pixels.get(); }
    const void* data() const { return m_pixels.get(); }
    unsigned char* rowData(uint32_t y) { return m_pixels.get() + size_t(y) * rowBytes(); }
    const unsigned char* rowData(uint32_t y) const { return m_pixels.get() + size_t(y) * rowBytes(); }

    // 1 grey, 3 colour, 4 colour with alpha; anything else is a hard fault.
    int components() const { return m_components; }
    void setComponents(int comp);
    // By what integer factor this picture is smaller than its file (at least 1).
    int reduction() const { return m_reduction; }
    void setReduction(int reduction);
    // The picture's size in its file: as the decoder recorded it, else the
    // size times the reduction (a reduced decode rounds the size up, so
    // that product may exceed the file's size by up to a reduction).
    oxSize sourceSize() const;
    void setSourceSize(const oxSize& size) { m_sourceSize = size; }
    const std::string& comment() const { return m_comment; }
    void setComment(std::string comment) { m_comment = std::move(comment); }
    // Why the file could be decoded only in part (a translated reason such
    // as "the file ends early"); empty for a whole picture. Such a picture
    // is shown, never written back over its file.
    const std::string& damage() const { return m_damage; }
    void setDamage(std::string reason) { m_damage = std::move(reason); }
    // The frames of an animated picture (this image is its first), shared
    // and never changed once set; null for a still picture. Copies and
    // reductions do not carry it.
    const std::shared_ptr<const oxAnimation>& animation() const { return m_animation; }
    void setAnimation(std::shared_ptr<const oxAnimation> animation) { m_animation = std::move(animation); }

    // ---- Size limits, shared with the decoders ----------------------------------
    static constexpr uint64_t DEFAULT_PIXEL_LIMIT = uint64_t(1) << 30;
    // Images of more pixels than this are refused (0: every sized image).
    static void setPixelLimit(uint64_t pixels);
    static uint64_t pixelLimit();
    // Whether a width × height buffer of bytesPerPixel-byte pixels may be
    // allocated: no overflow, addressable, within the pixel limit. bytes
    // receives the buffer size. Decoders ask this before they allocate.
    static bool sizeAllowed(uint64_t width, uint64_t height, uint64_t bytesPerPixel, size_t* bytes = nullptr);

    oxImage& operator=(const oxImage&) = delete;

protected:
    explicit oxImage(oxSampleType type) : m_sampleType(type) {}
    oxImage(const oxImage&) = delete;

    // The typed operations share these; they work on whole rows of bytes.
    void copyRectBytes(int x, int y, int w, int h, oxImage& target, int tx, int ty) const;
    // Components, reduction, source size and comment from other.
    void copyInformation(const oxImage& other);
    // Returns a new image of the given size carrying this one's information,
    // or null when the size is refused.
    template <class Image> std::unique_ptr<Image> sizedLike(uint32_t width, uint32_t height) const;

private:
    struct FreeBuffer {
        void operator()(unsigned char* p) const { std::free(p); }
    };

    uint32_t m_width = 0, m_height = 0;
    oxSampleType m_sampleType;
    std::unique_ptr<unsigned char[], FreeBuffer> m_pixels;
    int m_components = 4;
    int m_reduction = 1;
    oxSize m_sourceSize; // 0 x 0: not recorded
    std::string m_comment;
    std::string m_damage;
    std::shared_ptr<const oxAnimation> m_animation;
};

// The image of one pixel type: oxColour (uint8), oxColourHalf, oxColourUInt16.
template <class T> class oxImageImpl final : public oxImage {
public:
    using Pixel = T;

    oxImageImpl() : oxImage(oxSampleTraits<T>::type) {}
    // A copy of the information and the pixels; stays empty when the pixels
    // cannot be allocated (clone reports that as null).
    oxImageImpl(const oxImageImpl& other);
    // A new image of the given size (pixels undefined), null when refused.
    static std::unique_ptr<oxImageImpl> create(uint32_t width, uint32_t height);

    T* pixels() { return static_cast<T*>(data()); }
    const T* pixels() const { return static_cast<const T*>(data()); }
    T* row(uint32_t y) { return pixels() + size_t(y) * width(); }
    const T* row(uint32_t y) const { return pixels() + size_t(y) * width(); }
    T& at(uint32_t x, uint32_t y) { return row(y)[x]; }
    const T& at(uint32_t x, uint32_t y) const { return row(y)[x]; }

    std::unique_ptr<oxImage> clone() const override;
    void flipHorizontal() override;
    std::unique_ptr<oxImage> reducedCopy(int f) const override;
    std::unique_ptr<oxImage> resampledCopy(int width, int height, int filter) const override;
    std::unique_ptr<oxImage> rotatedCopy(int rotation) const override;
    void fill(const oxColourValue& colour) override;
    bool convertFrom(const oxImage& source, const oxToneMapping& toneMapping) override;
    void copyRectTo(int x, int y, int w, int h, oxImage& target, int tx, int ty) const override;
};

using oxImageUInt8 = oxImageImpl<oxColour>;
using oxImageHalf = oxImageImpl<oxColourHalf>;
using oxImageUInt16 = oxImageImpl<oxColourUInt16>;

extern template class oxImageImpl<oxColour>;
extern template class oxImageImpl<oxColourHalf>;
extern template class oxImageImpl<oxColourUInt16>;

// A new image of the given sample type and size (pixels undefined); null for
// ST_FLOAT or an unknown type, and when the size is refused.
std::unique_ptr<oxImage> oxCreateImage(oxSampleType type, uint32_t width = 0, uint32_t height = 0);
