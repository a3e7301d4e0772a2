// A picture held in memory rendered at a given size through GdkPixbuf (any
// format its loaders read; SVG where the desktop's SVG loader is installed).
// For small pictures of the program itself, such as its window icon.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// size x size ARGB pixels (alpha in the top byte), rows top first; empty
// when the bytes cannot be read.
std::vector<uint32_t> oxRenderPictureBytes(std::string_view bytes, int size);
