// What the graphics driver offers for textures: probed once in the first
// current context and kept for the process. Tests (and a user who wants
// smaller textures) can lower the size limit, switch off non-power-of-two
// textures, or replace the probed values to emulate another driver.
#pragma once

#include <GL/gl.h>

#include <optional>

struct oxTextureCapabilities {
    int glMajor = 0, glMinor = 0; // leading number of the GL version string
    bool anisotropic = false;     // GL_EXT/ARB_texture_filter_anisotropic
    bool multitexture = false;    // GL 1.3 or GL_ARB_multitexture
    bool floatTextures = false;   // half-float pixels and float internal formats
    bool npotTextures = false;    // GL 2.0 or GL_ARB_texture_non_power_of_two
    int textureUnits = 1;
    int maxAnisotropy = 0; // 0 without the anisotropic extension
    int maxTextureSize = 0;
    bool softwareRenderer = false; // the renderer runs on the processor (llvmpipe, softpipe, swrast)

    bool versionAtLeast(int major, int minor) const
    {
        return glMajor > major || (glMajor == major && glMinor >= minor);
    }
};

// Runs the probe unless it has run; without a current context nothing is
// recorded and the next call tries again.
void initTextureSupport();
// The probed values with the limits below applied (all zero/false while no
// context has been current).
oxTextureCapabilities textureCapabilities();

int maxTextureSize();
int maxAnisotropy();
bool floatTexturesSupported();
bool npotTexturesSupported();

// Textures larger than this are refused (and picture preparation cuts
// smaller tiles); 0 restores the driver's limit. Never raises the limit.
void setTextureSizeLimit(int maxSize);
// Behave as a driver that only takes power-of-two sides.
void setNPOTTexturesDisabled(bool disabled);
// Replaces the probed values (before the limits above are applied); nullopt
// returns to the driver's. For tests that emulate older drivers.
void overrideTextureCapabilities(std::optional<oxTextureCapabilities> capabilities);

// The leading "major.minor" of a GL version string ("2.1 Mesa 22.3" gives
// 2, 1); false (and 0, 0) when it does not start with a number.
bool oxParseGLVersion(const char* version, int& major, int& minor);
