#include "oxengine/graphics/framecopy.h"

#include "oxengine/graphics/texsupport.h"

#include <GL/gl.h>

namespace {

// What glGetError says next is then about the call that follows.
void forgetGLErrors()
{
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

} // namespace

bool oxFrameCopy::capture(int width, int height)
{
    const oxTextureCapabilities caps = textureCapabilities();
    const bool fits = width > 0 && height > 0 && width <= caps.maxTextureSize && height <= caps.maxTextureSize;
    if (!fits || (!caps.npotTextures && (!oxIsPowerOfTwo(uint32_t(width)) || !oxIsPowerOfTwo(uint32_t(height))))) {
        clear();
        return false;
    }
    if (!holds(width, height)) {
        clear();
        auto texture = std::make_unique<oxTexture2D>();
        texture->bind();
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        texture->setWrap(GL_CLAMP_TO_EDGE);
        forgetGLErrors();
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        if (glGetError() != GL_NO_ERROR)
            return false;
        m_texture = std::move(texture);
        m_width = width, m_height = height;
    }
    m_texture->bind();
    forgetGLErrors();
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);
    // A buffer the driver cannot copy from (a multisampled one) leaves the
    // texture undefined: no copy rather than a wrong one.
    if (glGetError() != GL_NO_ERROR) {
        clear();
        return false;
    }
    return true;
}

void oxFrameCopy::draw() const
{
    if (!m_texture)
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT);
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    m_texture->bind();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const double w = m_width, h = m_height;
    // The copy's first row is the window's bottom one.
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1), glVertex2d(0, 0);
    glTexCoord2f(0, 0), glVertex2d(0, h);
    glTexCoord2f(1, 0), glVertex2d(w, h);
    glTexCoord2f(1, 1), glVertex2d(w, 0);
    glEnd();
    glPopAttrib();
}
