#include "jpegtest.h"

#include "childprocess.h"
#include "oxengine/image/replacefile.h"

#include <sys/resource.h>

using namespace jpegtest;

namespace {

void save(const oxImage& image, const std::string& file, const oxToneMapping& mapping = oxToneMapping::neutral())
{
    oxJpegHandler().saveImage(image, file, mapping);
}

std::unique_ptr<oxImageUInt8> gradient(uint32_t w, uint32_t h)
{
    auto image = oxImageUInt8::create(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            image->at(x, y) = oxColour(uint8_t(x * 2), uint8_t(y * 3), uint8_t((x + y) / 2), uint8_t(x));
    return image;
}

} // namespace

TEST(JpegSave, WritesRgbAtTheQualityOption)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    const std::string file = dir.file("out.jpg"), reference = dir.file("ref.jpg");
    auto image = gradient(120, 80);
    image->setComponents(1); // grey pictures are written as RGB too
    const auto tables = [](const std::string& f) { return segments(readFile(f), 0xDB); };
    const auto cjpegTables = [&](int q) {
        EXPECT_TRUE(makeJpeg(reference, 8, 8, "-baseline -quality " + std::to_string(q)));
        return tables(reference);
    };
    for (int quality : {IMAGE_OPTION_ABSENT, 20, 500}) {
        setImageOption("Quality", quality);
        save(*image, file);
        // Without the option 98; the library's range ends at 100.
        EXPECT_EQ(tables(file), cjpegTables(quality == IMAGE_OPTION_ABSENT ? 98 : std::min(quality, 100)));
    }
    removeImageOption("Quality");
    const auto frame = segments(readFile(file), 0xC0); // baseline
    ASSERT_EQ(frame.size(), 1u);
    EXPECT_EQ(frame[0].data[5], 3);                       // components
    EXPECT_TRUE(segments(readFile(file), 0xFE).empty()); // no comment, no COM marker
    auto back = load(file);
    EXPECT_EQ(back->components(), 3);
    EXPECT_NEAR(back->at(60, 40).r, 120, 3);
}

TEST(JpegSave, LongCommentsSpanSeveralMarkers)
{
    TempDir dir;
    const std::string file = dir.file("c.jpg");
    auto image = gradient(16, 16);
    for (size_t length : {size_t(65533), size_t(65534), size_t(150000)}) {
        std::string comment(length, 'c');
        for (size_t i = 0; i < length; i += 997)
            comment[i] = char('a' + i % 26);
        image->setComment(comment);
        save(*image, file);
        const auto markers = segments(readFile(file), 0xFE);
        EXPECT_EQ(markers.size(), (length + 65532) / 65533);
        EXPECT_TRUE(load(file)->comment() == comment) << length;
    }
}

TEST(JpegSave, OtherSampleTypesAreConvertedOrToneMapped)
{
    TempDir dir;
    const std::string file = dir.file("hdr.jpg");
    const auto saved = [&](const oxImage& image, const oxToneMapping& mapping) {
        save(image, file, mapping);
        return load(file)->at(8, 8);
    };
    auto half = oxImageHalf::create(16, 16);
    half->fill(oxColourHalf(0.5f, 0.25f, 2.0f, 1.0f));
    auto wide = oxImageUInt16::create(16, 16);
    wide->fill(oxColourUInt16(0x8000, 0x4000, 0xFFFF));
    oxToneMapping exposure;
    exposure.mode = TM_HDR_ONLY;
    exposure.whitePoint = 2.0f;

    EXPECT_NEAR(saved(*half, oxToneMapping::neutral()).r, 128, 2);
    EXPECT_NEAR(saved(*half, oxToneMapping::neutral()).b, 255, 2); // clamped
    EXPECT_NEAR(saved(*half, exposure).r, 64, 2);
    EXPECT_NEAR(saved(*wide, exposure).r, 128, 2); // not high dynamic range: plain conversion
    exposure.mode = TM_ALWAYS;
    EXPECT_NEAR(saved(*wide, exposure).r, 64, 2);
}

// A failed save never leaves a truncated file and never destroys the old one.
TEST(JpegSave, FailuresLeaveTheOldFile)
{
    TempDir dir;
    const std::string file = dir.file("old.jpg");
    ASSERT_TRUE(writeFile(file, "the old picture"));
    EXPECT_EQ(imageError([&] { save(*oxImageUInt8::create(0, 0), file); }), "compression failed.");
    EXPECT_EQ(imageError([&] { save(*oxImageUInt8::create(70000, 1), file); }), "compression failed.");
    // A full disk (here the file-size limit, which must not end the process).
    const int code = runInChild([&] {
        const struct rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        return imageError([&] { save(*gradient(400, 400), file); }) ==
                       "compression failed. (" + oxSystemErrorText(EFBIG) + ")"
                   ? 0
                   : 10;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readFile(file), "the old picture");
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"old.jpg"});
    const std::string missing = imageError([&] { save(*gradient(8, 8), dir.file("missing/x.jpg")); });
    EXPECT_EQ(missing, "cannot open file. (" + oxSystemErrorText(ENOENT) + ")");

    // Converting a file onto itself.
    save(*gradient(40, 30), file);
    auto image = load(file);
    image->setComment("again");
    save(*image, file);
    EXPECT_EQ(load(file)->comment(), "again");
}
