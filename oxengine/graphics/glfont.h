// A texture-mapped bitmap font: a table of glyph records for the codes
// startChar..endChar and one texture that holds every glyph image.
#pragma once

#include "oxengine/graphics/glfontformat.h"

#include <iosfwd>
#include <string>
#include <vector>

class GLFont {
public:
    GLFont() = default;
    ~GLFont();
    GLFont(const GLFont&) = delete;
    GLFont& operator=(const GLFont&) = delete;

    // Replaces what the font holds. On failure (the exceptions of
    // oxReadGLFont) the font is left empty. No OpenGL context is needed: the
    // texture is made on the first bindTexture.
    void loadFont(std::istream& in, bool compressed);
    // Compressed exactly when the path ends in 'c' (".glfc").
    void loadFontFile(const std::string& path);

    bool empty() const { return m_glyphs.empty(); }
    int texWidth() const { return m_texWidth; }
    int texHeight() const { return m_texHeight; }
    int startChar() const { return m_startChar; }
    int endChar() const { return m_endChar; }
    // The OpenGL texture name; 0 until the texture has been made.
    unsigned texture() const { return m_texture; }
    // The texture's alpha bytes, rows top first, until it is uploaded (then
    // empty): what a drawing without OpenGL samples.
    const std::vector<uint8_t>& alphaTexels() const { return m_pendingAlpha; }

    // The table's record for code c, or null outside the table.
    const GLFontChar* record(char32_t c) const;
    // The record drawn for character c: null for control and format
    // characters (invisible, no width); a character outside the table is
    // shown as "?" (null when the font has no "?" either).
    const GLFontChar* glyphFor(char32_t c) const;
    // Size of glyphFor(c) in font pixels, truncated; 0 without a glyph.
    int charWidth(char32_t c) const;
    int charHeight(char32_t c) const;
    // The font pixels one line of text height stands for: the height of
    // "X", else of the tallest glyph; 0 for a font with no visible glyph
    // (it cannot be scaled, and text output then draws nothing).
    int referenceHeight() const { return m_referenceHeight; }
    // Rows from the top of a cell to the baseline (the foot of "X"), so that
    // glyphs from other fonts can be drawn on the same line.
    int baseline() const { return m_baseline; }

    // Binds the texture to GL_TEXTURE_2D, making and uploading it first if
    // needed. False when the font has no usable texture.
    bool bindTexture();

private:
    void release();
    bool upload();
    int findBaseline() const;

    unsigned m_texture = 0;
    int m_texWidth = 0;
    int m_texHeight = 0;
    int m_startChar = 0;
    int m_endChar = -1;
    std::vector<GLFontChar> m_glyphs;
    std::vector<uint8_t> m_pendingAlpha;
    int m_referenceHeight = 0;
    int m_baseline = 0;
    bool m_uploadFailed = false;
};

// Control and format characters: drawn as nothing and taking no space.
bool oxIsInvisibleCharacter(char32_t c);
