// Picture preparation without a display: tile plan, record texts, statistics, thumbnails through the cache,
// the start picture's head start.
#include "app/prepare/headstart.h"
#include "app/prepare/prepare.h"
#include "app/prepare/preparesteps.h"
#include "app/prepare/thumbnail.h"
#include "app/prepare/tileplan.h"

#include "oxengine/core/errors.h"
#include "oxengine/image/half.h"
#include "tests/app/apptest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

// The everyday plans (300 x 200, 1 x 1) are checked on the driver by the preparation's GL test.
TEST(TilePlan, TileSizesAndCountsCoverEveryPictureWithinTheLimits)
{
    struct Case {
        bool npot;
        int width, height, maxTexture;
        int tileWidth, tileHeight, columns, rows;
    };
    const Case cases[] = {
        {false, 2048, 2049, 2048, 2048, 2048, 1, 2}, // the second row holds the last two picture rows
        {false, 4095, 4096, 2048, 2048, 2048, 2, 3}, // 4095 is exactly two overlapping tiles
        {false, 20000, 1, 2048, 2048, 1, 5, 1},      // beyond 5 x 2048 - 4: cut off at five tiles
        {true, 12000, 9000, 16384, 6001, 4501, 2, 2}, // the edge is capped at 8192
        {true, 10236, 10236, 2048, 2048, 2048, 5, 5}, // the largest picture takes full tiles
        {true, 1, 5000, 1024, 1, 1001, 1, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " M " << c.maxTexture << " npot " << c.npot);
        const TilePlan p = planTiles(c.width, c.height, c.maxTexture, c.npot);
        EXPECT_EQ(std::vector({p.tileWidth, p.tileHeight, p.columns, p.rows}),
                  std::vector({c.tileWidth, c.tileHeight, c.columns, c.rows}));
    }
    const TilePlan everyday = planTiles(6000, 4000, 2048, false);
    EXPECT_EQ(std::vector({everyday.tileX(2), everyday.tileY(1), pictureEdgeLimit(16384)}),
              std::vector({4094, 2047, 5 * 8192 - 4}));

    // Tiles start inside the picture, cover it up to the limit, keep the edge limits, and (npot) use <= 1.2 x
    // its pixels.
    for (int maxTexture : {64, 1024, 2048, 16384}) {
        const int edge = std::min(maxTexture, kMaxTileEdge), limit = pictureEdgeLimit(maxTexture);
        // Around every place where the tile count changes, and a few more.
        std::set<int> extents = {1, 2, 3, 300, 511, 512, 513, limit + 1000};
        for (int n = 1; n <= 5; ++n)
            for (int d = -2; d <= 2; ++d)
                extents.insert(n * (edge - 1) + 1 + d);
        double worstRatio = 0;
        for (bool npot : {false, true})
            for (int extent : extents) {
                SCOPED_TRACE(testing::Message() << "M " << maxTexture << ", npot " << npot << ", extent " << extent);
                const TilePlan p = planTiles(extent, 1, maxTexture, npot);
                ASSERT_GE(p.columns, 1);
                ASSERT_LE(p.columns, kMaxTiles);
                EXPECT_LE(p.tileWidth, edge);
                const int last = p.tileX(p.columns - 1);
                EXPECT_TRUE(last == 0 || last < extent - 1) << "a tile that adds no picture pixel";
                EXPECT_GE(last + p.tileWidth, std::min(extent, limit)) << "picture not covered";
                if (!npot) {
                    EXPECT_TRUE(oxIsPowerOfTwo(uint32_t(p.tileWidth)));
                    continue;
                }
                EXPECT_EQ(p.columns, planTiles(extent, 1, maxTexture, false).columns) << "same tile count";
                worstRatio = std::max(worstRatio, double(p.tileWidth) * p.columns / std::min(extent, limit));
            }
        // Both directions at their worst together.
        EXPECT_LE(worstRatio * worstRatio, 1.2) << "M " << maxTexture;
    }
}

