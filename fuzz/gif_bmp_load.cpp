// Feeds arbitrary bytes to the GIF/BMP handler (GdkPixbuf behind it) through
// the registry: every input must load or fail with oxImageException. The
// handler picks the decoder by the file's first bytes, so one name serves
// both formats.
#include "fuzztarget.h"

OX_FUZZ_LOAD_TARGET("gif_bmp_load", ".gif", uint64_t(1) << 19)
