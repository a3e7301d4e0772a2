#include "oxengine/image/exr/exrlayout.h"

#include "oxengine/image/formatsupport.h"

#include <cstring>

namespace {

constexpr unsigned char MAGIC[4] = {0x76, 0x2f, 0x31, 0x01};
constexpr uint32_t FLAG_TILED = 0x200;
constexpr uint32_t FLAG_LONG_NAMES = 0x400;
constexpr uint32_t FLAG_NON_IMAGE = 0x800; // deep data
constexpr uint32_t FLAG_MULTIPART = 0x1000;
constexpr int MAX_ATTRIBUTES = 100000;
constexpr int32_t MAX_CHANNEL_LIST = 1 << 24;

uint32_t le32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A NUL-ended name of at most limit bytes.
bool readName(std::FILE* f, size_t limit, std::string& name)
{
    name.clear();
    for (;;) {
        const int c = std::fgetc(f);
        if (c == EOF)
            return false;
        if (c == 0)
            return true;
        if (name.size() == limit)
            return false;
        name += char(c);
    }
}

bool parseChannels(const std::string& value, std::vector<std::string>& channels)
{
    size_t at = 0;
    while (at < value.size() && value[at] != '\0') {
        const size_t end = value.find('\0', at);
        if (end == std::string::npos || end + 1 + 16 > value.size())
            return false;
        channels.push_back(value.substr(at, end - at));
        at = end + 1 + 16; // pixel type, linear flag, reserved, x and y sampling
    }
    return at < value.size();
}

} // namespace

bool oxExrLayout::onlyRgba() const
{
    if (multipart || deep || channels.empty())
        return false;
    for (const std::string& c : channels) {
        if (c != "R" && c != "G" && c != "B" && c != "A" && c != "Y" && c != "RY" && c != "BY")
            return false;
    }
    return true;
}

bool oxReadExrLayout(const std::string& filename, oxExrLayout& layout)
{
    int error = 0;
    oxStdioFile file = oxOpenRegularStream(filename, "rb", error);
    if (!file)
        return false;
    std::FILE* f = file.get();
    unsigned char start[8];
    if (std::fread(start, 1, 8, f) != 8 || std::memcmp(start, MAGIC, 4) != 0)
        return false;
    const uint32_t flags = le32(start + 4);
    layout.multipart = flags & FLAG_MULTIPART;
    layout.deep = flags & FLAG_NON_IMAGE;
    layout.tiled = flags & FLAG_TILED;
    const size_t nameLimit = flags & FLAG_LONG_NAMES ? 255 : 31;
    std::string name, type;
    for (int i = 0; i < MAX_ATTRIBUTES; ++i) {
        if (!readName(f, nameLimit, name))
            return false;
        if (name.empty())
            return true; // the end of the (first) header
        unsigned char sizeBytes[4];
        if (!readName(f, nameLimit, type) || std::fread(sizeBytes, 1, 4, f) != 4)
            return false;
        const int32_t size = int32_t(le32(sizeBytes));
        if (size < 0)
            return false;
        const bool channels = name == "channels" && type == "chlist";
        const bool partType = name == "type" && type == "string";
        const bool tiles = name == "tiles" && type == "tiledesc";
        layout.environmentMap = layout.environmentMap || name == "envmap";
        if (tiles && size == 9) {
            unsigned char t[9];
            if (std::fread(t, 1, 9, f) != 9)
                return false;
            layout.tileWidth = le32(t);
            layout.tileHeight = le32(t + 4);
            layout.levelMode = t[8] & 0x0f;
            layout.roundingMode = t[8] >> 4;
        } else if (channels || partType) {
            if (size > MAX_CHANNEL_LIST)
                return false;
            std::string value(size_t(size), '\0');
            if (std::fread(value.data(), 1, value.size(), f) != value.size())
                return false;
            if (channels && !parseChannels(value, layout.channels))
                return false;
            if (partType && value.rfind("deep", 0) == 0)
                layout.deep = true;
        } else if (std::fseek(f, size, SEEK_CUR) != 0) {
            return false;
        }
    }
    return false;
}
