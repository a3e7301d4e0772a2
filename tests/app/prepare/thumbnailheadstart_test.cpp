// The first screen's thumbnails made into the cache before the loader's
// workers start, and the hand-over to them (ThreadSanitizer runs this).
#include "app/prepare/thumbnail.h"
#include "app/prepare/thumbnailheadstart.h"

#include "oxengine/image/handler.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

TEST(ThumbnailHeadStart, MakesEveryFileUntilHandedOverThenOnlyFinishesTheOneInHand)
{
    TempDir dir;
    auto cache = std::make_shared<const oxThumbnailCache>(dir.file("thumbnails"), "pictavo-test");
    std::vector<std::string> files;
    for (int i = 0; i < 6; ++i) {
        auto image = imageOf<oxColour>(640, 480, [i](uint32_t x, uint32_t y) { return oxColour(uint8_t(x + i), uint8_t(y), 90); });
        image->setComponents(3);
        files.push_back(dir.file("p" + std::to_string(i) + ".jpg"));
        oxImageRegistry::instance().saveImage(*image, files.back(), oxToneMapping::neutral());
    }
    const auto cached = [&](const std::string& file) { return findCachedThumbnail(*cache, file, 128).has_value(); };
    const auto count = [&] { return std::count_if(files.begin(), files.end(), cached); };
    // Handed over before the file is taken, while it is made or after: in
    // the cache by then or never; at most the one in hand is finished after.
    for (int run = 0; run < 12; ++run) {
        for (const std::string& file : files)
            cache->forget(file);
        bool handedOver = false;
        ptrdiff_t made = 0;
        {
            ThumbnailHeadStart headStart;
            headStart.start(cache, files, 128, {}, 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(run));
            headStart.handOver(files[1]);
            handedOver = cached(files[1]);
            made = count();
            std::this_thread::sleep_for(std::chrono::milliseconds(40)); // time for more, were it to go on
        }
        EXPECT_EQ(cached(files[1]), handedOver) << run;
        EXPECT_LE(count(), made + 1) << run;
    }
    // Never handed over: every one made, on every core.
    {
        ThumbnailHeadStart headStart;
        headStart.start(cache, files, 128, {}, 2);
        const auto all = [&] { return std::all_of(files.begin(), files.end(), cached); };
        for (int i = 0; i < 1000 && !all(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (const std::string& file : files)
        EXPECT_TRUE(cached(file)) << file;
}
