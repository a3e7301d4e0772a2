#include "oxengine/graphics/textoutput.h"

#include "oxengine/core/strings.h"
#include "oxengine/graphics/glfont.h"
#include "oxengine/graphics/glyphcache.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The first tab stop (every four reference heights t) at least half a
// reference height right of pen.
double nextTabStop(double pen, double t)
{
    return t > 0 ? std::ceil((pen + 0.5 * t) / (4 * t)) * 4 * t : pen;
}

// A glyph of the built-in font, or one from the system's fonts drawn into
// the glyph cache.
struct Glyph {
    const GLFontChar* record = nullptr;
    bool cached = false;
};

// The glyph character c is drawn with: none for control and format
// characters; the font's own; a system font's; "?" when no font has it.
Glyph glyphOf(const GLFont& font, char32_t c)
{
    if (oxIsInvisibleCharacter(c))
        return {};
    if (const GLFontChar* g = font.record(c))
        return {g, false};
    if (const GLFontChar* g = oxGlyphCache::instance().glyph(c, font.referenceHeight(), font.baseline()))
        return {g, true};
    return {font.glyphFor(c), false};
}

double glyphWidth(const GLFont& font, const Glyph& g)
{
    return double(g.record->dx) * (g.cached ? oxGlyphCache::instance().texWidth() : font.texWidth());
}

double glyphHeight(const GLFont& font, const Glyph& g)
{
    return double(g.record->dy) * (g.cached ? oxGlyphCache::instance().texHeight() : font.texHeight());
}

// Calls f(glyph, pen, advance) for every character of the line, all in
// font pixels, and returns the pen behind the last one. Measuring,
// hit-testing and drawing share this walk, so they always agree. A run of
// tabs ends a column: the text after the n-th run starts at columns[n - 1],
// where the block lines up its columns, or at the next tab stop where the
// block has no such column (or the pen is past it).
template <typename F>
double walkLine(const GLFont& font, std::string_view line, const std::vector<double>& columns, F&& f)
{
    const double t = font.referenceHeight();
    double pen = 0;
    size_t pos = 0, column = 0;
    while (pos < line.size()) {
        const char32_t c = utf8Decode(line, pos);
        Glyph glyph;
        double advance = 0;
        if (c == U'\t') {
            const bool runEnds = pos >= line.size() || line[pos] != '\t';
            if (runEnds) {
                const double stop = column < columns.size() ? columns[column] : 0;
                advance = (stop > pen ? stop : nextTabStop(pen, t)) - pen;
                ++column;
            }
        } else if ((glyph = glyphOf(font, c)).record) {
            advance = glyphWidth(font, glyph);
        }
        f(glyph, pen, advance);
        pen += advance;
    }
    return pen;
}

// Splits a line at its runs of tabs.
std::vector<std::string_view> tabCells(std::string_view line)
{
    std::vector<std::string_view> cells;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        cells.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos)
            return cells;
        start = line.find_first_not_of('\t', tab);
        if (start == std::string_view::npos) {
            cells.emplace_back();
            return cells;
        }
    }
}

} // namespace

std::vector<double> oxTextOutput::tabColumns() const
{
    std::vector<double> columns;
    if (!m_font || m_text.find('\t') == std::string::npos)
        return columns;
    // Column n starts at the first tab stop that clears column n - 1 in
    // every line that has a column n.
    const double t = m_font->referenceHeight();
    std::vector<std::vector<std::string_view>> lines;
    size_t most = 0;
    for (int i = 0, n = lineCount(); i < n; ++i) {
        lines.push_back(tabCells(lineView(i)));
        most = std::max(most, lines.back().size());
    }
    double start = 0;
    for (size_t column = 1; column < most; ++column) {
        double end = start;
        for (const auto& cells : lines)
            if (cells.size() > column)
                end = std::max(end, start + walkLine(*m_font, cells[column - 1], {},
                                                     [](const Glyph&, double, double) {}));
        start = nextTabStop(end, t);
        columns.push_back(start);
    }
    return columns;
}

oxTextOutput::~oxTextOutput() = default;

int oxTextOutput::lineCount() const
{
    if (!m_multiLine)
        return 1;
    return int(std::count(m_text.begin(), m_text.end(), '\n')) + 1;
}

std::string_view oxTextOutput::lineView(int i) const
{
    const std::string_view text = m_text;
    if (!m_multiLine)
        return text;
    if (i < 0)
        return {};
    size_t start = 0;
    for (int k = 0; k < i; ++k) {
        const size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos)
            return {};
        start = nl + 1;
    }
    const size_t end = text.find('\n', start);
    return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::string oxTextOutput::lineText(int i) const
{
    return std::string(lineView(i));
}

