#include "oxengine/platform/messagebox_font.h"

#include <algorithm>

oxBoxFont::oxBoxFont(Display* display, int screen, const std::vector<std::string>& candidates) : m_display(display)
{
    for (const std::string& name : candidates) {
        m_font = XftFontOpenName(display, screen, name.c_str());
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
        m_average = m_font->max_advance_width > 0 ? m_font->max_advance_width : 7;
}

oxBoxFont::~oxBoxFont()
{
    if (m_font)
        XftFontClose(m_display, m_font);
}

std::vector<std::string> oxBoxFont::defaultCandidates()
{
    // The family the program's own font is baked from, at the size desktops
    // use for dialogs; fontconfig stands in a similar one where it is missing.
    return {"Liberation Sans:pixelsize=15", "Arial:pixelsize=15", "sans-serif:pixelsize=15"};
}

std::vector<FcChar32> oxBoxFont::glyphs(std::u32string_view text) const
{
    std::vector<FcChar32> out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0))
            continue; // control characters are invisible and take no space
        out.push_back(XftCharExists(m_display, m_font, FcChar32(c)) ? FcChar32(c) : FcChar32('?'));
    }
    return out;
}

int oxBoxFont::width(std::u32string_view text) const
{
    if (!m_font)
        return 0;
    const std::vector<FcChar32> g = glyphs(text);
    if (g.empty())
        return 0;
    XGlyphInfo extents;
    XftTextExtents32(m_display, m_font, g.data(), int(g.size()), &extents);
    return extents.xOff;
}

void oxBoxFont::draw(XftDraw* target, const XftColor& colour, int x, int baseline, std::u32string_view text) const
{
    if (!m_font || !target)
        return;
    const std::vector<FcChar32> g = glyphs(text);
    // One request per piece keeps a pasted long text within the protocol's
    // limits.
    for (size_t i = 0; i < g.size(); i += 250) {
        const int n = int(std::min<size_t>(250, g.size() - i));
        XftDrawString32(target, &colour, m_font, x, baseline, g.data() + i, n);
        XGlyphInfo extents;
        XftTextExtents32(m_display, m_font, g.data() + i, n, &extents);
        x += extents.xOff;
    }
}
