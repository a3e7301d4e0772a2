// Feeds arbitrary bytes to the JPEG decoder through the registry, at full
// size and reduced: every input must load or fail with oxImageException,
// without reading or writing out of bounds and without leaking.
#include "oxengine/errors.h"
#include "oxengine/image/handler.h"

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
    // Keeps the decoder's buffers within the fuzzer's memory limit.
    oxImage::setPixelLimit(uint64_t(1) << 24);
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/fuzz_jpeg_load_XXXXXX.jpg";
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
    std::FILE* f = std::fopen(g_path.c_str(), "wb");
    if (!f)
        std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    for (const oxSize& maximum : {oxSize(), oxSize(64, 64)}) {
        try {
            (void)oxImageRegistry::instance().loadImage(g_path, maximum);
        } catch (const oxImageException&) {
        }
    }
    return 0;
}
