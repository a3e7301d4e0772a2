// Shaders on a real driver (Mesa under Xvfb): compiled, linked, drawn and read back.
#define GL_GLEXT_PROTOTYPES
#include "oxengine/graphics/shader.h"

#include "oxengine/errors.h"
#include "support/gltest.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

using testing::HasSubstr;

namespace {

const char* const COLOUR_SHADER = R"(
uniform float red;
uniform int blue;
void main() { gl_FragColor = vec4(red, 0.5, float(blue), 1.0); })";

class ShaderGL : public testing::Test {
protected:
    void SetUp() override
    {
        if (!glTestContext(128, 64))
            GTEST_SKIP() << "no X display with GLX";
    }
    void TearDown() override { oxShaderProgram::unbind(); }
};

testing::AssertionResult pixelIs(int x, int y, int r, int g, int b)
{
    const std::vector<uint8_t> p = glReadBack(x, y, 1, 1);
    if (std::abs(p[0] - r) > 1 || std::abs(p[1] - g) > 1 || std::abs(p[2] - b) > 1)
        return testing::AssertionFailure() << "pixel is (" << int(p[0]) << "," << int(p[1]) << "," << int(p[2])
                                           << "), not (" << r << "," << g << "," << b << ")";
    return testing::AssertionSuccess();
}

template <class E> std::string errorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const E& e) {
        return e.getMessage();
    }
    return "no exception";
}

GLuint currentProgram()
{
    GLint p = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &p);
    return GLuint(p);
}

} // namespace

TEST_F(ShaderGL, ChangesTheDrawnColourUntilUnbound)
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    oxShaderProgram program;
    program.attachShader(createFragmentShader(COLOUR_SHADER));
    EXPECT_FALSE(program.isLinked());
    program.use(); // links
    EXPECT_TRUE(program.isLinked());
    EXPECT_TRUE(program.setUniformFloat("red", 1.0f));
    EXPECT_TRUE(program.setUniformInt("blue", 1));
    EXPECT_FALSE(program.setUniformFloat("green", 1.0f));
    EXPECT_FALSE(program.setUniformInt(nullptr, 1));
    glColor3ub(0, 255, 0);
    glRecti(0, 0, 64, 64);
    oxShaderProgram::unbind();
    glRecti(64, 0, 128, 64);
    glSaveArtifact("shader_colour", 128, 64);
    EXPECT_TRUE(pixelIs(32, 32, 255, 128, 255));
    EXPECT_TRUE(pixelIs(96, 32, 0, 255, 0));
}

TEST_F(ShaderGL, SyntaxErrorThrowsTheCompileLog)
{
    const std::string message =
        errorOf<oxShaderCompileException>([] { createFragmentShader("void main() { gl_FragColor = ; }"); });
    EXPECT_THAT(message, HasSubstr("error"));
    EXPECT_NE(message.back(), '\n');
}

TEST_F(ShaderGL, LinkFailureCarriesTheLogUntilTheShadersChange)
{
    oxShaderProgram program;
    program.attachShader(createFragmentShader("vec4 shade(); void main() { gl_FragColor = shade(); }"));
    const std::string log = errorOf<oxShaderLinkException>([&] { program.link(); });
    EXPECT_THAT(log, HasSubstr("shade"));
    EXPECT_EQ(errorOf<oxShaderLinkException>([&] { program.use(); }), log);
    EXPECT_NE(currentProgram(), program.handle());

    program.attachShader(createFragmentShader("vec4 shade() { return vec4(1.0); }"));
    EXPECT_EQ(errorOf<oxShaderLinkException>([&] { program.use(); }), "no exception");
    EXPECT_EQ(currentProgram(), program.handle());
}

TEST_F(ShaderGL, UniformsReachTheirProgramWhileAnotherIsBound)
{
    oxShaderProgram a, b;
    a.attachShader(createFragmentShader(COLOUR_SHADER));
    b.attachShader(createFragmentShader(COLOUR_SHADER));
    b.use();
    EXPECT_TRUE(a.setUniformFloat("red", 1.0f)); // links a on the way
    EXPECT_TRUE(a.setUniformInt("blue", 0));
    EXPECT_EQ(currentProgram(), b.handle());
    GLfloat red = -1;
    glGetUniformfv(b.handle(), glGetUniformLocation(b.handle(), "red"), &red);
    EXPECT_EQ(red, 0.0f);
    a.use();
    glRecti(0, 0, 64, 64);
    EXPECT_TRUE(pixelIs(32, 32, 255, 128, 0));
}

TEST_F(ShaderGL, ObjectsGoWithTheirOwnerInEitherOrder)
{
    GLuint programHandle = 0, ownedHandle = 0;
    auto kept = createFragmentShader("vec4 shade() { return vec4(1.0); }");
    {
        oxShaderProgram program;
        auto owned = createFragmentShader("vec4 shade(); void main() { gl_FragColor = shade(); }");
        oxShaderObject* ownedRaw = owned.get();
        ownedHandle = owned->handle(), programHandle = program.handle();
        program.attachShader(std::move(owned));
        program.attachShader(*kept);
        program.link();
        auto unowned = createFragmentShader("float unused() { return 1.0; }");
        program.attachShader(*unowned);
        program.link();
        GLint attached = 0;
        glGetProgramiv(program.handle(), GL_ATTACHED_SHADERS, &attached);
        EXPECT_EQ(attached, 3);
        unowned.reset(); // a shader going first leaves the program
        glGetProgramiv(program.handle(), GL_ATTACHED_SHADERS, &attached);
        EXPECT_EQ(attached, 2);
        EXPECT_EQ(program.shaderCount(), 2u);
        EXPECT_FALSE(program.isLinked());
        EXPECT_EQ(program.detachShader(*kept), nullptr); // not the program's to give
        program.attachShader(*kept);
        // An owned shader comes back when detached; attaching it by reference
        // does not drop the ownership.
        program.attachShader(*ownedRaw);
        std::unique_ptr<oxShaderObject> back = program.detachShader(*ownedRaw);
        EXPECT_EQ(back.get(), ownedRaw);
        EXPECT_TRUE(back->programs().empty());
        program.attachShader(std::move(back));
        program.use();
    }
    EXPECT_EQ(currentProgram(), 0u);
    EXPECT_FALSE(glIsProgram(programHandle));
    EXPECT_FALSE(glIsShader(ownedHandle));
    EXPECT_TRUE(glIsShader(kept->handle()));
    EXPECT_TRUE(kept->programs().empty());
}