double oxTextOutput::scale() const
{
    const int ref = m_font ? m_font->referenceHeight() : 0;
    return ref > 0 ? m_textHeight / ref : 0.0;
}

int oxTextOutput::lineFontWidth(std::string_view line, const std::vector<double>& columns) const
{
    if (!m_font)
        return 0;
    return int(walkLine(*m_font, line, columns, [](const Glyph&, double, double) {}));
}

oxTextSize oxTextOutput::measureLine(int i) const
{
    if (!m_font)
        return {};
    return {lineFontWidth(lineView(i), tabColumns()) * scale(), m_textHeight};
}

oxTextSize oxTextOutput::measure() const
{
    if (!m_font)
        return {};
    oxTextSize size;
    const std::vector<double> columns = tabColumns();
    const int lines = lineCount();
    for (int i = 0; i < lines; ++i) {
        size.width = std::max(size.width, lineFontWidth(lineView(i), columns) * scale());
        size.height += m_textHeight;
    }
    return size;
}

double oxTextOutput::blockWidth() const
{
    return std::max(measure().width, m_minWidth);
}

double oxTextOutput::alignmentOffset(double lineWidth, double block) const
{
    if (lineWidth >= block)
        return 0;
    if (m_alignment == TA_RIGHT)
        return block - lineWidth;
    if (m_alignment == TA_CENTRE)
        return (block - lineWidth) / 2;
    return 0;
}

oxTextPosition oxTextOutput::hitTest(double px, double py) const
{
    oxTextPosition hit;
    const int last = lineCount() - 1;
    // Written so that a NaN coordinate lands on line 0.
    const double row = m_textHeight > 0 ? (py - m_y + m_textHeight) / m_textHeight : 0;
    if (row >= last)
        hit.line = last;
    else if (row > 0)
        hit.line = int(row);

    const double s = scale();
    if (s <= 0)
        return hit;
    const std::string_view line = lineView(hit.line);
    const std::vector<double> columns = tabColumns();
    // The same block width and offset as drawing uses, so a click lands
    // on the character drawn under it whatever the alignment.
    const double offset = px - m_x - alignmentOffset(lineFontWidth(line, columns) * s, blockWidth());
    bool done = false;
    walkLine(*m_font, line, columns, [&](const Glyph&, double pen, double) {
        if (done || !(offset >= pen * s)) {
            done = true;
            return;
        }
        ++hit.character;
    });
    return hit;
}

std::string oxTextOutput::elided(std::string_view text, double width) const
{
    const double s = scale();
    if (s <= 0)
        return {};
    const double limit = width / s; // font pixels
    if (lineFontWidth(text, {}) <= limit)
        return std::string(text);
    // The ellipsis character where the font or a system font has it.
    const bool hasEllipsis = m_font->record(U'\u2026') || glyphOf(*m_font, U'\u2026').cached;
    const std::string_view ellipsis = hasEllipsis ? "\u2026" : "...";
    const int ellipsisWidth = lineFontWidth(ellipsis, {});
    if (ellipsisWidth > limit)
        return {};
    // Character boundaries, then the longest start that fits beside the
    // ellipsis (widths only grow with more characters).
    std::vector<size_t> ends;
    for (size_t pos = 0; pos < text.size();) {
        utf8Decode(text, pos);
        ends.push_back(pos);
    }
    size_t lo = 0, hi = ends.size(); // lo characters fit, hi do not
    while (hi - lo > 1) {
        const size_t mid = (lo + hi) / 2;
        if (lineFontWidth(text.substr(0, ends[mid - 1]), {}) + ellipsisWidth <= limit)
            lo = mid;
        else
            hi = mid;
    }
    std::string result(text.substr(0, lo ? ends[lo - 1] : 0));
    // No stray space before the ellipsis.
    while (!result.empty() && result.back() == ' ')
        result.pop_back();
    return result + std::string(ellipsis);
}

