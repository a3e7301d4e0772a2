// What an EXR file holds besides its pictures, read from its header without
// the library: whether it has several parts or deep data, and the names of
// its channels. A rewrite through the RGBA interface keeps only R, G, B and
// A (luminance and chroma become RGB), so it must not touch files with more.
#pragma once

#include <string>
#include <vector>

struct oxExrLayout {
    bool multipart = false;
    bool deep = false;
    std::vector<std::string> channels; // of the first part, in file order

    // Whether the RGBA interface reads everything the file holds.
    bool onlyRgba() const;
};

// False when the file is not an EXR file or its header is damaged.
bool oxReadExrLayout(const std::string& filename, oxExrLayout& layout);
