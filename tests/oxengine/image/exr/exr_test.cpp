#include "../imagetest.h"

#include "childprocess.h"
#include "oxengine/errors.h"
#include "oxengine/files.h"
#include "oxengine/image/exr/exrhandler.h"
#include "oxengine/image/handler.h"
#include "testsupport.h"

#include <sys/resource.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace {

#define REQUIRE_OPENEXR()                                                                                              \
    do {                                                                                                               \
        if (!oxExrLibrary::process())                                                                                  \
            GTEST_SKIP() << "the OpenEXR library is not installed";                                                   \
    } while (0)

std::string le32(uint32_t v)
{
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

std::string attribute(const std::string& name, const std::string& type, const std::string& value)
{
    return name + '\0' + type + '\0' + le32(uint32_t(value.size())) + value;
}

// An uncompressed scan-line EXR file written byte by byte, so the tests can
// have any data window, channels and flags. Channels are half, in the order
// given (the format wants them sorted by name); value(channel, x, y) gives
// the samples.
struct ExrFile {
    int xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::vector<std::string> channels{"A", "B", "G", "R"};
    std::map<std::string, std::string> strings; // string attributes
    uint32_t flags = 0;
    std::function<float(const std::string&, int, int)> value = [](const std::string& c, int x, int y) {
        return float(c[0] - 'A') * 0.25f + float(x) * 0.01f + float(y) * 0.001f;
    };

    std::string bytes() const
    {
        std::string head = std::string("\x76\x2f\x31\x01", 4) + le32(2 | flags);
        std::string list;
        for (const std::string& c : channels)
            list += c + '\0' + le32(1) + std::string(4, '\0') + le32(1) + le32(1);
        head += attribute("channels", "chlist", list + '\0');
        head += attribute("compression", "compression", std::string(1, '\0'));
        const std::string window = le32(uint32_t(xMin)) + le32(uint32_t(yMin)) + le32(uint32_t(xMax)) + le32(uint32_t(yMax));
        head += attribute("dataWindow", "box2i", window);
        head += attribute("displayWindow", "box2i", window);
        head += attribute("lineOrder", "lineOrder", std::string(1, '\0'));
        head += attribute("pixelAspectRatio", "float", le32(0x3f800000));
        head += attribute("screenWindowCenter", "v2f", std::string(8, '\0'));
        head += attribute("screenWindowWidth", "float", le32(0x3f800000));
        for (const auto& [name, text] : strings)
            head += attribute(name, "string", text);
        head += '\0';
        const int width = xMax - xMin + 1, height = yMax - yMin + 1;
        const size_t lineBytes = size_t(width) * 2 * channels.size();
        std::string table, lines;
        const uint64_t first = head.size() + 8 * uint64_t(height);
        for (int y = yMin; y <= yMax; ++y) {
            const uint64_t at = first + lines.size();
            table += le32(uint32_t(at)) + le32(uint32_t(at >> 32));
            lines += le32(uint32_t(y)) + le32(uint32_t(lineBytes));
            for (const std::string& c : channels)
                for (int x = xMin; x <= xMax; ++x) {
                    const uint16_t h = oxFloatToHalfBits(value(c, x, y));
                    lines += char(h);
                    lines += char(h >> 8);
                }
        }
        return head + table + lines;
    }
};

// The file with another data window in its header (the pixels stay).
std::string withDataWindow(std::string exr, int xMin, int yMin, int xMax, int yMax)
{
    const size_t at = exr.find("dataWindow") + sizeof "dataWindow" + sizeof "box2i" + 4;
    return exr.replace(at, 16, le32(uint32_t(xMin)) + le32(uint32_t(yMin)) + le32(uint32_t(xMax)) + le32(uint32_t(yMax)));
}

std::unique_ptr<oxImageHalf> load(const std::string& path)
{
    auto image = oxExrHandler(oxExrLibrary::process()).loadImage(path, oxSize());
    return std::unique_ptr<oxImageHalf>(static_cast<oxImageHalf*>(image.release()));
}

template <class Fn> std::string imageError(Fn&& fn)
{
    try {
        fn();
    } catch (const oxImageException& e) {
        return e.oxException::getMessage();
    }
    return std::string();
}

float r(const oxColourHalf& p)
{
    return p.r.toFloat();
}

// What the library says about a file: channel set and "comments".
std::pair<int, std::string> channelsAndComment(const std::string& path, bool* hasComment)
{
    const oxExrLibrary& l = *oxExrLibrary::process();
    ImfInputFile* in = l.openInputFile(path.c_str());
    if (!in)
        return {0, l.lastError()};
    const char* text = nullptr;
    *hasComment = l.headerStringAttribute(l.inputHeader(in), "comments", &text) != 0;
    std::pair<int, std::string> result{l.inputChannels(in), *hasComment && text ? text : ""};
    l.closeInputFile(in);
    return result;
}

} // namespace

