// Shaders on a real driver (Mesa under Xvfb): compiled, linked, drawn and read back.
#define GL_GLEXT_PROTOTYPES
#include "oxengine/graphics/shader.h"

#include "glcheck.h"
#include "oxengine/core/errors.h"
#include "support/testsupport.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

TEST_F(ShaderGL, OwnedShadersGoWithTheirProgram)
{
    GLuint programHandle = 0, shaderHandle = 0;
    {
        oxShaderProgram program;
        auto owned = createFragmentShader(COLOUR_SHADER);
        shaderHandle = owned->handle(), programHandle = program.handle();
        program.attachShader(std::move(owned));
        program.use();
    }
    EXPECT_EQ(currentProgram(), 0u);
    EXPECT_FALSE(glIsProgram(programHandle) || glIsShader(shaderHandle));
}
