// Helpers of the JPEG tests: pictures made with cjpeg from generated PNM
// files, marker surgery, and djpeg as the reference decoder.
#pragma once

#include "../imagetest.h"

#include "oxengine/image/jpeg/jpeghandler.h"

namespace jpegtest {

#define REQUIRE_JPEG_TOOLS()                                                                                           \
    if (runCommand("command -v cjpeg && command -v djpeg && command -v jpegtran >/dev/null") != 0)                   \
    GTEST_SKIP() << "cjpeg, djpeg and jpegtran (libjpeg-turbo-progs) are needed"

// A cjpeg picture of detail at every frequency, different per channel: a misplaced block shows.
inline bool makeJpeg(const std::string& path, uint32_t w, uint32_t h, const std::string& options, int channels = 3)
{
    std::string pnm = (channels == 1 ? "P5\n" : "P6\n") + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (uint32_t c = 0; c < uint32_t(channels); ++c) {
                uint32_t n = (x * 73856093u) ^ (y * 19349663u) ^ (c * 83492791u);
                n = (n ^ (n >> 13)) * 0x5bd1e995u;
                pnm += char((x * (3 + c) + y * (5 - c) + ((n >> 15) & 63)) & 255);
            }
    const bool ok = writeFile(path + ".pnm", pnm) &&
                    runCommand("cjpeg " + options + " -outfile '" + path + "' '" + path + ".pnm' 2>&1") == 0;
    std::filesystem::remove(path + ".pnm");
    return ok;
}

struct Segment {
    int marker = 0;
    std::string data; // without the length bytes
    friend bool operator==(const Segment&, const Segment&) = default;
};

// The marker segments after SOI up to and including SOS; only those of one marker, or only APPn and COM, when asked.
enum { ALL = 0, APP_AND_COM = -1 };
inline std::vector<Segment> segments(const std::string& jpeg, int which = ALL)
{
    std::vector<Segment> found;
    for (size_t at = 2; at + 4 <= jpeg.size() && uint8_t(jpeg[at]) == 0xFF;) {
        const int marker = uint8_t(jpeg[at + 1]);
        const size_t length = size_t(uint8_t(jpeg[at + 2])) << 8 | uint8_t(jpeg[at + 3]);
        if (length < 2 || at + 2 + length > jpeg.size())
            break;
        const bool appOrCom = (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
        if (which == ALL || marker == which || (which == APP_AND_COM && appOrCom))
            found.push_back({marker, jpeg.substr(at + 4, length - 2)});
        if (marker == 0xDA)
            break;
        at += 2 + length;
    }
    return found;
}

// The file with extra segments after SOI, behind the JFIF marker when the
// file starts with one (or in its place when dropJfif is set).
inline std::string withSegments(const std::string& jpeg, const std::vector<Segment>& extra, bool dropJfif = false)
{
    size_t at = 2;
    std::string head = jpeg.substr(0, 2);
    if (uint8_t(jpeg[3]) == 0xE0) {
        at = 4 + (size_t(uint8_t(jpeg[4])) << 8 | uint8_t(jpeg[5]));
        if (!dropJfif)
            head = jpeg.substr(0, at);
    }
    for (const Segment& s : extra) {
        const size_t length = s.data.size() + 2;
        head += std::string{char(0xFF), char(s.marker), char(length >> 8), char(length & 0xFF)} + s.data;
    }
    return head + jpeg.substr(at);
}

// djpeg's decoding as PNM bytes, empty when it fails.
inline std::string djpeg(const std::string& path, const std::string& options = std::string())
{
    std::string bytes;
    return runCommand("djpeg " + options + " -pnm '" + path + "' 2>/dev/null", &bytes) == 0 ? bytes : std::string();
}

// An image's pixels as djpeg writes them (grey for components 1).
inline std::string asPnm(const oxImageUInt8& image)
{
    const bool grey = image.components() == 1;
    std::string bytes = (grey ? "P5\n" : "P6\n") + std::to_string(image.width()) + " " +
                        std::to_string(image.height()) + "\n255\n";
    for (uint32_t i = 0; i < image.width() * image.height(); ++i) {
        const oxColour& c = image.pixels()[i];
        bytes += grey ? std::string(1, char(c.r)) : std::string{char(c.r), char(c.g), char(c.b)};
    }
    return bytes;
}

// A scratch folder for each test, and a picture's name in it.
struct JpegTest : testing::Test {
    TempDir dir;
    const std::string file = dir.file("p.jpg");
};
// The load and transformation tests all compare with the reference tools.
struct JpegToolTest : JpegTest {
    void SetUp() override { REQUIRE_JPEG_TOOLS(); }
};
using JpegLoad = JpegToolTest;
using JpegSave = JpegTest;
using JpegTransform = JpegToolTest;
using ExifOrientation = JpegTest;

inline std::unique_ptr<oxImageUInt8> load(const std::string& path, const oxSize& maximum = oxSize())
{
    std::unique_ptr<oxImage> image = oxJpegHandler().loadImage(path, maximum);
    return std::unique_ptr<oxImageUInt8>(static_cast<oxImageUInt8*>(image.release()));
}

} // namespace jpegtest
