// Which frame of an animated picture is shown when: frames follow each other
// by their delays, the sequence plays as often as the file says (then its
// last frame stays), and the user may pause and step frame by frame. Times
// are the caller's (microseconds of a steady clock), so the view passes the
// clock and the tests a fake one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class FramePlayer {
public:
    // Plays the frames from now; plays 0 repeats forever. Fewer than two
    // frames: nothing to play.
    void start(std::vector<int> delaysMs, int plays, int64_t now);
    void stop() { m_delays.clear(); }
    bool active() const { return m_delays.size() >= 2; }
    size_t frameCount() const { return m_delays.size(); }
    bool paused() const { return m_paused; }
    bool finished() const { return m_finished; }

    // The frame shown at now (times only move forward).
    int frame(int64_t now);
    // Microseconds from now until the shown frame changes; -1 when nothing
    // changes by itself (paused, finished, nothing playing).
    int64_t untilNext(int64_t now);
    // Pauses, or goes on from where the pause caught the frame.
    void togglePause(int64_t now);
    // Pauses and shows the next frame (after the last, the first).
    void step(int64_t now);

private:
    int64_t delayUs(size_t k) const { return int64_t(m_delays[k]) * 1000; }
    void advanceTo(int64_t now);

    std::vector<int> m_delays;
    int m_plays = 0;
    int m_played = 0;        // whole plays done
    size_t m_frame = 0;
    int64_t m_frameStart = 0; // when the shown frame came
    int64_t m_pausedAfter = 0; // how long the frame had been shown when paused
    bool m_paused = false;
    bool m_finished = false;
};
