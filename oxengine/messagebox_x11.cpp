#include "oxengine/messagebox_native.h"

// Placeholder until the X11 box lands: no window, the caller falls back to stderr.
std::optional<oxMessageAnswer> oxNativeMessageBox(const oxMessageRequest&)
{
    return std::nullopt;
}
