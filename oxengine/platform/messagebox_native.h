// The native box behind oxShowMessage/oxInputBox (internal to the engine).
#pragma once

#include "oxengine/platform/messagebox.h"

#include <optional>
#include <string>
#include <vector>

// Shows the box on the engine's own X connection and waits for the answer.
// Returns nothing when no X display can be opened. Boxes from several
// threads are shown one after the other.
std::optional<oxMessageAnswer> oxNativeMessageBox(const oxMessageRequest& request);

// Test seam: the core font names a native box tries in order (empty: the
// engine's defaults).
void oxSetNativeBoxFonts(std::vector<std::string> names);
