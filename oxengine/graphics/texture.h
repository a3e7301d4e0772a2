// OpenGL 2D textures made from images of every sample type, with the filter,
// wrap and mipmap choices of the engine. Every call needs a current context;
// a texture must be destroyed while a context that shares it is current.
#pragma once

#include "oxengine/graphics/texsupport.h"
#include "oxengine/image/image.h"

#include <GL/gl.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class oxTexture2D;

// A GL texture name and its bookkeeping. Construction probes the driver if
// needed and generates the name (throws oxTextureException when no name can
// be had); destruction deletes it.
class oxTextureObject {
public:
    virtual ~oxTextureObject();
    oxTextureObject(const oxTextureObject&) = delete;
    oxTextureObject& operator=(const oxTextureObject&) = delete;

    virtual void setWrap(GLenum mode) = 0;
    virtual void setFilterQuality(int quality) = 0;
    virtual void setAnisotropy(int value) = 0;
    virtual void bind() = 0;

    GLuint textureName() const { return m_name; }
    bool hasMipmaps() const { return m_hasMipmaps; }
    // Holders sharing the texture through oxTextureRef.
    int32_t references() const { return m_references.load(); }

protected:
    oxTextureObject();
    bool m_hasMipmaps = false;

private:
    friend class oxTextureRef;
    GLuint m_name = 0;
    std::atomic<int32_t> m_references{0};
};

// How many texture objects exist; for leak checks.
size_t oxLiveTextureCount();

class oxTexture2D final : public oxTextureObject {
public:
    oxTexture2D() = default;
    ~oxTexture2D() override = default;

    // GL_CLAMP_TO_EDGE becomes GL_CLAMP before GL 1.2. Sets S and T.
    void setWrap(GLenum mode) override;
    // Minification and magnification filters (and anisotropy) for a quality
    // of 0 to 4; see oxMinFilterForQuality.
    void setFilterQuality(int quality) override;
    // Clamped to 1 .. maxAnisotropy(); nothing without the extension.
    void setAnisotropy(int value) override;
    void bind() override;

    // Size of level 0 (GLU may have scaled a picture to powers of two).
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    friend struct oxTextureBuilder;
    int m_width = 0, m_height = 0;
};

// Shares a texture: each holder keeps one reference, and the texture is
// destroyed when the last one lets go.
class oxTextureRef {
public:
    oxTextureRef() = default;
    explicit oxTextureRef(std::unique_ptr<oxTexture2D> texture);
    oxTextureRef(const oxTextureRef& other);
    oxTextureRef(oxTextureRef&& other) noexcept;
    oxTextureRef& operator=(oxTextureRef other) noexcept;
    ~oxTextureRef();

    void reset();
    oxTexture2D* get() const { return m_texture; }
    oxTexture2D* operator->() const { return m_texture; }
    oxTexture2D& operator*() const { return *m_texture; }
    explicit operator bool() const { return m_texture != nullptr; }

private:
    oxTexture2D* m_texture = nullptr;
};

// Settings applied to a new texture, each only when set: wrap, then filter
// quality, then anisotropy.
struct oxTextureParams {
    bool hasWrap = false;
    GLenum wrap = GL_REPEAT;
    bool hasFilterQuality = false;
    int filterQuality = 0;
    bool hasAnisotropy = false;
    int anisotropy = 1;

    oxTextureParams& setWrap(GLenum mode)
    {
        hasWrap = true, wrap = mode;
        return *this;
    }
    oxTextureParams& setFilterQuality(int quality)
    {
        hasFilterQuality = true, filterQuality = quality;
        return *this;
    }
    oxTextureParams& setAnisotropy(int value)
    {
        hasAnisotropy = true, anisotropy = value;
        return *this;
    }
    void apply(oxTextureObject& texture) const;
};
// The engine's default: nothing set.
const oxTextureParams& defaultTextureParams();

// How mipmap levels are made.
enum MipmapGen : int {
    MIPMAP_NONE = 0,   // one level
    MIPMAP_GLU = 1,    // gluBuild2DMipmaps, any size (scaled to powers of two)
    MIPMAP_ENGINE = 2, // oxBuildSmallerMipmapLevels, uploaded one by one
    MIPMAP_AUTO = 3,   // the driver (GL_GENERATE_MIPMAP) from GL 1.4, GLU before
};

struct oxUploadFormat {
    GLint internalFormat;
    GLenum pixelType; // the pixel format is always GL_RGBA
};
// Alpha in the internal format only for 4 components. Half and float throw
// oxTextureException on drivers without float textures.
oxUploadFormat uploadFormat(oxSampleType type, int components);

// Filter-quality table: 1 bilinear, 2 trilinear, 3 and 4 with anisotropy,
// anything else nearest.
GLenum oxMinFilterForQuality(int quality, bool mipmaps);
GLenum oxMagFilterForQuality(int quality);
int oxAnisotropyForQuality(int quality, int maxAnisotropy);

// 1 << (position of the highest set bit) == n; 0 is not.
bool oxIsPowerOfTwo(uint32_t n);

// Pixels in memory: rows top first, four channels of the sample type per
// pixel, rowPixels (>= width) pixels from one row to the next: a picture read
// in place, padded or not, for the mipmap builder.
struct oxPixelRect {
    oxSampleType type = ST_UINT8;
    int components = 4;
    const void* data = nullptr;
    uint32_t width = 0, height = 0;
    size_t rowPixels = 0;
};

// The image as one texture (caller owns it). Throws oxTextureException for
// sides the driver cannot take (non-power-of-two without NPOT support in
// every mode but GLU, above maxTextureSize in every mode), unsupported
// sample types, empty images and failed uploads; an unknown mode is fatal.
std::unique_ptr<oxTexture2D> createTexture(const oxImage& image, MipmapGen mode,
                                           const oxTextureParams& params = defaultTextureParams());
// The texture of the image's rectangle (x, y, width, height), read in place
// without a copy. The start must lie inside the image; the part that reaches
// past its right or bottom edge becomes transparent black.
std::unique_ptr<oxTexture2D> createTexture(const oxImage& image, int x, int y, int width, int height, MipmapGen mode,
                                           const oxTextureParams& params = defaultTextureParams());

// The mipmap levels below level 0, read in place from the pixels (8-bit,
// half and 16-bit): each level halves the sides above 1 and averages the
// 2 x 2 (or 2) pixels, rounded, down to 1 x 1. Empty when memory runs out or
// the pixels are 1 x 1.
std::vector<std::unique_ptr<oxImage>> oxBuildSmallerMipmapLevels(const oxPixelRect& base);
