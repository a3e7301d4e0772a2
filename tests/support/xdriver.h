// Driving X11 programs from tests under Xvfb: display probe, xdotool, the
// windows a program shows, and running a case in a child process of its own.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// True when an X display can be opened.
bool haveXDisplay();

// Runs "xdotool <args>" (stderr included in output); tries again when the
// X connection itself was refused. Returns xdotool's exit status.
int xdotool(const std::string& args, std::string* output = nullptr);

// The visible windows whose name matches the pattern (an extended regular expression, as xdotool search takes it).
std::vector<unsigned long> visibleWindows(const std::string& namePattern);

// Waits until the window has the keyboard focus, so that XTEST keys reach it.
bool waitForFocus(unsigned long window, std::chrono::milliseconds limit);

// Moves the pointer to (x, y) of the window and clicks the button there.
void clickInWindow(unsigned long window, int x, int y, int button = 1);

// Sends the close request a window manager sends for the title bar's button.
void requestWindowClose(unsigned long window);

// Polls done every 5 ms until it holds or the limit passes.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));

// Runs body in a forked child (startChild) and waits for it, killing it after
// limit.
// freeglut, Mesa and Xlib keep per-process state that a second GLUT session in
// one process does not reset cleanly, so each GL case gets a fresh process.
// The child reports assertion failures on stdout as they happen; the result
// is true when it ended without failures.
bool runIsolated(const std::function<void()>& body, std::chrono::seconds limit);

// A whole test case in a process of its own (runIsolated); skipped without an X display.
void isolatedCase(const std::function<void()>& body, std::chrono::seconds limit = std::chrono::seconds(90));
