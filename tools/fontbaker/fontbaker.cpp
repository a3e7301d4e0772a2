// fontbaker FONT OUT.glfc [first last cellHeight]
// Renders the characters first..last (default 32..383: Latin-1 and Latin
// Extended-A) of a scalable font with FreeType, antialiased, into one
// texture and writes it as a compressed GLFont file.
//
// Every glyph cell is cellHeight texels high (default 46) and as wide as the
// character's advance, with a common baseline, because text output places
// each cell's bottom on the line and scales "X"'s cell to the text height.
// Control characters get empty records.
#include "oxengine/graphics/glfontformat.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int GAP = 4; // transparent texels around every cell, so mipmaps do not bleed

// A rendered glyph before it is placed into its cell.
struct Glyph {
    int code = 0;
    int advance = 0;         // texels
    int left = 0, top = 0;   // ink origin relative to pen and baseline (top upwards)
    int width = 0, rows = 0; // ink size
    std::vector<uint8_t> ink;
};

struct Cell {
    int code = 0;
    int width = 0;              // texels; the advance the text output uses
    std::vector<uint8_t> alpha; // width * cellHeight
    int x = 0, y = 0;           // place in the texture
};

bool isControl(int c) { return c < 32 || (c >= 127 && c < 160); }

class Face {
public:
    Face(const char* path, int cellHeight)
    {
        if (FT_Init_FreeType(&m_library) != 0 || FT_New_Face(m_library, path, 0, &m_face) != 0)
            return;
        // Size the em so that ascender + descender fill the cell.
        const double extent = double(m_face->ascender) - double(m_face->descender);
        m_ok = setEm(cellHeight * m_face->units_per_EM / extent);
    }
    ~Face()
    {
        if (m_face)
            FT_Done_Face(m_face);
        if (m_library)
            FT_Done_FreeType(m_library);
    }
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    bool ok() const { return m_ok; }
    double em() const { return m_em; }
    bool setEm(double em)
    {
        m_em = em;
        m_baseline = int(std::lround(m_face->ascender * em / m_face->units_per_EM));
        return FT_Set_Char_Size(m_face, 0, FT_F26Dot6(std::lround(em * 64)), 72, 72) == 0;
    }
    // Rows from the cell top to the baseline that the font's metrics ask for.
    int baseline() const { return m_baseline; }
    bool has(int code) const { return FT_Get_Char_Index(m_face, FT_ULong(code)) != 0; }

    bool render(int code, Glyph& glyph) const
    {
        const FT_UInt index = FT_Get_Char_Index(m_face, FT_ULong(code));
        if (FT_Load_Glyph(m_face, index, FT_LOAD_TARGET_LIGHT) != 0 ||
            FT_Render_Glyph(m_face->glyph, FT_RENDER_MODE_NORMAL) != 0)
            return false;
        const FT_GlyphSlot slot = m_face->glyph;
        const FT_Bitmap& bm = slot->bitmap;
        glyph.code = code;
        glyph.advance = std::max(1, int((slot->advance.x + 32) >> 6));
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.width = int(bm.width);
        glyph.rows = int(bm.rows);
        glyph.ink.resize(size_t(glyph.width) * glyph.rows);
        for (int r = 0; r < glyph.rows; ++r)
            std::copy_n(bm.buffer + ptrdiff_t(r) * bm.pitch, glyph.width, glyph.ink.begin() + ptrdiff_t(r) * glyph.width);
        return true;
    }

private:
    FT_Library m_library = nullptr;
    FT_Face m_face = nullptr;
    double m_em = 0;
    int m_baseline = 0;
    bool m_ok = false;
};

// The glyph in its cell. The cell is all that is ever drawn and the pen
// moves on by its width, so ink that overhangs the advance (the antialiased
// edge of an 'A', the hook of a 'j') widens the cell instead of being cut.
// Returns false when ink had to be cut vertically.
bool placeInCell(const Glyph& glyph, int baseline, int cellHeight, Cell& cell)
{
    const int left = std::max(0, glyph.left);
    cell.code = glyph.code;
    cell.width = std::max(glyph.advance, left + glyph.width);
    cell.alpha.assign(size_t(cell.width) * cellHeight, 0);
    bool whole = true;
    for (int r = 0; r < glyph.rows; ++r) {
        const int y = baseline - glyph.top + r;
        for (int c = 0; c < glyph.width; ++c) {
            const uint8_t a = glyph.ink[size_t(r) * glyph.width + c];
            if (y < 0 || y >= cellHeight)
                whole = whole && a <= 16;
            else
                cell.alpha[size_t(y) * cell.width + left + c] = a;
        }
    }
    return whole;
}

// Rows of ink above and below the baseline over all glyphs.
std::pair<int, int> inkExtent(const std::vector<Glyph>& glyphs)
{
    int above = 0, below = 0;
    for (const Glyph& g : glyphs) {
        if (g.rows == 0)
            continue;
        above = std::max(above, g.top);
        below = std::max(below, g.rows - g.top);
    }
    return {above, below};
}

