#include "jpegtest.h"

#include "oxengine/errors.h"

#include <jerror.h>
#include <jpeglib.h>

#include <fstream>
#include <sstream>
#include <thread>

using namespace jpegtest;

namespace {

// A CMYK file written with the library itself (cjpeg cannot make one).
bool writeCmykJpeg(const std::string& path, int w, int h)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f);
    info.image_width = JDIMENSION(w);
    info.image_height = JDIMENSION(h);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(w) * 4, 100);
    while (info.next_scanline < info.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(f) == 0;
}

// The file with the picture size in its frame header replaced.
std::string withFrameSize(const std::string& jpeg, uint16_t width, uint16_t height)
{
    std::string patched = jpeg;
    size_t at = 2;
    while (at + 9 < patched.size()) {
        const int marker = uint8_t(patched[at + 1]);
        const size_t length = size_t(uint8_t(patched[at + 2])) << 8 | uint8_t(patched[at + 3]);
        if (marker == 0xC0 || marker == 0xC2) {
            patched[at + 5] = char(height >> 8);
            patched[at + 6] = char(height & 0xFF);
            patched[at + 7] = char(width >> 8);
            patched[at + 8] = char(width & 0xFF);
            return patched;
        }
        at += 2 + length;
    }
    ADD_FAILURE() << "no frame header";
    return patched;
}

std::string decompressionFailed(const std::string& path)
{
    return imageError([&] { load(path); });
}

} // namespace

TEST(JpegLoad, MatchesTheReferenceDecoderAtEveryScale)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    struct Case {
        const char* options;
        int channels;
    };
    const Case cases[] = {{"-sample 1x1", 3}, {"-sample 2x1", 3}, {"-sample 2x2 -progressive", 3},
                          {"-grayscale", 1}, {"-sample 2x2 -restart 1", 3}};
    for (const Case& c : cases) {
        const std::string file = dir.file("p.jpg");
        ASSERT_TRUE(makeJpeg(file, 203, 131, c.options, c.channels)) << c.options;
        for (int n : {1, 2, 4, 8}) {
            SCOPED_TRACE(std::string(c.options) + " at 1/" + std::to_string(n));
            // The largest maximum that still asks for scale 1/n.
            const oxSize maximum(n == 1 ? 0 : 203 / n + 1, n == 1 ? 0 : 131 / n + 1);
            auto image = load(file, maximum);
            EXPECT_EQ(image->reduction(), n);
            EXPECT_EQ(image->components(), c.channels);
            EXPECT_EQ(asPnm(*image), djpeg(file, "-scale 1/" + std::to_string(n)));
            for (uint32_t i = 0; i < image->width() * image->height(); ++i)
                ASSERT_EQ(image->pixels()[i].a, 255);
        }
    }
}

TEST(JpegLoad, ScaleIsThePowerOfTwoNotBelowTheReductionFactor)
{
    TempDir dir;
    auto source = oxImageUInt8::create(4000, 3000);
    source->fill(oxColour(90, 120, 150));
    const std::string file = dir.file("big.jpg");
    oxJpegHandler().saveImage(*source, file, oxToneMapping::neutral());

    auto quarter = load(file, oxSize(1000, 1000)); // factor 4
    EXPECT_EQ(quarter->size(), oxSize(1000, 750));
    EXPECT_EQ(quarter->reduction(), 4);
    auto eighth = load(file, oxSize(300, 300)); // factor 14: the smallest scale, 1/8
    EXPECT_EQ(eighth->size(), oxSize(500, 375));
    EXPECT_EQ(eighth->reduction(), 8);
    auto third = load(file, oxSize(1400, 0)); // factor 3 decodes at 1/4
    EXPECT_EQ(third->size(), oxSize(1000, 750));
    auto full = load(file, oxSize(-1, -1));
    EXPECT_EQ(full->size(), oxSize(4000, 3000));
    EXPECT_EQ(full->reduction(), 1);
}

