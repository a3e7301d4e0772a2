// Start-up settings (sound, GUI look, clamping and bad colours) and the
// usage on standard output and in a box.
#include "app/commandline.h"
#include "app/configkeys.h"
#include "app/startup.h"

#include "oxengine/catalogue.h"
#include "oxengine/config.h"
#include "oxengine/gui/style.h"
#include "oxengine/sound.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", m_home.path().c_str(), 1);
        prepareEngine("startup_test");
        m_savedStyle = defaultGuiStyle;
        soundEnabled = true;
    }
    void TearDown() override
    {
        defaultGuiStyle = m_savedStyle;
        soundEnabled = true;
    }
    // What showUsage wrote to a stream.
    std::string usageOutput(bool terminal)
    {
        std::FILE* f = std::tmpfile();
        showUsage(f, terminal);
        std::rewind(f);
        std::string text;
        char buffer[512];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        std::fclose(f);
        return text;
    }
    TempDir m_home;
    oxGuiStyle m_savedStyle;
};

} // namespace

TEST_F(Startup, EmptyStoreGivesTheDefaultLookWithSound)
{
    defaultGuiStyle.textHeight = 33;
    applyStoredSettings();
    EXPECT_TRUE(soundEnabled);
    EXPECT_EQ(defaultGuiStyle.textHeight, 20);
    EXPECT_EQ(defaultGuiStyle.fgColour, oxColour(255, 255, 255, 255));
    EXPECT_EQ(defaultGuiStyle.bgColour, oxColour(0, 0, 0, 170));
    EXPECT_EQ(defaultGuiStyle.fontName, "arial");
}

TEST_F(Startup, StoredLookIsClampedAndBadColoursFallBack)
{
    const struct {
        const char* height;
        int expected;
    } heights[] = {{"500", 100}, {"3", 10}, {"abc", 20}, {"-7", 10}, {"64", 64}};
    for (const auto& h : heights) {
        oxConfig::setString("GuiTextHeight", h.height);
        applyStoredSettings();
        EXPECT_EQ(defaultGuiStyle.textHeight, h.expected) << h.height;
    }
    oxConfig::setString("GuiFgColour", "#0F08");
    oxConfig::setString("GuiBgColour", "#123456");
    applyStoredSettings();
    EXPECT_EQ(defaultGuiStyle.fgColour, oxColour(0, 255, 0, 136));
    EXPECT_EQ(defaultGuiStyle.bgColour, oxColour(0x12, 0x34, 0x56, 255));
    // Not colour specifications: a format error, a bad digit, no "#".
    for (const char* bad : {"#12", "#GGG", "white", ""}) {
        oxConfig::setString("GuiFgColour", bad);
        oxConfig::setString("GuiBgColour", bad);
        applyStoredSettings();
        EXPECT_EQ(defaultGuiStyle.fgColour, oxColour(255, 255, 255, 255)) << bad;
        EXPECT_EQ(defaultGuiStyle.bgColour, oxColour(0, 0, 0, 170)) << bad;
    }
}

TEST_F(Startup, NoSoundIsStoredAndHoldsAtTheNextStart)
{
    oxConfig::setString("NoSound", "0");
    applyStoredSettings();
    EXPECT_TRUE(soundEnabled);
    disableSoundForGood();
    EXPECT_FALSE(soundEnabled);
    EXPECT_EQ(oxConfig::getString("NoSound", ""), "1");
    soundEnabled = true; // a new process
    applyStoredSettings();
    EXPECT_FALSE(soundEnabled);
}

TEST_F(Startup, UsageGoesToOutputAndToABoxOnlyWithoutTerminal)
{
    {
        MessageCapture boxes;
        const std::string out = usageOutput(true);
        EXPECT_EQ(boxes.count(), 0u);
        EXPECT_EQ(out, usageText() + "\n");
        EXPECT_NE(out.find("Pictavo [-window] [-log] [folder]"), std::string::npos);
        EXPECT_NE(out.find("(in 'Documents')"), std::string::npos);
        EXPECT_EQ(out.find("My Documents"), std::string::npos);
    }
    MessageCapture boxes;
    EXPECT_EQ(usageOutput(false), usageText() + "\n");
    ASSERT_EQ(boxes.count(), 1u);
    const oxMessageRequest& box = boxes.messages()[0];
    EXPECT_EQ(box.title, "Pictavo command line help");
    EXPECT_EQ(box.text, usageText());
    EXPECT_EQ(box.buttons, MB_OK);
    EXPECT_EQ(box.icon, MI_NONE);
}

TEST_F(Startup, UsageIsGermanInAGermanLocale)
{
    setenv("LANGUAGE", "de", 1);
    oxResetCatalogueForTests();
    const std::string title = usageTitle(), text = usageText();
    unsetenv("LANGUAGE");
    oxResetCatalogueForTests();
    EXPECT_EQ(title, "Pictavo-Kommandozeilenhilfe");
    EXPECT_NE(text.find("(in 'Dokumente')"), std::string::npos);
    EXPECT_NE(text.find("Pictavo [-window] [-log] [Ordner]"), std::string::npos);
}
