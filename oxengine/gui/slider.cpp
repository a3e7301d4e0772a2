#include "oxengine/gui/slider.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/format.h"
#include "oxengine/core/strings.h"
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/dialogs.h"
#include "oxengine/gui/draw.h"
#include "oxengine/gui/host.h"
#include "oxengine/gui/keys.h"
#include "oxengine/platform/messagebox.h"

#include <algorithm>
#include <cmath>

namespace {

// One wheel step or arrow key moves by this share of the range.
constexpr double STEP = 0.05;

} // namespace

oxGuiSlider::oxGuiSlider() : m_name(oxGetTranslation(std::string(N_("Slider"))))
{
    m_size = {300, defaultGuiStyle.textHeight + 4};
}

oxGuiSlider::oxGuiSlider(const std::string& name, double minimum, double maximum, double value) : m_name(name)
{
    m_size = {300, defaultGuiStyle.textHeight + 4};
    setRange(minimum, maximum);
    setValue(value);
}

void oxGuiSlider::setName(const std::string& name)
{
    m_name = name;
    requestRedisplay();
}

void oxGuiSlider::setRange(double minimum, double maximum)
{
    if (std::isnan(minimum) || std::isnan(maximum))
        return;
    const double low = std::min(minimum, maximum), high = std::max(minimum, maximum);
    const double value = std::clamp(m_value, low, high);
    if (low != m_minimum || high != m_maximum || value != m_value)
        requestRedisplay();
    m_minimum = low;
    m_maximum = high;
    m_value = value;
}

void oxGuiSlider::setValue(double value)
{
    if (std::isnan(value))
        return;
    const double v = std::clamp(value, m_minimum, m_maximum);
    if (v != m_value)
        requestRedisplay();
    m_value = v;
}

double oxGuiSlider::fraction() const
{
    const double range = m_maximum - m_minimum;
    if (!(range > 0) || !std::isfinite(range))
        return 0;
    return std::clamp((m_value - m_minimum) / range, 0.0, 1.0);
}

std::string oxGuiSlider::valueText() const
{
    return formatNumber(m_value, m_decimals);
}

void oxGuiSlider::setFontName(const std::string& name)
{
    if (name != m_fontName)
        m_textOutput.setFont(nullptr);
    oxGuiElement::setFontName(name);
}

GLFont* oxGuiSlider::font()
{
    if (!m_textOutput.font())
        m_textOutput.setFont(GLFontManager::getFont(m_fontName));
    return m_textOutput.font();
}

double oxGuiSlider::textWidth(const std::string& text, double h)
{
    if (!font())
        return 0;
    m_textOutput.setMultiLine(false);
    m_textOutput.setText(text);
    m_textOutput.setTextHeight(h);
    return m_textOutput.measure().width;
}

void oxGuiSlider::setTextHeight(int h)
{
    m_size = {15 * (h + 4), h + 4};
}

oxGuiSlider::Track oxGuiSlider::track()
{
    const oxGuiPointD p = toWindowPoint(*this, m_position);
    const oxGuiSizeD s = toWindowSize(*this, m_size);
    const double h = s.height - 4;
    const double n = std::max(textWidth(m_name, h), toWindowSize(*this, {m_nameColumn, 0}).width);
    const double z = textWidth(std::string(VALUE_DIGITS, '0'), h);
    const double v = textWidth(valueText(), h);
    // Half a line between the name and the bar, so they never touch.
    const double gap = std::max(2.0, h / 2);
    Track t;
    t.position = {oxGuiToPixel(p.x + 2 + n + gap), oxGuiToPixel(p.y + 2)};
    const double end = std::min(p.x + s.width - 2 - z, p.x + s.width - 2 - v);
    // A name longer than the slider leaves no bar rather than a negative one.
    t.size = {std::max(0, oxGuiToPixel(end - t.position.x - 2)), std::max(0, oxGuiToPixel(h))};
    return t;
}

void oxGuiSlider::setFromWindowX(double x)
{
    const Track t = track();
    if (t.size.width <= 0) {
        setValue(m_minimum);
        return;
    }
    setValue(m_minimum + (m_maximum - m_minimum) * (x - t.position.x) / t.size.width);
}

void oxGuiSlider::stepBy(double share)
{
    setValue(m_value + (m_maximum - m_minimum) * share);
}

