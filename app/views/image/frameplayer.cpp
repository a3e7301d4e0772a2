#include "app/views/image/frameplayer.h"

#include <algorithm>
#include <numeric>

void FramePlayer::start(std::vector<int> delaysMs, int plays, int64_t now)
{
    m_delays = std::move(delaysMs);
    m_plays = plays;
    m_played = 0;
    m_frame = 0;
    m_frameStart = now;
    m_pausedAfter = 0;
    m_paused = m_finished = false;
}

void FramePlayer::advanceTo(int64_t now)
{
    if (!active() || m_paused || m_finished)
        return;
    // A view that was not drawn for a long time skips whole plays at once.
    const int64_t cycle = std::accumulate(m_delays.begin(), m_delays.end(), int64_t(0)) * 1000;
    if (m_frame == 0 && cycle > 0 && now - m_frameStart > cycle) {
        int64_t skipped = (now - m_frameStart) / cycle;
        if (m_plays != 0)
            skipped = std::max<int64_t>(0, std::min<int64_t>(skipped, m_plays - 1 - m_played));
        m_played += int(skipped);
        m_frameStart += skipped * cycle;
    }
    while (now - m_frameStart >= delayUs(m_frame)) {
        if (m_frame + 1 == m_delays.size() && m_plays != 0 && m_played + 1 >= m_plays) {
            m_finished = true; // the last frame stays
            return;
        }
        m_frameStart += delayUs(m_frame);
        if (++m_frame == m_delays.size()) {
            m_frame = 0;
            ++m_played;
        }
    }
}

int FramePlayer::frame(int64_t now)
{
    advanceTo(now);
    return active() ? int(m_frame) : 0;
}

int64_t FramePlayer::untilNext(int64_t now)
{
    advanceTo(now);
    if (!active() || m_paused || m_finished)
        return -1;
    return m_frameStart + delayUs(m_frame) - now;
}

void FramePlayer::togglePause(int64_t now)
{
    if (!active())
        return;
    if (!m_paused) {
        advanceTo(now);
        m_pausedAfter = now - m_frameStart;
        m_paused = true;
    } else {
        m_paused = false;
        m_frameStart = now - m_pausedAfter;
    }
}

void FramePlayer::step(int64_t now)
{
    if (!active())
        return;
    if (!m_paused)
        togglePause(now);
    m_frame = (m_frame + 1) % m_delays.size();
    m_finished = false;
    m_pausedAfter = 0;
}
