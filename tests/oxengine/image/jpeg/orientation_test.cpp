// Exif orientation: pictures come upright out of the decoder, and lossless
// turns follow what the user saw (checked against jpegtran plus a tag edit).
#include "jpegtest.h"

#include "oxengine/image/orientation.h"

using namespace jpegtest;

namespace {

// An APP1 marker with an IFD0 holding only the orientation tag. The tag's
// value lies at ORIENTATION_AT within the marker's data.
constexpr size_t ORIENTATION_AT = 24;
Segment exifOrientation(int code, bool bigEndian = true)
{
    auto u16 = [&](int v) { return bigEndian ? std::string{char(v >> 8), char(v)} : std::string{char(v), char(v >> 8)}; };
    auto u32 = [&](uint32_t v) { return bigEndian ? u16(int(v >> 16)) + u16(int(v & 0xFFFF)) : u16(int(v & 0xFFFF)) + u16(int(v >> 16)); };
    std::string d("Exif\0\0", 6);
    d += bigEndian ? std::string("MM\0*", 4) : std::string("II*\0", 4);
    d += u32(8) + u16(1) + u16(0x0112) + u16(3) + u32(1) + u16(code) + u16(0) + u32(0);
    return {0xE1, d};
}

int orientationOf(const std::string& exif)
{
    return oxJpegExifOrientation(reinterpret_cast<const unsigned char*>(exif.data()), exif.size());
}

int tagOf(const std::string& jpeg)
{
    for (const Segment& s : segments(jpeg, 0xE1))
        if (int code = orientationOf(s.data))
            return code;
    return 0;
}

} // namespace

// The tag's reader takes well-formed data only.
TEST_F(ExifOrientation, ReaderUprightLoadsAndTurns)
{
    const std::string good = exifOrientation(6, false).data;
    EXPECT_EQ(orientationOf(good), 6);
    for (size_t cut = 0; cut < ORIENTATION_AT + 2; ++cut)
        EXPECT_EQ(orientationOf(good.substr(0, cut)), 0) << cut;
    for (const auto& [at, value] : {std::pair{size_t(18), 4}, {ORIENTATION_AT, 9}}) { // LONG, not SHORT; beyond 8
        std::string bad = good;
        bad[at] = char(value);
        EXPECT_EQ(orientationOf(bad), 0) << at;
    }

    // 64 x 48, four flat quadrants that JPEG keeps close to their colours.
    const oxColour quadrant[4] = {{220, 30, 30, 255}, {30, 200, 40, 255}, {40, 40, 210, 255}, {230, 230, 40, 255}};
    const auto reference =
        imageOf<oxColour>(64, 48, [&](uint32_t x, uint32_t y) { return quadrant[(y >= 24) * 2 + (x >= 32)]; });
    for (int code = 1; code <= 8; ++code) {
        SCOPED_TRACE(code);
        const auto stored = oxOrientedCopy(*reference, oxOrientation::fromExif(code).inverse());
        const std::string path = dir.file("o" + std::to_string(code) + ".jpg");
        oxJpegHandler().saveImage(*stored, path, oxToneMapping::neutral());
        ASSERT_TRUE(writeFile(path, withSegments(readFile(path), {exifOrientation(code, code % 2 == 0)})));
        const auto image = load(path);
        ASSERT_EQ(image->size(), oxSize(64, 48));
        for (int q = 0; q < 4; ++q) {
            const oxColour got = image->at(16 + 32 * (q & 1), 12 + 24 * (q >> 1)), &want = quadrant[q];
            EXPECT_TRUE(std::abs(got.r - want.r) < 12 && std::abs(got.g - want.g) < 12 && std::abs(got.b - want.b) < 12)
                << "quadrant " << q;
        }
    }

    // Turning what the user sees: the stored pixels get the orientation and the
    // turn at once (jpegtran's operation on the original) and the tag becomes 1.
    REQUIRE_JPEG_TOOLS();
    struct Case {
        int orientation, rotation;
        const char* jpegtran;
    };
    const Case cases[] = {
        {6, 1, "-rotate 180"}, {5, 1, "-flip horizontal"}, {3, 3, "-rotate 90"}, {8, 1, ""}, {1, 2, "-rotate 180"},
    };
    const std::string plain = dir.file("plain.jpg");
    ASSERT_TRUE(makeJpeg(plain, 64, 48, "-sample 2x2"));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.orientation) + " + " + std::to_string(c.rotation));
        const std::string source = dir.file("source.jpg"), ours = dir.file("ours.jpg"), theirs = dir.file("theirs.jpg");
        ASSERT_TRUE(writeFile(source, withSegments(readFile(plain), {exifOrientation(c.orientation)})));
        ASSERT_TRUE(writeFile(ours, readFile(source)));
        oxJpegHandler().transformFile(ours, transformOf(c.rotation));
        ASSERT_EQ(runCommand(std::string("jpegtran -copy all ") + c.jpegtran + " -outfile '" + theirs + "' '" + source + "'"), 0);
        EXPECT_EQ(djpeg(ours), djpeg(theirs));
        // The tag becomes 1, an edit jpegtran leaves to exiftran: the rest of the marker is the same.
        std::string expected = segments(readFile(theirs), 0xE1).at(0).data;
        expected[ORIENTATION_AT + 1] = 1;
        EXPECT_EQ(segments(readFile(ours), 0xE1).at(0).data, expected);
    }
    // The tag alone takes a turn the edges forbid, and a comment edit keeps it.
    ASSERT_TRUE(makeJpeg(file, 64, 40, "-sample 2x2")); // 40 is no multiple of 16
    ASSERT_TRUE(writeFile(file, withSegments(readFile(file), {exifOrientation(6)})));
    // The maximum applies to the upright picture: 40 x 64 fits without reduction.
    EXPECT_EQ(load(file, oxSize(40, 64))->reduction(), 1);
    const std::string pixels = djpeg(file);
    // 6 then clockwise: upside down, which would move the bottom edge.
    oxJpegHandler().transformFile(file, transformOf(1));
    EXPECT_EQ(tagOf(readFile(file)), 3);
    EXPECT_EQ(djpeg(file), pixels);
    oxJpegHandler().transformFile(file, transformOf(0, "x"));
    EXPECT_EQ(tagOf(readFile(file)), 3);
}

