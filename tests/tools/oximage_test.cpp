// The oximage tool end to end: the built program on real files.
#include "oxengine/image/exr/exrlibrary.h"
#include "oxengine/image/handler.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

int oximage(const std::string& arguments, std::string* out = nullptr)
{
    return runCommand(OX_BINARY_DIR "/tools/oximage " + arguments + " 2>&1", out);
}

std::string info(const std::string& file)
{
    std::string out;
    oximage("info " + file, &out);
    return out;
}

// A picture of distinct pixels, saved through the registry.
std::string save(const std::string& file, uint32_t w, uint32_t h, const std::string& comment = "")
{
    auto image = imageOf<oxColour>(w, h, [&](uint32_t x, uint32_t y) {
        return oxColour(uint8_t(x * 2), uint8_t(y * 3), uint8_t((y * w + x) * 5 % 256));
    });
    image->setComment(comment);
    oxImageRegistry::instance().saveImage(*image, file, oxToneMapping::neutral());
    return file;
}

} // namespace

TEST(OxImageTool, InfoPrintsOneLinePerFile)
{
    TempDir dir;
    const std::string good = save(dir.file("good.jpg"), 64, 32, "hello");
    ASSERT_TRUE(writeFile(dir.file("bad.jpg"), "no picture"));
    EXPECT_EQ(oximage("info " + good), 0);
    std::string out;
    EXPECT_EQ(oximage("info " + good + " " + dir.file("bad.jpg") + " x.psd " + dir.file("gone.jpg"), &out), 1);
    EXPECT_EQ(out, good + "\tok\t64x32\tuint8\t3\t5\n" + dir.file("bad.jpg") + "\terror\tdecompression failed. (Not a JPEG file: starts with 0x6e 0x6f)\n" +
                       "x.psd\terror\tunsupported image file type\n" + dir.file("gone.jpg") +
                       "\terror\tcannot open file. (No such file or directory)\n");
    std::vector<std::pair<std::string, std::string>> deeper{{dir.file("deep.png"), "uint16"}};
    if (oxExrLibrary::process())
        deeper.emplace_back(dir.file("half.exr"), "half");
    for (const auto& [file, type] : deeper) {
        oxImageRegistry::instance().saveImage(*oxImageHalf::create(2, 1), file, oxToneMapping::neutral());
        EXPECT_EQ(info(file), file + "\tok\t2x1\t" + type + "\t4\t0\n");
    }
}

TEST(OxImageTool, ConvertAndTransformJpeg)
{
    TempDir dir;
    const std::string source = save(dir.file("source.jpg"), 512, 300, "hello");
    const std::string small = dir.file("small.jpg"), rough = dir.file("rough.jpg");
    ASSERT_EQ(oximage("convert " + source + " " + small + " --max 128x128"), 0);
    EXPECT_EQ(info(small), small + "\tok\t128x75\tuint8\t3\t5\n");
    ASSERT_EQ(oximage("convert --quality 5 " + source + " " + rough), 0);
    EXPECT_LT(readFile(rough).size(), readFile(source).size() / 2);
    ASSERT_EQ(oximage("transform " + small + " --rotate 3 --comment 'a new comment'"), 0);
    EXPECT_EQ(info(small), small + "\tok\t75x128\tuint8\t3\t13\n");
    std::string out; // a refused transformation: the EXR tool test
    EXPECT_EQ(oximage("convert " + source + " " + dir.file("t.gif"), &out), 1);
    EXPECT_EQ(out, "oximage: " + dir.file("t.gif") + ": unsupported image file type\n");
}

TEST(OxImageTool, WrongCommandLines)
{
    for (const char* wrong : {"", "frobnicate x", "info", "convert a.jpg", "convert a.jpg b.jpg --max 100",
                              "convert a.jpg b.jpg --max 0x10", "convert a.jpg b.jpg --quality 101",
                              "convert a.jpg b.jpg --quality", "transform a.jpg", "transform a.jpg --rotate 4"})
        EXPECT_EQ(oximage(wrong), 2) << wrong;
    std::string help;
    EXPECT_EQ(oximage("--help", &help), 0);
    EXPECT_NE(help.find("oximage convert IN OUT"), std::string::npos);
}
