// Records the sounds tests make instead of playing them.
#pragma once

#include "oxengine/platform/sound.h"

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// While alive: sound switched on (or off), and every sound recorded instead
// of played, optionally as slowly as a stuck audio server plays it.
class SoundLog {
public:
    explicit SoundLog(bool on = true, std::chrono::milliseconds delay = std::chrono::milliseconds(0))
        : m_wasEnabled(soundEnabled)
    {
        soundEnabled = on;
        m_previous = oxSetSoundPlayer([this, delay](const char* id) {
            std::this_thread::sleep_for(delay);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_ids.push_back(id);
        });
    }
    ~SoundLog()
    {
        oxFlushSounds(std::chrono::seconds(5));
        oxSetSoundPlayer(m_previous);
        soundEnabled = m_wasEnabled;
    }
    SoundLog(const SoundLog&) = delete;
    SoundLog& operator=(const SoundLog&) = delete;
    // What was played so far (waits for the sound thread).
    std::vector<std::string> played()
    {
        oxFlushSounds(std::chrono::seconds(10));
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_ids;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_ids;
    bool m_wasEnabled;
    oxSoundPlayer m_previous;
};
