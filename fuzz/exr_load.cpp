// Feeds arbitrary bytes to the EXR handler (the OpenEXR library behind it),
// and the header scan the rotation uses: every input must load or fail with
// oxImageException. Does nothing where the library is not installed.
#include "fuzztarget.h"

#include "oxengine/image/exr/exrlayout.h"

OX_FUZZ_INITIALIZE("exr_load", ".exr", uint64_t(1) << 20)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzztarget::write(data, size);
    oxExrLayout layout;
    (void)oxReadExrLayout(fuzztarget::path(), layout);
    if (oxImageRegistry::instance().canLoad(fuzztarget::path()))
        fuzztarget::loadEverySize();
    return 0;
}
