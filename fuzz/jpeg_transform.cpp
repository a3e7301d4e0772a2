// Arbitrary bytes to the lossless JPEG transformation (turn and comment from the first
// byte): a file it transformed must decode again.
#include "fuzztarget.h"

#include "oxengine/image/jpeg/jpeghandler.h"

OX_FUZZ_INITIALIZE("jpeg_transform", ".jpg")

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    fuzztarget::write(data + 1, size - 1);
    oxImageTransform transform;
    transform.rotation = data[0] & 3;
    transform.setComment = (data[0] & 4) != 0;
    transform.comment = "fuzz";
    const oxJpegHandler handler;
    try {
        handler.transformFile(fuzztarget::path(), transform);
    } catch (const oxImageException&) {
        return 0;
    }
    if (transform.rotation == 0 && !transform.setComment)
        return 0; // nothing was written
    try {
        (void)handler.loadImage(fuzztarget::path(), oxSize(64, 64));
    } catch (const oxImageException& e) {
        std::fprintf(stderr, "a transformed file does not decode: %s\n", e.what());
        std::abort();
    }
    return 0;
}
