// Driving X11 programs from tests under Xvfb: display probe, xdotool, and
// running a case in a child process of its own.
#pragma once

#include <chrono>
#include <functional>
#include <string>

// True when an X display can be opened.
bool haveXDisplay();

// Runs "xdotool <args>" (stderr included in output); tries again when the
// X connection itself was refused. Returns xdotool's exit status.
int xdotool(const std::string& args, std::string* output = nullptr);

// Polls done every 5 ms until it holds or the limit passes.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

// Runs body in a forked child (startChild) and waits for it, killing it after
// limit.
// freeglut, Mesa and Xlib keep per-process state that a second GLUT session in
// one process does not reset cleanly, so each GL case gets a fresh process.
// The child reports assertion failures on stdout as they happen; the result
// is true when it ended without failures.
bool runIsolated(const std::function<void()>& body, std::chrono::seconds limit);