bool renderAll(const Face& face, int first, int last, std::vector<Glyph>& glyphs, int& missing)
{
    glyphs.clear();
    missing = 0;
    for (int code = first; code <= last; ++code) {
        if (isControl(code))
            continue;
        if (!face.has(code)) {
            ++missing; // gets the "?" record
            continue;
        }
        Glyph glyph;
        if (!face.render(code, glyph)) {
            std::fprintf(stderr, "fontbaker: cannot render U+%04X\n", unsigned(code));
            return false;
        }
        glyphs.push_back(std::move(glyph));
    }
    return true;
}

// Shelf packing in code order; false when the cells do not fit.
bool pack(std::vector<Cell>& cells, int width, int height, int cellHeight)
{
    int x = GAP, y = GAP;
    for (Cell& cell : cells) {
        if (x + cell.width + GAP > width) {
            x = GAP;
            y += cellHeight + GAP;
        }
        if (y + cellHeight + GAP > height || cell.width + 2 * GAP > width)
            return false;
        cell.x = x, cell.y = y;
        x += cell.width + GAP;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 6) {
        std::fprintf(stderr, "usage: fontbaker FONT OUT.glfc [first last cellHeight]\n");
        return 2;
    }
    const int first = argc == 6 ? std::atoi(argv[3]) : 32;
    const int last = argc == 6 ? std::atoi(argv[4]) : 383;
    const int cellHeight = argc == 6 ? std::atoi(argv[5]) : 46;
    if (first < 0 || last < first || last - first >= 65536 || cellHeight < 4 || cellHeight > 1024) {
        std::fprintf(stderr, "fontbaker: bad range or cell height\n");
        return 2;
    }
    Face face(argv[1], cellHeight);
    if (!face.ok()) {
        std::fprintf(stderr, "fontbaker: cannot read %s\n", argv[1]);
        return 1;
    }

    // The font's metrics leave a few accented capitals and descenders a row
    // short; shrink the em until every glyph's ink fits the cell.
    std::vector<Glyph> glyphs;
    int missing = 0;
    std::pair<int, int> extent;
    for (int attempt = 0;; ++attempt) {
        if (!renderAll(face, first, last, glyphs, missing))
            return 1;
        extent = inkExtent(glyphs);
        if (extent.first + extent.second <= cellHeight || attempt == 8)
            break;
        face.setEm(face.em() * (cellHeight - 0.5 * attempt) / (extent.first + extent.second));
    }
    const int baseline = std::clamp(face.baseline(), extent.first, std::max(extent.first, cellHeight - extent.second));
    std::vector<Cell> cells(glyphs.size());
    int clipped = 0;
    for (size_t i = 0; i < glyphs.size(); ++i)
        clipped += !placeInCell(glyphs[i], baseline, cellHeight, cells[i]);

    oxGLFontData font;
    font.texWidth = 512;
    font.texHeight = 512;
    while (!pack(cells, font.texWidth, font.texHeight, cellHeight)) {
        if (font.texWidth > GLFONT_MAX_TEXTURE_SIZE / 2) {
            std::fprintf(stderr, "fontbaker: the glyphs do not fit into a texture\n");
            return 1;
        }
        (font.texWidth == font.texHeight ? font.texWidth : font.texHeight) *= 2;
    }

    font.startChar = first;
    font.endChar = last;
    font.glyphs.assign(size_t(last - first + 1), GLFontChar{});
    font.alpha.assign(size_t(font.texWidth) * font.texHeight, 0);
    const float w = float(font.texWidth), h = float(font.texHeight);
    for (const Cell& cell : cells) {
        for (int r = 0; r < cellHeight; ++r)
            std::copy_n(cell.alpha.begin() + ptrdiff_t(r) * cell.width, cell.width,
                        font.alpha.begin() + ptrdiff_t(cell.y + r) * font.texWidth + cell.x);
        font.glyphs[size_t(cell.code - first)] =
            GLFontChar{cell.width / w, cellHeight / h, cell.x / w, cell.y / h,
                       (cell.x + cell.width) / w, (cell.y + cellHeight) / h};
    }
    if (missing && first <= '?' && '?' <= last)
        for (int code = first; code <= last; ++code)
            if (!isControl(code) && !face.has(code))
                font.glyphs[size_t(code - first)] = font.glyphs[size_t('?' - first)];

    // Through a temporary file, so a failed run never leaves a half font
    // that a later build would embed.
    const std::string temporary = std::string(argv[2]) + ".tmp";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    oxWriteGLFont(out, font, true);
    out.close();
    if (!out || std::rename(temporary.c_str(), argv[2]) != 0) {
        std::remove(temporary.c_str());
        std::fprintf(stderr, "fontbaker: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("fontbaker: %s: %d x %d texels, codes %d-%d, %zu glyphs (%d missing, %d cut), em %.2f px\n",
                argv[2], font.texWidth, font.texHeight, first, last, cells.size(), missing, clipped, face.em());
    return 0;
}
