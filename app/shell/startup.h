// Start-up of the program: before the application object exists the engine's
// failure reports, file-name support and settings store, and what the
// settings say about sound and the look of the widgets; once the window is
// there its font.
#pragma once

#include <cstdio>
#include <string>

// The engine's own failure reports (broken invariants, an unreadable
// catalogue) shown in its message box; file names (program path, working and
// documents folders); the settings store of "Quorvel Software" / "Pictavo".
void prepareEngine(const std::string& programPath);

// The sound switch from "NoSound" and the process-wide GUI style from
// "GuiTextHeight", "GuiFgColour" and "GuiBgColour" (defaults and ranges from
// the key table; a text that is not a colour ("#rrggbb" and kin) gives its
// default).
void applyStoredSettings();

// Loads the font of the widgets while the window's context is current and
// shows what went wrong with it, once.
void loadInterfaceFont();

// -nosound: sound off now and at later starts.
void disableSoundForGood();

// The usage on out; in a message box as well unless out is a terminal (a
// user who typed --help reads it there and needs no box).
void showUsage(std::FILE* out, bool outIsTerminal);
