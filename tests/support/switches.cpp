#include "switches.h"

#include <thread>

SoundRecorder::SoundRecorder(std::chrono::milliseconds delay)
    : m_player(oxSetSoundPlayer, [this, delay](const char* id) {
          std::this_thread::sleep_for(delay);
          std::lock_guard<std::mutex> lock(m_mutex);
          m_played.push_back(id);
      })
{
}

SoundRecorder::~SoundRecorder()
{
    oxFlushSounds(std::chrono::seconds(5)); // before the player goes
}

std::vector<std::string> SoundRecorder::played()
{
    oxFlushSounds(std::chrono::seconds(10));
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_played;
}
