// Turning pixels into textures: the upload formats, the size rules and the
// four ways of making mipmap levels.
#include "oxengine/graphics/texture.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/strings.h"

#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstring>
#include <new>

struct oxTextureBuilder {
    static void begin(oxTexture2D& t, bool mipmaps, const oxTextureParams& params)
    {
        t.bind();
        t.m_hasMipmaps = mipmaps;
        params.apply(t);
    }
    static void finish(oxTexture2D& t)
    {
        GLint w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        t.m_width = w, t.m_height = h;
        glEnable(GL_TEXTURE_2D);
    }
};

namespace {

// Where the pixels come from: a rectangle of a buffer, read in place through
// the unpack row length and skips. The texture may be larger than the
// rectangle (texWidth x texHeight); the rest is transparent black.
struct Source {
    oxSampleType type = ST_UINT8;
    int components = 4;
    const unsigned char* base = nullptr; // pixel (0, 0) of the buffer
    size_t rowPixels = 0;
    uint32_t x = 0, y = 0, width = 0, height = 0; // the part inside the buffer
    uint32_t texWidth = 0, texHeight = 0;

    bool padded() const { return width != texWidth || height != texHeight; }
    size_t pixelBytes() const { return size_t(bytesPerPixel(type)); }
    const unsigned char* row(uint32_t r) const { return base + ((y + r) * rowPixels + x) * pixelBytes(); }
};

Source wholeImage(const oxImage& image);

// Sets the unpack state for one upload and puts the caller's back after it.
class UnpackState {
public:
    UnpackState(size_t rowLength, uint32_t skipPixels, uint32_t skipRows)
    {
        for (size_t i = 0; i < COUNT; ++i)
            glGetIntegerv(NAMES[i], &m_saved[i]);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(rowLength));
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, GLint(skipPixels));
        glPixelStorei(GL_UNPACK_SKIP_ROWS, GLint(skipRows));
    }
    ~UnpackState()
    {
        for (size_t i = 0; i < COUNT; ++i)
            glPixelStorei(NAMES[i], m_saved[i]);
    }
    UnpackState(const UnpackState&) = delete;
    UnpackState& operator=(const UnpackState&) = delete;

private:
    static constexpr size_t COUNT = 5;
    static constexpr GLenum NAMES[COUNT] = {GL_UNPACK_ALIGNMENT, GL_UNPACK_SWAP_BYTES, GL_UNPACK_ROW_LENGTH,
                                            GL_UNPACK_SKIP_PIXELS, GL_UNPACK_SKIP_ROWS};
    GLint m_saved[COUNT] = {};
};

[[noreturn]] void fail(const char* message)
{
    throw oxTextureException(oxGetTranslation(message));
}

