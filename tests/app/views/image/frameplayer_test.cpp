// The frames of an animation follow their delays on a fake clock, play as
// often as the file says, and pause and step on request.
#include "app/views/image/frameplayer.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t MS = 1000;

} // namespace

TEST(FramePlayer, FramesFollowTheirDelaysAndStopAfterTheLastPlay)
{
    FramePlayer p;
    p.start({50, 20, 100}, 2, 0);
    const struct {
        int64_t at;
        int frame;
        int64_t untilNext;
    } steps[] = {
        {0, 0, 50 * MS},   {49 * MS, 0, 1 * MS}, {50 * MS, 1, 20 * MS},  {70 * MS, 2, 100 * MS},
        {170 * MS, 0, 50 * MS}, // the second play
        {339 * MS, 2, 1 * MS},  {340 * MS, 2, -1},   {10000 * MS, 2, -1}, // the last frame stays
    };
    for (const auto& s : steps) {
        EXPECT_EQ(p.frame(s.at), s.frame) << s.at;
        EXPECT_EQ(p.untilNext(s.at), s.untilNext) << s.at;
    }
    EXPECT_TRUE(p.finished());
}

TEST(FramePlayer, ForeverSkipsWholePlaysAfterALongAbsence)
{
    FramePlayer p;
    p.start({30, 30}, 0, 0);
    EXPECT_EQ(p.frame(6000000 * MS + 45 * MS), 1);
    EXPECT_EQ(p.untilNext(6000000 * MS + 45 * MS), 15 * MS);
}

TEST(FramePlayer, PauseHoldsTheFrameAndStepMovesOne)
{
    FramePlayer p;
    p.start({40, 40, 40}, 0, 0);
    p.togglePause(30 * MS);
    EXPECT_EQ(p.untilNext(500 * MS), -1); // no timed redraw while paused
    EXPECT_EQ(p.frame(500 * MS), 0);
    p.togglePause(500 * MS); // goes on with the 10 ms the frame had left
    EXPECT_EQ(p.untilNext(500 * MS), 10 * MS);
    p.step(505 * MS);
    EXPECT_TRUE(p.paused());
    EXPECT_EQ(p.frame(900 * MS), 1);
    p.step(900 * MS);
    p.step(900 * MS);
    EXPECT_EQ(p.frame(900 * MS), 0); // after the last, the first
    FramePlayer still;
    still.start({100}, 0, 0);
    EXPECT_FALSE(still.active());
    EXPECT_EQ(still.untilNext(0), -1);
}
