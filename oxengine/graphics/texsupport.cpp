#include "oxengine/graphics/texsupport.h"

#include "oxengine/core/errors.h"
#include "oxengine/platform/glapp.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

// The loader thread creates textures while the main thread may ask for the
// limits, so the probe and the settings are guarded.
struct SupportState {
    std::mutex mutex;
    bool probed = false;
    oxTextureCapabilities driver;
    std::optional<oxTextureCapabilities> override;
    int sizeLimit = 0;
    bool npotDisabled = false;
};

SupportState& state()
{
    static SupportState s;
    return s;
}

bool isSoftwareRenderer(const char* renderer)
{
    if (!renderer)
        return false;
    const std::string name = renderer;
    for (const char* software : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
        if (name.find(software) != std::string::npos)
            return true;
    return false;
}

void probe(SupportState& s)
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!version)
        return; // no current context: try again on the next use
    oxTextureCapabilities c;
    oxParseGLVersion(version, c.glMajor, c.glMinor);
    c.anisotropic =
        isExtensionSupported("GL_EXT_texture_filter_anisotropic") || isExtensionSupported("GL_ARB_texture_filter_anisotropic");
    c.multitexture = c.versionAtLeast(1, 3) || isExtensionSupported("GL_ARB_multitexture");
    if (c.multitexture) {
        oxAssert(oxGetProcAddress("glActiveTextureARB"),
                 "extension GL_ARB_multitexture supported but required function couldn't be found.");
        GLint units = 1;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
        c.textureUnits = std::max(units, 1);
    }
    if (c.anisotropic) {
        GLint maxAniso = 0;
        glGetIntegerv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAniso);
        c.maxAnisotropy = maxAniso;
    }
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    c.maxTextureSize = maxSize;
    // GL 3.0 made both core; the extension names may then be missing.
    c.floatTextures = c.versionAtLeast(3, 0) ||
                      (isExtensionSupported("GL_ARB_texture_float") && isExtensionSupported("GL_ARB_half_float_pixel"));
    c.npotTextures = c.versionAtLeast(2, 0) || isExtensionSupported("GL_ARB_texture_non_power_of_two");
    c.softwareRenderer = isSoftwareRenderer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    s.driver = c;
    s.probed = true;
}

} // namespace

bool oxParseGLVersion(const char* version, int& major, int& minor)
{
    major = minor = 0;
    if (!version || *version < '0' || *version > '9')
        return false;
    char* end = nullptr;
    major = int(std::strtol(version, &end, 10));
    if (*end == '.' && end[1] >= '0' && end[1] <= '9')
        minor = int(std::strtol(end + 1, &end, 10));
    return true;
}

void initTextureSupport()
{
    SupportState& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.probed)
        probe(s);
}

oxTextureCapabilities textureCapabilities()
{
    SupportState& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.probed && !s.override)
        probe(s);
    oxTextureCapabilities c = s.override ? *s.override : s.driver;
    if (s.sizeLimit > 0)
        c.maxTextureSize = std::min(c.maxTextureSize, s.sizeLimit);
    if (s.npotDisabled)
        c.npotTextures = false;
    return c;
}

int maxTextureSize()
{
    return textureCapabilities().maxTextureSize;
}

int maxAnisotropy()
{
    return textureCapabilities().maxAnisotropy;
}

bool floatTexturesSupported()
{
    return textureCapabilities().floatTextures;
}

bool npotTexturesSupported()
{
    return textureCapabilities().npotTextures;
}

void setTextureSizeLimit(int maxSize)
{
    SupportState& s = state();
    std::lock_guard lock(s.mutex);
    s.sizeLimit = std::max(maxSize, 0);
}

void setNPOTTexturesDisabled(bool disabled)
{
    SupportState& s = state();
    std::lock_guard lock(s.mutex);
    s.npotDisabled = disabled;
}

void overrideTextureCapabilities(std::optional<oxTextureCapabilities> capabilities)
{
    SupportState& s = state();
    std::lock_guard lock(s.mutex);
    s.override = std::move(capabilities);
}

