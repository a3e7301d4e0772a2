#include "oxengine/platform/sound.h"

#include "support/testsupport.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(Sound, NeverBlocksTheCallerAndBurstsAreCut)
{
    auto start = std::chrono::steady_clock::now();
    {
        SoundSwitch on(true); // the real backend, without an audio device here: no error either
        EXPECT_TRUE(beep(1));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
        oxFlushSounds(5s); // played before the recorder takes over
    }
    SoundRecorder player(200ms);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < 50; ++i)
        beep(2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
    // One playing and a short queue; the rest of the burst is dropped.
    const size_t played = player.played().size();
    EXPECT_GE(played, 1u);
    EXPECT_LE(played, 4u);
    SoundSwitch off(false); // silent, but still a success
    EXPECT_TRUE(beep(3));
    EXPECT_EQ(player.played().size(), played);
}
