// Guards for process-wide switches: each sets one for a scope and puts back what it found.
#pragma once

#include "oxengine/graphics/texsupport.h"
#include "oxengine/image/handler.h"
#include "oxengine/image/parallel.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/platform/sound.h"

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A seam whose setter returns what it replaces, for one scope: Seam messages(oxSetMessageHandler, handler);
template <class Value> class Seam {
public:
    Seam(Value (*set)(Value), Value value) : m_set(set), m_previous(set(std::move(value))) {}
    ~Seam() { m_set(std::move(m_previous)); }
    Seam(const Seam&) = delete;
    Seam& operator=(const Seam&) = delete;

private:
    Value (*m_set)(Value);
    Value m_previous;
};

// Sound on or off.
class SoundSwitch {
public:
    explicit SoundSwitch(bool on) : m_old(soundEnabled.exchange(on)) {}
    ~SoundSwitch() { soundEnabled = m_old; }
    SoundSwitch(const SoundSwitch&) = delete;
    SoundSwitch& operator=(const SoundSwitch&) = delete;

private:
    bool m_old;
};

// Sound on, and what would be played recorded instead, optionally as slowly as a stuck audio server plays it.
class SoundRecorder {
public:
    explicit SoundRecorder(std::chrono::milliseconds delay = {});
    ~SoundRecorder();
    // What was played so far (waits for the sound thread first).
    std::vector<std::string> played();

private:
    SoundSwitch m_on{true};
    std::mutex m_mutex;
    std::vector<std::string> m_played;
    Seam<oxSoundPlayer> m_player;
};

// An environment variable set (or, for nullptr, removed) for one scope.
class EnvironmentVariable {
public:
    EnvironmentVariable(std::string name, const char* value) : m_name(std::move(name))
    {
        if (const char* old = std::getenv(m_name.c_str()))
            m_old = old;
        value ? setenv(m_name.c_str(), value, 1) : unsetenv(m_name.c_str());
    }
    ~EnvironmentVariable() { m_old ? setenv(m_name.c_str(), m_old->c_str(), 1) : unsetenv(m_name.c_str()); }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// The largest picture the image model accepts.
struct PixelLimit {
    explicit PixelLimit(uint64_t pixels) { oxImage::setPixelLimit(pixels); }
    ~PixelLimit() { oxImage::setPixelLimit(old); }
    const uint64_t old = oxImage::pixelLimit();
};

// The threads the image operations use (0: the default).
struct ImageThreads {
    explicit ImageThreads(unsigned count) { oxSetImageThreads(count); }
    ~ImageThreads() { oxSetImageThreads(0); }
};

// A handler option such as "Quality" (removed again afterwards).
struct ImageOption {
    ImageOption(std::string name, int value) : name(std::move(name)) { setImageOption(this->name, value); }
    ~ImageOption() { removeImageOption(name); }
    const std::string name;
};

// The driver's texture facts replaced or limited, then the real ones back.
struct TextureDriver {
    TextureDriver() = default;
    explicit TextureDriver(const oxTextureCapabilities& caps) { overrideTextureCapabilities(caps); }
    ~TextureDriver()
    {
        overrideTextureCapabilities(std::nullopt);
        setTextureSizeLimit(0);
        setNPOTTexturesDisabled(false);
    }
    TextureDriver(const TextureDriver&) = delete;
    TextureDriver& operator=(const TextureDriver&) = delete;
};
