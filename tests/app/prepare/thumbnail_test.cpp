// Making thumbnails through the shared cache: decoded once and then found,
// remade when the file changes, failures not tried again.
#include "app/prepare/thumbnail.h"

#include "oxengine/core/errors.h"
#include "oxengine/image/handler.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <sys/time.h>

namespace {

struct MakeThumbnail : testing::Test {
    TempDir dir;
    oxThumbnailCache cache{dir.file("thumbnails"), "pictavo-test"};
    std::string jpeg = dir.file("photo.jpg");

    void SetUp() override
    {
        auto image = imageOf<oxColour>(1600, 1200, [](uint32_t x, uint32_t y) { return oxColour(uint8_t(x), uint8_t(y), 90); });
        image->setComponents(3);
        oxImageRegistry::instance().saveImage(*image, jpeg, oxToneMapping::neutral());
        setMTime(1700000000);
    }
    void setMTime(time_t seconds)
    {
        const struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(utimes(jpeg.c_str(), times), 0);
    }
    // Same size and time, other bytes: only the cache can still answer.
    void spoil()
    {
        std::string bytes = readFile(jpeg);
        std::fill(bytes.begin(), bytes.end(), 'x');
        ASSERT_TRUE(writeFile(jpeg, bytes));
        setMTime(1700000000);
    }
};

} // namespace

TEST_F(MakeThumbnail, DecodedOnceFittedThenFoundInTheCache)
{
    ThumbnailImage made = makeThumbnailImage(&cache, jpeg, 256);
    ASSERT_TRUE(made.image);
    EXPECT_EQ(made.image->size(), oxSize(256, 192)) << "fitted to the square, not an undershooting DCT scale";
    EXPECT_EQ(made.image->sourceSize(), oxSize(1600, 1200));
    spoil();
    ThumbnailImage found = makeThumbnailImage(&cache, jpeg, 256);
    ASSERT_TRUE(found.image);
    EXPECT_EQ(found.image->size(), oxSize(256, 192));
    EXPECT_TRUE(found.sizeKnown);
    EXPECT_EQ(found.image->sourceSize(), oxSize(1600, 1200));
    // A smaller square of the same cache folder: the cached one, fitted.
    EXPECT_EQ(makeThumbnailImage(&cache, jpeg, 200).image->size(), oxSize(200, 150));
}

TEST_F(MakeThumbnail, ChangedFileIsRemadeAndAFailureNotRetried)
{
    ASSERT_TRUE(makeThumbnailImage(&cache, jpeg, 256).image);
    spoil();
    setMTime(1700000100); // now stale: read again, which fails
    const std::string first = thrownMessage([&] { makeThumbnailImage(&cache, jpeg, 256); });
    EXPECT_FALSE(first.empty());
    EXPECT_TRUE(cache.failure(jpeg));
    EXPECT_EQ(thrownMessage([&] { makeThumbnailImage(&cache, jpeg, 256); }), first);
}

TEST_F(MakeThumbnail, WorksWithoutACache)
{
    ThumbnailImage made = makeThumbnailImage(nullptr, jpeg, 100);
    ASSERT_TRUE(made.image);
    EXPECT_EQ(made.image->size(), oxSize(100, 75));
}
