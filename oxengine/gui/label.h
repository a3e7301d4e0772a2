// One or more lines of text ("\n" separates them), drawn with the font of
// the element's font name. The text is UTF-8 and shown as given: callers
// pass translated texts.
#pragma once

#include "oxengine/graphics/textoutput.h"
#include "oxengine/gui/element.h"

class oxGuiLabel : public oxGuiElement {
public:
    // The caption is the translation of "Label".
    oxGuiLabel();
    explicit oxGuiLabel(const std::string& text, int alignment = TA_LEFT);

    // Stored only; the size follows at the next setTextHeight.
    virtual void setText(const std::string& text) { m_text = text; }
    virtual std::string getText() const { return m_text; }
    virtual void setAlignment(int alignment) { m_alignment = alignment; }
    virtual int getAlignment() const { return m_alignment; }

    void setFontName(const std::string& name) override;
    // The size becomes the measured text: the widest line by h per line,
    // plus the side padding left and right.
    void setTextHeight(int h) override;
    // Room kept free left and right of the text (takes effect at the next
    // setTextHeight).
    void setSidePadding(int padding) { m_sidePadding = padding; }
    int sidePadding() const { return m_sidePadding; }
    void draw() override;

    // The text output's measure of text at height h, truncated (no font:
    // (0, 0)). Needs no GL context.
    oxGuiSize measureText(const std::string& text, double h);
    // The font, fetched through the font cache on first use (may be null).
    GLFont* font();

protected:
    // The background over the element's rectangle, then text in colour,
    // scaled to the element's height.
    void drawLabel(oxColour colour, oxColour background, const std::string& text);
    // Where drawLabel puts the text: the left edge and bottom of the first
    // line, the line height, in window pixels.
    struct TextPlace {
        oxGuiPointD origin;
        oxGuiSizeD block;
        double lineHeight = 0;
    };
    TextPlace textPlace(const std::string& text) const;
    // The colour the text has when the label is active or not.
    oxColour textColour() const;

    oxTextOutput m_textOutput;
    std::string m_text;
    int m_alignment = TA_LEFT;
    int m_sidePadding = 0;
};
