// Core X font for the engine's native boxes. Fonts are drawn as 16-bit
// strings, so an ISO 10646 font shows any character it has; a character the
// font lacks is drawn as '?', control characters take no space. Without any
// font the box still works, it just shows no text.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <string_view>
#include <vector>

class oxBoxFont {
public:
    oxBoxFont(Display* display, const std::vector<std::string>& candidates);
    ~oxBoxFont();
    oxBoxFont(const oxBoxFont&) = delete;
    oxBoxFont& operator=(const oxBoxFont&) = delete;

    bool valid() const { return m_font != nullptr; }
    Font id() const { return m_font ? m_font->fid : 0; }
    int ascent() const { return m_ascent; }
    int height() const { return m_ascent + m_descent; }
    int averageWidth() const { return m_average; }

    int width(std::u32string_view text) const;
    void draw(Drawable d, GC gc, int x, int baseline, std::u32string_view text) const;

    // The font names tried in order when a box opens.
    static std::vector<std::string> defaultCandidates();

private:
    std::vector<XChar2b> glyphs(std::u32string_view text) const;
    bool hasGlyph(unsigned code) const;

    Display* m_display;
    XFontStruct* m_font = nullptr;
    int m_ascent = 10, m_descent = 3, m_average = 7; // used when no font loads
};
