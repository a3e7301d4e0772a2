#include "app/dialogs/settingsdialog.h"

#include "app/shell/commands.h"
#include "app/shell/configkeys.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/format.h"
#include "oxengine/gui/button.h"
#include "oxengine/gui/checkbox.h"
#include "oxengine/gui/draw.h"
#include "oxengine/gui/edit.h"
#include "oxengine/gui/host.h"
#include "oxengine/gui/label.h"
#include "oxengine/gui/line.h"
#include "oxengine/gui/sizers.h"
#include "oxengine/gui/slider.h"
#include "oxengine/platform/sound.h"
#include "oxengine/storage/colour.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr int MIN_FONT_SIZE = 10;
constexpr int MAX_FONT_SIZE = 50;
constexpr double MAX_CROSSFADE_SECONDS = 2.0;
// Below this the dialog stops shrinking to fit (a window that small shows
// part of it rather than nothing readable).
constexpr int MIN_FITTED_TEXT_HEIGHT = 8;

std::optional<oxColour> colourIn(const oxGuiEdit& edit)
{
    try {
        return parseColour(edit.getText());
    } catch (const oxException&) {
        return std::nullopt;
    }
}

// Font sizes are whole pixels: the slider shows the size that is applied.
class FontSizeSlider : public oxGuiSlider {
public:
    using oxGuiSlider::oxGuiSlider;
    std::string valueText() const override { return formatInteger(long(m_value)); }
};

} // namespace

// A small sample of the colour a field holds, over black and white halves
// so that its transparency shows; only a frame while the text is no colour.
class ColourSwatch : public oxGuiElement {
public:
    void show(std::optional<oxColour> colour)
    {
        m_shown = colour;
        requestRedisplay();
    }
    void setTextHeight(int h) override { m_size = {2 * h, h}; }
    void draw() override
    {
        if (!isVisible())
            return;
        const int gap = m_size.height / 2;
        const oxGuiPointD p = toWindowPoint(*this, {m_position.x + gap, m_position.y});
        const oxGuiSizeD s = toWindowSize(*this, {m_size.width - gap, m_size.height});
        prepare2D();
        if (m_shown) {
            setColour(oxColour(255, 255, 255, 255));
            fillRect(p, {s.width / 2, s.height});
            setColour(oxColour(0, 0, 0, 255));
            fillRect({p.x + s.width / 2, p.y}, {s.width - s.width / 2, s.height});
            setColour(*m_shown);
            fillRect(p, s);
        }
        setColour(m_fgColour);
        drawFrame(p, s, 1.0);
    }

private:
    std::optional<oxColour> m_shown;
};

int crossFadeMicroseconds(double seconds)
{
    // A thousandth of a microsecond forgives the binary form of decimal
    // seconds without rounding anything the user could have meant.
    const double us = std::floor(std::clamp(seconds, 0.0, MAX_CROSSFADE_SECONDS) * 1e6 + 1e-3);
    return int(us);
}

PVSettingsDlg::PVSettingsDlg(const oxGuiStyle& current, SettingsHooks hooks)
    : oxGuiModalDialog(std::make_unique<oxGuiVSizer>()), m_style(current), m_hooks(std::move(hooks))
{
    setTitle(oxGetTranslation("Settings"));
    auto* column = static_cast<oxGuiVSizer*>(content());

    auto colourRow = [&](const char* name, const oxColour& colour, oxGuiEdit*& edit, ColourSwatch*& swatch) {
        auto* row = column->addChild(std::make_unique<oxGuiHSizer>());
        row->addChild(std::make_unique<oxGuiLabel>(oxGetTranslation(name), TA_LEFT));
        // The fields line up at the right whatever the names' widths.
        row->addChild(std::make_unique<oxGuiFlexi>(1, 0));
        edit = row->addChild(std::make_unique<oxGuiEdit>(10, formatColour(colour), TA_LEFT));
        edit->setChangeCommand(CMD_SETTINGS_COLOUR_CHANGED);
        swatch = row->addChild(std::make_unique<ColourSwatch>());
        swatch->show(colour);
    };
    colourRow(N_("Foreground colour:"), current.fgColour, m_fgEdit, m_fgSwatch);
    colourRow(N_("Background colour:"), current.bgColour, m_bgEdit, m_bgSwatch);

    m_fontSize = column->addChild(std::make_unique<FontSizeSlider>(oxGetTranslation("Font size:"), MIN_FONT_SIZE,
                                                                   MAX_FONT_SIZE, current.textHeight));
    m_noSound = column->addChild(std::make_unique<oxGuiCheckbox>(0, oxGetTranslation("Disable all sounds")));
    m_noSound->setChecked(readConfigBool(ConfigKey::NoSound));
    m_glScalingText = oxGetTranslation("Use OpenGL to scale photos (only disable when they aren't shown correctly)");
    m_glScaling = column->addChild(std::make_unique<oxGuiCheckbox>(0, m_glScalingText));
    m_glScaling->setChecked(readConfigBool(ConfigKey::UseGLMipmap));
    m_crossFade = column->addChild(std::make_unique<oxGuiSlider>(oxGetTranslation("Crossfade duration (sec):"), 0.0,
                                                                 MAX_CROSSFADE_SECONDS,
                                                                 readConfigInt(ConfigKey::AnimLengthUs) * 1e-6));
    m_crossFade->setDecimals(-2);

    column->addChild(std::make_unique<oxGuiHLine>());
    const auto buttons = addButtonRow(*column, {{GUI_RESULT_OK, oxGetTranslation("OK")},
                                                {GUI_RESULT_CANCEL, oxGetTranslation("Cancel")}});
    m_ok = buttons.front();
    m_cancel = buttons.back();

    fitToWindow();
    setFocus(m_fgEdit);
}

