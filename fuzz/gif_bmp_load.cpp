// Arbitrary bytes to the GIF/BMP handler, which picks the decoder by the first bytes.
#include "fuzztarget.h"

OX_FUZZ_LOAD_TARGET("gif_bmp_load", ".gif", uint64_t(1) << 19)
