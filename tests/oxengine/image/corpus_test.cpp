// Every picture of the shared conformance corpus through the registry: the
// files marked decode load at their size with plausible pixels, the files
// marked reject fail with a message, and nothing crashes (under the
// sanitizers: nothing reads out of bounds or leaks).
#include "imagetest.h"

#include "oxengine/errors.h"
#include "oxengine/image/exr/exrlibrary.h"
#include "oxengine/image/handler.h"
#include "testsupport.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace {

struct Expectation {
    std::string path;
    std::string expect; // decode, reject or either
    int width = 0, height = 0;
};

std::vector<Expectation> expectations()
{
    std::vector<Expectation> rows;
    std::ifstream in(std::string(OX_SHARED_DIR) + "/corpus/expect.tsv");
    std::string line;
    std::getline(in, line); // the column names
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Expectation e;
        std::string w, h;
        std::getline(fields, e.path, '\t');
        std::getline(fields, e.expect, '\t');
        std::getline(fields, w, '\t');
        std::getline(fields, h, '\t');
        e.width = w.empty() ? 0 : std::stoi(w);
        e.height = h.empty() ? 0 : std::stoi(h);
        rows.push_back(e);
    }
    return rows;
}

// Pixels that a decoder which gave up half way, or never wrote the buffer,
// would not produce: some pixel with colour or opacity, and in a picture of
// some size more than one value; for half images finite values.
template <class T> std::string implausible(const oxImageImpl<T>& image)
{
    const size_t n = size_t(image.width()) * image.height();
    const T* p = image.pixels();
    const T zero{};
    if (std::all_of(p, p + n, [&](const T& c) { return c == zero; }))
        return "every pixel is zero";
    if (n >= 64 && std::all_of(p, p + n, [&](const T& c) { return c == p[0]; }))
        return "every pixel is the same";
    if constexpr (std::is_same_v<T, oxColourHalf>) {
        const size_t finite = size_t(std::count_if(p, p + n, [](const T& c) {
            return std::isfinite(c.r.toFloat()) && std::isfinite(c.g.toFloat()) && std::isfinite(c.b.toFloat());
        }));
        if (finite < n / 2)
            return "most pixels are not finite";
    }
    return std::string();
}

std::string implausible(const oxImage& image)
{
    switch (image.sampleType()) {
    case ST_HALF:
        return implausible(static_cast<const oxImageHalf&>(image));
    case ST_UINT16:
        return implausible(static_cast<const oxImageUInt16&>(image));
    default:
        return implausible(static_cast<const oxImageUInt8&>(image));
    }
}

// Files whose picture is one colour: ImageMagick sees a single colour in
// the first three, the TGA is a header only (black), and the EXR's R channel
// is zero throughout (its other channel is Z).
const std::set<std::string> UNIFORM = {
    "gif/more/pillow/duplicate_frame.gif", "png/more/image-rs/issue403.png", "jpeg/more/pillow/icc-after-SOF.jpg",
    "tga/more/image-rs-regression/slice-copy-length.tga", "exr/more/v1.7.test.interleaved.exr"};

} // namespace

TEST(Corpus, EveryFileDecodesOrFailsAsExpected)
{
    const std::vector<Expectation> rows = expectations();
    if (rows.empty())
        GTEST_SKIP() << "no corpus at " OX_SHARED_DIR "/corpus";
    const bool exr = oxExrLibrary::process() != nullptr;
    const oxImageRegistry& registry = oxImageRegistry::instance();
    int decoded = 0, rejected = 0;
    for (const Expectation& e : rows) {
        SCOPED_TRACE(e.path + " (" + e.expect + ")");
        const std::string path = std::string(OX_SHARED_DIR) + "/corpus/" + e.path;
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
            if (!UNIFORM.count(e.path)) {
                EXPECT_EQ(implausible(*image), "");
            }
            ++decoded;
        } else if (e.expect == "reject") {
            EXPECT_FALSE(image) << "decoded at " << image->width() << " x " << image->height();
            ++rejected;
        } else if (image) {
            EXPECT_FALSE(image->empty());
        }
    }
    EXPECT_GT(decoded, 300);
    EXPECT_GT(rejected, 40);
}

TEST(Corpus, ReducedLoadsKeepThePictureShape)
{
    // The registry reduces whatever a handler delivers, for every format.
    const oxImageRegistry& registry = oxImageRegistry::instance();
    int tested = 0;
    for (const char* name : {"png/pngsuite/basn6a16.png", "tga/truevision/utc32.tga", "bmp/bmpsuite/g/pal8.bmp",
                             "gif/pillow/hopper.gif", "exr/stripes.exr"}) {
        const std::string path = std::string(OX_SHARED_DIR) + "/corpus/" + name;
        if (!registry.canLoad(path))
            continue;
        SCOPED_TRACE(name);
        auto full = registry.loadImage(path, oxSize());
        auto small = registry.loadImage(path, oxSize(int32_t(full->width() / 3), 0));
        const int f = reductionFactor(full->size(), oxSize(int32_t(full->width() / 3), 0));
        EXPECT_EQ(small->reduction(), f);
        EXPECT_EQ(small->size(), full->reducedCopy(f)->size());
        EXPECT_TRUE(samePixels(*small, *full->reducedCopy(f)));
        ++tested;
    }
    EXPECT_GE(tested, 4);
}

TEST(Corpus, FuzzerFindingsAreRefusedWithAMessage)
{
    // Inputs that once made a decoder ask for gigabytes or crash.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(OX_TEST_DATA_DIR "/formats")) {
        SCOPED_TRACE(entry.path().string());
        try {
            (void)oxImageRegistry::instance().loadImage(entry.path().string(), oxSize());
            ADD_FAILURE() << "decoded";
        } catch (const oxImageException& e) {
            EXPECT_FALSE(e.oxException::getMessage().empty());
        }
        ++files;
    }
    EXPECT_GE(files, 2);
}
