// The oximage tool end to end: the built program on real files. An EXR rotation keeps the
// file's header: checked with OpenEXR's own tools (exrstdattr writes the attributes, exrheader
// reads them back); how the windows turn is the EXR tests'.
#include "oxengine/image/exr/exrlibrary.h"
#include "oxengine/image/handler.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>

namespace {

// A command with its error output; oximage is the built tool.
int run(const std::string& command, std::string* out = nullptr)
{
    return runCommand(command + " 2>&1", out);
}

int oximage(const std::string& arguments, std::string* out = nullptr)
{
    return run(OX_BINARY_DIR "/tools/oximage " + arguments, out);
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

// exrheader's attributes by name: each one's line and its indented lines (the channels).
std::map<std::string, std::string> header(const std::string& file)
{
    std::string out, name;
    run("exrheader '" + file + "'", &out);
    std::map<std::string, std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(' '))
            lines[name] += line;
        else if (!line.empty() && !line.starts_with("file "))
            lines[name = line.substr(0, line.find(' '))] = line;
    return lines;
}

} // namespace

TEST(OxImageTool, CommandsAndRefusals)
{
    TempDir dir;
    const std::string good = save(dir.file("good.jpg"), 64, 32, "hello");
    ASSERT_TRUE(writeFile(dir.file("bad.jpg"), "no picture"));
    EXPECT_EQ(oximage("info " + good), 0);
    std::string out;
    EXPECT_EQ(oximage("info " + good + " " + dir.file("bad.jpg") + " " + good, &out), 1); // every file, then the status
    EXPECT_EQ(out, good + "\tok\t64x32\tuint8\t3\t5\n" + dir.file("bad.jpg") +
                       "\terror\tdecompression failed. (Not a JPEG file: starts with 0x6e 0x6f)\n" + good + "\tok\t64x32\tuint8\t3\t5\n");

    // Convert and transform a JPEG.
    const std::string source = save(dir.file("source.jpg"), 512, 300, "hello");
    const std::string small = dir.file("small.jpg");
    ASSERT_EQ(oximage("convert " + source + " " + small + " --max 128x128"), 0);
    EXPECT_EQ(info(small), small + "\tok\t128x75\tuint8\t3\t5\n");
    ASSERT_EQ(oximage("transform " + small + " --rotate 3 --comment 'a new comment'"), 0);
    EXPECT_EQ(info(small), small + "\tok\t75x128\tuint8\t3\t13\n");
    // A refused conversion (a refused transformation: the EXR test below); wrong command lines.
    EXPECT_EQ(oximage("convert " + source + " " + dir.file("t.gif"), &out), 1);
    EXPECT_EQ(out, "oximage: " + dir.file("t.gif") + ": unsupported image file type\n");
    for (const char* wrong : {"", "frobnicate x", "info", "convert a.jpg", "convert a.jpg b.jpg --max 100",
                              "convert a.jpg b.jpg --max 0x10", "convert a.jpg b.jpg --quality 101",
                              "convert a.jpg b.jpg --quality", "transform a.jpg", "transform a.jpg --rotate 4"})
        EXPECT_EQ(oximage(wrong), 2) << wrong;
}

TEST(OxImageExr, ARotationKeepsEveryAttributeAndTurnsTheGeometry)
{
    if (!oxExrLibrary::process() || run("exrheader -h >/dev/null; exrstdattr -h >/dev/null") == 127)
        GTEST_SKIP() << "needs the OpenEXR library and its tools (package openexr)";
    TempDir dir;
    auto image = oxImageHalf::create(7, 5);
    for (uint32_t i = 0; i < 35; ++i)
        image->pixels()[i] = oxColourHalf(float(i) / 35.0f, 0.5f, float(i % 7) / 7.0f, 1.0f);
    oxImageRegistry::instance().saveImage(*image, dir.file("plain.exr"), oxToneMapping::neutral());
    ASSERT_EQ(run("exrstdattr -owner Ann -comments 'old words' -chromaticities 0.64 0.33 0.3 0.6 0.15 0.06 0.3127 "
                  "0.329 -capDate '2020:01:02 03:04:05' -pixelAspectRatio 2 -screenWindowCenter 0.5 0.25 "
                  "-string myKey myValue -float myFloat 1.5 '" +
                  dir.file("plain.exr") + "' '" + dir.file("scan.exr") + "'"),
              0);
    ASSERT_EQ(run("exrmaketiled -t 4 2 '" + dir.file("scan.exr") + "' '" + dir.file("tiled.exr") + "'"), 0);
    for (const char* name : {"scan.exr", "tiled.exr"}) {
        SCOPED_TRACE(name);
        const std::string file = dir.file(name);
        std::map<std::string, std::string> before = header(file);
        ASSERT_EQ(oximage("transform '" + file + "' --rotate 1 --comment 'new words'"), 0);
        std::map<std::string, std::string> after = header(file);
        EXPECT_EQ(after["pixelAspectRatio"], "pixelAspectRatio (type float): 0.5");
        EXPECT_EQ(after["screenWindowCenter"], "screenWindowCenter (type v2f): (0.25 -0.5)");
        EXPECT_EQ(after["comments"], "comments (type string): \"new words\"");
        if (std::string(name) == "tiled.exr") {
            EXPECT_EQ(after["chunkCount"], "chunkCount (type int): 8"); // 2 × 4 tiles of 4 × 2
        }
        for (const char* key : {"dataWindow", "displayWindow", "pixelAspectRatio", "screenWindowCenter",
                                 "screenWindowWidth", "chunkCount", "comments"})
            before.erase(key), after.erase(key);
        EXPECT_EQ(after, before);
        const auto turned = oxImageRegistry::instance().loadImage(file, oxSize());
        const auto expected = image->rotatedCopy(1);
        ASSERT_EQ(turned->size(), expected->size());
        EXPECT_EQ(std::memcmp(turned->data(), expected->data(), expected->byteSize()), 0);
    }
    // What a turn would break is refused, and the file stays as it was.
    ASSERT_EQ(run("exrmaketiled -m -t 4 4 '" + dir.file("scan.exr") + "' '" + dir.file("levels.exr") + "'"), 0);
    ASSERT_EQ(run("exrstdattr -envmap LATLONG '" + dir.file("plain.exr") + "' '" + dir.file("sky.exr") + "'"), 0);
    for (const auto& [name, reason] :
         {std::pair{"levels.exr", "this EXR file holds mip-map levels; rewriting it would lose them"},
          std::pair{"sky.exr", "this EXR file is an environment map, which cannot be rotated"}}) {
        const std::string file = dir.file(name), bytes = readFile(file);
        std::string out;
        EXPECT_EQ(oximage("transform '" + file + "' --rotate 2", &out), 1);
        EXPECT_EQ(out, "oximage: " + file + ": " + reason + "\n");
        EXPECT_EQ(readFile(file), bytes);
    }
}
