// Arbitrary bytes to the EXR handler and the header scan the rotation uses (nothing
// to do without the OpenEXR library).
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
