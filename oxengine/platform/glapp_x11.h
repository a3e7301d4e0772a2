// X11/GLX side of the GLUT main loop (internal to the framework): the wake-up
// channel other threads use, the sleep until the next event, and the GLX
// queries behind the native handles and the swap interval.
#pragma once

#include "oxengine/platform/glapp.h"
#include "oxengine/platform/keyboard_x11.h"

#include <X11/Xlib.h>

#include <mutex>
#include <vector>

// Main thread: while on, the next window mapped on any connection carries
// _NET_WM_STATE_FULLSCREEN from its first map, so a window manager shows it
// full-screen at once rather than as a framed window first (freeglut maps
// its window inside glutCreateWindow, before we could set the state).
void oxMapNextWindowFullScreen(bool on);

struct oxGLUTPlatform {
    ~oxGLUTPlatform() { close(); }

    // Main thread, once the GLUT window exists (its GL context current).
    void open();
    // Main thread, before the window goes; later wake-ups do nothing.
    void close();

    // Any thread: makes the main thread's waitForEvent return. Sent over a
    // connection of our own, so it never touches freeglut's.
    void sendWake();
    // Main thread: removes queued wake-ups so freeglut never sees them, and
    // reports whether another client destroyed the window (as far as the
    // queued events tell).
    bool drainWakesAndCheckDestroyed();
    // Main thread: asks the server whether the window still exists (a round
    // trip; freeglut swallows the DestroyNotify, so this is the sure test).
    bool windowExists() const;
    // Main thread: blocks until freeglut's connection has an event, or at
    // most timeoutMs milliseconds when that is 0 or more.
    void waitForEvent(int timeoutMs = -1);

    // Main thread: the oldest key typed in the window not delivered yet.
    // False when none is waiting, and always while freeglut reads the keys
    // itself (the keyboard's own connection could not be opened).
    bool takeKey(oxKeyEvent& key);

    oxNativeWindowHandles handles() const { return m_handles; }
    bool setSwapInterval(bool on) const;
    // Main thread: whether a window manager runs that takes full-screen
    // requests (_NET_WM_STATE_FULLSCREEN among its _NET_SUPPORTED).
    bool managerDoesFullScreen() const;
    // Main thread: asks that window manager to add or remove the state.
    void requestFullScreen(bool on) const;
    // Main thread: the window's _NET_WM_ICON (width, height, ARGB pixels).
    void setIcon(const std::vector<unsigned long>& icon) const;

private:
    oxNativeWindowHandles m_handles;
    Display* m_display = nullptr; // freeglut's connection (not owned)
    Window m_window = 0;

    std::mutex m_wakeMutex;
    Display* m_wakeDisplay = nullptr; // owned
    Window m_wakeWindow = 0; // an unmapped window of freeglut's connection
    Window m_wakeTarget = 0; // the same window, for the main thread
    Atom m_wakeAtom = 0;

    std::unique_ptr<oxX11Keyboard> m_keyboard;
};
