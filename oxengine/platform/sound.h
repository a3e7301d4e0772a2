// System sounds through libcanberra, with XBell as the fallback.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

// The process-wide sound switch, true at start.
extern std::atomic<bool> soundEnabled;

// 1 information, 2 warning, 3 error, 4 question, anything else the plain beep.
// Does nothing when sound is off; a missing audio device is not an error.
// Returns true (the call is reported as done either way). The sound is
// played on a thread of its own, so the caller never waits for the audio
// system; a burst of beeps is cut short instead of queueing up.
bool beep(int kind);

// The freedesktop event sound for a kind ("dialog-warning", ..., "bell").
const char* oxSoundEventId(int kind);

// Test seam: a player that receives the event id instead of libcanberra and
// XBell (called on the sound thread); an empty function restores them.
// Returns the previous player.
using oxSoundPlayer = std::function<void(const char* eventId)>;
oxSoundPlayer oxSetSoundPlayer(oxSoundPlayer player);
// Waits until every queued sound has been played; false after the limit.
bool oxFlushSounds(std::chrono::milliseconds limit);

// Whether an audio output can be expected: a PulseAudio/PipeWire server
// (PULSE_SERVER, or its socket in the runtime folder) or an ALSA playback
// device in the device folder. Without one libcanberra is not asked at all
// (the sound library would only print errors) and XBell is used.
bool oxAudioOutputAvailable(const std::string& runtimeDir, const std::string& pulseServer,
                            const std::string& soundDeviceDir);
