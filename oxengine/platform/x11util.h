// Small Xlib helpers shared by the engine's X11 code (main loop, message
// boxes, sounds).
#pragma once

#include <vector>

struct _XDisplay;

// Xlib's default error handler ends the process; the engine's connections
// report X errors on stderr instead and go on. Idempotent, any thread; also
// calls XInitThreads before anything else.
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

// XOpenDisplay that tries again briefly: some servers drop a connection
// accepted right after another client went away. Null when there is no
// display (at once when none is named and DISPLAY is unset).
_XDisplay* oxOpenXDisplay(const char* name = nullptr);

// Sends an empty client message of type atom to window and flushes. With
// no event mask it reaches the client that created the window, whoever
// else watches it.
void oxSendClientMessage(_XDisplay* display, unsigned long window, unsigned long atom);

// Size in pixels of the default screen of the default display; false (and
// nothing written) when there is no display.
bool oxPrimaryScreenSize(int& width, int& height);

// The ICC profile the display publishes for its first screen (the root
// window's _ICC_PROFILE property, as colour management tools set it); empty
// when there is none.
std::vector<unsigned char> oxDisplayIccProfile(_XDisplay* display);
