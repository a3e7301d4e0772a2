#include "../imagetest.h"

#include "childprocess.h"
#include "data/bombs/bombs.h"
#include "oxengine/image/exr/exrhandler.h"
#include "oxengine/storage/files.h"

#include <sys/resource.h>

#include <array>
#include <climits>
#include <optional>
#include <functional>
#include <map>

namespace {

// An uncompressed scan-line EXR file written byte by byte, so a test can
// have any data window, channels (half, sorted by name) and flags.
struct ExrFile {
    int xMin = 0, yMin = 0, xMax = 3, yMax = 2;
    std::optional<std::array<int, 4>> display; // the display window; without: the data window
    std::vector<std::string> channels{"A", "B", "G", "R"};
    std::map<std::string, std::string> strings; // string attributes
    uint32_t flags = 0;
    std::function<float(char, int, int)> value = [](char c, int x, int y) {
        return float(c - 'A') * 0.25f + float(x) * 0.01f + float(y) * 0.001f;
    };

    std::string bytes() const
    {
        std::string more, table, lines;
        for (const auto& [name, text] : strings)
            more += exrAttribute(name, "string", text);
        const std::array<int, 4> window{xMin, yMin, xMax, yMax};
        const std::string head = exrHeader(channels, window, display.value_or(window), 0, more, flags);
        const uint64_t first = head.size() + 8 * uint64_t(yMax - yMin + 1);
        for (int y = yMin; y <= yMax; ++y) {
            const uint64_t at = first + lines.size();
            table += le32(uint32_t(at)) + le32(uint32_t(at >> 32));
            lines += le32(uint32_t(y)) + le32(uint32_t((xMax - xMin + 1) * 2 * channels.size()));
            for (const std::string& c : channels)
                for (int x = xMin; x <= xMax; ++x) {
                    const uint16_t h = oxFloatToHalfBits(value(c[0], x, y));
                    lines += {char(h), char(h >> 8)};
                }
        }
        return head + table + lines;
    }
};

std::unique_ptr<oxImageHalf> load(const std::string& path)
{
    return loadAs<oxColourHalf>(oxExrHandler(oxExrLibrary::process()), path);
}

// Every test but the library's own needs OpenEXR.
struct Exr : testing::Test {
    void SetUp() override
    {
        if (!oxExrLibrary::process())
            GTEST_SKIP() << "the OpenEXR library is not installed";
        oxFilename::initialize();
    }
    TempDir dir;
    const std::string f = dir.file("t.exr");
};

} // namespace