bool PVSettingsDlg::run()
{
    if (runWithSound(-1) != GUI_RESULT_OK)
        return false;
    accept();
    return true;
}

void PVSettingsDlg::accept()
{
    apply();
    save();
}

void PVSettingsDlg::apply()
{
    // The sound switch is the user's choice whatever becomes of the style,
    // as it is stored either way.
    soundEnabled = !m_noSound->isChecked();
    try {
        oxGuiStyle style = m_style;
        style.textHeight = int(m_fontSize->getValue());
        style.fgColour = parseColour(m_fgEdit->getText());
        style.bgColour = parseColour(m_bgEdit->getText());
        if (m_hooks.applyStyle)
            m_hooks.applyStyle(style);
        m_style = style;
    } catch (const oxException& e) {
        if (m_hooks.reportError)
            m_hooks.reportError(oxGetTranslation("Error applying settings:\n") + e.getMessage());
    }
}

void PVSettingsDlg::save()
{
    writeConfigInt(ConfigKey::GuiTextHeight, m_style.textHeight);
    writeConfigColour(ConfigKey::GuiFgColour, m_style.fgColour);
    writeConfigColour(ConfigKey::GuiBgColour, m_style.bgColour);
    writeConfigBool(ConfigKey::NoSound, m_noSound->isChecked());
    writeConfigBool(ConfigKey::UseGLMipmap, m_glScaling->isChecked());
    writeConfigInt(ConfigKey::AnimLengthUs, crossFadeMicroseconds(m_crossFade->getValue()));
}

bool PVSettingsDlg::onCommand(unsigned command)
{
    if (command != CMD_SETTINGS_COLOUR_CHANGED)
        return false;
    const std::optional<oxColour> fg = colourIn(*m_fgEdit), bg = colourIn(*m_bgEdit);
    m_fgSwatch->show(fg);
    m_bgSwatch->show(bg);
    m_ok->setEnabled(fg && bg);
    requestRedisplay();
    return true;
}

void PVSettingsDlg::onWindowResized()
{
    fitToWindow();
    oxGuiModalDialog::onWindowResized();
}

void PVSettingsDlg::fitToWindow()
{
    const oxGuiSize window = applicationWindowSize();
    auto fits = [&] {
        return window.width <= 0 || window.height <= 0 ||
               (m_size.width <= window.width && m_size.height <= window.height);
    };
    int h = m_style.textHeight;
    m_glScaling->setText(m_glScalingText);
    layOut(h);
    // The longest line first: its remark in parentheses goes to a line of
    // its own, which lets the text stay larger.
    const size_t remark = m_glScalingText.find(" (");
    if (!fits() && remark != std::string::npos) {
        std::string wrapped = m_glScalingText;
        wrapped.replace(remark, 1, "\n");
        m_glScaling->setText(wrapped);
        layOut(h);
    }
    while (!fits() && h > MIN_FITTED_TEXT_HEIGHT) {
        const double f = std::min(double(window.width) / m_size.width, double(window.height) / m_size.height);
        h = std::max(MIN_FITTED_TEXT_HEIGHT, std::min(h - 1, int(h * f)));
        layOut(h);
    }
    centreInWindow();
    requestRedisplay();
}

void PVSettingsDlg::layOut(int textHeight)
{
    oxGuiStyle style = m_style;
    style.textHeight = textHeight;
    applyStyle(style);
    // The bars of the two sliders start in line.
    const double names = std::max(m_fontSize->nameWidth(textHeight), m_crossFade->nameWidth(textHeight));
    m_fontSize->setNameColumn(int(std::ceil(names)));
    m_crossFade->setNameColumn(int(std::ceil(names)));
}