TEST(JpegLoad, CommentMarkersPassTheCommentTest)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string plain = dir.file("plain.jpg");
    ASSERT_TRUE(makeJpeg(plain, 16, 16, "-sample 1x1"));
    const std::string jpeg = readFile(plain);
    const auto commented = [&](const std::vector<std::string>& comments) {
        std::vector<Segment> segments;
        for (const std::string& c : comments)
            segments.push_back({0xFE, c});
        const std::string file = dir.file("c.jpg");
        EXPECT_TRUE(writeFile(file, withSegments(jpeg, segments)));
        return load(file)->comment();
    };
    EXPECT_EQ(commented({"first ", "second"}), "first second");
    EXPECT_EQ(commented({"line\r\nnext\ttab"}), "line \nnext tab");
    EXPECT_EQ(commented({std::string("nul\0end", 7)}), "nul end");
    EXPECT_EQ(commented({"form\ffeed", "kept"}), "kept");
    EXPECT_EQ(commented({"bell\a", "del\x7f", "esc\x1b"}), "");
    EXPECT_EQ(commented({"Grüße \xff\xfe"}), "Grüße \xff\xfe"); // bytes above 127 are text
    EXPECT_EQ(commented({}), "");
}

TEST(JpegLoad, RefusesWhatIsNotAGreyOrColourPicture)
{
    TempDir dir;
    const std::string cmyk = dir.file("cmyk.jpg");
    ASSERT_TRUE(writeCmykJpeg(cmyk, 24, 16));
    EXPECT_EQ(decompressionFailed(cmyk), "decompression failed.");

    const std::string text = dir.file("text.jpg");
    ASSERT_TRUE(writeFile(text, "this is not a picture\n"));
    EXPECT_EQ(decompressionFailed(text), "decompression failed.");
    const std::string empty = dir.file("empty.jpg");
    ASSERT_TRUE(writeFile(empty, ""));
    EXPECT_EQ(decompressionFailed(empty), "decompression failed.");
    EXPECT_EQ(decompressionFailed(dir.file("missing.jpg")), "cannot open file.");
    EXPECT_EQ(decompressionFailed(dir.path()), "decompression failed."); // a folder opens but does not read
}

TEST(JpegLoad, TruncatedFilesAreRefusedAtEveryLength)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    for (const char* options : {"-sample 2x2", "-sample 1x1 -progressive"}) {
        const std::string whole = dir.file("whole.jpg");
        ASSERT_TRUE(makeJpeg(whole, 40, 24, options));
        const std::string jpeg = readFile(whole);
        const std::string cut = dir.file("cut.jpg");
        // Every length short of the end-of-image marker.
        for (size_t n = 0; n + 2 < jpeg.size(); n += 3) {
            ASSERT_TRUE(writeFile(cut, jpeg.substr(0, n)));
            EXPECT_EQ(decompressionFailed(cut), "decompression failed.") << options << " cut at " << n;
        }
    }
}

TEST(JpegLoad, RefusesDeclaredSizesBeforeAllocating)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string small = dir.file("small.jpg");
    ASSERT_TRUE(makeJpeg(small, 16, 16, "-sample 1x1 -progressive"));
    const std::string jpeg = readFile(small);
    const std::string patched = dir.file("patched.jpg");

    // 65535 x 65535 is above the pixel limit: refused before the library's
    // whole-picture buffers of a progressive file exist.
    ASSERT_TRUE(writeFile(patched, withFrameSize(jpeg, 65535, 65535)));
    EXPECT_EQ(decompressionFailed(patched), "decompression failed.");
    ASSERT_TRUE(writeFile(patched, withFrameSize(jpeg, 0, 16)));
    EXPECT_EQ(decompressionFailed(patched), "decompression failed.");
    ASSERT_TRUE(writeFile(patched, withFrameSize(jpeg, 16, 0)));
    EXPECT_EQ(decompressionFailed(patched), "decompression failed.");

    // A size within the limit but above a lowered one is refused as well.
    const uint64_t old = oxImage::pixelLimit();
    oxImage::setPixelLimit(100);
    EXPECT_EQ(decompressionFailed(small), "decompression failed.");
    oxImage::setPixelLimit(old);
    EXPECT_EQ(load(small)->size(), oxSize(16, 16));
}

