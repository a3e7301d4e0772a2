// The native box behind oxShowMessage/oxInputBox (internal to the engine).
#pragma once

#include "oxengine/messagebox.h"

#include <optional>

// Shows the box on the engine's own X connection and waits for the answer.
// Returns nothing when no X display can be opened.
std::optional<oxMessageAnswer> oxNativeMessageBox(const oxMessageRequest& request);
