// Feeds arbitrary bytes to the TGA decoder through the registry, at full size
// and reduced: every input must load or fail with oxImageException, without
// reading or writing out of bounds and without leaking.
#include "oxengine/errors.h"
#include "oxengine/image/handler.h"
#include "scratchfile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzscratch::create("tga_load", ".tga", uint64_t(1) << 19);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzscratch::write(data, size);
    for (const oxSize& maximum : {oxSize(), oxSize(64, 64)}) {
        try {
            (void)oxImageRegistry::instance().loadImage(fuzzscratch::path(), maximum);
        } catch (const oxImageException&) {
        }
    }
    return 0;
}