// Errors left by earlier calls must not be blamed on this upload.
void clearGLErrors()
{
    for (int i = 0; i < 64 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// GL reports a refused upload only through glGetError; without this check a
// texture without pixels would pass as made.
void checkGLErrors()
{
    const GLenum error = glGetError();
    clearGLErrors();
    if (error == GL_OUT_OF_MEMORY)
        fail(N_("There is not enough memory for the texture."));
    if (error != GL_NO_ERROR)
        throw oxTextureException(
            formatString(oxGetTranslation("The graphics driver could not store the texture (OpenGL error 0x%04X)."),
                         unsigned(error)));
}

void checkMode(MipmapGen mode)
{
    if (mode < MIPMAP_NONE || mode > MIPMAP_AUTO)
        oxAssert(false, "invalid MipmapGen mode");
}

// Power-of-two sides only where the driver needs them; every mode stays
// within the size limit (GLU would otherwise shrink behind the caller's back
// and ignore a lowered limit).
void checkSize(uint32_t width, uint32_t height, bool powerOfTwoRule, const oxTextureCapabilities& caps)
{
    if (width == 0 || height == 0)
        fail(N_("An empty picture can't become a texture."));
    if (powerOfTwoRule && !caps.npotTextures) {
        if (!oxIsPowerOfTwo(width))
            fail(N_("image width must be a power of two."));
        if (!oxIsPowerOfTwo(height))
            fail(N_("image height must be a power of two."));
    }
    const uint64_t limit = uint64_t(std::max(caps.maxTextureSize, 0));
    if (width > limit || height > limit)
        throw oxTextureException(formatString(
            oxGetTranslation("The picture (%u × %u pixels) is larger than the graphics hardware's texture limit of %u "
                             "pixels."),
            width, height, unsigned(limit)));
}

template <class T> std::vector<T> allocate(size_t count)
{
    try {
        return std::vector<T>(count);
    } catch (const std::bad_alloc&) {
        fail(N_("There is not enough memory for the texture."));
    } catch (const std::length_error&) {
        fail(N_("There is not enough memory for the texture."));
    }
}

// The source as one tight texWidth x texHeight buffer with zero padding;
// half pixels become floats, which GLU can scale (it has no half type).
std::vector<unsigned char> packSource(const Source& s, bool halfToFloat)
{
    const size_t outPixelBytes = halfToFloat ? 16 : s.pixelBytes();
    std::vector<unsigned char> out = allocate<unsigned char>(size_t(s.texWidth) * s.texHeight * outPixelBytes);
    for (uint32_t r = 0; r < s.height; ++r) {
        unsigned char* dst = out.data() + size_t(r) * s.texWidth * outPixelBytes;
        if (halfToFloat) {
            std::vector<uint16_t> bits(size_t(s.width) * 4);
            std::memcpy(bits.data(), s.row(r), bits.size() * 2);
            oxHalfToFloat(bits.data(), reinterpret_cast<float*>(dst), bits.size());
        } else {
            std::memcpy(dst, s.row(r), size_t(s.width) * outPixelBytes);
        }
    }
    return out;
}

void uploadWithGLU(const Source& s, const oxUploadFormat& format)
{
    const bool toFloat = s.type == ST_HALF;
    std::vector<unsigned char> packed;
    if (toFloat || s.padded())
        packed = packSource(s, toFloat);
    const GLenum type = toFloat ? GLenum(GL_FLOAT) : format.pixelType;
    int result;
    if (packed.empty()) {
        UnpackState unpack(s.rowPixels, s.x, s.y);
        result = gluBuild2DMipmaps(GL_TEXTURE_2D, format.internalFormat, GLint(s.texWidth), GLint(s.texHeight), GL_RGBA,
                                   type, s.base);
    } else {
        UnpackState unpack(0, 0, 0);
        result = gluBuild2DMipmaps(GL_TEXTURE_2D, format.internalFormat, GLint(s.texWidth), GLint(s.texHeight), GL_RGBA,
                                   type, packed.data());
    }
    if (result != 0)
        fail(N_("error while building mipmaps."));
}

// Level 0 as given. A padded texture is allocated first, its margins cleared
// in bands of rows, and the pixels written last, so that driver mipmap
// generation runs once, on the finished level.
void uploadLevel0(const Source& s, const oxUploadFormat& format, bool driverMipmaps)
{
    if (!s.padded()) {
        if (driverMipmaps)
            glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
        UnpackState unpack(s.rowPixels, s.x, s.y);
        glTexImage2D(GL_TEXTURE_2D, 0, format.internalFormat, GLsizei(s.texWidth), GLsizei(s.texHeight), 0, GL_RGBA,
                     format.pixelType, s.base);
        return;
    }
    glTexImage2D(GL_TEXTURE_2D, 0, format.internalFormat, GLsizei(s.texWidth), GLsizei(s.texHeight), 0, GL_RGBA,
                 format.pixelType, nullptr);
    {
        constexpr uint32_t BAND = 64;
        const std::vector<unsigned char> zeros =
            allocate<unsigned char>(size_t(s.texWidth) * std::min(BAND, s.texHeight) * s.pixelBytes());
        UnpackState unpack(0, 0, 0);
        if (s.width < s.texWidth)
            for (uint32_t r = 0; r < s.height; r += BAND)
                glTexSubImage2D(GL_TEXTURE_2D, 0, GLint(s.width), GLint(r), GLsizei(s.texWidth - s.width),
                                GLsizei(std::min(BAND, s.height - r)), GL_RGBA, format.pixelType, zeros.data());
        for (uint32_t r = s.height; r < s.texHeight; r += BAND)
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, GLint(r), GLsizei(s.texWidth), GLsizei(std::min(BAND, s.texHeight - r)),
                            GL_RGBA, format.pixelType, zeros.data());
    }
    if (driverMipmaps)
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
    UnpackState unpack(s.rowPixels, s.x, s.y);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, GLsizei(s.width), GLsizei(s.height), GL_RGBA, format.pixelType, s.base);
}