TEST(ExrLoad, TheDataWindowCornerBecomesRowZero)
{
    REQUIRE_OPENEXR();
    TempDir dir;
    const std::string f = dir.file("w.exr");
    for (const auto& [x0, y0] : {std::pair{10, 20}, std::pair{-5, -3}, std::pair{0, 0}}) {
        SCOPED_TRACE(testing::Message() << "data window at " << x0 << ", " << y0);
        ExrFile exr;
        exr.xMin = x0, exr.yMin = y0, exr.xMax = x0 + 4, exr.yMax = y0 + 2;
        ASSERT_TRUE(writeFile(f, exr.bytes()));
        auto image = load(f);
        ASSERT_EQ(image->size(), oxSize(5, 3));
        EXPECT_EQ(image->components(), 4);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                const oxColourHalf p = image->at(uint32_t(x), uint32_t(y));
                EXPECT_EQ(p.r.bits(), oxFloatToHalfBits(exr.value("R", x0 + x, y0 + y)));
                EXPECT_EQ(p.a.bits(), oxFloatToHalfBits(exr.value("A", x0 + x, y0 + y)));
            }
    }
}

TEST(ExrLoad, CommentsAttributeAndChannelSets)
{
    REQUIRE_OPENEXR();
    TempDir dir;
    const std::string f = dir.file("c.exr");
    ExrFile exr;
    exr.xMax = 3, exr.yMax = 1;
    exr.strings["comments"] = "a picture";
    exr.strings["owner"] = "not a comment";
    ASSERT_TRUE(writeFile(f, exr.bytes()));
    EXPECT_EQ(load(f)->comment(), "a picture");

    // RGB without alpha reads with alpha 1; luminance as grey.
    exr.strings.clear();
    exr.channels = {"B", "G", "R"};
    ASSERT_TRUE(writeFile(f, exr.bytes()));
    auto image = load(f);
    EXPECT_EQ(image->comment(), "");
    EXPECT_EQ(image->at(1, 1).a.toFloat(), 1.0f);
    exr.channels = {"Y"};
    exr.value = [](const std::string&, int x, int) { return 0.5f + float(x) * 0.125f; };
    ASSERT_TRUE(writeFile(f, exr.bytes()));
    image = load(f);
    EXPECT_NEAR(r(image->at(2, 0)), 0.75f, 0.01f);
    EXPECT_EQ(image->at(2, 0).r, image->at(2, 0).g);
}

TEST(ExrLoad, BadWindowsSizesAndFilesAreRefused)
{
    REQUIRE_OPENEXR();
    TempDir dir;
    const std::string f = dir.file("bad.exr");
    ExrFile exr;
    exr.xMax = 99, exr.yMax = 99;
    ASSERT_TRUE(writeFile(f, exr.bytes()));
    {
        PixelLimit limit(9999);
        EXPECT_EQ(imageError([&] { load(f); }), "the picture is too large: 100 × 100 pixels");
    }
    // Windows the image model cannot hold never reach an allocation, and a
    // window the wrong way round is no picture.
    for (const auto& [x0, x1] : {std::pair{INT_MIN + 2, INT_MAX - 2}, std::pair{5, 2}}) {
        ASSERT_TRUE(writeFile(f, withDataWindow(ExrFile().bytes(), x0, 0, x1, 0)));
        EXPECT_NE(imageError([&] { load(f); }), "");
    }
    for (const std::string& junk : {std::string(), std::string("not an exr file"), exr.bytes().substr(0, 40)}) {
        ASSERT_TRUE(writeFile(f, junk));
        EXPECT_EQ(imageError([&] { load(f); }).rfind("cannot open EXR file: ", 0), 0u);
    }
    EXPECT_EQ(imageError([&] { load(dir.file("missing.exr")); }).rfind("cannot open EXR file: ", 0), 0u);
    // Pixel data cut short.
    ExrFile small;
    small.xMax = 63, small.yMax = 63;
    const std::string whole = small.bytes();
    ASSERT_TRUE(writeFile(f, whole.substr(0, whole.size() - 3000)));
    EXPECT_EQ(imageError([&] { load(f); }).rfind("cannot read EXR image data: ", 0), 0u);
}

