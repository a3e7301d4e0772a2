// Arbitrary bytes to the PNG decoder and the comment rewrite: a rewritten file must
// decode with its new comment.
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
