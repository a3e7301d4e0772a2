// Feeds arbitrary bytes to the GIF/BMP handler (GdkPixbuf behind it) through
// the registry: every input must load or fail with oxImageException. The
// handler picks the decoder by the file's first bytes, so one name serves
// both formats.
#include "oxengine/errors.h"
#include "oxengine/image/handler.h"
#include "scratchfile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzscratch::create("gif_bmp_load", ".gif", uint64_t(1) << 19);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzscratch::write(data, size);
    try {
        (void)oxImageRegistry::instance().loadImage(fuzzscratch::path(), oxSize());
    } catch (const oxImageException&) {
    }
    return 0;
}