TEST(ExrSave, ChannelsAndCommentFollowTheImage)
{
    REQUIRE_OPENEXR();
    TempDir dir;
    const std::string f = dir.file("s.exr");
    const oxExrHandler exr(oxExrLibrary::process());
    auto image = patternImage<oxColourHalf>(6, 4);
    bool hasComment = true;
    exr.saveImage(*image, f, oxToneMapping::neutral());
    EXPECT_EQ(channelsAndComment(f, &hasComment).first, oxExrLibrary::WRITE_RGBA);
    EXPECT_FALSE(hasComment);
    EXPECT_TRUE(samePixels(*load(f), *image));

    image->setComponents(3);
    image->setComment("grey sky");
    exr.saveImage(*image, f, oxToneMapping::neutral());
    EXPECT_EQ(channelsAndComment(f, &hasComment), std::make_pair(oxExrLibrary::WRITE_RGB, std::string("grey sky")));
    EXPECT_TRUE(hasComment);
    auto back = load(f);
    EXPECT_EQ(back->comment(), "grey sky");
    EXPECT_EQ(back->at(5, 3).g, image->at(5, 3).g);
    EXPECT_EQ(back->at(5, 3).a.toFloat(), 1.0f);

    // Tone mapping only when the mode says always (the file keeps the range).
    auto bright = oxImageHalf::create(1, 1);
    bright->at(0, 0) = oxColourHalf(4.0f, 2.0f, 1.0f, 1.0f);
    oxToneMapping mapping;
    mapping.mode = TM_HDR_ONLY;
    mapping.whitePoint = 4.0f;
    exr.saveImage(*bright, f, mapping);
    EXPECT_EQ(r(load(f)->at(0, 0)), 4.0f);
    mapping.mode = TM_ALWAYS;
    exr.saveImage(*bright, f, mapping);
    EXPECT_NEAR(r(load(f)->at(0, 0)), 1.0f, 0.001f);
    EXPECT_EQ(imageError([&] { exr.saveImage(oxImageHalf(), f, oxToneMapping::neutral()); }),
              "an EXR file cannot hold a picture of 0 × 0 pixels");
}

