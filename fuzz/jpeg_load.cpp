// Feeds arbitrary bytes to the JPEG decoder through the registry, at full
// size and reduced: every input must load or fail with oxImageException,
// without reading or writing out of bounds and without leaking.
#include "fuzztarget.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzztarget::create("jpeg_load", ".jpg");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzztarget::write(data, size);
    fuzztarget::loadEverySize();
    return 0;
}
