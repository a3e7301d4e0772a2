#include "oxengine/graphics/glyphcache.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

namespace {

constexpr int GAP = 4; // transparent texels around every cell, so mipmaps do not bleed

} // namespace

// The font files fontconfig names, opened once each.
struct oxGlyphCache::Fonts {
    FT_Library library = nullptr;
    std::map<std::pair<std::string, int>, FT_Face> faces; // null: the file cannot be used
    bool configured = false;

    ~Fonts()
    {
        for (auto& [key, face] : faces)
            if (face)
                FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }

    FT_Face face(const std::string& file, int index)
    {
        const auto key = std::make_pair(file, index);
        const auto it = faces.find(key);
        if (it != faces.end())
            return it->second;
        FT_Face f = nullptr;
        if (library && FT_New_Face(library, file.c_str(), index, &f) != 0)
            f = nullptr;
        faces[key] = f;
        return f;
    }

    // The first installed font, in fontconfig's order of preference for
    // sans-serif text, that has a glyph for c.
    FT_Face faceFor(char32_t c)
    {
        if (!configured) {
            configured = true;
            if (FT_Init_FreeType(&library) != 0)
                library = nullptr;
            if (!FcInit())
                library = nullptr;
        }
        if (!library)
            return nullptr;
        FcPattern* pattern = FcPatternCreate();
        FcCharSet* wanted = FcCharSetCreate();
        FcCharSetAddChar(wanted, FcChar32(c));
        FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcFontSet* fonts = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
        FT_Face found = nullptr;
        for (int i = 0; fonts && i < fonts->nfont && !found; ++i) {
            FcCharSet* has = nullptr;
            FcChar8* file = nullptr;
            int index = 0;
            if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &has) != FcResultMatch ||
                !FcCharSetHasChar(has, FcChar32(c)) ||
                FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
                continue;
            FcPatternGetInteger(fonts->fonts[i], FC_INDEX, 0, &index);
            FT_Face f = face(reinterpret_cast<const char*>(file), index);
            if (f && FT_IS_SCALABLE(f) && FT_Get_Char_Index(f, FT_ULong(c)) != 0)
                found = f;
        }
        if (fonts)
            FcFontSetDestroy(fonts);
        FcCharSetDestroy(wanted);
        FcPatternDestroy(pattern);
        return found;
    }
};

oxGlyphCache& oxGlyphCache::instance()
{
    static oxGlyphCache cache;
    return cache;
}

oxGlyphCache::oxGlyphCache() : m_fonts(std::make_unique<Fonts>()) {}

oxGlyphCache::~oxGlyphCache() = default; // the texture went with the context

const GLFontChar* oxGlyphCache::glyph(char32_t c, int cellHeight, int baseline)
{
    if (cellHeight < 4 || cellHeight > TEXTURE_SIZE / 4)
        return nullptr;
    const uint64_t key = uint64_t(cellHeight) << 32 | c;
    const auto known = m_glyphs.find(key);
    if (known != m_glyphs.end())
        return known->second.get();
    std::unique_ptr<GLFontChar>& entry = m_glyphs[key];
    FT_Face face = m_fonts->faceFor(c);
    if (!face)
        return nullptr;
    // The em of the built-in font (a sans-serif whose ascender is about 0.9
    // of its em reaches from the baseline to the cell's top), so that scripts
    // keep their usual size beside Latin text; ink placed on the common
    // baseline and clipped to the cell, the cell as wide as the advance or
    // the ink.
    const double em = std::max(baseline, 1) / 0.905;
    if (FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(em * 64)), 72, 72) != 0 ||
        FT_Load_Glyph(face, FT_Get_Char_Index(face, FT_ULong(c)), FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP) != 0 ||
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0)
        return nullptr;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows > 0)
        return nullptr;
    const int left = std::max(0, slot->bitmap_left);
    const int advance = int(std::lround(slot->advance.x / 64.0));
    const int width = std::clamp(std::max(advance, left + int(bitmap.width)), 1, TEXTURE_SIZE / 4);
    std::vector<uint8_t> cell(size_t(width) * size_t(cellHeight), 0);
    for (int r = 0; r < int(bitmap.rows); ++r) {
        const int y = baseline - slot->bitmap_top + r;
        if (y < 0 || y >= cellHeight)
            continue;
        const unsigned char* from = bitmap.buffer + ptrdiff_t(r) * bitmap.pitch;
        for (int x = 0; x < int(bitmap.width) && left + x < width; ++x)
            cell[size_t(y) * size_t(width) + size_t(left + x)] = from[x];
    }
    auto record = std::make_unique<GLFontChar>();
    if (!place(cell, width, cellHeight, *record))
        return nullptr; // full: shown as "?" from now on
    entry = std::move(record);
    return entry.get();
}

bool oxGlyphCache::place(const std::vector<uint8_t>& alpha, int width, int height, GLFontChar& record)
{
    if (m_shelfX + width + GAP > TEXTURE_SIZE) {
        m_shelfX = 0;
        m_shelfY += m_shelfHeight + GAP;
        m_shelfHeight = 0;
    }
    if (m_shelfY + height + GAP > TEXTURE_SIZE)
        return false;
    if (m_alpha.empty())
        m_alpha.assign(size_t(TEXTURE_SIZE) * TEXTURE_SIZE, 0);
    const int x = m_shelfX + GAP, y = m_shelfY + GAP;
    for (int r = 0; r < height; ++r)
        std::copy_n(alpha.begin() + ptrdiff_t(r) * width, width, m_alpha.begin() + ptrdiff_t(y + r) * TEXTURE_SIZE + x);
    m_shelfX += width + GAP;
    m_shelfHeight = std::max(m_shelfHeight, height);
    if (m_dirtyTop == m_dirtyBottom)
        m_dirtyTop = y, m_dirtyBottom = y + height;
    m_dirtyTop = std::min(m_dirtyTop, y);
    m_dirtyBottom = std::max(m_dirtyBottom, y + height);
    const float size = float(TEXTURE_SIZE);
    record.dx = float(width) / size;
    record.dy = float(height) / size;
    record.tx1 = float(x) / size;
    record.ty1 = float(y) / size;
    record.tx2 = float(x + width) / size;
    record.ty2 = float(y + height) / size;
    return true;
}

bool oxGlyphCache::bindTexture()
{
    if (m_alpha.empty())
        return false;
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    if (!m_texture) {
        GLuint name = 0;
        glGenTextures(1, &name);
        m_texture = name;
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        // Text is drawn smaller than its cells; the driver keeps the levels.
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, TEXTURE_SIZE, TEXTURE_SIZE, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
                     m_alpha.data());
        m_dirtyTop = m_dirtyBottom = 0;
    } else {
        glBindTexture(GL_TEXTURE_2D, m_texture);
        if (m_dirtyBottom > m_dirtyTop) {
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, m_dirtyTop, TEXTURE_SIZE, m_dirtyBottom - m_dirtyTop, GL_ALPHA,
                            GL_UNSIGNED_BYTE, m_alpha.data() + size_t(m_dirtyTop) * TEXTURE_SIZE);
            m_dirtyTop = m_dirtyBottom = 0;
        }
    }
    glPopClientAttrib();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    return true;
}

void oxGlyphCache::releaseTexture()
{
    if (m_texture) {
        const GLuint name = m_texture;
        glDeleteTextures(1, &name);
        m_texture = 0;
    }
}
