// Thumbnails for the sheet: when the loader asks for a frame, writes the cache, and keeps to the count.
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
    LoaderRig made(LoaderRig::numbered(5, "/s/"), false, true, [&](LoaderServices& s) {
        s.thumbnailWorkers = 2;
        s.makeThumbnail = [&](const std::string& name, int, const oxCancelToken& cancel) -> PictureFiller {
            // The last on screen comes alone, just after the others.
            const auto waits = [&] {
                return name == "/s/4.jpg" || (name == "/s/3.jpg" && !made.loader->readThumbnail("/s/2.jpg").get());
            };
            while (waits() && !cancel.cancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            cancel.check();
            return [](const std::string&, LoadedPicture&, const oxCancelToken&) { return true; };
        };
        s.requestRedisplay = [&] {
            int shown = 0;
            for (int i = 0; i < 4; ++i)
                shown += made.loader->readThumbnail(made.list[size_t(i)]).get() != nullptr;
            mostShown = std::max(mostShown.load(), shown);
        };
    });
    made.loader->setVisibleRange(0, 3);
    ASSERT_TRUE(made.loader->startLoader());
    made.loader->updateThumbnails();
    EXPECT_TRUE(waitUntil([&] { return mostShown.load() == 4; })) << mostShown.load();
}

// A cell does not wait for the disk: the thumbnail is handed over before its cache write.
TEST(BGTextureLoader, ThumbnailIsPublishedBeforeItsCacheWrite)
{
    std::atomic<bool> publishedFirst{false};
    LoaderRig made(LoaderRig::numbered(1, "/s/"), false, true, [&](LoaderServices& s) {
        s.thumbnailWorkers = 1;
        s.makeThumbnail = [&](const std::string& name, int, const oxCancelToken&) -> MadeThumbnail {
            return {[](const std::string&, LoadedPicture&, const oxCancelToken&) { return true; },
                    [&, name] { publishedFirst = waitUntil([&] { return made.loader->readThumbnail(name).get() != nullptr; }); }};
        };
    });
    ASSERT_TRUE(made.loader->startLoader());
    made.loader->updateThumbnails();
    EXPECT_TRUE(waitUntil([&] { return publishedFirst.load(); }));
}

// While scrolling a large folder, the set makes room before each upload: never beyond the count.
TEST(BGTextureLoader, ThumbnailUploadsNeverTakeTheSetBeyondItsCount)
{
    constexpr int COUNT = 20;
    std::atomic<size_t> most{0};
    std::atomic<int> uploads{0};
    LoaderRig rig(LoaderRig::numbered(400, "/s/"), true, true, [&](LoaderServices& s) {
        s.thumbnailWorkers = 3;
        s.makeThumbnail = [&](const std::string&, int, const oxCancelToken&) -> PictureFiller {
            return [&](const std::string&, LoadedPicture&, const oxCancelToken&) {
                // On the loader thread, which holds no lock while it uploads.
                const size_t held = rig.loader->thumbnailNames().size() + 1;
                size_t seen = most.load();
                while (held > seen && !most.compare_exchange_weak(seen, held)) {
                }
                ++uploads;
                return true;
            };
        };
    });
    BGTextureLoader* loader = rig.loader.get();
    loader->setThumbnailCount(COUNT);
    loader->setVisibleRange(0, 9);
    loader->updateThumbnails();
    ASSERT_TRUE(rig.idle());
    for (int first : {300, 100, 390, 0}) {
        loader->setVisibleRange(first, first + 9);
        ASSERT_TRUE(waitUntil([&] {
            const std::vector<std::string> kept = loader->thumbnailNames();
            return std::count(kept.begin(), kept.end(), "/s/" + std::to_string(first) + ".jpg") == 1 &&
                   loader->progress() == LoaderProgress{};
        })) << "scrolled to " << first;
        EXPECT_EQ(loader->thumbnailNames().size(), size_t(COUNT));
    }
    EXPECT_GE(uploads.load(), 4 * COUNT);
    EXPECT_LE(most.load(), size_t(COUNT));
}