// The source as an image of its own, for the engine's level builder.
std::unique_ptr<oxImage> imageOf(const Source& s)
{
    std::unique_ptr<oxImage> image = oxCreateImage(s.type, s.texWidth, s.texHeight);
    if (!image)
        fail(N_("There is not enough memory for the texture."));
    image->setComponents(s.components);
    std::memset(image->data(), 0, image->byteSize());
    for (uint32_t r = 0; r < s.height; ++r)
        std::memcpy(image->rowData(r), s.row(r), size_t(s.width) * s.pixelBytes());
    return image;
}

// Level first + i of the texture from levels[i], each with its own format.
void uploadLevels(const std::vector<const oxImage*>& levels, GLint first)
{
    UnpackState unpack(0, 0, 0);
    for (size_t i = 0; i < levels.size(); ++i) {
        const oxUploadFormat format = uploadFormat(levels[i]->sampleType(), levels[i]->components());
        glTexImage2D(GL_TEXTURE_2D, first + GLint(i), format.internalFormat, GLsizei(levels[i]->width()),
                     GLsizei(levels[i]->height()), 0, GL_RGBA, format.pixelType, levels[i]->data());
    }
    // A shorter list than the full chain still gives a complete texture.
    if (textureCapabilities().versionAtLeast(1, 2))
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, first + GLint(levels.size()) - 1);
}

// Level 0 goes up from the caller's pixels in place and the smaller levels
// are built from them directly, so an unpadded picture is never copied whole.
std::unique_ptr<oxTexture2D> withEngineLevels(const Source& given, const oxTextureParams& params)
{
    std::unique_ptr<oxImage> padded;
    Source s = given;
    if (s.padded()) {
        padded = imageOf(s);
        s = wholeImage(*padded);
    }
    oxPixelRect rect;
    rect.type = s.type;
    rect.components = s.components;
    rect.data = s.row(0);
    rect.width = s.width, rect.height = s.height, rect.rowPixels = s.rowPixels;
    const std::vector<std::unique_ptr<oxImage>> levels = oxBuildSmallerMipmapLevels(rect);
    if (levels.empty() && (s.width > 1 || s.height > 1))
        fail(N_("There is not enough memory for the texture."));
    std::vector<const oxImage*> list;
    for (const auto& level : levels)
        list.push_back(level.get());

    auto texture = std::make_unique<oxTexture2D>();
    oxTextureBuilder::begin(*texture, true, params);
    clearGLErrors();
    uploadLevel0(s, uploadFormat(s.type, s.components), false);
    uploadLevels(list, 1);
    checkGLErrors();
    oxTextureBuilder::finish(*texture);
    return texture;
}