// The channels, the comment and the range come back as the round trip test shows (unmapped: the tone mapping's).
TEST_F(Exr, DataWindowTurnsAndRefusals)
{
    for (const auto& [left, top] : {std::pair{10, 20}, std::pair{-5, -3}}) {
        const int x0 = left, y0 = top; // clang 14 cannot capture a structured binding
        ExrFile exr;
        exr.xMin = x0, exr.yMin = y0, exr.xMax = x0 + 4, exr.yMax = y0 + 2;
        exr.strings["comments"] = "a picture";
        ASSERT_TRUE(writeFile(f, exr.bytes()));
        auto image = load(f);
        EXPECT_EQ(std::tuple(image->components(), image->comment()), std::tuple(4, "a picture"));
        const auto channel = [&, x0 = x0, y0 = y0](char c, uint32_t x, uint32_t y) {
            return oxHalf(exr.value(c, x0 + int(x), y0 + int(y)));
        };
        EXPECT_TRUE(samePixels(*image, *imageOf<oxColourHalf>(5, 3, [&](uint32_t x, uint32_t y) {
            return oxColourHalf(channel('R', x, y), channel('G', x, y), channel('B', x, y), channel('A', x, y));
        }))) << "data window at " << x0 << ", " << y0;
    }

    ExrFile large;
    large.xMax = 99, large.yMax = 99;
    const std::string whole = large.bytes();
    {
        PixelLimit limit(9999);
        EXPECT_EQ(loadError(f, whole, load), "the picture is too large: 100 × 100 pixels");
    }
    EXPECT_EQ(loadError(f, whole.substr(0, whole.size() - 3000), load).rfind("cannot read EXR image data: ", 0), 0u);
    // Data windows too wide for the image model or the wrong way round never reach an allocation.
    for (const auto& [x0, x1] : {std::pair{INT_MIN + 2, INT_MAX - 2}, std::pair{5, 2}}) {
        std::string exr = ExrFile().bytes();
        exr.replace(exr.find("dataWindow") + sizeof "dataWindow" + sizeof "box2i" + 4, 16,
                    le32(uint32_t(x0)) + le32(0) + le32(uint32_t(x1)) + le32(0));
        EXPECT_NE(loadError(f, exr, load), "");
    }
    for (const std::string& junk : {std::string(), std::string("not an exr file"), whole.substr(0, 40)})
        EXPECT_EQ(loadError(f, junk, load).rfind("cannot open EXR file: ", 0), 0u);

    // A write the library cannot finish changes nothing.
    ASSERT_TRUE(writeFile(f, "the old file"));
    // The disk is full after 64 KB: a file-size limit fails every write
    // beyond it, also those the library makes while closing the file.
    const int status = runInChild([&] {
        uint32_t n = 1;
        auto noise = imageOf<oxColourHalf>(512, 512, [&](uint32_t, uint32_t) {
            n = n * 1664525u + 1013904223u;
            return oxColourHalf(float(n >> 8 & 1023) / 97.0f, float(n >> 18) / 3.0f, 0.5f, 1.0f);
        });
        const rlimit limit{65536, 65536};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string error = imageError([&] { oxExrHandler(oxExrLibrary::process()).saveImage(*noise, f, {}); });
        return error.rfind("cannot write EXR pixels: ", 0) == 0 ? 0 : 11;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(f), "the old file");
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"t.exr"});

    // The data window turns within the display window, which keeps its corner; only RGBA (or luminance) is
    // rewritten.
    ExrFile exr;
    exr.xMin = 2, exr.yMin = 1, exr.xMax = 5, exr.yMax = 3;
    exr.display = {0, 0, 9, 4};
    const oxExrLibrary& l = *oxExrLibrary::process();
    const struct {
        int turns;
        std::array<int, 4> data, display;
    } cases[] = {{1, {1, 2, 3, 5}, {0, 0, 4, 9}}, {2, {4, 1, 7, 3}, {0, 0, 9, 4}}, {3, {1, 4, 3, 7}, {0, 0, 4, 9}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.turns << " turns");
        ASSERT_TRUE(writeFile(f, exr.bytes()));
        const auto before = load(f);
        oxImageRegistry::instance().transformFile(f, transformOf(c.turns));
        ImfInputFile* in = l.openInputFile(f.c_str());
        ASSERT_NE(in, nullptr);
        std::array<int, 4> data{}, display{};
        l.headerDataWindow(l.inputHeader(in), &data[0], &data[1], &data[2], &data[3]);
        l.headerDisplayWindow(l.inputHeader(in), &display[0], &display[1], &display[2], &display[3]);
        l.closeInputFile(in);
        EXPECT_EQ(data, c.data);
        EXPECT_EQ(display, c.display);
        EXPECT_TRUE(samePixels(*load(f), *before->rotatedCopy(c.turns)));
    }
    const oxImageTransform turn = transformOf(3);
    // Luminance holds nothing the rewrite loses.
    ExrFile grey;
    grey.channels = {"Y"};
    ASSERT_TRUE(writeFile(f, grey.bytes()));
    oxImageRegistry::instance().transformFile(f, turn);
    EXPECT_EQ(load(f)->size(), oxSize(3, 4));
    // Depth, ids, layers, several parts, deep data: not rewritten (viewable: the corpus's depth files).
    ExrFile depth, layers, parts, deep;
    depth.channels = {"A", "B", "G", "R", "Z"};
    layers.channels = {"B", "G", "R", "diffuse.B", "diffuse.G", "diffuse.R"};
    parts.flags = 0x1000;
    deep.strings["type"] = "deepscanline";
    for (const ExrFile* refused : {&depth, &layers, &parts, &deep}) {
        const std::string bytes = refused->bytes();
        EXPECT_EQ(loadError(f, bytes, [&](const std::string& file) { oxImageRegistry::instance().transformFile(file, turn); }),
                  "this EXR file holds more than one RGBA picture (other channels, layers, parts or deep data); "
                  "rewriting it would lose them");
        EXPECT_EQ(readFile(f), bytes);
    }
}

// Run as it is, this also runs itself again with OX_EXR_LIBRARY naming a
// library that does not exist: a machine without OpenEXR.
TEST(ExrLibrary, EntryPointsNeededAndWithoutThemExrIsNotOffered)
{
    if (!inRerunWith("OX_EXR_LIBRARY", "libOpenEXR-absent.so.1")) {
        EXPECT_EQ(oxExrLibrary::open({"libOpenEXR-does-not-exist.so.99"}), nullptr);
        EXPECT_EQ(oxExrLibrary::open({"libz.so.1"}), nullptr); // loads, but is not OpenEXR
        if (const auto installed = oxExrLibrary::process()) {
            EXPECT_NE(oxExrLibrary::open({"libOpenEXR-does-not-exist.so.99", installed->name()}), nullptr);
        }
        return;
    }
    EXPECT_EQ(oxExrLibrary::process(), nullptr);
    const oxImageRegistry& registry = oxImageRegistry::instance();
    EXPECT_EQ(registry.saveFilterString().find("EXR"), std::string::npos);
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("x.exr"), ExrFile().bytes()));
    EXPECT_EQ(imageError([&] { registry.loadImage(dir.file("x.exr"), oxSize()); }), "unsupported image file type");
}
