#include "imagetest.h"

#include "oxengine/image/parallel.h"

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>

namespace {

template <class T> oxImageImpl<T>& as(oxImage& image)
{
    return static_cast<oxImageImpl<T>&>(image);
}

auto information(const oxImage& i)
{
    return std::tuple(i.components(), i.reduction(), i.comment());
}

template <class T> class ImageOps : public testing::Test {};
TYPED_TEST_SUITE(ImageOps, ImageTypes);

} // namespace

// Pictures get their size when made (create, clone) and keep it.
TYPED_TEST(ImageOps, ClonesFlipsAndRotationsOfNonSquarePictures)
{
    using T = TypeParam;
    const uint32_t w = 5, h = 3;
    auto image = patternImage<T>(w, h);
    image->setComponents(3), image->setReduction(2), image->setComment("a comment");
    auto copy = image->clone();
    EXPECT_TRUE(samePixels(*copy, *image) && copy->data() != image->data());
    EXPECT_EQ(information(*copy), std::tuple(3, 2, "a comment"));
    auto flipped = image->clone();
    flipped->flipVertical();
    flipped->flipHorizontal();
    EXPECT_TRUE(samePixels(*flipped, *imageOf<T>(w, h, [&](uint32_t x, uint32_t y) {
        return patternPixel<T>(w - 1 - x, h - 1 - y);
    })));
    image->setComment("turned");
    for (int code : {0, 1, 2, 3, 4, -1}) {
        auto turned = image->rotatedCopy(code);
        auto& t = as<T>(*turned);
        ASSERT_EQ(t.size(), code == 1 || code == 3 ? oxSize(h, w) : oxSize(w, h)) << code;
        EXPECT_EQ(information(t), std::tuple(3, 2, "turned"));
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t tx = code == 1 ? h - 1 - y : code == 2 ? w - 1 - x : code == 3 ? y : x;
                const uint32_t ty = code == 1 ? x : code == 2 ? h - 1 - y : code == 3 ? w - 1 - x : y;
                ASSERT_EQ(t.at(tx, ty), image->at(x, y)) << "code " << code << " at " << x << "," << y;
            }
    }
}

TEST(ImageSizes, ReducedCopiesAndLimits)
{
    auto image = imageOf<oxColour>(1000, 600, [](uint32_t x, uint32_t y) {
        return oxColour(uint8_t(x), uint8_t(y), uint8_t(x >> 8), uint8_t(y >> 8));
    });
    image->setComment("small"), image->setComponents(3);
    auto quarter = image->reducedCopy(4);
    ASSERT_EQ(quarter->size(), oxSize(250, 150));
    EXPECT_EQ(information(*quarter), std::tuple(3, 4, "small"));
    EXPECT_EQ(as<oxColour>(*quarter).at(3, 5), image->at(12, 20));
    EXPECT_EQ(as<oxColour>(*quarter).at(249, 149), image->at(996, 596));
    image->setReduction(2);
    auto tiny = image->reducedCopy(2000);
    ASSERT_EQ(tiny->size(), oxSize(1, 1));
    EXPECT_EQ(std::pair(as<oxColour>(*tiny).at(0, 0), tiny->reduction()), std::pair(image->at(0, 0), 4000));

    // The factor that fits a size into a maximum (0 or less: no limit that way).
    struct Case {
        oxSize size, maximum;
        int factor;
    } cases[] = {{{1000, 600}, {300, 300}, 4},   {{1000, 600}, {300, 0}, 4},      {{600, 1000}, {-1, 300}, 4},
                 {{1000, 600}, {0, 0}, 1},       {{300, 300}, {300, 300}, 1},     {{301, 10}, {300, 300}, 2},
                 {{4000, 3000}, {1000, 1000}, 4}, {{10, 3000}, {1000, 1000}, 3},  {{1000, 5000}, {300, 300}, 17},
                 {{0, 0}, {300, 300}, 1},        {{2147483647, 1}, {1, 1}, 2147483647}};
    for (const Case& c : cases)
        EXPECT_EQ(reductionFactor(c.size, c.maximum), c.factor) << c.size.width << "x" << c.size.height << " in "
                                                                << c.maximum.width << "x" << c.maximum.height;

    // Nothing is allocated short: no product wraps.
    {
        PixelLimit limit(UINT64_MAX);
        size_t bytes = 0;
        // 65536 × 65537 × 4 wraps to 262144 in 32 bits; the true size comes back.
        ASSERT_TRUE(oxImage::sizeAllowed(65536, 65537, 4, &bytes));
        EXPECT_EQ(bytes, size_t(65536) * 65537 * 4);
        // Beyond 64 bits in the pixel count or the byte count, beyond 31 bits per side.
        EXPECT_FALSE(oxImage::sizeAllowed(uint64_t(1) << 32, uint64_t(1) << 32, 4) ||
                     oxImage::sizeAllowed(0x7fffffff, 0x7fffffff, 16) || oxImage::sizeAllowed(uint64_t(1) << 31, 1, 4));
        EXPECT_FALSE(oxImageUInt8::create(0xffffffffu, 0xffffffffu) || oxImageHalf::create(0x80000000u, 2));
        EXPECT_TRUE(oxImage::sizeAllowed(0, 0, 16, &bytes) && bytes == 0u);
    }
    EXPECT_FALSE(oxImageHalf::create(65535, 65535));
    EXPECT_TRUE(oxImage::sizeAllowed(32768, 32768, 4)); // exactly the limit
    EXPECT_FALSE(oxImage::sizeAllowed(32768, 32769, 4));
    PixelLimit limit(1000);
    EXPECT_TRUE(oxImageUInt8::create(40, 25) && !oxImageUInt8::create(40, 26));
    EXPECT_TRUE(patternImage<oxColour>(40, 25)->rotatedCopy(1)); // the same number of pixels
}

// Row bands of an operation inside a loop already spread over the cores stay on their thread (more threads
// would only take turns); an operation inside a loop that runs on one thread still spreads.
TEST(ParallelFor, LoopsInsideASpreadLoopStayOnTheirThread)
{
    ImageThreads threads(2);
    const auto threadsOf = [](size_t cost) {
        std::mutex lock;
        std::set<std::thread::id> ids;
        EXPECT_TRUE(oxParallelFor(64, cost, [&](size_t, size_t) {
            std::lock_guard<std::mutex> hold(lock);
            ids.insert(std::this_thread::get_id());
            return true;
        }));
        return ids.size();
    };
    std::atomic<size_t> inner{0};
    EXPECT_TRUE(oxParallelFor(2, size_t(1) << 20, [&](size_t, size_t) {
        inner += threadsOf(size_t(1) << 20);
        return true;
    }));
    EXPECT_EQ(inner, 2u) << "one thread for each inner loop";
    EXPECT_TRUE(oxParallelFor(1, 1, [&](size_t, size_t) { return threadsOf(size_t(1) << 20) == 2; }))
        << "the outer loop ran on one thread";
}
