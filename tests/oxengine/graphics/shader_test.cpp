// Shader support detection against emulated drivers (no display needed).
#include "oxengine/graphics/shader.h"

#include "oxengine/core/errors.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

namespace {

std::set<std::string> g_extensions, g_withheld;
int g_lookups = 0;

void notCalled() {}

// A driver with all three extensions and every function (never called) until a test takes some away.
struct EmulatedDriver {
    EmulatedDriver()
    {
        g_extensions = {"GL_ARB_shader_objects", "GL_ARB_shading_language_100", "GL_ARB_fragment_shader"};
        g_withheld.clear();
        g_lookups = 0;
        oxOverrideShaderDriver(oxShaderDriverHooks{[](const char* name) { return g_extensions.count(name) != 0; },
                                                   [](const char* name) {
                                                       ++g_lookups;
                                                       return g_withheld.count(name) ? nullptr
                                                                                     : reinterpret_cast<void*>(&notCalled);
                                                   }});
    }
    ~EmulatedDriver() { oxOverrideShaderDriver(std::nullopt); }
};

std::string supportError(const std::function<void()>& call)
{
    return thrownMessage<oxShaderSupportException>(call);
}

const std::string NO_OBJECTS = "shader objects are not supported by your graphics hardware.";
const std::string NO_FUNCTION = "extension supported, but required function couldn't be found.";

} // namespace

TEST(ShaderSupport, EachMissingExtensionHasItsMessage)
{
    for (const char* missing : {"GL_ARB_shader_objects", "GL_ARB_shading_language_100"}) {
        SCOPED_TRACE(missing);
        EmulatedDriver driver;
        g_extensions.erase(missing);
        EXPECT_EQ(supportError(loadShaderExtensions), NO_OBJECTS);
        EXPECT_EQ(supportError([] { oxShaderProgram program; }), NO_OBJECTS);
        EXPECT_EQ(g_lookups, 0);
        EXPECT_TRUE(fragmentShadersSupported());
    }
    EmulatedDriver driver;
    g_extensions = {"GL_ARB_shading_language_100"};
    // The fragment-shader test comes first, so its message wins.
    EXPECT_EQ(supportError([] { createFragmentShader("void main() {}"); }),
              "fragment shaders are not supported by your graphics hardware.");
    EXPECT_FALSE(fragmentShadersSupported());
    oxShaderProgram::unbind(); // callers unbind after drawing whether or not a shader could be made
    EXPECT_EQ(g_lookups, 0);
}

TEST(ShaderSupport, EntryPointsAreFetchedOnceAndFailuresRetried)
{
    EmulatedDriver driver;
    // Vertex-shader functions are not needed for fragment shaders.
    g_withheld = {"glGetAttribLocationARB", "glVertexAttrib4NubARB", "glGetHandleARB"};
    EXPECT_EQ(supportError(loadShaderExtensions), NO_FUNCTION);
    const int firstTry = g_lookups;
    EXPECT_EQ(supportError(loadShaderExtensions), NO_FUNCTION);
    EXPECT_EQ(g_lookups, 2 * firstTry) << "a failed load is not remembered";

    g_withheld.erase("glGetHandleARB");
    EXPECT_EQ(supportError(loadShaderExtensions), "");
    const int loaded = g_lookups;
    g_extensions.clear();
    EXPECT_EQ(supportError(loadShaderExtensions), "");
    EXPECT_EQ(g_lookups, loaded);
}
