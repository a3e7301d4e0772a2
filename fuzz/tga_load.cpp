// Arbitrary bytes to the TGA decoder through the registry.
#include "fuzztarget.h"

OX_FUZZ_LOAD_TARGET("tga_load", ".tga", uint64_t(1) << 19)
