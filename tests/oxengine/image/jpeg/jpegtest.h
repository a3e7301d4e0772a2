// Helpers of the JPEG tests: test pictures made with cjpeg from generated
// PNM files, marker surgery, and decoding with djpeg as the reference.
#pragma once

#include "oxengine/errors.h"
#include "oxengine/image/jpeg/jpeghandler.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace jpegtest {

inline bool haveTools()
{
    return runCommand("command -v cjpeg && command -v djpeg && command -v jpegtran >/dev/null 2>&1") == 0;
}

#define REQUIRE_JPEG_TOOLS()                                                                                           \
    do {                                                                                                               \
        if (!jpegtest::haveTools())                                                                                    \
            GTEST_SKIP() << "cjpeg, djpeg and jpegtran (libjpeg-turbo-progs) are needed";                              \
    } while (0)

inline std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Detail at every frequency plus slow gradients, different per channel, so a
// misplaced block or a wrong sign shows in the pixels.
inline uint8_t patternSample(uint32_t x, uint32_t y, uint32_t channel, uint32_t seed)
{
    uint32_t h = (x * 73856093u) ^ (y * 19349663u) ^ (channel * 83492791u) ^ seed;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return uint8_t((x * (3 + channel) + y * (5 - channel) + (h & 63)) & 255);
}

inline std::string pnm(uint32_t w, uint32_t h, int channels, uint32_t seed = 1)
{
    std::string bytes = (channels == 1 ? "P5\n" : "P6\n") + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c)
                bytes += char(patternSample(x, y, uint32_t(c), seed));
    return bytes;
}

// A JPEG made by cjpeg with the given options ("-sample 2x2 -progressive").
inline bool makeJpeg(const std::string& path, uint32_t w, uint32_t h, const std::string& options, int channels = 3,
                     uint32_t seed = 1)
{
    const std::string source = path + ".pnm";
    if (!writeFile(source, pnm(w, h, channels, seed)))
        return false;
    const bool ok = runCommand("cjpeg " + options + " -outfile " + quote(path) + " " + quote(source) + " 2>&1") == 0;
    std::remove(source.c_str());
    return ok;
}

struct Segment {
    int marker = 0;
    std::string data; // without the length bytes
    friend bool operator==(const Segment&, const Segment&) = default;
};

inline std::string segmentBytes(const Segment& s)
{
    const size_t length = s.data.size() + 2;
    return std::string{char(0xFF), char(s.marker), char(length >> 8), char(length & 0xFF)} + s.data;
}

// The marker segments from SOI up to and including SOS.
inline std::vector<Segment> headerSegments(const std::string& jpeg)
{
    std::vector<Segment> segments;
    size_t at = 2;
    while (at + 4 <= jpeg.size() && uint8_t(jpeg[at]) == 0xFF) {
        const int marker = uint8_t(jpeg[at + 1]);
        const size_t length = size_t(uint8_t(jpeg[at + 2])) << 8 | uint8_t(jpeg[at + 3]);
        if (length < 2 || at + 2 + length > jpeg.size())
            break;
        segments.push_back({marker, jpeg.substr(at + 4, length - 2)});
        if (marker == 0xDA)
            break;
        at += 2 + length;
    }
    return segments;
}

inline bool isAppOrComment(int marker)
{
    return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
}

inline std::vector<Segment> appAndCommentSegments(const std::string& jpeg)
{
    std::vector<Segment> kept;
    for (const Segment& s : headerSegments(jpeg))
        if (isAppOrComment(s.marker))
            kept.push_back(s);
    return kept;
}

inline std::vector<Segment> segmentsOf(const std::vector<Segment>& all, int marker)
{
    std::vector<Segment> kept;
    for (const Segment& s : all)
        if (s.marker == marker)
            kept.push_back(s);
    return kept;
}

// The file with extra segments after SOI (after the JFIF marker when the
// file starts with one); without the JFIF marker when dropJfif is set.
inline std::string withSegments(const std::string& jpeg, const std::vector<Segment>& extra, bool dropJfif = false)
{
    size_t at = 2;
    std::string head = jpeg.substr(0, 2);
    if (uint8_t(jpeg[2]) == 0xFF && uint8_t(jpeg[3]) == 0xE0) {
        const size_t length = size_t(uint8_t(jpeg[4])) << 8 | uint8_t(jpeg[5]);
        if (!dropJfif)
            head += jpeg.substr(2, 2 + length);
        at = 4 + length;
    }
    for (const Segment& s : extra)
        head += segmentBytes(s);
    return head + jpeg.substr(at);
}

// Exif- and ICC-like payloads: the handler must copy them byte for byte.
inline Segment exifSegment()
{
    std::string data("Exif\0\0MM\0*\0\0\0\x08", 14);
    for (int i = 0; i < 300; ++i)
        data += char(i * 7);
    return {0xE1, data};
}

inline Segment iccSegment()
{
    std::string data("ICC_PROFILE\0\x01\x01", 14);
    for (int i = 0; i < 500; ++i)
        data += char(255 - i % 251);
    return {0xE2, data};
}

// djpeg's decoding (PNM bytes), empty when it fails.
inline std::string djpeg(const std::string& path, const std::string& options = std::string())
{
    const std::string out = path + ".djpeg.pnm";
    std::string text;
    if (runCommand("djpeg " + options + " -pnm -outfile " + quote(out) + " " + quote(path) + " 2>&1", &text) != 0)
        return std::string();
    std::string bytes = readFile(out);
    std::remove(out.c_str());
    return bytes;
}

// The pixels of an image in the layout of djpeg's PNM output (grey for
// components 1, RGB otherwise), with the same header.
inline std::string asPnm(const oxImageUInt8& image)
{
    const bool grey = image.components() == 1;
    std::string bytes = (grey ? "P5\n" : "P6\n") + std::to_string(image.width()) + " " +
                        std::to_string(image.height()) + "\n255\n";
    for (uint32_t y = 0; y < image.height(); ++y) {
        for (uint32_t x = 0; x < image.width(); ++x) {
            const oxColour& c = image.at(x, y);
            bytes += char(c.r);
            if (!grey) {
                bytes += char(c.g);
                bytes += char(c.b);
            }
        }
    }
    return bytes;
}

inline std::unique_ptr<oxImageUInt8> load(const std::string& path, const oxSize& maximum = oxSize())
{
    std::unique_ptr<oxImage> image = oxJpegHandler().loadImage(path, maximum);
    EXPECT_EQ(image->sampleType(), ST_UINT8);
    return std::unique_ptr<oxImageUInt8>(static_cast<oxImageUInt8*>(image.release()));
}

// The message of the oxImageException fn throws ("" when it throws none).
template <class Fn> std::string imageError(Fn&& fn)
{
    try {
        fn();
    } catch (const oxImageException& e) {
        return e.oxException::getMessage();
    }
    return std::string();
}

// Every file name in the folder (hidden ones included), sorted.
inline std::vector<std::string> folderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace jpegtest
