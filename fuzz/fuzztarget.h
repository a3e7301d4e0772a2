// What the picture fuzz targets share: handlers read files by name, so each input goes
// to a scratch file first; every load must succeed or throw oxImageException.
#pragma once

#include "oxengine/core/errors.h"
#include "oxengine/image/handler.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzztarget {

inline std::string& path()
{
    static std::string p;
    return p;
}

// A fresh scratch file name, removed at exit; the pixel limit keeps the decoders within the
// fuzzer's memory (a header alone can ask for the largest picture allowed).
inline void create(const char* name, const char* extension, uint64_t pixelLimit = uint64_t(1) << 24)
{
    oxImage::setPixelLimit(pixelLimit);
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/fuzz_" + name + "_XXXXXX" + extension;
    const int fd = mkstemps(pattern.data(), int(std::string(extension).size()));
    if (fd < 0)
        std::abort();
    close(fd);
    path() = pattern;
    std::atexit([] { unlink(path().c_str()); });
}

inline void write(const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(path().c_str(), "wb");
    if (!f)
        std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

// Loads the scratch file through the registry at full size and reduced.
inline void loadEverySize()
{
    for (const oxSize& maximum : {oxSize(), oxSize(64, 64)}) {
        try {
            (void)oxImageRegistry::instance().loadImage(path(), maximum);
        } catch (const oxImageException&) {
        }
    }
}

} // namespace fuzztarget

// The LLVMFuzzerInitialize of a picture target: fuzztarget::create(name, extension[, pixel limit]).
#define OX_FUZZ_INITIALIZE(name, extension, ...)                                                                       \
    extern "C" int LLVMFuzzerInitialize(int*, char***)                                                                 \
    {                                                                                                                  \
        fuzztarget::create(name, extension __VA_OPT__(, ) __VA_ARGS__);                                                \
        return 0;                                                                                                      \
    }

// A whole fuzz target that feeds each input, as a file with the extension,
// to the registry at every size (pixel limit as for create).
#define OX_FUZZ_LOAD_TARGET(name, extension, ...)                                                                      \
    OX_FUZZ_INITIALIZE(name, extension __VA_OPT__(, ) __VA_ARGS__)                                                     \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)                                            \
    {                                                                                                                  \
        fuzztarget::write(data, size);                                                                                 \
        fuzztarget::loadEverySize();                                                                                   \
        return 0;                                                                                                      \
    }
