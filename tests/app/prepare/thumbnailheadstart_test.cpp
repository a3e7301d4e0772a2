// The first screen's thumbnails made into the cache before the loader's
// workers start, and the hand-over to them (ThreadSanitizer runs this).
#include "app/prepare/thumbnail.h"
#include "app/prepare/thumbnailheadstart.h"

#include "tests/app/apptest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

TEST(ThumbnailHeadStart, MakesEveryFileUntilHandedOver)
{
    TempDir dir;
    auto cache = std::make_shared<const oxThumbnailCache>(dir.file("thumbnails"), "pictavo-test");
    std::vector<std::string> files;
    for (int i = 0; i < 6; ++i)
        files.push_back(writePicture(dir.file("p" + std::to_string(i) + ".jpg"), 640, 480,
                                     [i](uint32_t x, uint32_t y) { return oxColour(uint8_t(x + i), uint8_t(y), 90); }));
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
        EXPECT_TRUE(waitUntil([&] { return std::all_of(files.begin(), files.end(), cached); }));
    }

    // Shown as they come: a hand-over waits for the whole list and for the cache write of its file, unless the
    // head start was released; then nothing more is taken.
    files.push_back(dir.file("missing.jpg"));
    using Shown = std::vector<std::pair<size_t, bool>>; // index, with an image
    for (bool released : {false, true}) {
        for (const std::string& file : files)
            cache->forget(file);
        std::mutex mutex;
        Shown shown;
        std::atomic<bool> gate{!released}, entered{false};
        {
            ThumbnailHeadStart headStart;
            headStart.start(cache, files, 128, {}, 1, [&](size_t index, ThumbnailImage t) {
                entered = true;
                while (!gate) // held at the first one, to release while it is made
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                std::lock_guard<std::mutex> lock(mutex);
                shown.emplace_back(index, t.image != nullptr);
            });
            if (released && waitUntil([&] { return entered.load(); }))
                headStart.release();
            headStart.handOver(files[released ? 3 : 0]);
            gate = true;
            if (!released) {
                std::lock_guard<std::mutex> lock(mutex);
                EXPECT_EQ(shown, (Shown{{0, true}, {1, true}, {2, true}, {3, true}, {4, true}, {5, true}, {6, false}}));
                EXPECT_TRUE(findCachedThumbnail(*cache, files[0], 128));
            }
        }
        std::lock_guard<std::mutex> lock(mutex);
        if (released) {
            EXPECT_EQ(shown, (Shown{{0, true}}));
        }
    }
}
