#include "jpegtest.h"

#include "oxengine/core/regularfile.h"
#include "oxengine/image/parallel.h"

#include <thread>

using namespace jpegtest;

namespace {

void save(const oxImage& image, const std::string& file, const oxToneMapping& mapping = oxToneMapping::neutral())
{
    oxJpegHandler().saveImage(image, file, mapping);
}

std::unique_ptr<oxImageUInt8> gradient(uint32_t w, uint32_t h)
{
    return imageOf<oxColour>(w, h, [](uint32_t x, uint32_t y) {
        return oxColour(uint8_t(x * 2), uint8_t(y * 3), uint8_t((x + y) / 2), uint8_t(x));
    });
}

std::string loadFailure(const std::string& file, const std::string& bytes)
{
    return loadError(file, bytes, [](const std::string& f) { load(f); });
}

} // namespace

TEST_F(JpegLoad, MatchesTheReferenceDecoder)
{
    for (const char* options : {"-sample 1x1", "-sample 2x1", "-sample 2x2 -progressive -restart 1", "-grayscale"}) {
        const int channels = std::string(options) == "-grayscale" ? 1 : 3;
        ASSERT_TRUE(makeJpeg(file, 203, 131, options, channels));
        for (int n : {1, 2, 4, 8}) {
            SCOPED_TRACE(std::string(options) + " at 1/" + std::to_string(n));
            // The largest maximum that still asks for scale 1/n.
            auto image = load(file, n == 1 ? oxSize() : oxSize(203 / n + 1, 131 / n + 1));
            // The file's size, not the reduced size times n (131 / 8 rounds up).
            EXPECT_EQ(image->sourceSize(), oxSize(203, 131));
            EXPECT_EQ(image->rotatedCopy(1)->sourceSize(), oxSize(131, 203));
            EXPECT_TRUE(asPnm(*image) == djpeg(file, "-scale 1/" + std::to_string(n)));
            EXPECT_TRUE(std::all_of(image->pixels(), image->pixels() + image->width() * image->height(),
                                    [](const oxColour& c) { return c.a == 255; }));
        }
    }

    // Comment markers pass the comment test.
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

    // Bad input is refused: each gives the handler's message, and (under the sanitizers) leaks nothing.
    const std::string failed = "decompression failed.";
    // The test files are progressive: the size is in the SOF2 header.
    const auto withFrameSize = [](std::string jpeg, uint16_t width, uint16_t height) {
        const char size[4] = {char(height >> 8), char(height), char(width >> 8), char(width)};
        return jpeg.replace(jpeg.find("\xFF\xC2") + 5, 4, size, 4);
    };
    ASSERT_TRUE(makeJpeg(file, 40, 24, "-sample 2x2 -progressive"));
    const std::string good = readFile(file);
    // Every length short of the end marker: refused, or (once picture data came) shown as a damaged file.
    for (size_t n = 0; n + 2 < good.size(); n += 3) {
        const std::string refusal = loadFailure(file, good.substr(0, n));
        if (refusal.empty())
            EXPECT_EQ(load(file)->damage(), "the file ends early") << "cut at " << n;
        else // with the library's reason
            EXPECT_EQ(refusal.rfind(failed + " (", 0), 0u) << "cut at " << n << ": " << refusal;
    }
    std::string garbage = good.substr(0, good.find("\xFF\xDA") + 14);
    for (uint32_t i = 0, seed = 1; i < 3000; ++i)
        garbage += char((seed = seed * 1103515245u + 12345u) >> 16);
    // Not a picture, above the pixel limit, no width, no height: with the library's reason.
    for (const auto& [bad, reason] : std::initializer_list<std::pair<std::string, std::string>>{
             {"this is not a picture", "Not a JPEG file: starts with 0x74 0x68"},
             {withFrameSize(good, 65535, 65535), "Maximum supported image dimension is 65500 pixels"},
             {withFrameSize(good, 0, 24), "Empty JPEG image (DNL not supported)"},
             {withFrameSize(good, 40, 0), "Empty JPEG image (DNL not supported)"}})
        EXPECT_EQ(loadFailure(file, bad), failed + " (" + reason + ")");
    if (loadFailure(file, garbage).empty()) { // noise after the scan header
        EXPECT_FALSE(load(file)->damage().empty());
    }
    EXPECT_EQ(loadFailure(file, good + "bytes after the end marker"), ""); // harmless
    // A stray marker amid the picture data: the decoder goes on, and says why the picture is damaged.
    ASSERT_TRUE(makeJpeg(file, 64, 64, "-sample 2x2"));
    std::string marked = readFile(file);
    marked.insert((marked.find("\xFF\xDA") + marked.rfind("\xFF\xD9")) / 2, "\xFF\xD3");
    EXPECT_EQ(loadFailure(file, marked), "");
    EXPECT_EQ(load(file)->damage(), "corrupt data");
    PixelLimit limit(100);
    EXPECT_EQ(loadFailure(file, good), "the picture is too large: 40 × 24 pixels");
}

