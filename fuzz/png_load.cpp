// Feeds arbitrary bytes to the PNG decoder through the registry, at full size
// and reduced, and to the comment rewrite: every input must load or fail
// with oxImageException without reading or writing out of bounds, and a
// file whose comment was rewritten must decode with the new comment.
#include "fuzztarget.h"

OX_FUZZ_INITIALIZE("png_load", ".png")

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzztarget::write(data, size);
    fuzztarget::loadEverySize();
    const oxImageRegistry& registry = oxImageRegistry::instance();
    const std::string& file = fuzztarget::path();
    oxImageTransform change;
    change.setComment = true;
    change.comment = size % 2 ? "fuzz" : "f\xc3\xbcz";
    try {
        registry.transformFile(file, change);
    } catch (const oxImageException&) {
        return 0;
    }
    // The rewrite decoded the file first, so it loads, with its new comment.
    try {
        if (registry.loadImage(file, oxSize())->comment() != change.comment)
            std::abort();
    } catch (const oxImageException&) {
        std::abort();
    }
    return 0;
}
