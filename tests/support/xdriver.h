// Driving X11 programs from tests under Xvfb, and running a case in a process of its own.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// Runs "xdotool <args>" (stderr in output), again when the connection was refused; its exit status.
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

// A whole test case in a forked child, killed after limit; skipped without an X display. freeglut, Mesa
// and Xlib do not reset a second GLUT session cleanly, so each GL case gets a fresh process.
void isolatedCase(const std::function<void()>& body, std::chrono::seconds limit = std::chrono::seconds(90));
