#include "loadertest.h"

#include <algorithm>
#include <atomic>

using Names = std::vector<std::string>;

// While scrolling a large folder, the set makes room before each upload: never beyond the count.
TEST(BGTextureLoader, ThumbnailUploadsNeverTakeTheSetBeyondItsCount)
{
    constexpr int COUNT = 20;
    std::atomic<size_t> most{0};
    std::atomic<int> uploads{0};
    BGTextureLoader* loader = nullptr;
    LoaderRig rig(LoaderRig::numbered(400, "/s/"), true, true, [&](LoaderServices& s) {
        s.thumbnailWorkers = 3;
        s.makeThumbnail = [&](const std::string&, int, const oxCancelToken&) -> PictureFiller {
            return [&](const std::string&, LoadedPicture&, const oxCancelToken&) {
                // On the loader thread, which holds no lock while it uploads.
                const size_t held = loader->thumbnailNames().size() + 1;
                size_t seen = most.load();
                while (held > seen && !most.compare_exchange_weak(seen, held)) {
                }
                ++uploads;
                return true;
            };
        };
    });
    loader = rig.loader.get();
    loader->setThumbnailCount(COUNT);
    loader->setVisibleRange(0, 9);
    loader->updateThumbnails();
    ASSERT_TRUE(rig.idle());
    for (int first : {300, 100, 390, 0}) {
        loader->setVisibleRange(first, first + 9);
        ASSERT_TRUE(waitUntil([&] {
            const Names kept = loader->thumbnailNames();
            return std::count(kept.begin(), kept.end(), "/s/" + std::to_string(first) + ".jpg") == 1 &&
                   loader->progress() == LoaderProgress{};
        })) << "scrolled to " << first;
        EXPECT_EQ(loader->thumbnailNames().size(), size_t(COUNT));
    }
    EXPECT_GE(uploads.load(), 4 * COUNT);
    EXPECT_LE(most.load(), size_t(COUNT));
}
