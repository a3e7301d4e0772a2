// A named horizontal bar for a number between a minimum and a maximum. The
// value is set by clicking or dragging on the bar, by the wheel over it, by
// the arrow keys while the slider has the focus, or by typing a value after
// a click on the name or the number. Owners read the value back.
#pragma once

#include "oxengine/graphics/textoutput.h"
#include "oxengine/gui/element.h"

#include <string>

class oxGuiSlider : public oxGuiElement {
public:
    // Named by the translation of "Slider", range 0 ... 1, value 0.
    oxGuiSlider();
    oxGuiSlider(const std::string& name, double minimum, double maximum, double value);

    // Draws the name, the bar and text (the value, or what a subclass shows).
    virtual void drawWithText(const std::string& text);

    void setName(const std::string& name);
    const std::string& getName() const { return m_name; }
    // Bounds in either order; NaN bounds are ignored. The value is kept
    // inside the new range.
    void setRange(double minimum, double maximum);
    double getMinimum() const { return m_minimum; }
    double getMaximum() const { return m_maximum; }
    // Clamped to the range; NaN is ignored.
    void setValue(double value);
    double getValue() const { return m_value; }
    // The width of the name's column (element units; 0: the name's own
    // width), so that sliders stacked in a column start their bars in line.
    void setNameColumn(int width) { m_nameColumn = width; }
    // The name's width at text height h (window units; 0 without a font).
    double nameWidth(double h) { return textWidth(m_name, h); }
    // Decimals as formatNumber takes them (negative: at most that many,
    // trailing zeros dropped).
    void setDecimals(int decimals) { m_decimals = decimals; }
    int getDecimals() const { return m_decimals; }
    // Where the value sits within the range, 0 ... 1 (0 for an empty range).
    double fraction() const;
    // The text the slider shows for its value.
    virtual std::string valueText() const;

    // The bar's rectangle in window coordinates for the current name, size
    // and value text (the value text takes room from the bar).
    struct Track {
        oxGuiPoint position;
        oxGuiSize size;
    };
    Track track();

    // h + 4 high, 15 such heights wide.
    void setTextHeight(int h) override;
    void setFontName(const std::string& name) override;
    bool onClick(int button, int x, int y) override;
    bool onMouseWheel(int direction, int x, int y) override;
    bool onKeyDown(int key, bool special) override;
    bool beginDrag(int x, int y, oxGuiElement*& dragged, int& axes) override;
    void dragBy(int dx, int dy) override;
    void onFocusChanged(bool focused) override;
    bool acceptsFocus() const override { return true; }
    void draw() override;

protected:
    GLFont* font();
    double textWidth(const std::string& text, double h);
    // Asks for a value in the input dialog; a text that is no number keeps
    // the value and says so.
    void askValue();

    oxTextOutput m_textOutput;
    std::string m_name;
    double m_minimum = 0.0;
    double m_maximum = 1.0;
    double m_value = 0.0;
    int m_nameColumn = 0;
    int m_decimals = -3;

private:
    // Room kept for the value text, in widths of "0".
    static constexpr size_t VALUE_DIGITS = 6;

    void setFromWindowX(double x);
    void stepBy(double share);

    double m_dragX = 0;
};
