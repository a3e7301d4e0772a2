// The settings dialog without a display.
#include "tests/app/apptest.h"
#include "tests/oxengine/gui/guitest.h"

#include "app/dialogs/settingsdialog.h"
#include "app/shell/commands.h"
#include "app/shell/configkeys.h"

#include "oxengine/core/errors.h"
#include "oxengine/gui/button.h"
#include "oxengine/gui/checkbox.h"
#include "oxengine/gui/edit.h"
#include "oxengine/gui/slider.h"
#include "oxengine/platform/sound.h"
#include "oxengine/storage/colour.h"

namespace {

class SettingsDialog : public GuiTest {
protected:
    // Makes the dialog with hooks that record what reaches the application.
    std::unique_ptr<PVSettingsDlg> dialog(const oxGuiStyle& current = oxGuiStyle{})
    {
        SettingsHooks hooks;
        hooks.applyStyle = [this](const oxGuiStyle& s) {
            if (failWith)
                throw oxException(failWith);
            applied.push_back(s);
        };
        hooks.reportError = [this](const std::string& text) { errors.push_back(text); };
        return std::make_unique<PVSettingsDlg>(current, std::move(hooks));
    }
    void setColour(oxGuiEdit* edit, const std::string& text, PVSettingsDlg& d)
    {
        edit->setText(text);
        EXPECT_TRUE(d.onCommand(CMD_SETTINGS_COLOUR_CHANGED));
    }
    // The stored values of the dialog's keys, "-" for none.
    static std::string stored()
    {
        std::string out;
        for (const char* key : {"GuiTextHeight", "GuiFgColour", "GuiBgColour", "AnimLengthUs", "NoSound", "UseGLMipmap"})
            out += oxConfig::getString(key, "-") + " ";
        return out;
    }

    TestSettings settings;
    SoundSwitch sound{true};
    std::vector<oxGuiStyle> applied;
    std::vector<std::string> errors;
    const char* failWith = nullptr;
};

} // namespace

TEST_F(SettingsDialog, StartsFromTheStyleAndTheStoredValues)
{
    writeConfigInt(ConfigKey::AnimLengthUs, 1250000);
    writeConfigBool(ConfigKey::UseGLMipmap, false);
    writeConfigBool(ConfigKey::NoSound, true);
    oxGuiStyle style;
    style.textHeight = 23;
    style.fgColour = oxColour(0x88, 0xAA, 0xFF, 255);
    auto d = dialog(style);
    EXPECT_EQ(std::tuple(d->fgEdit()->getText(), d->bgEdit()->getText(), d->fontSizeSlider()->getValue(),
                         d->crossFadeSlider()->getValue(), d->glScalingBox()->isChecked(), d->noSoundBox()->isChecked()),
              std::tuple("#88AAFF", "#000000AA", 23.0, 1.25, false, true));
}

TEST_F(SettingsDialog, OkAppliesTheStyleAndStoresTruncatedValues)
{
    auto d = dialog();
    d->fontSizeSlider()->setValue(17.9);
    d->crossFadeSlider()->setValue(0.75);
    setColour(d->fgEdit(), "#8AF", *d);
    setColour(d->bgEdit(), "#10203040", *d);
    d->noSoundBox()->setChecked(true);
    d->glScalingBox()->setChecked(false);
    d->accept();

    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].textHeight, 17);
    EXPECT_EQ(applied[0].fgColour, oxColour(0x88, 0xAA, 0xFF, 255));
    EXPECT_EQ(applied[0].bgColour, oxColour(0x10, 0x20, 0x30, 0x40));
    EXPECT_EQ(applied[0].fontName, "arial");
    EXPECT_FALSE(soundEnabled);
    EXPECT_EQ(stored(), "17 #88AAFF #10203040 750000 1 0 ");
    EXPECT_TRUE(errors.empty());
}

TEST(SettingsCrossFade, SecondsBecomeWholeMicroseconds)
{
    for (const auto& [seconds, us] : {std::pair{0.75, 750000}, {0.29, 290000}, {0.0, 0}, {2.0, 2000000},
                                      {0.0000019, 1}, {1.9999999, 1999999}, {5.0, 2000000}, {-1.0, 0}})
        EXPECT_EQ(crossFadeMicroseconds(seconds), us) << seconds;
}

