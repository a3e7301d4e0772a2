// Feeds arbitrary bytes to the JPEG decoder through the registry, at full
// size and reduced: every input must load or fail with oxImageException,
// without reading or writing out of bounds and without leaking.
#include "fuzztarget.h"

OX_FUZZ_LOAD_TARGET("jpeg_load", ".jpg")
