// Makes the thumbnails of the files given (256 squares, into the cache of
// $XDG_CACHE_HOME) on one worker per core, the way the loader's workers do,
// without the GL upload. bench/thumbnail_sheet.sh times it against
// vipsthumbnail on the same files.
#include "app/prepare/thumbnail.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> files(argv + 1, argv + argc);
    const oxThumbnailCache cache(oxThumbnailCache::userRoot(), "pictavo-bench");
    std::atomic<size_t> next{0};
    std::atomic<int> failed{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
        workers.emplace_back([&] {
            for (size_t k; (k = next++) < files.size();) {
                try {
                    makeThumbnailImage(&cache, files[k], 256);
                } catch (...) {
                    ++failed;
                }
            }
        });
    for (std::thread& w : workers)
        w.join();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu thumbnails in %.0f ms on %zu workers, %d failed\n", files.size(), ms, workers.size(),
                failed.load());
    return failed ? 1 : 0;
}
