// The font of the engine's native boxes: the program's own family (Liberation
// Sans) through Xft, so a box looks like the rest of the program. A character
// the font lacks is drawn as '?', control characters take no space. Without
// any font the box still works, it just shows no text.
#pragma once

#include <X11/Xft/Xft.h>

#include <string>
#include <string_view>
#include <vector>

class oxBoxFont {
public:
    // The first of the fontconfig patterns that opens.
    oxBoxFont(Display* display, int screen, const std::vector<std::string>& candidates);
    ~oxBoxFont();
    oxBoxFont(const oxBoxFont&) = delete;
    oxBoxFont& operator=(const oxBoxFont&) = delete;

    bool valid() const { return m_font != nullptr; }
    int ascent() const { return m_ascent; }
    int height() const { return m_ascent + m_descent; }
    int averageWidth() const { return m_average; }

    int width(std::u32string_view text) const;
    void draw(XftDraw* target, const XftColor& colour, int x, int baseline, std::u32string_view text) const;

    // The patterns tried in order when a box opens.
    static std::vector<std::string> defaultCandidates();

private:
    std::vector<FcChar32> glyphs(std::u32string_view text) const;

    Display* m_display;
    XftFont* m_font = nullptr;
    int m_ascent = 11, m_descent = 4, m_average = 7; // used when no font opens
};
