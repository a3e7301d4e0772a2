// Start-up of the program before the application object exists: the engine's
// file-name support and settings store, and what the settings say about
// sound and the look of the widgets.
#pragma once

#include <cstdio>
#include <string>

// File names (program path, working and documents folders) and the settings
// store of "Quorvel Software" / "Pictavo".
void prepareEngine(const std::string& programPath);

// The sound switch from "NoSound" and the process-wide GUI style from
// "GuiTextHeight", "GuiFgColour" and "GuiBgColour" (defaults and ranges from
// the key table; a text that is not a colour ("#rrggbb" and kin) gives its
// default).
void applyStoredSettings();

// -nosound: sound off now and at later starts.
void disableSoundForGood();

// The usage on out; in a message box as well unless out is a terminal (a
// user who typed --help reads it there and needs no box).
void showUsage(std::FILE* out, bool outIsTerminal);
