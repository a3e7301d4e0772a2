#include "app/shell/configkeys.h"

#include "oxengine/storage/config.h"
#include "oxengine/storage/files.h"
#include "support/testsupport.h"
#include "tests/app/apptest.h"

#include <gtest/gtest.h>

namespace {

class ConfigKeys : public ::testing::Test {
protected:
    TestSettings m_settings{"configkeys_test"};
};

} // namespace

TEST_F(ConfigKeys, RangesAreAppliedOnRead)
{
    struct Case {
        ConfigKey key;
        const char* stored;
        int expected;
    };
    const Case cases[] = {
        {ConfigKey::GuiTextHeight, "500", 100},
        {ConfigKey::GuiTextHeight, "3", 10},
        {ConfigKey::GuiTextHeight, "abc", 20},
        {ConfigKey::AnimLengthUs, "99999999999", 10000000},
        {ConfigKey::SortMode, "4294967297", 2147483647}, // unranged keys still never wrap
        {ConfigKey::LastFile, "-12", -12},
    };
    for (const Case& c : cases) {
        oxConfig::setString(configKeyInfo(c.key).name, c.stored);
        EXPECT_EQ(readConfigInt(c.key), c.expected) << configKeyInfo(c.key).name << " = " << c.stored;
    }
}

// Written under their names: the settings dialog's tests.
TEST_F(ConfigKeys, ValuesRoundTrip)
{
    EXPECT_EQ(readConfigText(ConfigKey::LastFolder), oxFilename::documentsFolder().toString());
    writeConfigColour(ConfigKey::GuiBgColour, oxColour(1, 2, 3, 4));
    EXPECT_EQ(readConfigColour(ConfigKey::GuiBgColour), oxColour(1, 2, 3, 4));
    for (const char* bad : {"white", "#12345", "#GGG", ""}) { // a malformed colour reads as the default
        oxConfig::setString("GuiFgColour", bad);
        EXPECT_EQ(readConfigColour(ConfigKey::GuiFgColour), oxColour(255, 255, 255, 255)) << bad;
    }
    writeConfigText(ConfigKey::LastFolder, "/Bilder/Ωmega 写真/");
    EXPECT_EQ(readConfigText(ConfigKey::LastFolder), "/Bilder/Ωmega 写真/");
}
