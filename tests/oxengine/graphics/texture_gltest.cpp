// Textures and shaders on a real driver (Mesa under Xvfb): made, drawn and read back.
#define GL_GLEXT_PROTOTYPES
#include "oxengine/graphics/shader.h"
#include "oxengine/graphics/texture.h"

#include "glcheck.h"
#include "texturetest.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <type_traits>

namespace {

class TextureGL : public testing::Test {
protected:
    void SetUp() override
    {
        if (!glTestContext(256, 256))
            GTEST_SKIP() << "no X display with GLX";
    }
    TextureDriver restore; // every test leaves the real driver's facts behind
};
template <class T> class TypedTextureGL : public TextureGL {};
TYPED_TEST_SUITE(TypedTextureGL, TextureSampleTypes);

// The texture as a w x h quad at the origin over a cleared background, blended by its alpha when asked.
void draw(oxTexture2D& texture, int w, int h, bool blend = false, oxColour background = {0, 0, 0})
{
    glClearColor(background.r / 255.f, background.g / 255.f, background.b / 255.f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    texture.bind();
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    if (blend)
        glEnable(GL_BLEND), glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glQuad(0, 0, float(w), float(h));
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

// Each texel of a cols x rows texture drawn 16 pixels wide shows want(x, y).
void expectTexels(uint32_t cols, uint32_t rows, const std::function<oxColour(uint32_t, uint32_t)>& want, int tolerance)
{
    for (uint32_t y = 0; y < rows; ++y)
        for (uint32_t x = 0; x < cols; ++x)
            EXPECT_TRUE(pixelIs(int(x) * 16 + 8, int(y) * 16 + 8, want(x, y), tolerance));
}

GLint texParameter(oxTexture2D& t, GLenum name, int level = -1)
{
    t.bind();
    GLint v = 0;
    if (level < 0)
        glGetTexParameteriv(GL_TEXTURE_2D, name, &v);
    else
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &v);
    return v;
}

// One 8-bit step is what half and 16-bit texels may lose on the way to the window.
template <class T> constexpr int TOLERANCE = std::is_same_v<T, oxColour> ? 0 : 1;

const oxTextureParams NEAREST = oxTextureParams().setFilterQuality(0);
const oxColour PURPLE(128, 0, 128), RED(255, 0, 0);
const MipmapGen ALL_MODES[] = {MIPMAP_NONE, MIPMAP_GLU, MIPMAP_ENGINE, MIPMAP_AUTO};

} // namespace

TEST_F(TextureGL, LimitsAndLifetimes)
{
    const size_t live = oxLiveTextureCount();
    GLint probed = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &probed);
    EXPECT_EQ(maxTextureSize(), probed);
    setTextureSizeLimit(64);
    auto big = imageOf<oxColour>(64, 128, palette);
    for (MipmapGen mode : ALL_MODES)
        EXPECT_EQ(textureError([&] { createTexture(*big, mode); }),
                  "The picture (64 × 128 pixels) is larger than the graphics hardware's texture limit of 64 pixels.")
            << mode;
    EXPECT_NO_THROW(createTexture(*big, 0, 64, 64, 64, MIPMAP_NONE));
    setTextureSizeLimit(0);

    setNPOTTexturesDisabled(true);
    auto wide = imageOf<oxColour>(500, 256, checker), tall = imageOf<oxColour>(256, 300, checker);
    for (MipmapGen mode : {MIPMAP_NONE, MIPMAP_ENGINE, MIPMAP_AUTO}) {
        EXPECT_EQ(textureError([&] { createTexture(*wide, mode); }), "image width must be a power of two.") << mode;
        EXPECT_EQ(textureError([&] { createTexture(*tall, mode); }), "image height must be a power of two.") << mode;
    }
    EXPECT_TRUE(oxIsPowerOfTwo(uint32_t(createTexture(*wide, MIPMAP_GLU)->width()))); // GLU scales itself
    setNPOTTexturesDisabled(false);

    // Claim twice the real limit, so that the driver itself refuses: reported, not passed as success.
    oxTextureCapabilities caps = textureCapabilities();
    caps.maxTextureSize *= 2;
    overrideTextureCapabilities(caps);
    auto huge = imageOf<oxColour>(uint32_t(probed) + 1, 1, palette);
    EXPECT_THAT(textureError([&] { createTexture(*huge, MIPMAP_NONE); }),
                testing::StartsWith("The graphics driver could not store the texture (OpenGL error 0x"));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(oxLiveTextureCount(), live);

    // A texture is deleted exactly when its last holder lets go.
    oxTextureRef first(createTexture(*imageOf<oxColour>(4, 4, palette), MIPMAP_NONE));
    const GLuint name = first->textureName();
    oxTextureRef second = first, third;
    third = second;
    oxTextureRef moved = std::move(third);
    second = second;
    EXPECT_EQ(first->references(), 3);
    first.reset();
    second.reset();
    EXPECT_TRUE(glIsTexture(name));
    moved = oxTextureRef(); // the last holder
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(oxLiveTextureCount(), live);
}

