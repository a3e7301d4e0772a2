// The oximage tool end to end: the built program on real files.
#include "oxengine/image/handler.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

const std::string TOOL = OX_BINARY_DIR "/tools/oximage";

struct ToolRun {
    int status;
    std::string out;
};

ToolRun oximage(const std::string& arguments)
{
    ToolRun r;
    r.status = runCommand("cd /tmp && " + TOOL + " " + arguments + " 2>&1", &r.out);
    return r;
}

std::string makeJpeg(const TempDir& dir, const std::string& name, uint32_t w, uint32_t h)
{
    auto image = oxImageUInt8::create(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            image->at(x, y) = oxColour(uint8_t(x), uint8_t(y), uint8_t(x ^ y));
    image->setComment("hello");
    const std::string file = dir.file(name);
    oxImageRegistry::instance().saveImage(*image, file, oxToneMapping::neutral());
    return file;
}

} // namespace

TEST(OxImageTool, InfoPrintsOneLinePerFile)
{
    TempDir dir;
    const std::string good = makeJpeg(dir, "good.jpg", 64, 32);
    ASSERT_TRUE(writeFile(dir.file("bad.jpg"), "no picture\tat all"));
    ASSERT_TRUE(writeFile(dir.file("x.psd"), "?"));

    ToolRun r = oximage("info " + good);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, good + "\tok\t64x32\tuint8\t3\t5\n");

    r = oximage("info " + good + " " + dir.file("bad.jpg") + " " + dir.file("x.psd") + " " + dir.file("gone.jpg"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, good + "\tok\t64x32\tuint8\t3\t5\n" + dir.file("bad.jpg") + "\terror\tdecompression failed.\n" +
                         dir.file("x.psd") + "\terror\tunsupported image file type\n" + dir.file("gone.jpg") +
                         "\terror\tcannot open file.\n");
}

TEST(OxImageTool, ConvertReducesAndSetsTheQuality)
{
    TempDir dir;
    const std::string source = makeJpeg(dir, "source.jpg", 400, 300);
    const std::string small = dir.file("small.jpg"), rough = dir.file("rough.jpg");
    ASSERT_EQ(oximage("convert " + source + " " + small + " --max 100x100").status, 0);
    EXPECT_EQ(oximage("info " + small).out, small + "\tok\t100x75\tuint8\t3\t5\n");
    ASSERT_EQ(oximage("convert --quality 5 " + source + " " + rough).status, 0);
    EXPECT_LT(readFile(rough).size(), readFile(source).size() / 2);

    EXPECT_EQ(oximage("convert " + source + " " + dir.file("out.psd")).status, 1);
    EXPECT_EQ(oximage("convert " + dir.file("none.jpg") + " " + small).status, 1);
    for (const char* wrong : {"--max 100", "--max 0x10", "--max axb", "--quality 0", "--quality 101", "--quality"})
        EXPECT_EQ(oximage("convert " + source + " " + small + " " + wrong).status, 2) << wrong;
    EXPECT_EQ(oximage("convert " + source).status, 2);
}

TEST(OxImageTool, TransformRotatesAndSetsTheComment)
{
    TempDir dir;
    const std::string file = makeJpeg(dir, "t.jpg", 64, 32);
    ASSERT_EQ(oximage("transform " + file + " --rotate 1").status, 0);
    EXPECT_EQ(oximage("info " + file).out, file + "\tok\t32x64\tuint8\t3\t5\n");
    ASSERT_EQ(oximage("transform " + file + " --comment 'a longer comment'").status, 0);
    EXPECT_EQ(oximage("info " + file).out, file + "\tok\t32x64\tuint8\t3\t16\n");

    const std::string odd = makeJpeg(dir, "odd.jpg", 60, 30);
    const ToolRun refused = oximage("transform " + odd + " --rotate 2");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("can be divided by 16"), std::string::npos) << refused.out;
    for (const char* wrong : {"--rotate 4", "--rotate", "", "--comment"})
        EXPECT_EQ(oximage("transform " + file + " " + wrong).status, 2) << wrong;
}

TEST(OxImageTool, UsageErrors)
{
    EXPECT_EQ(oximage("").status, 2);
    EXPECT_EQ(oximage("frobnicate x").status, 2);
    EXPECT_EQ(oximage("info").status, 2);
    const ToolRun help = oximage("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("oximage convert IN OUT"), std::string::npos);
}
