#include "jpegtest.h"

#include <jpeglib.h>

#include <fstream>
#include <sstream>
#include <thread>

using namespace jpegtest;

namespace {

// A CMYK file written with the library itself (cjpeg cannot make one).
bool writeCmykJpeg(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f);
    info.image_width = info.image_height = 16;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(16 * 4, 100);
    for (JSAMPROW r = row.data(); info.next_scanline < info.image_height;)
        jpeg_write_scanlines(&info, &r, 1);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(f) == 0;
}

// The file with the size in its frame header replaced.
std::string withFrameSize(std::string jpeg, uint16_t width, uint16_t height)
{
    const size_t sof = jpeg.find("\xFF\xC2"); // the test files are progressive
    const char size[4] = {char(height >> 8), char(height), char(width >> 8), char(width)};
    return sof == std::string::npos ? jpeg : jpeg.replace(sof + 5, 4, size, 4);
}

} // namespace

TEST(JpegLoad, MatchesTheReferenceDecoderAtEveryScale)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string file = dir.file("p.jpg");
    for (const char* options : {"-sample 1x1", "-sample 2x1", "-sample 2x2 -progressive -restart 1", "-grayscale"}) {
        const int channels = std::string(options) == "-grayscale" ? 1 : 3;
        ASSERT_TRUE(makeJpeg(file, 203, 131, options, channels));
        for (int n : {1, 2, 4, 8}) {
            SCOPED_TRACE(std::string(options) + " at 1/" + std::to_string(n));
            // The largest maximum that still asks for scale 1/n.
            auto image = load(file, n == 1 ? oxSize() : oxSize(203 / n + 1, 131 / n + 1));
            EXPECT_EQ(image->reduction(), n);
            EXPECT_EQ(image->components(), channels);
            EXPECT_TRUE(asPnm(*image) == djpeg(file, "-scale 1/" + std::to_string(n)));
            EXPECT_TRUE(std::all_of(image->pixels(), image->pixels() + image->width() * image->height(),
                                    [](const oxColour& c) { return c.a == 255; }));
        }
    }
}

TEST(JpegLoad, CommentMarkersPassTheCommentTest)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string file = dir.file("c.jpg");
    ASSERT_TRUE(makeJpeg(file, 16, 16, "-sample 1x1"));
    const std::string plain = readFile(file);
    const auto commentOf = [&](const std::vector<std::string>& comments) {
        std::vector<Segment> markers;
        for (const std::string& c : comments)
            markers.push_back({0xFE, c});
        EXPECT_TRUE(writeFile(file, withSegments(plain, markers)));
        return load(file)->comment();
    };
    EXPECT_EQ(commentOf({"first ", "second"}), "first second");
    EXPECT_EQ(commentOf({"line\r\nnext\ttab", std::string("nul\0end", 7)}), "line \nnext tabnul end");
    EXPECT_EQ(commentOf({"form\ffeed", "kept", "bell\a", "del\x7f"}), "kept");
    EXPECT_EQ(commentOf({"Grüße \xff"}), "Grüße \xff"); // bytes above 127 are text
}

// Each gives the handler's message, and (under the sanitizers) leaks nothing.
TEST(JpegLoad, RefusesBadInput)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string file = dir.file("bad.jpg");
    const auto failure = [&](const std::string& bytes) {
        EXPECT_TRUE(writeFile(file, bytes));
        return imageError([&] { load(file); });
    };
    ASSERT_TRUE(makeJpeg(file, 40, 24, "-sample 2x2 -progressive"));
    const std::string good = readFile(file);

    // Every length short of the end marker: missing data is never padded grey.
    for (size_t n = 0; n + 2 < good.size(); n += 3)
        EXPECT_EQ(failure(good.substr(0, n)), "decompression failed.") << "cut at " << n;
    EXPECT_EQ(failure("this is not a picture"), "decompression failed.");
    EXPECT_EQ(failure(withFrameSize(good, 65535, 65535)), "decompression failed."); // above the pixel limit
    EXPECT_EQ(failure(withFrameSize(good, 0, 24)), "decompression failed.");
    EXPECT_EQ(failure(withFrameSize(good, 40, 0)), "decompression failed.");
    const size_t scan = good.find("\xFF\xDA");
    std::string garbage = good.substr(0, scan + 14);
    for (uint32_t i = 0, seed = 1; i < 3000; ++i)
        garbage += char((seed = seed * 1103515245u + 12345u) >> 16);
    EXPECT_EQ(failure(garbage), "decompression failed.");
    ASSERT_TRUE(writeCmykJpeg(file));
    EXPECT_EQ(imageError([&] { load(file); }), "decompression failed.");
    EXPECT_EQ(imageError([&] { load(dir.file("missing.jpg")); }), "cannot open file.");

    EXPECT_EQ(failure(good + "bytes after the end marker"), ""); // harmless
    const uint64_t limit = oxImage::pixelLimit();
    oxImage::setPixelLimit(100);
    EXPECT_EQ(failure(good), "decompression failed.");
    oxImage::setPixelLimit(limit);
}

TEST(JpegLoad, ConformanceCorpus)
{
    std::ifstream table(std::string(OX_SHARED_DIR) + "/corpus/expect.tsv");
    if (!table)
        GTEST_SKIP() << "no shared corpus";
    std::string line, path, expect, width, height;
    int checked = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::getline(std::getline(std::getline(std::getline(fields, path, '\t'), expect, '\t'), width, '\t'), height,
                     '\t');
        if (!oxJpegHandler().canLoad(path))
            continue;
        SCOPED_TRACE(path);
        std::unique_ptr<oxImage> image;
        const std::string error =
            imageError([&] { image = oxJpegHandler().loadImage(OX_SHARED_DIR "/corpus/" + path, oxSize()); });
        if (expect == "decode") {
            EXPECT_EQ(image ? image->size() : oxSize(), oxSize(std::stoi(width), std::stoi(height))) << error;
        } else if (expect == "reject") {
            EXPECT_EQ(error, "decompression failed.");
        }
        ++checked;
    }
    EXPECT_GT(checked, 20);
}

TEST(JpegLoad, LoadsOnTwoThreadsDoNotInterfere)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string a = dir.file("a.jpg"), b = dir.file("b.jpg"), bad = dir.file("bad.jpg");
    ASSERT_TRUE(makeJpeg(a, 301, 207, "-sample 2x2 -progressive"));
    ASSERT_TRUE(makeJpeg(b, 190, 260, "-grayscale", 1));
    ASSERT_TRUE(writeFile(bad, readFile(a).substr(0, 900)));
    // One thread's failures jump back into its own call, never the other's.
    int wrong[2] = {0, 0};
    const auto work = [&](int t, const std::string& file, const std::string& expected) {
        for (int i = 0; i < 25; ++i) {
            wrong[t] += asPnm(*load(file)) != expected;
            if (t == 0)
                wrong[t] += imageError([&] { load(bad); }) != "decompression failed.";
        }
    };
    std::thread first(work, 0, a, asPnm(*load(a)));
    std::thread second(work, 1, b, asPnm(*load(b)));
    first.join();
    second.join();
    EXPECT_EQ(wrong[0] + wrong[1], 0);
}