std::vector<oxGlyphQuad> oxTextOutput::glyphQuads(double block, bool cached) const
{
    std::vector<oxGlyphQuad> quads;
    const double s = scale();
    const std::vector<double> columns = tabColumns();
    const int lines = lineCount();
    for (int i = 0; i < lines; ++i) {
        const std::string_view line = lineView(i);
        const double left = m_x + alignmentOffset(lineFontWidth(line, columns) * s, block);
        const double bottom = m_y + i * m_textHeight;
        walkLine(*m_font, line, columns, [&](const Glyph& g, double pen, double advance) {
            if (!g.record || g.cached != cached)
                return;
            const GLFontChar* r = g.record;
            const double x0 = left + pen * s;
            quads.push_back({x0, bottom - glyphHeight(*m_font, g) * s, x0 + advance * s, bottom, r->tx1, r->ty1, r->tx2,
                             r->ty2});
        });
    }
    return quads;
}

oxTextLayout oxTextOutput::layout() const
{
    oxTextLayout out;
    if (!m_font)
        return out;
    const oxTextSize size = measure();
    const double width = std::max(size.width, m_minWidth);
    const double height = std::max(size.height, m_minHeight);
    // The block runs down from the top of the first line, so a multi-line
    // block's background covers all its lines.
    out.background = m_backgroundColour.a != 0;
    out.left = m_x - 0.1 * m_textHeight;
    out.right = out.left + width + 0.2 * m_textHeight;
    out.top = m_y - m_textHeight;
    out.bottom = out.top + height;
    if (scale() > 0) {
        out.glyphs = glyphQuads(width, false);
        out.cachedGlyphs = glyphQuads(width, true);
    }
    return out;
}

namespace {

void drawGlyphQuads(const std::vector<oxGlyphQuad>& quads)
{
    glBegin(GL_QUADS);
    for (const oxGlyphQuad& q : quads) {
        glTexCoord2f(q.u0, q.v0);
        glVertex3d(q.x0, q.y0, 0);
        glTexCoord2f(q.u0, q.v1);
        glVertex3d(q.x0, q.y1, 0);
        glTexCoord2f(q.u1, q.v1);
        glVertex3d(q.x1, q.y1, 0);
        glTexCoord2f(q.u1, q.v0);
        glVertex3d(q.x1, q.y0, 0);
    }
    glEnd();
}

} // namespace

void oxTextOutput::draw()
{
    if (!m_font)
        return;
    // With keepGLState the caller has prepared the state: act as if
    // texturing, lighting and blending were on and culling off.
    bool texturing = true, lighting = true, culling = false, blending = true;
    if (!m_keepGLState) {
        texturing = glIsEnabled(GL_TEXTURE_2D);
        lighting = glIsEnabled(GL_LIGHTING);
        culling = glIsEnabled(GL_CULL_FACE);
        blending = glIsEnabled(GL_BLEND);
    }
    if (texturing)
        glDisable(GL_TEXTURE_2D);
    if (lighting)
        glDisable(GL_LIGHTING);
    if (!culling)
        glEnable(GL_CULL_FACE);
    GLint blendSource = GL_ONE, blendDestination = GL_ZERO;
    glGetIntegerv(GL_BLEND_SRC, &blendSource);
    glGetIntegerv(GL_BLEND_DST, &blendDestination);
    GLfloat savedColour[4] = {1, 1, 1, 1};
    glGetFloatv(GL_CURRENT_COLOR, savedColour);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const oxTextLayout out = layout();
    if (out.background) {
        m_backgroundColour.setGLColour();
        glBegin(GL_QUADS);
        glVertex3d(out.left, out.top, 0);
        glVertex3d(out.left, out.bottom, 0);
        glVertex3d(out.right, out.bottom, 0);
        glVertex3d(out.right, out.top, 0);
        glEnd();
    }

    m_colour.setGLColour();
    // A font that cannot be scaled or has no texture draws no glyphs: an
    // untextured quad per glyph would be worse than nothing.
    if (scale() > 0 && m_font->bindTexture()) {
        glEnable(GL_TEXTURE_2D);
        drawGlyphQuads(out.glyphs);
        // Then the glyphs from the system's fonts, from their own texture.
        if (!out.cachedGlyphs.empty() && oxGlyphCache::instance().bindTexture())
            drawGlyphQuads(out.cachedGlyphs);
    }

    glColor4fv(savedColour);
    if (!m_keepGLState) {
        if (!blending)
            glDisable(GL_BLEND);
        glBlendFunc(GLenum(blendSource), GLenum(blendDestination));
        if (!culling)
            glDisable(GL_CULL_FACE);
        if (texturing)
            glEnable(GL_TEXTURE_2D);
        else
            glDisable(GL_TEXTURE_2D);
        if (lighting)
            glEnable(GL_LIGHTING);
    }
}
