// Xlib's default error handler ends the process; the engine's connections
// (the GLUT window, the message boxes, the wake-up channel) report X errors
// on stderr instead and go on.
#pragma once

// Idempotent, any thread; also calls XInitThreads before anything else.
void oxInstallXErrorHandler();

// While alive, X errors are expected (a window another client destroyed) and
// not reported. Call XSync on the display before it ends: errors arrive late.
class oxQuietXErrors {
public:
    oxQuietXErrors();
    ~oxQuietXErrors();
    oxQuietXErrors(const oxQuietXErrors&) = delete;
    oxQuietXErrors& operator=(const oxQuietXErrors&) = delete;
};
