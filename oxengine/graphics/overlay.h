// A text output that names its font and draws over the whole window in
// window pixels (origin top-left, y down), whatever projection is current.
#pragma once

#include "oxengine/graphics/textoutput.h"

#include <string>

class oxGLUTOverlay : public oxTextOutput {
public:
    oxGLUTOverlay();
    ~oxGLUTOverlay() override;
    // Fetches the font through the font cache at once.
    void useFont(const std::string& name, double textHeight);
    // Draws in window coordinates; the first draw without a font fetches
    // fontName's.
    void draw() override;

    void setFontName(const std::string& name) { m_fontName = name; }
    const std::string& fontName() const { return m_fontName; }

private:
    std::string m_fontName;
};