TEST(PictureDescription, SizesTextsNotesTransparencyAndSampleStatistics)
{
    TempDir dir;
    const std::string file = dir.file("picture.jpg");
    ASSERT_TRUE(writeFile(file, std::string(1234, 'x')));
    auto image = oxImageUInt8::create(375, 250);
    image->setReduction(8);
    image->setComment("\t first line\r\nsecond\tline \n");
    LoadedPicture picture;
    describePicture(file, *image, 5116, picture);
    EXPECT_EQ(std::vector({picture.imageWidth, picture.fullWidth, picture.fullHeight}), std::vector({375, 3000, 2000}));
    EXPECT_EQ(std::tuple(picture.text, picture.note, picture.fileSize, picture.hdr),
              std::tuple("first line  second line", "[Picture scaled to 1/8.]", 1234, false));
    EXPECT_DOUBLE_EQ(picture.fileDate, oxFilename(file).modificationDate());

    // Larger than the tiles cover: both notes; exactly at the limit is not cropped.
    for (const auto& [reduction, coverable, note] :
         {std::tuple(2, 300, "[Picture scaled to 1/2.] [Picture is too large and has been cropped.]"), {1, 375, ""}}) {
        image->setReduction(reduction);
        picture.note.clear();
        describePicture(file, *image, coverable, picture);
        EXPECT_EQ(picture.note, note);
    }

    // A damaged file's note comes after the scale note.
    LoadedPicture damaged;
    image->setReduction(2);
    image->setDamage("the file ends early");
    describePicture(file, *image, 5116, damaged);
    EXPECT_EQ(damaged.note, "[Picture scaled to 1/2.] [damaged file: the file ends early]");

    // A huge reduction does not overflow the full size; a vanished file has no size.
    auto wide = oxImageUInt8::create(40000, 1);
    wide->setReduction(1 << 20);
    describePicture(dir.file("gone.jpg"), *wide, 40956, picture);
    EXPECT_EQ(std::pair(picture.fullWidth, picture.fileSize), std::pair(std::numeric_limits<int>::max(), int64_t(0)));

    // Transparency needs an alpha channel with a pixel below full.
    auto rgba = oxImageUInt8::create(3, 2);
    rgba->fill(oxColourValue(oxColour(1, 2, 3, 255)));
    EXPECT_FALSE(hasTransparency(*rgba));
    rgba->at(2, 1).a = 254;
    EXPECT_TRUE(hasTransparency(*rgba));
    rgba->setComponents(3); // no alpha channel: whatever the bytes say
    EXPECT_FALSE(hasTransparency(*rgba));
    auto deep = oxImageUInt16::create(2, 2);
    deep->fill(oxColourValue(oxColourUInt16(0, 0, 0, 65535)));
    EXPECT_FALSE(hasTransparency(*deep));
    deep->at(0, 0).a = 0;
    EXPECT_TRUE(hasTransparency(*deep));
    auto half = oxImageHalf::create(1, 1);
    half->at(0, 0) = oxColourHalf(1.0f, 1.0f, 1.0f, 0.5f);
    EXPECT_TRUE(hasTransparency(*half));

    // Sample statistics: of half pictures only visible finite values count, and they sum exactly.
    const float inf = std::numeric_limits<float>::infinity();
    auto halves = imageOf<oxColourHalf>(3, 2, [](uint32_t, uint32_t) {
        return oxColourHalf(0.5f, 0.5f, 0.5f, 1.0f);
    });
    halves->at(0, 0) = oxColourHalf(-0.25f, 2.0f, 6.0f, 1.0f);
    halves->at(1, 0) = oxColourHalf(100.0f, -50.0f, 9.0f, 0.05f);   // nearly transparent: left out
    halves->at(2, 0) = oxColourHalf(0.0f, 1.0f, 0.5f, 0.1f);        // the nearest half to 0.1 is just below it
    halves->at(0, 1) = oxColourHalf(1.0f, 1.0f, 1.0f, 0.125f);      // above the threshold counts
    halves->at(1, 1) = oxColourHalf(std::nanf(""), inf, -inf, 1.0f); // would spoil every figure
    LoadedPicture stats;
    measureSamples(*halves, stats);
    // (-0.25 + 2 + 6) + 3 x 1 + 3 x 0.5 over 9 values
    EXPECT_EQ(std::tuple(stats.hdr, stats.minValue, stats.maxValue), std::tuple(true, -0.25f, 6.0f));
    EXPECT_FLOAT_EQ(stats.midValue, (7.75f + 3.0f + 1.5f) / 9.0f);
    // No visible pixel: the start values stay, the middle (a mean of nothing) as the record had it.
    auto invisible = imageOf<oxColourHalf>(4, 4, [](uint32_t, uint32_t) {
        return oxColourHalf(3.0f, 3.0f, 3.0f, 0.0f);
    });
    LoadedPicture fresh, reloaded;
    reloaded.midValue = 0.75f;
    measureSamples(*invisible, fresh);
    measureSamples(*invisible, reloaded);
    EXPECT_EQ(std::tuple(fresh.hdr, fresh.maxValue, fresh.minValue, fresh.midValue, reloaded.midValue),
              std::tuple(true, -1000000.0f, 100000.0f, 0.5f, 0.75f));

    // Integer pictures: 8 bits are not measured, 16 bits take the full range and keep the middle.
    LoadedPicture integer;
    integer.minValue = 0.2f, integer.midValue = 0.3f, integer.maxValue = 0.4f;
    measureSamples(*oxImageUInt8::create(2, 2), integer);
    EXPECT_EQ(std::tuple(integer.hdr, integer.minValue, integer.maxValue), std::tuple(false, 0.2f, 0.4f));
    measureSamples(*oxImageUInt16::create(2, 2), integer);
    EXPECT_EQ(std::tuple(integer.hdr, integer.minValue, integer.maxValue, integer.midValue),
              std::tuple(true, 0.0f, 1.0f, 0.3f));

    // 12.6 million values: a single-precision running sum would drift far from 0.3.
    auto large = imageOf<oxColourHalf>(2048, 2048, [](uint32_t, uint32_t) {
        return oxColourHalf(0.3f, 0.3f, 0.3f, 1.0f);
    });
    large->at(7, 9) = oxColourHalf(0.3f, 0.3f, 8.0f, 1.0f);
    LoadedPicture measured;
    measureSamples(*large, measured);
    const double v = double(oxHalf(0.3f).toFloat()), n = 2048.0 * 2048.0 * 3.0;
    EXPECT_NEAR(measured.midValue, (v * (n - 1) + 8.0) / n, 1e-6);
    EXPECT_FLOAT_EQ(measured.maxValue, 8.0f);
}

