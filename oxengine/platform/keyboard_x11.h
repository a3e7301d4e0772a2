// The main window's keyboard, read on an X connection of its own.
// freeglut hands key presses on as single Latin-1 bytes and drops every
// other character, so the framework takes the window's key events away from
// freeglut's connection and reads all of them here instead: one reader for
// every key keeps delivery exactly once and in the order typed. The reader
// is a thread that sleeps in the X event wait; each key it queues wakes the
// main loop, which takes the keys one at a time (a key that opens a modal
// dialog leaves the following ones to the dialog's loop). Dead keys and the
// Compose key type what the user's compose table says.
#pragma once

#include "oxengine/platform/compose.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct _XDisplay;

struct oxKeyEvent {
    int code = 0;
    bool special = false;
    bool pressed = true;
    int modifiers = 0; // KM_* bits
};

class oxX11Keyboard {
public:
    // Watches window (on the display named displayName) for key events;
    // wake is called from the reader thread after each queued key. Null when
    // the connection cannot be opened.
    static std::unique_ptr<oxX11Keyboard> create(const char* displayName, unsigned long window,
                                                 std::function<void()> wake);
    ~oxX11Keyboard();
    oxX11Keyboard(const oxX11Keyboard&) = delete;
    oxX11Keyboard& operator=(const oxX11Keyboard&) = delete;

    // Main thread: the oldest key not taken yet; false when none is queued.
    bool take(oxKeyEvent& key);

private:
    oxX11Keyboard(_XDisplay* display, unsigned long window, std::function<void()> wake);
    void read();
    void push(const oxKeyEvent& key);

    _XDisplay* m_display; // owned
    unsigned long m_window;
    unsigned long m_stopWindow = 0; // ours: the stop message goes to it
    unsigned long m_stopAtom = 0;
    std::function<void()> m_wake;
    std::unique_ptr<oxKeyComposer> m_composer; // the reader's
    std::mutex m_mutex;
    std::deque<oxKeyEvent> m_keys;
    std::thread m_reader;
};