std::unique_ptr<oxTexture2D> fromSource(const Source& s, MipmapGen mode, const oxTextureParams& params)
{
    checkMode(mode);
    const oxUploadFormat format = uploadFormat(s.type, s.components);
    const oxTextureCapabilities caps = textureCapabilities();
    if (mode == MIPMAP_AUTO && !caps.versionAtLeast(1, 4))
        mode = MIPMAP_GLU;
    // The engine's builder has no float images; GLU takes float pixels as they are.
    if (mode == MIPMAP_ENGINE && s.type == ST_FLOAT)
        mode = MIPMAP_GLU;
    checkSize(s.texWidth, s.texHeight, mode != MIPMAP_GLU, caps);

    // A software renderer makes the driver's levels on the processor too,
    // several times slower than the engine's builder; a GPU is faster still.
    if (mode == MIPMAP_AUTO && caps.softwareRenderer && s.type == ST_UINT8)
        mode = MIPMAP_ENGINE;
    if (mode == MIPMAP_ENGINE)
        return withEngineLevels(s, params);

    auto texture = std::make_unique<oxTexture2D>();
    oxTextureBuilder::begin(*texture, mode != MIPMAP_NONE, params);
    clearGLErrors();
    if (mode == MIPMAP_GLU) {
        uploadWithGLU(s, format);
    } else {
        uploadLevel0(s, format, mode == MIPMAP_AUTO);
        // One level: any minification filter the caller sets stays complete.
        if (mode == MIPMAP_NONE && caps.versionAtLeast(1, 2))
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    }
    checkGLErrors();
    oxTextureBuilder::finish(*texture);
    return texture;
}

Source wholeImage(const oxImage& image)
{
    Source s;
    s.type = image.sampleType();
    s.components = image.components();
    s.base = static_cast<const unsigned char*>(image.data());
    s.rowPixels = image.width();
    s.width = s.texWidth = image.width();
    s.height = s.texHeight = image.height();
    return s;
}

} // namespace

oxUploadFormat uploadFormat(oxSampleType type, int components)
{
    const bool alpha = components == 4;
    const oxTextureCapabilities caps = textureCapabilities();
    switch (type) {
    case ST_UINT8:
        return {alpha ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE};
    case ST_HALF:
        if (!caps.floatTextures)
            fail(N_("Floating-point texture (16 bits) is not supported by your hardware"));
        return {alpha ? GL_RGBA16F_ARB : GL_RGB16F_ARB, GL_HALF_FLOAT_ARB};
    case ST_UINT16:
        return {alpha ? GL_RGBA16 : GL_RGB16, GL_UNSIGNED_SHORT};
    case ST_FLOAT:
        if (!caps.floatTextures)
            fail(N_("Floating-point texture (32 bits) is not supported by your hardware"));
        return {alpha ? GL_RGBA32F_ARB : GL_RGB32F_ARB, GL_FLOAT};
    }
    fail(N_("This kind of picture can't become a texture."));
}

std::unique_ptr<oxTexture2D> createTexture(const oxImage& image, MipmapGen mode, const oxTextureParams& params)
{
    checkMode(mode);
    if (image.empty())
        fail(N_("An empty picture can't become a texture."));
    return fromSource(wholeImage(image), mode, params);
}

std::unique_ptr<oxTexture2D> createTexture(const oxImage& image, int x, int y, int width, int height, MipmapGen mode,
                                           const oxTextureParams& params)
{
    checkMode(mode);
    if (image.empty())
        fail(N_("An empty picture can't become a texture."));
    if (x < 0 || y < 0 || uint32_t(x) >= image.width() || uint32_t(y) >= image.height() || width <= 0 || height <= 0)
        fail(N_("The texture's rectangle lies outside the picture."));
    Source s = wholeImage(image);
    s.x = uint32_t(x), s.y = uint32_t(y);
    s.texWidth = uint32_t(width), s.texHeight = uint32_t(height);
    s.width = std::min(s.texWidth, image.width() - s.x);
    s.height = std::min(s.texHeight, image.height() - s.y);
    return fromSource(s, mode, params);
}
