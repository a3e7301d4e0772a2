// What an EXR file holds besides its pictures, read from its header without
// the library: whether it has several parts or deep data, the names of its
// channels, how it is tiled and whether it is an environment map. A rewrite
// through the RGBA interface keeps only R, G, B and A (or luminance and
// chroma), so it must not touch files with more.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct oxExrLayout {
    bool multipart = false;
    bool deep = false;
    std::vector<std::string> channels; // of the first part, in file order
    bool tiled = false;
    uint32_t tileWidth = 0, tileHeight = 0;
    int levelMode = 0;    // 0 one level, 1 mip-map, 2 rip-map levels
    int roundingMode = 0; // of the level sizes: 0 down, 1 up
    bool environmentMap = false; // an "envmap" attribute

    // Whether the RGBA interface reads everything the file holds.
    bool onlyRgba() const;
};

// False when the file is not an EXR file or its header is damaged.
bool oxReadExrLayout(const std::string& filename, oxExrLayout& layout);
