#include "oxengine/sound.h"

#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Records what would have been played; optionally as slowly as a stuck
// audio server.
class FakePlayer {
public:
    explicit FakePlayer(std::chrono::milliseconds delay = 0ms)
    {
        m_previous = oxSetSoundPlayer([this, delay](const char* id) {
            std::this_thread::sleep_for(delay);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_played.push_back(id);
        });
    }
    ~FakePlayer()
    {
        oxFlushSounds(5s);
        oxSetSoundPlayer(m_previous);
    }
    std::vector<std::string> played()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_played;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_played;
    oxSoundPlayer m_previous;
};

class SoundSwitch {
public:
    explicit SoundSwitch(bool on) : m_old(soundEnabled) { soundEnabled = on; }
    ~SoundSwitch() { soundEnabled = m_old; }

private:
    bool m_old;
};

} // namespace

TEST(Sound, KindsSelectTheDesktopEventSounds)
{
    EXPECT_STREQ(oxSoundEventId(1), "dialog-information");
    EXPECT_STREQ(oxSoundEventId(2), "dialog-warning");
    EXPECT_STREQ(oxSoundEventId(3), "dialog-error");
    EXPECT_STREQ(oxSoundEventId(4), "dialog-question");
    EXPECT_STREQ(oxSoundEventId(0), "bell");
    EXPECT_STREQ(oxSoundEventId(5), "bell");
    EXPECT_STREQ(oxSoundEventId(-1), "bell");
}

TEST(Sound, BeepsArePlayedInOrder)
{
    SoundSwitch on(true);
    FakePlayer player;
    EXPECT_TRUE(beep(2));
    ASSERT_TRUE(oxFlushSounds(5s));
    EXPECT_TRUE(beep(4));
    ASSERT_TRUE(oxFlushSounds(5s));
    EXPECT_EQ(player.played(), (std::vector<std::string>{"dialog-warning", "dialog-question"}));
}

TEST(Sound, SilentWhenSwitchedOffButStillReportsSuccess)
{
    SoundSwitch off(false);
    FakePlayer player;
    EXPECT_TRUE(beep(3));
    EXPECT_TRUE(beep(0));
    ASSERT_TRUE(oxFlushSounds(5s));
    EXPECT_TRUE(player.played().empty());
}

TEST(Sound, SlowAudioNeverBlocksTheCallerAndBurstsAreCut)
{
    SoundSwitch on(true);
    FakePlayer player(200ms);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 50; ++i)
        beep(2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
    ASSERT_TRUE(oxFlushSounds(10s));
    // One playing and a short queue; the rest of the burst is dropped.
    EXPECT_GE(player.played().size(), 1u);
    EXPECT_LE(player.played().size(), 4u);
}

TEST(Sound, RealBackendWithoutAudioDeviceIsNoError)
{
    SoundSwitch on(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(beep(1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
}

TEST(Sound, AudioOutputIsExpectedOnlyWithAServerOrAPlaybackDevice)
{
    TempDir runtime, devices;
    EXPECT_FALSE(oxAudioOutputAvailable("", "", devices.path() + "/missing"));
    EXPECT_FALSE(oxAudioOutputAvailable(runtime.path(), "", devices.path()));
    EXPECT_TRUE(oxAudioOutputAvailable("", "tcp:localhost", devices.path()));

    // Capture devices and controls are not an output.
    writeFile(devices.file("controlC0"), "");
    writeFile(devices.file("pcmC0D0c"), "");
    EXPECT_FALSE(oxAudioOutputAvailable(runtime.path(), "", devices.path()));
    writeFile(devices.file("pcmC0D0p"), "");
    EXPECT_TRUE(oxAudioOutputAvailable(runtime.path(), "", devices.path()));

    TempDir empty;
    mkdir(runtime.file("pulse").c_str(), 0700);
    writeFile(runtime.file("pulse/native"), "");
    EXPECT_TRUE(oxAudioOutputAvailable(runtime.path(), "", empty.path()));
}
