#include "oxengine/graphics/textoutput.h"

#include "oxengine/core/strings.h"
#include "oxengine/graphics/glfont.h"
#include "oxengine/graphics/glyphcache.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

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
// hit-testing and drawing share this walk, so they always agree. A tab moves
// the pen to the next stop (every four reference heights) that lies at least
// half a reference height ahead.
template <typename F>
double walkLine(const GLFont& font, std::string_view line, F&& f)
{
    const double t = font.referenceHeight();
    double pen = 0;
    size_t pos = 0;
    while (pos < line.size()) {
        const char32_t c = utf8Decode(line, pos);
        Glyph glyph;
        double advance = 0;
        if (c == U'\t') {
            if (t > 0)
                advance = std::ceil((pen + 0.5 * t) / (4 * t)) * 4 * t - pen;
        } else if ((glyph = glyphOf(font, c)).record) {
            advance = glyphWidth(font, glyph);
        }
        f(glyph, pen, advance);
        pen += advance;
    }
    return pen;
}

} // namespace

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

int oxTextOutput::lineFontWidth(std::string_view line) const
{
    if (!m_font)
        return 0;
    return int(walkLine(*m_font, line, [](const Glyph&, double, double) {}));
}

oxTextSize oxTextOutput::measureLine(int i) const
{
    if (!m_font)
        return {};
    return {lineFontWidth(lineView(i)) * scale(), m_textHeight};
}

oxTextSize oxTextOutput::measure() const
{
    if (!m_font)
        return {};
    oxTextSize size;
    const int lines = lineCount();
    for (int i = 0; i < lines; ++i) {
        const oxTextSize line = measureLine(i);
        size.width = std::max(size.width, line.width);
        size.height += line.height;
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
    // The same block width and offset as drawing uses, so a click lands
    // on the character drawn under it whatever the alignment.
    const double offset = px - m_x - alignmentOffset(lineFontWidth(line) * s, blockWidth());
    bool done = false;
    walkLine(*m_font, line, [&](const Glyph&, double pen, double) {
        if (done || !(offset >= pen * s)) {
            done = true;
            return;
        }
        ++hit.character;
    });
    return hit;
}

void oxTextOutput::drawBackground(double width, double height) const
{
    // The block runs down from the top of the first line, so a multi-line
    // block's background covers all its lines.
    const double left = m_x - 0.1 * m_textHeight;
    const double right = left + width + 0.2 * m_textHeight;
    const double top = m_y - m_textHeight;
    const double bottom = top + height;
    m_backgroundColour.setGLColour();
    glBegin(GL_QUADS);
    glVertex3d(left, top, 0);
    glVertex3d(left, bottom, 0);
    glVertex3d(right, bottom, 0);
    glVertex3d(right, top, 0);
    glEnd();
}

void oxTextOutput::drawLines(double block, bool cached) const
{
    const double s = scale();
    const int lines = lineCount();
    for (int i = 0; i < lines; ++i) {
        const std::string_view line = lineView(i);
        const double left = m_x + alignmentOffset(lineFontWidth(line) * s, block);
        const double bottom = m_y + i * m_textHeight;
        glBegin(GL_QUADS);
        walkLine(*m_font, line, [&](const Glyph& g, double pen, double advance) {
            if (!g.record || g.cached != cached)
                return;
            const GLFontChar* r = g.record;
            const double x0 = left + pen * s;
            const double x1 = x0 + advance * s;
            const double top = bottom - glyphHeight(*m_font, g) * s;
            glTexCoord2f(r->tx1, r->ty1);
            glVertex3d(x0, top, 0);
            glTexCoord2f(r->tx1, r->ty2);
            glVertex3d(x0, bottom, 0);
            glTexCoord2f(r->tx2, r->ty2);
            glVertex3d(x1, bottom, 0);
            glTexCoord2f(r->tx2, r->ty1);
            glVertex3d(x1, top, 0);
        });
        glEnd();
    }
}

bool oxTextOutput::usesCachedGlyphs() const
{
    bool any = false;
    for (int i = 0, lines = lineCount(); i < lines && !any; ++i)
        walkLine(*m_font, lineView(i), [&](const Glyph& g, double, double) { any = any || g.cached; });
    return any;
}

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

    const oxTextSize size = measure();
    const double width = std::max(size.width, m_minWidth);
    const double height = std::max(size.height, m_minHeight);
    if (m_backgroundColour.a != 0)
        drawBackground(width, height);

    m_colour.setGLColour();
    // A font that cannot be scaled or has no texture draws no glyphs: an
    // untextured quad per glyph would be worse than nothing.
    if (scale() > 0 && m_font->bindTexture()) {
        glEnable(GL_TEXTURE_2D);
        drawLines(width, false);
        // Then the glyphs from the system's fonts, from their own texture.
        if (usesCachedGlyphs() && oxGlyphCache::instance().bindTexture())
            drawLines(width, true);
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