TEST(JpegLoad, GarbageAfterAValidHeaderIsRefused)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string good = dir.file("good.jpg");
    ASSERT_TRUE(makeJpeg(good, 64, 64, "-sample 2x2"));
    const std::string jpeg = readFile(good);
    size_t header = 2;
    for (const Segment& s : headerSegments(jpeg))
        header += 4 + s.data.size();
    std::string garbage = jpeg.substr(0, header);
    uint32_t seed = 12345;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage += char((seed >> 16) & 0xFF);
    }
    const std::string bad = dir.file("bad.jpg");
    ASSERT_TRUE(writeFile(bad, garbage));
    EXPECT_EQ(decompressionFailed(bad), "decompression failed.");
    // Bytes after the end-of-image marker do not matter.
    ASSERT_TRUE(writeFile(bad, jpeg + "trailing bytes"));
    EXPECT_EQ(load(bad)->size(), oxSize(64, 64));
}

TEST(JpegLoad, ConformanceCorpus)
{
    std::ifstream table(std::string(OX_SHARED_DIR) + "/corpus/expect.tsv");
    if (!table)
        GTEST_SKIP() << "no shared corpus";
    std::string line;
    int checked = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string path, expect, width, height;
        std::getline(fields, path, '\t');
        std::getline(fields, expect, '\t');
        std::getline(fields, width, '\t');
        std::getline(fields, height, '\t');
        if (!oxJpegHandler().canLoad(path))
            continue;
        SCOPED_TRACE(path);
        const std::string file = std::string(OX_SHARED_DIR) + "/corpus/" + path;
        std::unique_ptr<oxImage> image;
        std::string error;
        try {
            image = oxJpegHandler().loadImage(file, oxSize());
        } catch (const oxImageException& e) {
            error = e.oxException::getMessage();
            EXPECT_EQ(e.getFilename(), file);
        }
        if (expect == "decode") {
            ASSERT_TRUE(image) << error;
            EXPECT_EQ(image->size(), oxSize(std::stoi(width), std::stoi(height)));
        } else if (expect == "reject") {
            EXPECT_FALSE(image);
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
    ASSERT_TRUE(makeJpeg(a, 301, 207, "-sample 2x2 -progressive", 3, 1));
    ASSERT_TRUE(makeJpeg(b, 190, 260, "-grayscale", 1, 2));
    ASSERT_TRUE(writeFile(bad, readFile(a).substr(0, 900)));
    const std::string expectA = asPnm(*load(a)), expectB = asPnm(*load(b));

    // One thread alternates good loads with failing ones: a failure's jump
    // must land in its own call, never in the other thread's.
    int mismatches[2] = {0, 0};
    int failures[2] = {0, 0};
    const auto work = [&](int t, const std::string& file, const std::string& expected) {
        for (int i = 0; i < 25; ++i) {
            try {
                if (asPnm(*load(file)) != expected)
                    ++mismatches[t];
                if (t == 0)
                    load(bad);
            } catch (const oxImageException&) {
                ++failures[t];
            }
        }
    };
    std::thread first(work, 0, a, expectA);
    std::thread second(work, 1, b, expectB);
    first.join();
    second.join();
    EXPECT_EQ(mismatches[0], 0);
    EXPECT_EQ(mismatches[1], 0);
    EXPECT_EQ(failures[0], 25);
    EXPECT_EQ(failures[1], 0);
}

TEST(JpegHandler, AnswersForJpegNames)
{
    const oxJpegHandler handler;
    for (const char* name : {"a.jpg", "a.JPG", "a.jpeg", "A.Jpeg", "/x/PHOTO.JPEG", ".jpg"}) {
        EXPECT_TRUE(handler.canLoad(name)) << name;
        EXPECT_TRUE(handler.canSave(name)) << name;
        EXPECT_TRUE(handler.canTransform(name)) << name;
    }
    for (const char* name : {"a.jpe", "a.jp", "a.jpg.png", "ajpg", "a.jpg/"})
        EXPECT_FALSE(handler.canLoad(name)) << name;
    EXPECT_EQ(handler.loadFilter(), "JPEG images (*.jpg)|*.jpg|");
    EXPECT_EQ(handler.saveFilter(), handler.loadFilter());
}
