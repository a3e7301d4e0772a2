#include "oxengine/storage/colour.h"
#include "oxengine/storage/config.h"

#include "oxengine/core/errors.h"

#include "support/childprocess.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Each test gets its own configuration folder.
class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", m_home.path().c_str(), 1);
        oxConfig::initialize("Quorvel Software", "Pictavo");
    }
    std::string storeFile() const { return m_home.path() + "/Quorvel Software/Pictavo/settings.ini"; }
    void writeStore(const std::string& text)
    {
        std::filesystem::create_directories(m_home.path() + "/Quorvel Software/Pictavo");
        writeFile(storeFile(), text);
    }
    TempDir m_home;
};

} // namespace

TEST_F(ConfigTest, ValuesParseClampAndRoundTrip)
{
    oxConfig::setInt("GuiTextHeight", 42);
    EXPECT_NE(readFile(storeFile()).find("[Settings]\nGuiTextHeight=42\n"), std::string::npos);
    for (int v : {0, -1, INT_MAX, INT_MIN}) {
        oxConfig::setInt("N", v);
        EXPECT_EQ(oxConfig::getInt("N", 99), v) << v;
    }
    struct Case {
        const char* text;
        int plain, clamped; // getInt with default 99; getIntClamped(20, 10, 100)
    } cases[] = {{"12abc", 12, 12}, {" 7", 7, 10}, {"abc", 99, 20}, {"", 99, 20}, {"-", 99, 20}, {"+8", 8, 10},
                 {"0x10", 0, 10}, {"500", 500, 100},
                 {"4294967297", INT_MAX, 100},  // 2^32 + 1 would wrap to 1
                 {"-4294967295", INT_MIN, 10},  // would wrap to 1
                 {"99999999999999999999999", INT_MAX, 100}, {"-99999999999999999999999", INT_MIN, 10}};
    for (const Case& c : cases) {
        oxConfig::setString("N", c.text);
        EXPECT_EQ(oxConfig::getInt("N", 99), c.plain) << '"' << c.text << '"';
        EXPECT_EQ(oxConfig::getIntClamped("N", 20, 10, 100), c.clamped) << '"' << c.text << '"';
    }
    // Texts of any characters round trip; overlong values read as missing.
    for (const std::string& t : {std::string("  leading and trailing  "), std::string("tab\there"), std::string("two\nlines\r\n"),
                                 std::string("back\\slash\\n"), std::string("#not a comment"), std::string("key=value; [group]"),
                                 std::string("Ελληνικά 中文 \"quoted\" 'single'"), std::string("latin1 \xe9\xff bytes"),
                                 std::string(" "), std::string()}) {
        oxConfig::setString("Text", t);
        EXPECT_EQ(oxConfig::getString("Text", "default"), t);
    }
    oxConfig::setString("Long", std::string(oxConfig::MAX_VALUE_LENGTH, 'x'));
    EXPECT_EQ(oxConfig::getString("Long", "d").size(), oxConfig::MAX_VALUE_LENGTH);
    oxConfig::setString("Long", std::string(oxConfig::MAX_VALUE_LENGTH + 1, 'x'));
    EXPECT_EQ(oxConfig::getString("Long", "d"), "d");
    // Colours: every form is parsed and formatted in the stored settings' and the settings dialog's tests;
    // these are what a lenient number reader would half-accept, and digits without their '#'.
    for (const char* text : {"#-1-1-1", "# FF", "#0x0x0x", "0FFF"})
        EXPECT_THROW(parseColour(text), oxFormatException) << text;
}

TEST_F(ConfigTest, CorruptFileGivesDefaultsAndIsKeptAsideButAnUnreadableOneIsLeftAlone)
{
    const std::string garbage = "this is not\na key file\0\x01\x02";
    writeStore(garbage);
    EXPECT_EQ(oxConfig::getInt("GuiTextHeight", 20), 20);
    const std::optional<std::string> notice = oxConfig::takeNotice();
    ASSERT_TRUE(notice);
    EXPECT_NE(notice->find("settings.ini.bad"), std::string::npos);
    EXPECT_FALSE(oxConfig::takeNotice()); // handed over once
    EXPECT_FALSE(std::filesystem::exists(storeFile()));
    // Saving starts a fresh file; a second broken file does not replace the first kept one.
    writeStore("[Settings\nbroken");
    oxConfig::setInt("LastFile", 3);
    EXPECT_EQ(readFile(storeFile() + ".bad"), garbage);
    EXPECT_EQ(readFile(storeFile() + ".bad.2"), "[Settings\nbroken");
    EXPECT_EQ(oxConfig::getInt("LastFile", 0), 3);
    EXPECT_NE(oxConfig::takeNotice().value_or("").find("settings.ini.bad.2"), std::string::npos);
    // An unreadable file is left alone by writes.
    writeStore("[Settings]\nA=1\n");
    chmod(storeFile().c_str(), 0);
    for (const char* sub : {"", "/Quorvel Software", "/Quorvel Software/Pictavo"})
        allowOthersToEnter(m_home.path() + sub);
    chmod((m_home.path() + "/Quorvel Software/Pictavo").c_str(), 0777);
    const std::string home = m_home.path();
    EXPECT_EQ(runInChild(
                  [home] {
                      setenv("XDG_CONFIG_HOME", home.c_str(), 1);
                      if (oxConfig::getString("A", "d") != "d")
                          return 1;
                      oxConfig::setString("B", "2"); // must not replace the file it could not read
                      return 0;
                  },
                  true),
              0);
    chmod(storeFile().c_str(), 0600);
    EXPECT_EQ(readFile(storeFile()), "[Settings]\nA=1\n");
    EXPECT_FALSE(std::filesystem::exists(storeFile() + ".bad.3")); // not taken for a broken one
}

TEST_F(ConfigTest, ConcurrentWritersLoseNothingAndASaveKilledMidwayLeavesTheOldOrTheNewFile)
{
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < 25; ++i)
                oxConfig::setInt("K" + std::to_string(t) + "_" + std::to_string(i), i);
        });
    for (auto& w : writers)
        w.join();
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 25; ++i)
            ASSERT_EQ(oxConfig::getInt("K" + std::to_string(t) + "_" + std::to_string(i), -1), i);
    // Many long values make each save take long enough to be caught midway.
    const int keys = 200;
    const std::string a(1900, 'a'), b(1900, 'b');
    for (int k = 0; k < keys; ++k)
        oxConfig::setString("P" + std::to_string(k), a);
    oxConfig::setString("Other", "kept");
    for (int round = 0; round < 12; ++round) {
        const pid_t child = startChild([&] {
            for (int i = 0;; ++i)
                oxConfig::setString("P" + std::to_string(i % keys), (i / keys) % 2 ? a : b);
            return 0;
        });
        ASSERT_GT(child, 0);
        usleep(static_cast<useconds_t>(20000 + round * 7000));
        kill(child, SIGKILL);
        EXPECT_EQ(waitChild(child), 128 + SIGKILL);
        for (int k = 0; k < keys; ++k) {
            const std::string v = oxConfig::getString("P" + std::to_string(k), "missing");
            ASSERT_TRUE(v == a || v == b) << "round " << round << " key " << k << ": " << v.substr(0, 20);
        }
        EXPECT_EQ(oxConfig::getString("Other", ""), "kept");
        EXPECT_FALSE(oxConfig::takeNotice()); // a damaged file would have been put aside
    }
}