bool oxGuiSlider::onClick(int button, int x, int y)
{
    if (!isActive() || button != 0 || !hits(x, y))
        return false;
    setFocus(this);
    const Track t = track();
    if (x >= t.position.x && x <= t.position.x + t.size.width)
        setFromWindowX(x);
    else
        askValue();
    return true;
}

void oxGuiSlider::askValue()
{
    std::string text = formatString("%g", m_value);
    const std::string prompt = formatString(oxGetTranslation("New value for %s:"), m_name.c_str());
    if (!runInputDialog(text, prompt, std::string()))
        return;
    double typed = 0;
    bool number = true;
    try {
        typed = parseDouble(text);
    } catch (const oxNumberException&) {
        number = false;
    }
    if (!number || std::isnan(typed)) {
        runMessageDialog(formatString(oxGetTranslation("\"%s\" is not a number; the value stays as it was."), text.c_str()),
                         std::string(), MB_OK, MI_WARNING);
        return;
    }
    setValue(typed);
    requestRedisplay();
}

bool oxGuiSlider::onMouseWheel(int direction, int x, int y)
{
    if (!isActive())
        return false;
    const Track t = track();
    if (!pointInRect(x, y, t.position, {t.size.width + 1, t.size.height}))
        return false;
    stepBy(STEP * direction);
    return true;
}

bool oxGuiSlider::onKeyDown(int key, bool special)
{
    if (!special || !hasFocus() || !isActive())
        return false;
    switch (key) {
    case GUI_SPECIAL_LEFT:
    case GUI_SPECIAL_DOWN:
        stepBy(-STEP);
        return true;
    case GUI_SPECIAL_RIGHT:
    case GUI_SPECIAL_UP:
        stepBy(STEP);
        return true;
    case GUI_SPECIAL_HOME:
        setValue(m_minimum);
        return true;
    case GUI_SPECIAL_END:
        setValue(m_maximum);
        return true;
    default:
        return false;
    }
}

bool oxGuiSlider::beginDrag(int x, int y, oxGuiElement*& dragged, int& axes)
{
    if (!isActive() || !hits(x, y))
        return false;
    const Track t = track();
    if (x < t.position.x || x > t.position.x + t.size.width)
        return false;
    setFocus(this);
    m_dragX = x;
    setFromWindowX(x);
    dragged = this;
    axes = 1;
    return true;
}

void oxGuiSlider::dragBy(int dx, int)
{
    // The pointer's place on the bar, read against the range and bar of
    // this moment: an owner may change the range while the user drags.
    m_dragX += dx;
    setFromWindowX(m_dragX);
}

void oxGuiSlider::onFocusChanged(bool)
{
    requestRedisplay();
}

void oxGuiSlider::draw()
{
    drawWithText(valueText());
}

void oxGuiSlider::drawWithText(const std::string& text)
{
    if (!isVisible() || !font())
        return;
    const oxGuiPointD p = toWindowPoint(*this, m_position);
    const oxGuiSizeD s = toWindowSize(*this, m_size);
    const double h = s.height - 4;
    prepare2D();
    setColour(m_bgColour);
    fillRect(p, s);
    m_textOutput.setMultiLine(false);
    m_textOutput.setKeepGLState(true);
    m_textOutput.setMinimumSize(0, 0);
    m_textOutput.setBackgroundColour({0, 0, 0, 0});
    m_textOutput.setColour(m_fgColour);
    m_textOutput.setAlignment(TA_LEFT);
    m_textOutput.setText(m_name);
    m_textOutput.setTextHeight(h);
    m_textOutput.setPosition(p.x + 2, p.y + 2 + h);
    m_textOutput.draw();
    const double v = textWidth(text, h);
    m_textOutput.setText(text);
    m_textOutput.setPosition(p.x + s.width - 2 - v, p.y + 2 + h);
    m_textOutput.draw();

    const Track t = track();
    prepare2D();
    setColour(m_fgColour.blend(m_bgColour, 0.25f));
    fillRect({double(t.position.x), double(t.position.y)}, {double(t.size.width), double(t.size.height)});
    setColour(m_fgColour);
    fillRect({double(t.position.x), double(t.position.y)}, {std::trunc(fraction() * t.size.width), double(t.size.height)});
    if (hasFocus())
        drawFrame(p, s, 1);
}
