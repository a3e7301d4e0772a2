// Start-up of the program: before the application object exists the engine's
// failure reports, file-name support and settings store, and what the
// settings say about sound and the look of the widgets; once the window is
// there its font.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

struct CommandLine;

// The engine's own failure reports (broken invariants, an unreadable
// catalogue) shown in its message box; file names (working and documents
// folders); the settings store of "Quorvel Software" / "Pictavo".
void prepareEngine();

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

// What the command line asks before any window: a usage error goes to err
// with the usage (exit code 2); the version and the usage go to out (exit
// code 0), the usage also in a message box when no terminal is attached (a
// start from a desktop launcher, where out is read by nobody). Nothing
// when the program is to start.
std::optional<int> answerCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err, bool terminalAttached);
// Whether standard input, output or error is a terminal.
bool terminalAttached();
