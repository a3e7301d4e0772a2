// The shared corpus through the registry: decode rows load plausibly at their size, reject rows fail.
#include "imagetest.h"

#include "oxengine/image/exr/exrlibrary.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

struct Expectation {
    std::string path, expect; // decode, reject or either
    int width = 0, height = 0;
};

// What a decoder that gave up half way or never wrote the buffer leaves: all zero or all alike.
std::string implausible(const oxImage& image)
{
    const auto* p = static_cast<const unsigned char*>(image.data());
    const size_t n = size_t(image.width()) * image.height(), bytes = size_t(image.pixelBytes());
    if (std::all_of(p, p + n * bytes, [](unsigned char b) { return b == 0; }))
        return "every pixel is zero";
    for (size_t i = 1; i < n; ++i)
        if (std::memcmp(p, p + i * bytes, bytes) != 0)
            return std::string();
    return n >= 64 ? "every pixel is the same" : "";
}

// One colour for real (ImageMagick agrees; the TGA is a bare header; the EXR's R is zero beside Z).
const std::set<std::string> UNIFORM = {
    "gif/more/pillow/duplicate_frame.gif", "png/more/image-rs/issue403.png", "jpeg/more/pillow/icc-after-SOF.jpg",
    "tga/more/image-rs-regression/slice-copy-length.tga", "exr/more/v1.7.test.interleaved.exr"};

// Where the viewer now does more than the corpus table says: CMYK decodes,
// and an Exif orientation turns the picture upright.
const std::map<std::string, Expectation> NOW = {
    {"jpeg/more/pillow/pil_sample_cmyk.jpg", {"", "decode", 100, 100}},
    {"jpeg/more/pillow/orientation_rectangle.jpg", {"", "decode", 1, 2}},
};

} // namespace

TEST(Corpus, FuzzerFindingsAreRefusedWithAMessageEveryCorpusFileDecodesOrFailsAsExpected)
{
    // Inputs that once made a decoder ask for gigabytes or crash.
    for (const auto& entry : std::filesystem::directory_iterator(OX_TEST_DATA_DIR "/formats")) {
        SCOPED_TRACE(entry.path().string());
        try {
            (void)oxImageRegistry::instance().loadImage(entry.path().string(), oxSize());
            ADD_FAILURE() << "decoded";
        } catch (const oxImageException& e) {
            EXPECT_FALSE(e.oxException::getMessage().empty());
        }
    }

    std::ifstream in(corpusFile("expect.tsv"));
    std::string line, w, h;
    if (!std::getline(in, line)) // the column names
        GTEST_SKIP() << "no corpus at " OX_SHARED_DIR "/corpus";
    const bool exr = oxExrLibrary::process() != nullptr;
    const oxImageRegistry& registry = oxImageRegistry::instance();
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Expectation e;
        std::getline(std::getline(std::getline(std::getline(fields, e.path, '\t'), e.expect, '\t'), w, '\t'), h, '\t');
        e.width = w.empty() ? 0 : std::stoi(w), e.height = h.empty() ? 0 : std::stoi(h);
        if (const auto now = NOW.find(e.path); now != NOW.end())
            e = {e.path, now->second.expect, now->second.width, now->second.height};
        SCOPED_TRACE(e.path + " (" + e.expect + ")");
        const std::string path = corpusFile(e.path);
        if (!registry.canLoad(path)) {
            // Only EXR may be missing (without the library).
            EXPECT_TRUE(!exr && path.ends_with(".exr"));
            continue;
        }
        std::unique_ptr<oxImage> image;
        std::string error;
        try {
            image = registry.loadImage(path, oxSize());
        } catch (const oxImageException& x) {
            error = x.oxException::getMessage();
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(x.getFilename(), path);
        }
        if (e.expect == "decode") {
            ASSERT_TRUE(image) << error;
            EXPECT_EQ(image->size(), oxSize(e.width, e.height));
            EXPECT_EQ(UNIFORM.count(e.path) ? "" : implausible(*image), "");
        } else if (e.expect == "reject") {
            // A damaged file may show the part that decodes, marked as such.
            EXPECT_TRUE(!image || !image->damage().empty()) << "decoded at " << image->width() << " x " << image->height();
        } else if (image) {
            EXPECT_FALSE(image->empty());
        }
    }
}
