// Feeds arbitrary bytes to the EXR handler (the OpenEXR library behind it),
// and the header scan the rotation uses: every input must load or fail with
// oxImageException. Does nothing where the library is not installed.
#include "oxengine/errors.h"
#include "oxengine/image/exr/exrlayout.h"
#include "oxengine/image/handler.h"
#include "scratchfile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzscratch::create("exr_load", ".exr", uint64_t(1) << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzscratch::write(data, size);
    oxExrLayout layout;
    (void)oxReadExrLayout(fuzzscratch::path(), layout);
    if (!oxImageRegistry::instance().canLoad(fuzzscratch::path()))
        return 0;
    try {
        (void)oxImageRegistry::instance().loadImage(fuzzscratch::path(), oxSize());
    } catch (const oxImageException&) {
    }
    return 0;
}
