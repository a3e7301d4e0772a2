#include "oxengine/platform/messagebox_font.h"

#include <algorithm>

oxBoxFont::oxBoxFont(Display* display, const std::vector<std::string>& candidates) : m_display(display)
{
    for (const std::string& name : candidates) {
        m_font = XLoadQueryFont(display, name.c_str());
        if (m_font)
            break;
    }
    if (!m_font)
        return;
    m_ascent = m_font->ascent;
    m_descent = m_font->descent;
    const std::u32string sample = U"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    m_average = (width(sample) + 26) / 52;
    if (m_average <= 0)
        m_average = m_font->max_bounds.width > 0 ? m_font->max_bounds.width : 7;
}

oxBoxFont::~oxBoxFont()
{
    if (m_font)
        XFreeFont(m_display, m_font);
}

std::vector<std::string> oxBoxFont::defaultCandidates()
{
    return {
        "-misc-fixed-medium-r-normal--13-120-75-75-c-70-iso10646-1",
        "-*-fixed-medium-r-normal--13-*-*-*-*-*-iso10646-1",
        "-*-*-medium-r-normal--*-120-*-*-*-*-iso10646-1",
        "-*-*-*-*-*--*-*-*-*-*-*-iso10646-1",
        "fixed",
        "*",
    };
}

bool oxBoxFont::hasGlyph(unsigned code) const
{
    const unsigned byte1 = code >> 8, byte2 = code & 0xFF;
    if (byte1 < m_font->min_byte1 || byte1 > m_font->max_byte1 || byte2 < m_font->min_char_or_byte2 ||
        byte2 > m_font->max_char_or_byte2)
        return false;
    if (!m_font->per_char)
        return true;
    const unsigned columns = m_font->max_char_or_byte2 - m_font->min_char_or_byte2 + 1;
    const XCharStruct& c = m_font->per_char[(byte1 - m_font->min_byte1) * columns + (byte2 - m_font->min_char_or_byte2)];
    // All-zero metrics mark a character the font does not have.
    return c.width != 0 || c.ascent != 0 || c.descent != 0 || c.lbearing != 0 || c.rbearing != 0;
}

std::vector<XChar2b> oxBoxFont::glyphs(std::u32string_view text) const
{
    std::vector<XChar2b> out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0))
            continue; // control characters are invisible and take no space
        unsigned code = c <= 0xFFFF && hasGlyph(unsigned(c)) ? unsigned(c) : unsigned('?');
        out.push_back(XChar2b{static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code & 0xFF)});
    }
    return out;
}

int oxBoxFont::width(std::u32string_view text) const
{
    if (!m_font)
        return 0;
    const std::vector<XChar2b> g = glyphs(text);
    return g.empty() ? 0 : XTextWidth16(m_font, g.data(), int(g.size()));
}

void oxBoxFont::draw(Drawable d, GC gc, int x, int baseline, std::u32string_view text) const
{
    if (!m_font)
        return;
    const std::vector<XChar2b> g = glyphs(text);
    // The protocol limits one request's string; boxes never come close, but
    // a pasted text might.
    for (size_t i = 0; i < g.size(); i += 250) {
        const int n = int(std::min<size_t>(250, g.size() - i));
        XDrawString16(m_display, d, gc, x, baseline, g.data() + i, n);
        x += XTextWidth16(m_font, g.data() + i, n);
    }
}
