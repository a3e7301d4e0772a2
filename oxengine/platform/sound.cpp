#include "oxengine/platform/sound.h"

#include "oxengine/platform/x11util.h"

#include <X11/Xlib.h>
#include <canberra.h>

#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <dirent.h>
#include <sys/stat.h>
#include <mutex>
#include <thread>

std::atomic<bool> soundEnabled{true};

namespace {

// Sounds waiting beyond this are dropped: a dozen warnings in a row should
// not keep beeping long after the user stopped.
constexpr size_t kMaxQueued = 3;

class SoundThread {
public:
    SoundThread() : m_thread([this] { loop(); }) {}

    ~SoundThread()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
        if (m_canberra)
            ca_context_destroy(m_canberra);
        if (m_bellDisplay)
            XCloseDisplay(m_bellDisplay);
    }

    void play(const char* id)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_queue.size() >= kMaxQueued)
                return;
            m_queue.push_back(id);
        }
        m_wake.notify_all();
    }

    oxSoundPlayer setPlayer(oxSoundPlayer player)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::swap(m_player, player);
        return player;
    }

    bool flush(std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_idle.wait_for(lock, limit, [this] { return m_queue.empty() && !m_busy; });
    }

private:
    void loop()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            const char* id = m_queue.front();
            m_queue.pop_front();
            oxSoundPlayer player = m_player;
            m_busy = true;
            lock.unlock();
            if (player)
                player(id);
            else if (!playEventSound(id))
                bell();
            lock.lock();
            m_busy = false;
            m_idle.notify_all();
        }
    }

    // libcanberra plays through the desktop's sound theme; it fails without
    // an audio device or when the theme lacks the sound.
    bool playEventSound(const char* id)
    {
        if (!m_canberra && !m_canberraFailed && !audioOutput()) {
            m_canberraFailed = true;
        }
        if (!m_canberra && !m_canberraFailed) {
            if (ca_context_create(&m_canberra) != CA_SUCCESS) {
                m_canberra = nullptr;
                m_canberraFailed = true;
            } else {
                ca_context_change_props(m_canberra, CA_PROP_APPLICATION_NAME, "Pictavo", CA_PROP_APPLICATION_ID,
                                        "com.quorvel.pictavo", nullptr);
            }
        }
        if (!m_canberra)
            return false;
        if (ca_context_play(m_canberra, 0, CA_PROP_EVENT_ID, id, CA_PROP_EVENT_DESCRIPTION, id, nullptr) ==
            CA_SUCCESS) {
            m_failures = 0;
            return true;
        }
        // A sound missing from the theme gets the bell; an audio system that
        // keeps failing is given up.
        if (++m_failures >= 3) {
            ca_context_destroy(m_canberra);
            m_canberra = nullptr;
            m_canberraFailed = true;
        }
        return false;
    }

    static bool audioOutput()
    {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        const char* pulse = std::getenv("PULSE_SERVER");
        return oxAudioOutputAvailable(runtime ? runtime : "", pulse ? pulse : "", "/dev/snd");
    }

    void bell()
    {
        if (!m_bellDisplay && !m_bellTried) {
            m_bellTried = true;
            m_bellDisplay = oxOpenXDisplay();
        }
        if (m_bellDisplay) {
            XBell(m_bellDisplay, 0);
            XFlush(m_bellDisplay);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::deque<const char*> m_queue;
    bool m_stop = false;
    bool m_busy = false;
    oxSoundPlayer m_player;
    // Used by the sound thread only.
    ca_context* m_canberra = nullptr;
    bool m_canberraFailed = false;
    int m_failures = 0;
    Display* m_bellDisplay = nullptr;
    bool m_bellTried = false;
    std::thread m_thread; // last: starts once everything above exists
};

SoundThread& soundThread()
{
    static SoundThread thread;
    return thread;
}

} // namespace

const char* oxSoundEventId(int kind)
{
    switch (kind) {
    case 1: return "dialog-information";
    case 2: return "dialog-warning";
    case 3: return "dialog-error";
    case 4: return "dialog-question";
    default: return "bell";
    }
}

bool beep(int kind)
{
    if (soundEnabled)
        soundThread().play(oxSoundEventId(kind));
    return true;
}

oxSoundPlayer oxSetSoundPlayer(oxSoundPlayer player)
{
    return soundThread().setPlayer(std::move(player));
}

bool oxFlushSounds(std::chrono::milliseconds limit)
{
    return soundThread().flush(limit);
}

bool oxAudioOutputAvailable(const std::string& runtimeDir, const std::string& pulseServer,
                            const std::string& soundDeviceDir)
{
    if (!pulseServer.empty())
        return true;
    struct stat st;
    if (!runtimeDir.empty())
        for (const char* socket : {"/pulse/native", "/pipewire-0"})
            if (stat((runtimeDir + socket).c_str(), &st) == 0)
                return true;
    // ALSA playback devices are named pcmC<card>D<device>p.
    DIR* dir = opendir(soundDeviceDir.c_str());
    if (!dir)
        return false;
    bool found = false;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() > 5 && name.compare(0, 4, "pcmC") == 0 && name.back() == 'p')
            found = true;
    }
    closedir(dir);
    return found;
}