// Above a megapixel two threads decode: rows meet exactly for every sampling; damage anywhere marks all.
TEST_F(JpegLoad, TwoThreadDecodeMatchesTheReferenceDecoderAndLoadsOnTwoThreadsDoNotInterfere)
{
    ImageThreads threads(2);
    for (const char* options : {"-sample 1x1", "-sample 2x2 -restart 1", "-sample 1x2", "-sample 2x1 -arithmetic",
                                "-grayscale"}) {
        SCOPED_TRACE(options);
        const int channels = std::string(options) == "-grayscale" ? 1 : 3;
        ASSERT_TRUE(makeJpeg(file, 1203, 901, options, channels)); // odd sizes: partial blocks at both edges
        EXPECT_TRUE(asPnm(*load(file)) == djpeg(file));
    }
    ASSERT_TRUE(makeJpeg(file, 2411, 1703, "-sample 2x2"));
    EXPECT_TRUE(asPnm(*load(file, oxSize(1300, 900))) == djpeg(file, "-scale 1/2"));

    // Cut (the first thread's rows are all there, the second finds the end), and damaged in the first thread's rows.
    const std::string good = readFile(file);
    const auto damageOf = [&](const std::string& bytes) {
        EXPECT_TRUE(writeFile(file, bytes));
        return load(file)->damage();
    };
    EXPECT_EQ(damageOf(good.substr(0, good.size() * 9 / 10)), "the file ends early");
    std::string damaged = good;
    for (size_t i = good.size() / 5, seed = 1; i < good.size() / 5 + 3000; ++i)
        damaged[i] = char((seed = seed * 1103515245u + 12345u) >> 16);
    EXPECT_FALSE(damageOf(damaged).empty());

    // Loads on two threads do not interfere.
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
                wrong[t] += load(bad)->damage() != "the file ends early";
        }
    };
    std::thread first(work, 0, a, asPnm(*load(a))), second(work, 1, b, asPnm(*load(b)));
    first.join();
    second.join();
    EXPECT_EQ(wrong[0] + wrong[1], 0);
}

// The library's refusals leave the old file (a full disk: the replacement's own test).
TEST_F(JpegSave, RefusalsCommentsQualityAndTypes)
{
    ASSERT_TRUE(writeFile(file, "the old picture"));
    EXPECT_EQ(imageError([&] { save(*oxImageUInt8::create(0, 0), file); }),
              "compression failed. (Empty JPEG image (DNL not supported))");
    EXPECT_EQ(imageError([&] { save(*oxImageUInt8::create(70000, 1), file); }),
              "compression failed. (Maximum supported image dimension is 65500 pixels)");
    EXPECT_EQ(readFile(file), "the old picture");
    EXPECT_EQ(imageError([&] { save(*gradient(8, 8), dir.file("missing/x.jpg")); }),
              "cannot open file. (" + oxSystemErrorText(ENOENT) + ")");

    auto image = gradient(16, 16);
    for (size_t length : {size_t(65533), size_t(65534), size_t(150000)}) {
        std::string comment(length, 'c');
        for (size_t i = 0; i < length; i += 997)
            comment[i] = char('a' + i % 26);
        image->setComment(comment);
        save(*image, file);
        EXPECT_EQ(segments(readFile(file), 0xFE).size(), (length + 65532) / 65533);
        EXPECT_TRUE(load(file)->comment() == comment) << length;
    }
    REQUIRE_JPEG_TOOLS();
    const std::string reference = dir.file("ref.jpg");
    image = gradient(120, 80);
    image->setComponents(1); // grey pictures are written as RGB too
    for (int quality : {IMAGE_OPTION_ABSENT, 20, 500}) {
        ImageOption option("Quality", quality);
        save(*image, file);
        // Without the option 98; the library's range ends at 100.
        ASSERT_TRUE(makeJpeg(reference, 8, 8, "-baseline -quality " +
                                                  std::to_string(quality == IMAGE_OPTION_ABSENT ? 98 : std::min(quality, 100))));
        EXPECT_EQ(segments(readFile(file), 0xDB), segments(readFile(reference), 0xDB)) << quality;
    }
    EXPECT_EQ(segments(readFile(file), 0xC0).size(), 1u); // baseline

    save(*imageOf<oxColourUInt16>(16, 16, [](uint32_t, uint32_t) { return oxColourUInt16(65535, 0, 32896, 65535); }), file);
    EXPECT_EQ(load(file)->at(8, 8), oxColour(255, 0, 128, 255)); // 16 bits are converted, not tone-mapped
    // Half pictures are tone-mapped as high dynamic range.
    auto half = oxImageHalf::create(16, 16);
    half->fill(oxColourHalf(0.5f, 0.25f, 2.0f, 1.0f));
    oxToneMapping exposure;
    exposure.mode = TM_HDR_ONLY, exposure.whitePoint = 2.0f;
    save(*half, file, exposure);
    EXPECT_NEAR(load(file)->at(8, 8).r, 64, 2);
}
