// A positioned block of text: one or more lines, aligned within the block,
// with a text colour and an optional background, that measures, hit-tests
// and draws itself with a GLFont. Texts are UTF-8; characters (code points),
// not bytes, are measured, hit-tested and drawn.
#pragma once

#include "oxengine/image/sampletypes.h"

#include <string>
#include <string_view>
#include <vector>

class GLFont;

struct oxTextSize {
    double width = 0;
    double height = 0;
};

// A caret position: character index within a line, and the line.
struct oxTextPosition {
    int character = 0;
    int line = 0;
    friend bool operator==(const oxTextPosition&, const oxTextPosition&) = default;
};

enum oxTextAlignment { TA_LEFT = 0, TA_CENTRE = 1, TA_RIGHT = 2 };

// One glyph as drawn: its rectangle in output units and the texture
// coordinates of its cell (left/top, right/bottom).
struct oxGlyphQuad {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
};

// Everything a draw puts down, so that a renderer other than OpenGL draws
// the same: the background (when its colour is not transparent), the glyphs
// of the font's texture, and those of the glyph cache's texture.
struct oxTextLayout {
    bool background = false;
    double left = 0, top = 0, right = 0, bottom = 0;
    std::vector<oxGlyphQuad> glyphs;
    std::vector<oxGlyphQuad> cachedGlyphs;
};

class oxTextOutput {
public:
    oxTextOutput() = default;
    virtual ~oxTextOutput();
    // Draws the block with the current OpenGL transformation; nothing
    // without a font.
    virtual void draw();
    // What draw() puts down; empty without a font (no glyphs either when the
    // font cannot be scaled).
    oxTextLayout layout() const;

    // All setters take effect at the next draw. The font is not owned.
    void setFont(GLFont* font) { m_font = font; }
    void setColour(oxColour c) { m_colour = c; }
    void setBackgroundColour(oxColour c) { m_backgroundColour = c; }
    // x: left edge of the block; y: bottom edge of the first line.
    void setPosition(double x, double y) { m_x = x, m_y = y; }
    void setText(const std::string& text) { m_text = text; }
    void setTextHeight(double h) { m_textHeight = h; }
    void setMultiLine(bool on) { m_multiLine = on; }
    void setAlignment(int a) { m_alignment = a; }
    void setMinimumSize(double width, double height) { m_minWidth = width, m_minHeight = height; }
    // Skips querying and restoring the OpenGL state; for callers that have
    // set it up themselves.
    void setKeepGLState(bool on) { m_keepGLState = on; }

    GLFont* font() const { return m_font; }
    const std::string& text() const { return m_text; }
    double x() const { return m_x; }
    double y() const { return m_y; }
    double textHeight() const { return m_textHeight; }
    double minimumWidth() const { return m_minWidth; }
    double minimumHeight() const { return m_minHeight; }
    bool multiLine() const { return m_multiLine; }
    bool keepGLState() const { return m_keepGLState; }
    int alignment() const { return m_alignment; }
    oxColour colour() const { return m_colour; }
    oxColour backgroundColour() const { return m_backgroundColour; }

    // 1 unless multi-line; then the number of "\n" plus 1.
    int lineCount() const;
    // Line i without its "\n" (the whole text unless multi-line); empty
    // for an index outside the text.
    std::string lineText(int i) const;
    // Width and height (textHeight) of line i; (0, 0) without a font.
    oxTextSize measureLine(int i) const;
    // Widest line by the sum of the line heights; (0, 0) without a font.
    oxTextSize measure() const;
    // The caret position just behind the character under the point (0 left
    // of a line, its length right of it); points above or below the block
    // hit the first or last line.
    oxTextPosition hitTest(double px, double py) const;
    // text (one line) cut to whole characters so that it fits width at the
    // current font and height, with an ellipsis after the cut: "…" where
    // the font or a system font has it, "..." otherwise. The whole text when it fits; empty
    // when not even the ellipsis does, and without a font.
    std::string elided(std::string_view text, double width) const;

protected:
    std::string_view lineView(int i) const;
    // Output units per font pixel; 0 when nothing can be drawn.
    double scale() const;
    // Line width in whole font pixels, as measured and drawn, with the
    // block's tab columns.
    int lineFontWidth(std::string_view line, const std::vector<double>& columns) const;
    // Where the block's tab-separated columns start, in font pixels: a run
    // of tabs ends a column, and each column starts at the first tab stop
    // clear of the column before it in every line, so columns line up
    // whatever the widths of their texts.
    std::vector<double> tabColumns() const;
    // How far line i starts right of x within a block blockWidth wide.
    double alignmentOffset(double lineWidth, double blockWidth) const;
    double blockWidth() const;
    // The glyphs of the font's texture, or (cached) those of the glyph cache.
    std::vector<oxGlyphQuad> glyphQuads(double blockWidth, bool cached) const;

    GLFont* m_font = nullptr;
    double m_x = 100.0;
    double m_y = 100.0;
    double m_minWidth = 0.0;
    double m_minHeight = 0.0;
    std::string m_text;
    oxColour m_colour{255, 255, 255, 255};
    oxColour m_backgroundColour{0, 0, 0, 0};
    double m_textHeight = 12.0;
    bool m_multiLine = false;
    bool m_keepGLState = false;
    int m_alignment = TA_LEFT;
};