namespace {

// A 1600 x 1200 photo; for the start picture's head start, a screen to cover and what a first look covering
// it asks for.
struct MakeThumbnail : testing::Test {
    TempDir dir;
    oxThumbnailCache cache{dir.file("thumbnails"), "pictavo-test"};
    std::string jpeg = dir.file("photo.jpg");

    void SetUp() override { writePhoto(); }
    void writePhoto()
    {
        writePicture(jpeg, 1600, 1200, [](uint32_t x, uint32_t y) { return oxColour(uint8_t(x), uint8_t(y), 90); });
        setMTime(1700000000);
    }
    void setMTime(double seconds) { ASSERT_TRUE(oxFilename(jpeg).setModificationDate(seconds)); }
    // Same size and time, other bytes: only the cache can still answer.
    void spoil()
    {
        std::string bytes = readFile(jpeg);
        std::fill(bytes.begin(), bytes.end(), 'x');
        ASSERT_TRUE(writeFile(jpeg, bytes));
        setMTime(1700000000);
    }
    const oxSize cover{1920, 1080};
    const oxSize box{2 * 1920 - 1, 2 * 1080 - 1};
};

} // namespace

TEST_F(MakeThumbnail, CacheAndHeadStart)
{
    EXPECT_FALSE(findCachedThumbnail(cache, jpeg, 256)) << "looking neither decodes nor stores";
    EXPECT_FALSE(findCachedThumbnail(cache, jpeg, 256));
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

    // Changed since: made again, which fails; the failure is not retried.
    setMTime(1700000100);
    const std::string first = thrownMessage([&] { makeThumbnailImage(&cache, jpeg, 256); });
    EXPECT_FALSE(first.empty());
    EXPECT_TRUE(cache.failure(jpeg));
    EXPECT_EQ(thrownMessage([&] { makeThumbnailImage(&cache, jpeg, 256); }), first);

    // The start picture's decode begun before the window: handed over once, to the picture it was begun for;
    // it stops when cancelled and throws what its decode threw.
    writePhoto(); // unspoilt again
    struct Case {
        std::string file;
        oxSize maximum;
        bool handed;
    };
    for (const Case& c : {Case{jpeg, box, true}, Case{jpeg, {800, 600}, false}, Case{dir.file("other.jpg"), box, false}}) {
        SCOPED_TRACE(c.file + " " + std::to_string(c.maximum.width));
        DecodeHeadStart head;
        startFirstLookDecode(head, jpeg, cover.width, cover.height);
        std::unique_ptr<oxImage> image = head.take(c.file, c.maximum);
        EXPECT_EQ(bool(image), c.handed);
        if (image) {
            EXPECT_EQ(image->size(), oxSize(1600, 1200));
        }
        EXPECT_FALSE(head.take(jpeg, box)) << "the head start ends with the first question";
    }
    // A format decoded at the largest texture size is not started early.
    DecodeHeadStart head;
    const std::string png = dir.file("photo.png");
    oxImageRegistry::instance().saveImage(*oxImageRegistry::instance().loadImage(jpeg, oxLoadOptions()), png,
                                          oxToneMapping::neutral());
    startFirstLookDecode(head, png, cover.width, cover.height);
    EXPECT_FALSE(head.take(png, box));

    // A cancelled wait stops the decode; a broken picture throws what its decode threw.
    DecodeHeadStart cancelled;
    startFirstLookDecode(cancelled, jpeg, cover.width, cover.height);
    oxCancelToken cancel;
    cancel.cancel();
    EXPECT_THROW(cancelled.take(jpeg, box, cancel), oxCancelled);
    EXPECT_FALSE(cancelled.take(jpeg, box));

    ASSERT_TRUE(writeFile(jpeg, std::string("\xFF\xD8\xFF\xE0 not a picture after all", 28)));
    const std::string direct = thrownMessage([&] { oxImageRegistry::instance().loadImage(jpeg, oxLoadOptions(box)); });
    ASSERT_FALSE(direct.empty());
    DecodeHeadStart broken;
    startFirstLookDecode(broken, jpeg, cover.width, cover.height);
    EXPECT_EQ(thrownMessage([&] { broken.take(jpeg, box); }), direct);
}