TEST(ExrSave, AWriteTheLibraryCannotFinishIsReportedAndChangesNothing)
{
    REQUIRE_OPENEXR();
    TempDir dir;
    const std::string f = dir.file("full.exr");
    ASSERT_TRUE(writeFile(f, "the old file"));
    const int status = runInChild([&] {
        // The disk is full after 64 KB (a file-size limit makes every write
        // beyond it fail).
        const rlimit limit{65536, 65536};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 10;
        auto noise = oxImageHalf::create(512, 512);
        uint32_t n = 1;
        for (uint32_t i = 0; i < 512 * 512; ++i) {
            n = n * 1664525u + 1013904223u;
            noise->pixels()[i] = oxColourHalf(float(n >> 8 & 1023) / 97.0f, float(n >> 18) / 3.0f, 0.5f, 1.0f);
        }
        try {
            oxExrHandler(oxExrLibrary::process()).saveImage(*noise, f, oxToneMapping::neutral());
        } catch (const oxImageException& e) {
            return std::string(e.oxException::getMessage()).rfind("cannot write EXR pixels", 0) == 0 ? 0 : 11;
        }
        return 12; // reported as a success
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(f), "the old file");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ExrTransform, RotatesRgbaFilesAndRefusesFilesWithMore)
{
    REQUIRE_OPENEXR();
    oxFilename::initialize("test");
    TempDir dir;
    const std::string f = dir.file("t.exr");
    auto image = patternImage<oxColourHalf>(5, 3);
    oxExrHandler(oxExrLibrary::process()).saveImage(*image, f, oxToneMapping::neutral());
    ASSERT_TRUE(oxFilename(f).setModificationDate(1e9));
    oxImageTransform turn;
    turn.rotation = 3;
    turn.setComment = true;
    turn.comment = "turned";
    oxImageRegistry::instance().transformFile(f, turn);
    auto turned = load(f);
    EXPECT_TRUE(samePixels(*turned, *image->rotatedCopy(3)));
    EXPECT_EQ(turned->comment(), "turned");
    EXPECT_DOUBLE_EQ(oxFilename(f).modificationDate(), 1e9);

    // Luminance files hold nothing the rewrite loses.
    ExrFile grey;
    grey.xMax = 3, grey.yMax = 1;
    grey.channels = {"Y"};
    ASSERT_TRUE(writeFile(f, grey.bytes()));
    oxImageRegistry::instance().transformFile(f, turn);
    EXPECT_EQ(load(f)->size(), oxSize(2, 4));

    const std::string refusal = "this EXR file holds more than one RGBA picture (other channels, layers, parts or deep "
                                "data); rewriting it would lose them";
    const auto refused = [&](const ExrFile& exr) {
        const std::string bytes = exr.bytes();
        EXPECT_TRUE(writeFile(f, bytes));
        const std::string error = imageError([&] { oxImageRegistry::instance().transformFile(f, turn); });
        EXPECT_EQ(readFile(f), bytes);
        return error;
    };
    ExrFile depth;
    depth.xMax = 3, depth.yMax = 2;
    depth.channels = {"A", "B", "G", "R", "Z"};
    EXPECT_EQ(load((writeFile(f, depth.bytes()), f))->size(), oxSize(4, 3)); // viewable all the same
    EXPECT_EQ(refused(depth), refusal);
    ExrFile layers = depth;
    layers.channels = {"B", "G", "R", "diffuse.B", "diffuse.G", "diffuse.R"};
    EXPECT_EQ(refused(layers), refusal);
    ExrFile ids = depth;
    ids.channels = {"A", "B", "G", "R", "id"};
    EXPECT_EQ(refused(ids), refusal);
    ExrFile parts = depth;
    parts.channels = {"B", "G", "R"};
    parts.flags = 0x1000;
    EXPECT_EQ(refused(parts), refusal);
    ExrFile deep = parts;
    deep.flags = 0;
    deep.strings["type"] = "deepscanline";
    EXPECT_EQ(refused(deep), refusal);
}

TEST(ExrLibrary, OnlyALibraryWithTheEntryPointsIsUsed)
{
    EXPECT_EQ(oxExrLibrary::open({"libOpenEXR-does-not-exist.so.99"}), nullptr);
    EXPECT_EQ(oxExrLibrary::open({"libz.so.1"}), nullptr); // loads, but is not OpenEXR
    if (oxExrLibrary::process()) {
        auto library = oxExrLibrary::open({"libOpenEXR-does-not-exist.so.99", oxExrLibrary::process()->name()});
        ASSERT_NE(library, nullptr);
        EXPECT_EQ(library->name(), oxExrLibrary::process()->name());
    }
}

// Run once as it is, this starts itself again with OX_EXR_LIBRARY naming a
// library that does not exist, which is a machine without OpenEXR.
TEST(ExrLibrary, WithoutTheLibraryExrIsNotOffered)
{
    const char* simulated = std::getenv("OX_EXR_LIBRARY");
    if (!simulated) {
        std::string out;
        const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        EXPECT_EQ(runCommand("OX_EXR_LIBRARY=libOpenEXR-absent.so.1 '" + self +
                                 "' --gtest_filter=ExrLibrary.WithoutTheLibraryExrIsNotOffered 2>&1",
                             &out),
                  0)
            << out;
        EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
        return;
    }
    EXPECT_EQ(oxExrLibrary::process(), nullptr);
    const oxImageRegistry& registry = oxImageRegistry::instance();
    EXPECT_EQ(registry.saveFilterString(), "Truevision Targa Files (*.tga)|*.tga|JPEG images (*.jpg)|*.jpg|"
                                           "PNG images (*.png)|*.png|All Files (*.*)|*|");
    EXPECT_FALSE(registry.canLoad("x.exr"));
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("x.exr"), ExrFile().bytes()));
    EXPECT_EQ(imageError([&] { registry.loadImage(dir.file("x.exr"), oxSize()); }), "unsupported image file type");
    EXPECT_EQ(imageError([&] { patternImage<oxColourHalf>(2, 2)->saveToFile(dir.file("y.exr"), oxToneMapping::neutral()); }),
              "unsupported image file type");
}
