// Glyphs the built-in font lacks (Greek, Cyrillic, CJK, Arabic, typographic
// punctuation beyond Latin Extended-A): fontconfig finds an installed font
// that has the character, FreeType draws it into a cell like the built-in
// font's, and the cells are kept in one texture for the life of the program.
// Main thread only (text is measured and drawn there).
#pragma once

#include "oxengine/graphics/glfontformat.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class oxGlyphCache {
public:
    static constexpr int TEXTURE_SIZE = 2048;

    static oxGlyphCache& instance();
    ~oxGlyphCache();
    oxGlyphCache(const oxGlyphCache&) = delete;
    oxGlyphCache& operator=(const oxGlyphCache&) = delete;

    // The cell of character c, cellHeight texels high with the baseline
    // baseline rows below its top, as fractions of the cache's texture (as
    // the built-in font's records are of its own); null when no installed
    // font has the character or the texture is full. Asks fontconfig once
    // per character and remembers the answer.
    const GLFontChar* glyph(char32_t c, int cellHeight, int baseline);
    int texWidth() const { return TEXTURE_SIZE; }
    int texHeight() const { return TEXTURE_SIZE; }
    // Binds the texture (made or brought up to date first) to GL_TEXTURE_2D;
    // false when there is nothing to bind.
    bool bindTexture();
    // Deletes the texture (shut-down, while the context is current); the
    // cells are uploaded again when next needed.
    void releaseTexture();

private:
    oxGlyphCache();
    struct Fonts;

    bool place(const std::vector<uint8_t>& alpha, int width, int height, GLFontChar& record);

    std::unique_ptr<Fonts> m_fonts;
    std::unordered_map<uint64_t, std::unique_ptr<GLFontChar>> m_glyphs; // null: no font has it
    std::vector<uint8_t> m_alpha; // TEXTURE_SIZE squared once the first cell is placed
    int m_shelfX = 0, m_shelfY = 0, m_shelfHeight = 0;
    int m_dirtyTop = 0, m_dirtyBottom = 0; // rows not yet uploaded
    unsigned m_texture = 0;
};
