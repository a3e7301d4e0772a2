// The settings dialog: the widgets' colours and text size, the sounds,
// whether OpenGL scales the pictures, and the cross-fade duration. "OK"
// applies the look to both views at once and stores all six values; the
// others are read where they are used, so they too hold from then on.
#pragma once

#include "oxengine/gui/dialog.h"
#include "oxengine/gui/style.h"

#include <functional>
#include <string>

class oxGuiCheckbox;
class oxGuiEdit;
class oxGuiModalButton;
class oxGuiSlider;
class ColourSwatch;

// What applying needs of the application.
struct SettingsHooks {
    // Makes style the application's and gives it to both views; may throw
    // oxException, and then the old style must still be in force.
    std::function<void(const oxGuiStyle& style)> applyStyle;
    // Shows an error (the application's message dialog).
    std::function<void(const std::string& text)> reportError;
};

// Microseconds for a cross-fade of seconds, truncated; a value that is a
// whole number of microseconds but not exactly so in binary (0.29 s) keeps it.
int crossFadeMicroseconds(double seconds);

class PVSettingsDlg : public oxGuiModalDialog {
public:
    // Starts from current (the application's style) and the stored values.
    PVSettingsDlg(const oxGuiStyle& current, SettingsHooks hooks);

    // Modal. Unless it ends with "OK" nothing changes and the result is
    // false; otherwise the values are applied and stored.
    bool run();
    // Applies the values (a failure is reported and the style stays as it
    // was), then stores them; what "OK" does.
    void accept();

    // A colour field changed: "OK" only while both fields hold colours.
    bool onCommand(unsigned command) override;
    // Fitted to the new window, then centred (or kept inside).
    void onWindowResized() override;

    oxGuiEdit* fgEdit() const { return m_fgEdit; }
    oxGuiEdit* bgEdit() const { return m_bgEdit; }
    oxGuiSlider* fontSizeSlider() const { return m_fontSize; }
    oxGuiCheckbox* noSoundBox() const { return m_noSound; }
    oxGuiCheckbox* glScalingBox() const { return m_glScaling; }
    oxGuiSlider* crossFadeSlider() const { return m_crossFade; }
    oxGuiModalButton* okButton() const { return m_ok; }
    oxGuiModalButton* cancelButton() const { return m_cancel; }
    // The style in force: the one given, or the last one applied.
    const oxGuiStyle& style() const { return m_style; }

private:
    void apply();
    void save();
    // The largest text height up to the style's at which the dialog fits
    // the window, so the largest font size still shows every control.
    void fitToWindow();
    void layOut(int textHeight);

    oxGuiStyle m_style;
    SettingsHooks m_hooks;
    oxGuiEdit* m_bgEdit = nullptr;
    oxGuiEdit* m_fgEdit = nullptr;
    ColourSwatch* m_bgSwatch = nullptr;
    ColourSwatch* m_fgSwatch = nullptr;
    oxGuiSlider* m_fontSize = nullptr;
    oxGuiCheckbox* m_noSound = nullptr;
    oxGuiCheckbox* m_glScaling = nullptr;
    std::string m_glScalingText; // in one line where there is room
    oxGuiSlider* m_crossFade = nullptr;
    oxGuiModalButton* m_ok = nullptr;
    oxGuiModalButton* m_cancel = nullptr;
};
