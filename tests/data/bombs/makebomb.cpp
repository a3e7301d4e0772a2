// makebomb KIND FILE [WIDTH [HEIGHT]]: writes a decompression bomb (see
// bombs.h); KIND is exr, bmp, png, jpeg or tga.
#include "bombs.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    Bomb kind{};
    if (argc < 3 || argc > 5 || !bombNamed(argv[1], kind)) {
        std::fprintf(stderr, "usage: makebomb exr|bmp|png|jpeg|tga FILE [WIDTH [HEIGHT]]\n");
        return 2;
    }
    const uint32_t width = argc > 3 ? uint32_t(std::strtoul(argv[3], nullptr, 10)) : defaultBombSide(kind);
    const uint32_t height = argc > 4 ? uint32_t(std::strtoul(argv[4], nullptr, 10)) : width;
    if (width == 0 || height == 0 || !writeBomb(kind, argv[2], width, height)) {
        std::fprintf(stderr, "makebomb: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
