#include "jpegtest.h"

#include "childprocess.h"
#include "oxengine/errors.h"
#include "oxengine/image/replacefile.h"

#include <sys/resource.h>

#include <cmath>

using namespace jpegtest;

namespace {

std::unique_ptr<oxImageUInt8> detailImage(uint32_t w, uint32_t h)
{
    auto image = oxImageUInt8::create(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            image->at(x, y) = oxColour(uint8_t(x * 2), uint8_t(y * 3), uint8_t((x + y) / 2), uint8_t(x));
    return image;
}

double meanError(const oxImageUInt8& a, const oxImageUInt8& b)
{
    double sum = 0;
    for (uint32_t y = 0; y < a.height(); ++y)
        for (uint32_t x = 0; x < a.width(); ++x) {
            const oxColour p = a.at(x, y), q = b.at(x, y);
            sum += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
        }
    return sum / (3.0 * a.width() * a.height());
}

void save(const oxImage& image, const std::string& file, const oxToneMapping& mapping = oxToneMapping::neutral())
{
    oxJpegHandler().saveImage(image, file, mapping);
}

int frameComponents(const std::string& jpeg)
{
    for (const Segment& s : headerSegments(jpeg))
        if (s.marker == 0xC0)
            return uint8_t(s.data[5]);
    return -1;
}

class QualityOption {
public:
    explicit QualityOption(int q) { setImageOption("Quality", q); }
    ~QualityOption() { removeImageOption("Quality"); }
};

} // namespace

TEST(JpegSave, WritesBaselineRgbWithoutAlpha)
{
    TempDir dir;
    auto image = detailImage(120, 80);
    image->setComponents(4);
    const std::string file = dir.file("out.jpg");
    save(*image, file);
    const std::string jpeg = readFile(file);
    EXPECT_EQ(frameComponents(jpeg), 3); // 0xC0: baseline
    EXPECT_TRUE(segmentsOf(headerSegments(jpeg), 0xFE).empty()); // empty comment: no COM marker
    auto back = load(file);
    EXPECT_EQ(back->components(), 3);
    EXPECT_EQ(back->size(), oxSize(120, 80));
    EXPECT_LT(meanError(*image, *back), 1.5);
}

TEST(JpegSave, GreyPicturesAreWrittenAsRgb)
{
    TempDir dir;
    auto image = oxImageUInt8::create(32, 32);
    image->fill(oxColour(77, 77, 77));
    image->setComponents(1);
    const std::string file = dir.file("grey.jpg");
    save(*image, file);
    EXPECT_EQ(frameComponents(readFile(file)), 3);
    EXPECT_EQ(load(file)->components(), 3);
}

TEST(JpegSave, QualityOptionAndDefault)
{
    REQUIRE_JPEG_TOOLS();
    TempDir dir;
    auto image = detailImage(64, 64);
    const std::string ours = dir.file("ours.jpg");
    const auto tables = [](const std::string& file) { return segmentsOf(headerSegments(readFile(file)), 0xDB); };
    const auto cjpegTables = [&](int q) {
        const std::string reference = dir.file("ref.jpg");
        EXPECT_TRUE(makeJpeg(reference, 8, 8, "-baseline -quality " + std::to_string(q)));
        return tables(reference);
    };

    save(*image, ours);
    EXPECT_EQ(tables(ours), cjpegTables(98)); // no option: 98
    const size_t best = readFile(ours).size();
    {
        QualityOption quality(20);
        save(*image, ours);
        EXPECT_EQ(tables(ours), cjpegTables(20));
    }
    EXPECT_LT(readFile(ours).size(), best);
    {
        QualityOption quality(500); // the library's range ends at 100
        save(*image, ours);
        EXPECT_EQ(tables(ours), cjpegTables(100));
    }
}

TEST(JpegSave, LongCommentsSpanSeveralMarkersAndComeBackWhole)
{
    TempDir dir;
    auto image = detailImage(16, 16);
    for (size_t length : {size_t(1), size_t(65533), size_t(65534), size_t(150000)}) {
        std::string comment(length, 'c');
        for (size_t i = 0; i < length; i += 997)
            comment[i] = char('a' + i % 26);
        image->setComment(comment);
        const std::string file = dir.file("comment.jpg");
        save(*image, file);
        const auto markers = segmentsOf(headerSegments(readFile(file)), 0xFE);
        ASSERT_EQ(markers.size(), (length + 65532) / 65533) << length;
        for (const Segment& m : markers)
            EXPECT_LE(m.data.size(), 65533u);
        EXPECT_EQ(load(file)->comment(), comment) << length;
    }
}

TEST(JpegSave, OtherSampleTypesAreConvertedOrToneMapped)
{
    TempDir dir;
    const std::string file = dir.file("hdr.jpg");
    auto half = oxImageHalf::create(16, 16);
    half->fill(oxColourHalf(0.5f, 0.25f, 2.0f, 1.0f));
    save(*half, file);
    oxColour c = load(file)->at(8, 8);
    EXPECT_NEAR(c.r, 128, 2);
    EXPECT_NEAR(c.g, 64, 2);
    EXPECT_NEAR(c.b, 255, 2); // clamped

    oxToneMapping exposure;
    exposure.mode = TM_HDR_ONLY;
    exposure.whitePoint = 2.0f;
    save(*half, file, exposure);
    c = load(file)->at(8, 8);
    EXPECT_NEAR(c.r, 64, 2);
    EXPECT_NEAR(c.b, 255, 2);

    // Tone mapping only for high-dynamic-range sources unless always asked.
    auto wide = oxImageUInt16::create(16, 16);
    wide->fill(oxColourUInt16(0x8000, 0x4000, 0xFFFF));
    save(*wide, file, exposure);
    EXPECT_NEAR(load(file)->at(8, 8).r, 128, 2);
    exposure.mode = TM_ALWAYS;
    save(*wide, file, exposure);
    EXPECT_NEAR(load(file)->at(8, 8).r, 64, 2);
}

TEST(JpegSave, FailedSavesLeaveTheOldFileAndNoTemporaryFile)
{
    TempDir dir;
    const std::string file = dir.file("keep.jpg");
    ASSERT_TRUE(writeFile(file, "precious"));
    auto empty = oxImageUInt8::create(0, 0);
    EXPECT_EQ(imageError([&] { save(*empty, file); }), "compression failed.");
    auto huge = oxImageUInt8::create(70000, 1); // wider than the format allows
    EXPECT_EQ(imageError([&] { save(*huge, file); }), "compression failed.");
    EXPECT_EQ(readFile(file), "precious");
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"keep.jpg"});

    const std::string message = imageError([&] { save(*detailImage(8, 8), dir.file("missing/x.jpg")); });
    EXPECT_EQ(message.rfind("cannot open file. (", 0), 0u) << message;
}

TEST(JpegSave, ConvertingAFileOntoItself)
{
    TempDir dir;
    const std::string file = dir.file("self.jpg");
    save(*detailImage(40, 30), file);
    auto image = load(file);
    image->setComment("again");
    save(*image, file);
    EXPECT_EQ(load(file)->comment(), "again");
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"self.jpg"});
}

TEST(JpegSave, AFullDiskIsReportedAndTheOldFileKept)
{
    TempDir dir;
    const std::string file = dir.file("old.jpg");
    ASSERT_TRUE(writeFile(file, "the old picture"));
    // The file-size limit stands in for a full disk: the write fails with
    // EFBIG, and the process must survive SIGXFSZ.
    const int code = runInChild([&] {
        const struct rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string message = imageError([&] { save(*detailImage(400, 400), file); });
        if (message.find("compression failed.") != 0 && message.find("cannot write file.") != 0)
            return 10;
        if (message.find(oxSystemErrorText(EFBIG)) == std::string::npos)
            return 11;
        return 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readFile(file), "the old picture");
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"old.jpg"});
}
