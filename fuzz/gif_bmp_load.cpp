// Feeds arbitrary bytes to the GIF/BMP handler (GdkPixbuf behind it) through
// the registry: every input must load or fail with oxImageException. The
// handler picks the decoder by the file's first bytes, so one name serves
// both formats.
#include "fuzztarget.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzztarget::create("gif_bmp_load", ".gif", uint64_t(1) << 19);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzztarget::write(data, size);
    fuzztarget::loadEverySize();
    return 0;
}