// Alpha is drawn only with four components; shown smaller, which GL's default minifying filter would draw
// untextured without levels.
TYPED_TEST(TypedTextureGL, AlphaIsDrawnOnlyWithFourComponentsAndEveryMipmapModeGivesCompleteLevels)
{
    using T = TypeParam;
    auto clear = imageOf<T>(512, 256, [](uint32_t, uint32_t) { return oxColour(0, 255, 0, 0); });
    for (int components : {4, 3}) {
        clear->setComponents(components);
        auto t = createTexture(*clear, MIPMAP_NONE, NEAREST);
        EXPECT_FALSE(t->hasMipmaps()); // a later filter change must not ask for levels it lacks
        EXPECT_EQ(texParameter(*t, GL_TEXTURE_INTERNAL_FORMAT, 0), uploadFormat(oxSampleTraits<T>::type, components).internalFormat);
        draw(*t, 64, 64, true, RED);
        EXPECT_TRUE(pixelIs(32, 32, components == 4 ? RED : oxColour(0, 255, 0))) << components;
    }

    // A checkerboard shown at 1/8 is purple only with a complete chain of levels (an incomplete texture draws
    // untextured white). On a software renderer the engine builds 8-bit levels in place of the driver.
    auto image = imageOf<TypeParam>(64, 64, checker);
    for (MipmapGen mode : {MIPMAP_GLU, MIPMAP_ENGINE, MIPMAP_AUTO})
        for (bool software : {false, true}) {
            SCOPED_TRACE(testing::Message() << mode << (software ? " software" : " hardware"));
            oxTextureCapabilities caps = textureCapabilities();
            caps.softwareRenderer = software;
            TextureDriver emulation(caps);
            auto texture = createTexture(*image, mode, oxTextureParams().setFilterQuality(2));
            const bool driverBuilds = mode == MIPMAP_AUTO && !(software && std::is_same_v<TypeParam, oxColour>);
            EXPECT_EQ(texParameter(*texture, GL_GENERATE_MIPMAP), driverBuilds ? GL_TRUE : GL_FALSE);
            EXPECT_EQ(texParameter(*texture, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR); // so hasMipmaps()
            EXPECT_EQ(texParameter(*texture, GL_TEXTURE_WIDTH, 6), 1);
            draw(*texture, 8, 8);
            EXPECT_TRUE(pixelIs(4, 4, PURPLE, 4));
        }
}

TYPED_TEST(TypedTextureGL, RectanglesReadInPlaceAndPadPastTheEdge)
{
    auto image = imageOf<TypeParam>(9, 7, palette);
    const oxColour white(255, 255, 255);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8); // the caller's unpack state is left as it was
    for (MipmapGen mode : ALL_MODES) {
        SCOPED_TRACE(mode);
        draw(*createTexture(*image, 2, 1, 4, 4, mode, NEAREST), 64, 64);
        expectTexels(4, 4, [](uint32_t x, uint32_t y) { return palette(x + 2, y + 1); }, TOLERANCE<TypeParam>);
        // Only the 2 x 2 corner at (7, 5) lies inside; the rest is transparent.
        draw(*createTexture(*image, 7, 5, 4, 4, mode, NEAREST), 64, 64, true, white);
        expectTexels(4, 4, [&](uint32_t x, uint32_t y) { return x < 2 && y < 2 ? palette(x + 7, y + 5) : white; },
                     TOLERANCE<TypeParam>);
    }
    GLint alignment = 0, rowLength = -1, skip = -1;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    glGetIntegerv(GL_UNPACK_SKIP_ROWS, &skip);
    EXPECT_EQ(alignment * 100 + rowLength * 10 + skip, 800);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

// ---- shaders ------------------------------------------------------------------------

using testing::HasSubstr;

namespace {

const char* const COLOUR_SHADER = R"(
uniform float red;
uniform int blue;
void main() { gl_FragColor = vec4(red, 0.5, float(blue), 1.0); })";

class ShaderGL : public TextureGL {
protected:
    void TearDown() override { oxShaderProgram::unbind(); }
};

GLuint currentProgram()
{
    GLint p = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &p);
    return GLuint(p);
}

} // namespace

TEST_F(ShaderGL, UniformsReachTheirProgramWhileAnotherIsBoundAndDrawUntilUnbound)
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    oxShaderProgram a, b;
    a.attachShader(createFragmentShader(COLOUR_SHADER));
    b.attachShader(createFragmentShader(COLOUR_SHADER));
    b.use();
    EXPECT_FALSE(a.isLinked());
    EXPECT_TRUE(a.setUniformFloat("red", 1.0f)); // links a on the way
    EXPECT_TRUE(a.setUniformInt("blue", 1));
    EXPECT_FALSE(a.setUniformFloat("green", 1.0f)); // no such uniform
    EXPECT_TRUE(a.isLinked());
    EXPECT_EQ(currentProgram(), b.handle());
    a.use();
    glColor3ub(0, 255, 0);
    glRecti(0, 0, 64, 64);
    oxShaderProgram::unbind();
    glRecti(64, 0, 128, 64);
    glSaveArtifact("shader_colour", 128, 64);
    EXPECT_TRUE(pixelIs(32, 32, oxColour(255, 128, 255), 1));
    EXPECT_TRUE(pixelIs(96, 32, oxColour(0, 255, 0), 1));
}

TEST_F(ShaderGL, CompileAndLinkFailuresCarryTheirLogsUntilTheShadersChange)
{
    const std::string message =
        thrownMessage<oxShaderCompileException>([] { createFragmentShader("void main() { gl_FragColor = ; }"); });
    EXPECT_THAT(message, HasSubstr("error"));
    EXPECT_FALSE(message.empty() || message.back() == '\n');

    oxShaderProgram program;
    program.attachShader(createFragmentShader("vec4 shade(); void main() { gl_FragColor = shade(); }"));
    const std::string log = thrownMessage<oxShaderLinkException>([&] { program.link(); });
    EXPECT_THAT(log, HasSubstr("shade"));
    EXPECT_EQ(thrownMessage<oxShaderLinkException>([&] { program.use(); }), log);
    EXPECT_NE(currentProgram(), program.handle());
    program.attachShader(createFragmentShader("vec4 shade() { return vec4(1.0); }"));
    EXPECT_EQ(thrownMessage<oxShaderLinkException>([&] { program.use(); }), "");
    EXPECT_EQ(currentProgram(), program.handle());
}
