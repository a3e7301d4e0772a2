// System sounds through libcanberra, with XBell as the fallback.
#pragma once

#include <atomic>

// The process-wide sound switch, true at start.
extern std::atomic<bool> soundEnabled;

// 1 information, 2 warning, 3 error, 4 question, anything else the plain beep.
// Does nothing when sound is off; a missing audio device is not an error.
// Returns true (the call is reported as done either way).
bool beep(int kind);
