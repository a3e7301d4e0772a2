#include "oxengine/graphics/glfont.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/regularfile.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

bool oxIsInvisibleCharacter(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0)      // C0, DEL, C1
           || (c >= 0x200B && c <= 0x200F)          // zero-width spaces and joiners, direction marks
           || (c >= 0x2028 && c <= 0x202E)          // line/paragraph separators, embeddings
           || (c >= 0x2060 && c <= 0x2064) || c == 0xFEFF; // word joiner, invisible operators, BOM
}

GLFont::~GLFont()
{
    release();
}

void GLFont::release()
{
    if (m_texture) {
        const GLuint name = m_texture;
        glDeleteTextures(1, &name);
        m_texture = 0;
    }
    m_texWidth = m_texHeight = 0;
    m_startChar = 0;
    m_endChar = -1;
    m_glyphs.clear();
    m_pendingAlpha.clear();
    m_referenceHeight = 0;
    m_uploadFailed = false;
}

void GLFont::loadFont(std::istream& in, bool compressed)
{
    release();
    oxGLFontData data = oxReadGLFont(in, compressed);
    m_texWidth = data.texWidth;
    m_texHeight = data.texHeight;
    m_startChar = data.startChar;
    m_endChar = data.endChar;
    m_glyphs = std::move(data.glyphs);
    m_pendingAlpha = std::move(data.alpha);
    // A glyph outside its texture (or not a number) would be measured in
    // pixels beyond any int: such a glyph is drawn as nothing.
    const auto fraction = [](float f) { return std::isfinite(f) && f >= 0.0f && f <= 1.0f; };
    for (GLFontChar& g : m_glyphs)
        if (!fraction(g.dx) || !fraction(g.dy) || !fraction(g.tx1) || !fraction(g.ty1) || !fraction(g.tx2) ||
            !fraction(g.ty2))
            g = GLFontChar();

    m_referenceHeight = charHeight(U'X');
    if (m_referenceHeight == 0)
        for (const GLFontChar& g : m_glyphs)
            m_referenceHeight = std::max(m_referenceHeight, int(g.dy * float(m_texHeight)));
    m_baseline = findBaseline();
}

int GLFont::findBaseline() const
{
    // The lowest row of ink in the cell of "X"; a sans-serif's share of the
    // cell when the font has none.
    int baseline = int(std::lround(m_referenceHeight * 0.81));
    const GLFontChar* x = record(U'X');
    if (!x || m_pendingAlpha.empty())
        return baseline;
    const int left = int(x->tx1 * float(m_texWidth)), top = int(x->ty1 * float(m_texHeight));
    const int width = int(x->dx * float(m_texWidth)), height = int(x->dy * float(m_texHeight));
    if (left < 0 || top < 0 || left + width > m_texWidth || top + height > m_texHeight)
        return baseline;
    for (int row = height - 1; row >= 0; --row) {
        const uint8_t* texels = m_pendingAlpha.data() + size_t(top + row) * size_t(m_texWidth) + size_t(left);
        if (std::any_of(texels, texels + width, [](uint8_t a) { return a > 128; }))
            return row + 1;
    }
    return baseline;
}

void GLFont::loadFontFile(const std::string& path)
{
    std::string bytes;
    int error = 0;
    if (!oxReadRegularFile(path, bytes, error))
        throw oxIOException(oxGetTranslation("GLFont: input could not be opened"), path);
    std::istringstream in(std::move(bytes));
    loadFont(in, !path.empty() && path.back() == 'c');
}

const GLFontChar* GLFont::record(char32_t c) const
{
    const int64_t index = int64_t(c) - m_startChar;
    if (index < 0 || index >= int64_t(m_glyphs.size()))
        return nullptr;
    return &m_glyphs[size_t(index)];
}

const GLFontChar* GLFont::glyphFor(char32_t c) const
{
    if (oxIsInvisibleCharacter(c))
        return nullptr;
    if (const GLFontChar* g = record(c))
        return g;
    return record(U'?');
}

int GLFont::charWidth(char32_t c) const
{
    const GLFontChar* g = glyphFor(c);
    return g ? int(g->dx * float(m_texWidth)) : 0;
}

int GLFont::charHeight(char32_t c) const
{
    const GLFontChar* g = glyphFor(c);
    return g ? int(g->dy * float(m_texHeight)) : 0;
}

bool GLFont::bindTexture()
{
    if (!m_texture && !upload()) {
        glBindTexture(GL_TEXTURE_2D, 0);
        return false;
    }
    glBindTexture(GL_TEXTURE_2D, m_texture);
    // Texture-unit state, not texture state: someone else may have changed it.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    return true;
}

bool GLFont::upload()
{
    if (m_uploadFailed || m_pendingAlpha.empty())
        return false;
    std::vector<uint8_t> texels(m_pendingAlpha.size() * 2);
    for (size_t i = 0; i < m_pendingAlpha.size(); ++i) {
        texels[2 * i] = 255;
        texels[2 * i + 1] = m_pendingAlpha[i];
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    // Rows are packed tightly; whatever unpacking state the caller left
    // would otherwise make GL read past the buffer for odd widths.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    const GLint status = gluBuild2DMipmaps(GL_TEXTURE_2D, 2, m_texWidth, m_texHeight, GL_LUMINANCE_ALPHA,
                                           GL_UNSIGNED_BYTE, texels.data());
    glPopClientAttrib();
    if (status != 0) {
        std::fprintf(stderr, "GLFont: texture upload failed: %s\n",
                     reinterpret_cast<const char*>(gluErrorString(GLenum(status))));
        glDeleteTextures(1, &name);
        m_uploadFailed = true;
        return false;
    }
    m_texture = name;
    m_pendingAlpha.clear();
    m_pendingAlpha.shrink_to_fit();
    return true;
}
