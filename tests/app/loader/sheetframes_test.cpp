// When the loader asks the sheet for a frame and writes thumbnails into the cache.
#include "loadertest.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

// Frames are rate-limited, but the one completing the screen is asked for: the next may come much later.
TEST(BGTextureLoader, TheThumbnailCompletingTheScreenIsShownAtOnce)
{
    std::atomic<int> mostShown{0};
    LoaderRig* rig = nullptr;
    LoaderRig made(LoaderRig::numbered(5, "/s/"), false, true, [&](LoaderServices& s) {
        s.thumbnailWorkers = 2;
        s.makeThumbnail = [&](const std::string& name, int, const oxCancelToken& cancel) -> PictureFiller {
            // The last on screen comes alone, just after the others.
            const auto waits = [&] {
                return name == "/s/4.jpg" || (name == "/s/3.jpg" && !rig->loader->readThumbnail("/s/2.jpg").get());
            };
            while (waits() && !cancel.cancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            cancel.check();
            return [](const std::string&, LoadedPicture&, const oxCancelToken&) { return true; };
        };
        s.requestRedisplay = [&] {
            int shown = 0;
            for (int i = 0; i < 4; ++i)
                shown += rig->loader->readThumbnail(rig->list[size_t(i)]).get() != nullptr;
            mostShown = std::max(mostShown.load(), shown);
        };
    });
    rig = &made;
    made.loader->setVisibleRange(0, 3);
    ASSERT_TRUE(made.loader->startLoader());
    made.loader->updateThumbnails();
    EXPECT_TRUE(waitUntil([&] { return mostShown.load() == 4; })) << mostShown.load();
}

// A cell does not wait for the disk: the thumbnail is handed over before its cache write.
TEST(BGTextureLoader, ThumbnailIsPublishedBeforeItsCacheWrite)
{
    std::atomic<bool> publishedFirst{false};
    LoaderRig* rig = nullptr;
    LoaderRig made(LoaderRig::numbered(1, "/s/"), false, true, [&](LoaderServices& s) {
        s.thumbnailWorkers = 1;
        s.makeThumbnail = [&](const std::string& name, int, const oxCancelToken&) -> MadeThumbnail {
            return {[](const std::string&, LoadedPicture&, const oxCancelToken&) { return true; },
                    [&, name] { publishedFirst = waitUntil([&] { return rig->loader->readThumbnail(name).get() != nullptr; }); }};
        };
    });
    rig = &made;
    ASSERT_TRUE(made.loader->startLoader());
    made.loader->updateThumbnails();
    EXPECT_TRUE(waitUntil([&] { return publishedFirst.load(); }));
}
