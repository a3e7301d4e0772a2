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

TEST_F(ConfigKeys, EmptyStoreGivesTheTableDefaults)
{
    const std::pair<ConfigKey, int> numbers[] = {
        {ConfigKey::NoSound, 0},          {ConfigKey::GuiTextHeight, 20},  {ConfigKey::LastFile, 0},
        {ConfigKey::LastMode, 0},         {ConfigKey::LastOverlays, 1},    {ConfigKey::SortMode, 217},
        {ConfigKey::UseGLMipmap, 1},      {ConfigKey::AnimLengthUs, 500000}, {ConfigKey::ThnListMargin, 400},
        {ConfigKey::ThnTitleMargin, 50},  {ConfigKey::ThnItemSize, 256},   {ConfigKey::ThnBorderWidth, 5},
        {ConfigKey::ThnMaxCount, 500},    {ConfigKey::ShowComments, 0},    {ConfigKey::ShowSizes, 0},
        {ConfigKey::ShowDate, 0}};
    for (const auto& [key, value] : numbers)
        EXPECT_EQ(readConfigInt(key), value) << configKeyInfo(key).name;
    EXPECT_TRUE(readConfigBool(ConfigKey::UseGLMipmap));
    EXPECT_EQ(readConfigColour(ConfigKey::GuiFgColour), oxColour(255, 255, 255, 255));
    EXPECT_EQ(readConfigColour(ConfigKey::GuiBgColour), oxColour(0, 0, 0, 170));
    EXPECT_EQ(readConfigText(ConfigKey::LastFolder), oxFilename::documentsFolder().toString());
    EXPECT_EQ(readConfigText(ConfigKey::LastPath), ""); // no picture yet
}

TEST_F(ConfigKeys, RangesAreAppliedOnRead)
{
    struct Case {
        ConfigKey key;
        const char* stored;
        int expected;
    };
    const Case cases[] = {
        {ConfigKey::GuiTextHeight, "500", 100},  {ConfigKey::GuiTextHeight, "3", 10},
        {ConfigKey::GuiTextHeight, "abc", 20},   {ConfigKey::LastOverlays, "7", 2},
        {ConfigKey::LastOverlays, "-1", 0},      {ConfigKey::AnimLengthUs, "0", 1},
        {ConfigKey::AnimLengthUs, "99999999999", 10000000},
        {ConfigKey::ThnListMargin, "10", 50},    {ConfigKey::ThnTitleMargin, "1000", 100},
        {ConfigKey::ThnItemSize, "1", 2},        {ConfigKey::ThnBorderWidth, "0", 1},
        {ConfigKey::ThnMaxCount, "6000", 5000},  {ConfigKey::ShowDate, "5", 1},
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
    writeConfigColour(ConfigKey::GuiBgColour, oxColour(1, 2, 3, 4));
    EXPECT_EQ(readConfigColour(ConfigKey::GuiBgColour), oxColour(1, 2, 3, 4));
    for (const char* bad : {"white", "#12345", "#GGG", ""}) { // a malformed colour reads as the default
        oxConfig::setString("GuiFgColour", bad);
        EXPECT_EQ(readConfigColour(ConfigKey::GuiFgColour), oxColour(255, 255, 255, 255)) << bad;
    }
    writeConfigText(ConfigKey::LastFolder, "/Bilder/Ωmega 写真/");
    EXPECT_EQ(readConfigText(ConfigKey::LastFolder), "/Bilder/Ωmega 写真/");
}
