// The sheet's first frame drawn without GL: its squares on several threads (ThreadSanitizer runs this),
// and what it leaves to the GL frame.
#include "../viewtest.h"
#include "fakethumbnails.h"

#include "app/shell/configkeys.h"
#include "app/views/thumbnails/thumbnaildisplay.h"

#include "oxengine/graphics/softframe.h"
#include "tests/app/apptest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>

TEST(SheetFirstFrame, AsksOnlyForTheCellsOnScreenAndRefusesWhatGLWouldDrawOtherwise)
{
    TestSettings settings;
    const int W = 1280, H = 720;
    FakeFramework framework{W, H};
    FakeViewApp app{&framework};
    FakeThumbnails thumbnails;
    std::vector<std::string> pictures;
    for (int i = 0; i < 200; ++i)
        pictures.push_back("/p/sheet/" + std::to_string(i) + ".jpg");
    const auto opaque = oxImageUInt8::create(64, 48), transparent = oxImageUInt8::create(64, 48);
    opaque->setComponents(3);
    using Thumbnail = std::optional<ThumbnailDisplay::FirstFrameThumbnail>;
    auto drawn = [&](const ThumbnailDisplay::FirstFrameThumbnails& thumbnail) {
        ThumbnailDisplay view(&app, pictures, thumbnails, thumbnails, {});
        view.applyGlobalStyle();
        oxSoftFrame frame(W, H, oxColour(0, 0, 0));
        return view.drawFirstFrame(frame, pictures, "/p/sheet", thumbnail);
    };
    std::atomic<int> highest{-1}, asked{0};
    EXPECT_TRUE(drawn([&](int index) {
        ++asked;
        for (int seen = highest; index > seen && !highest.compare_exchange_weak(seen, index);) {
        }
        return Thumbnail({opaque->clone(), 0});
    }));
    EXPECT_GT(asked, 0);
    EXPECT_EQ(asked, highest + 1) << "the cells on screen, each once";
    EXPECT_LT(highest, 60);

    EXPECT_FALSE(drawn([&](int index) { return index == 3 ? std::nullopt : Thumbnail({opaque->clone(), 0}); }))
        << "a thumbnail the cache lacks";
    EXPECT_FALSE(drawn([&](int) { return Thumbnail({transparent->clone(), 0}); })) << "transparency";
    writeConfigBool(ConfigKey::ShowSizes, true);
    EXPECT_FALSE(drawn([&](int) { return Thumbnail({opaque->clone(), 0}); })) << "caption lines beyond the name";
}