TEST_F(SettingsDialog, OkIsEnabledOnlyWhileBothFieldsHoldColours)
{
    auto d = dialog();
    oxGuiModalButton* ok = d->okButton();
    for (const auto& [fg, bg, enabled] :
         {std::tuple{"", "#000", false}, {"#8AF", "#000", true}, {"#8AF", "#12", false}, {"#8AF", "#GGG", false},
          {"8AF", "#000", false}, {"#8AF", " #000", false}, {"#88AAFF", "#000000AA", true}}) {
        setColour(d->fgEdit(), fg, *d);
        setColour(d->bgEdit(), bg, *d);
        EXPECT_EQ(ok->isEnabled(), enabled) << fg << " " << bg;
    }
    EXPECT_FALSE(d->onCommand(CMD_SETTINGS));
}

TEST_F(SettingsDialog, TypingIntoAFieldReachesTheDialogWhileItRuns)
{
    // The change command reaches the running dialog through the queue; a disabled "OK" ignores Enter.
    auto d = dialog();
    bool disabledSeen = false;
    app.script.push_back([&] {
        setFocus(d->fgEdit());
        d->fgEdit()->selectAll();
        app.type("#");
        app.deliverAll();
        disabledSeen = !d->okButton()->isEnabled();
        app.dispatchKeyDown(GUI_KEY_ENTER, false);
        app.deliverAll();
        app.type("fff");
        app.deliverAll();
        app.dispatchKeyDown(GUI_KEY_ENTER, false);
    });
    EXPECT_TRUE(d->run());
    EXPECT_TRUE(disabledSeen);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].fgColour, oxColour(255, 255, 255, 255));
}

TEST_F(SettingsDialog, CancelChangesNothing)
{
    auto d = dialog();
    app.script.push_back([&] {
        d->fontSizeSlider()->setValue(40);
        d->noSoundBox()->setChecked(true);
        app.click(*d->cancelButton());
    });
    EXPECT_FALSE(d->run());
    EXPECT_TRUE(applied.empty());
    EXPECT_TRUE(soundEnabled);
    EXPECT_EQ(stored(), "- - - - - - ");
}

TEST_F(SettingsDialog, AFailureWhileApplyingIsReportedAndTheRestStillSaved)
{
    failWith = "no font";
    oxGuiStyle style;
    style.textHeight = 24;
    auto d = dialog(style);
    d->fontSizeSlider()->setValue(30);
    setColour(d->fgEdit(), "#F00", *d);
    d->crossFadeSlider()->setValue(1.5);
    d->noSoundBox()->setChecked(true);
    d->accept();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Error applying settings:\nno font");
    EXPECT_EQ(d->style().textHeight, 24);
    EXPECT_EQ(stored(), "24 #FFFFFF #000000AA 1500000 1 1 ") << "the style as it was, the other values as chosen";
    EXPECT_FALSE(soundEnabled);
}

TEST_F(SettingsDialog, FitsASmallScreenAtTheLargestFontSize)
{
    oxGuiStyle style;
    style.textHeight = 50;
    for (const auto& [w, h, shrinks] : {std::tuple{1024, 768, true}, {800, 600, true}, {3840, 2160, false}}) {
        app.windowWidth = w, app.windowHeight = h;
        auto d = dialog(style);
        const oxGuiSize size = d->getSize();
        const oxGuiPoint at = d->getPosition();
        EXPECT_LE(size.width, w) << w;
        EXPECT_LE(size.height, h) << w;
        EXPECT_GE(at.x, 0) << w;
        EXPECT_GE(at.y, 0) << w;
        // Shrunk only as far as needed: the text height is what decides.
        EXPECT_EQ(d->titleHeight() < 50, shrinks) << w;
        if (shrinks) {
            EXPECT_GT(size.width, w * 9 / 10) << w;
        }
        // The slider keeps the chosen size, whatever the dialog shows at.
        EXPECT_EQ(d->fontSizeSlider()->getValue(), 50);
    }
}
