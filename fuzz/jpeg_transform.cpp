// Feeds arbitrary bytes to the lossless JPEG transformation (a turn chosen by
// the first byte, sometimes with a new comment): it must succeed or fail with
// oxImageException without touching memory it does not own, and a file it
// did transform must decode again.
#include "oxengine/errors.h"
#include "oxengine/image/jpeg/jpeghandler.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string g_path;

void removeScratchFile()
{
    unlink(g_path.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    oxImage::setPixelLimit(uint64_t(1) << 24);
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/fuzz_jpeg_transform_XXXXXX.jpg";
    const int fd = mkstemps(pattern.data(), 4);
    if (fd < 0)
        std::abort();
    close(fd);
    g_path = pattern;
    std::atexit(removeScratchFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    std::FILE* f = std::fopen(g_path.c_str(), "wb");
    if (!f)
        std::abort();
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
    oxImageTransform transform;
    transform.rotation = data[0] & 3;
    transform.setComment = (data[0] & 4) != 0;
    transform.comment = "fuzz";
    const oxJpegHandler handler;
    try {
        handler.transformFile(g_path, transform);
    } catch (const oxImageException&) {
        return 0;
    }
    if (transform.rotation == 0 && !transform.setComment)
        return 0; // nothing was written
    try {
        (void)handler.loadImage(g_path, oxSize(64, 64));
    } catch (const oxImageException& e) {
        std::fprintf(stderr, "a transformed file does not decode: %s\n", e.what());
        std::abort();
    }
    return 0;
}
