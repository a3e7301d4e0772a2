// Speed of the background loader under a real display (run it under Xvfb):
// the time from enqueuing the load of a small picture to its loaded event;
// acquiring a cold 4000 x 3000 picture, and the next one after the prefetch
// had 1 s; stepping through 40 such pictures every 50 ms (how often the shown
// picture was ready); the shut-down with 40 loads queued; and filling the
// thumbnail set of 300 pictures of 1600 x 1200 at size 256, against
// vipsthumbnail on the same folder in the same run.
#include "app/loader/bgtexloader.h"
#include "app/shell/loaderwiring.h"

#include "oxengine/core/memory.h"
#include "oxengine/image/handler.h"
#include "oxengine/platform/mainwindow.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/platform/rc.h"
#include "oxengine/storage/files.h"

#include "benchsupport.h"

#include <benchmark/benchmark.h>

#include <GL/freeglut.h>
#include <GL/glx.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::string g_folder;
std::vector<std::string> g_large, g_thumbs, g_small;
double g_oursThumbnailsMs = -1;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// count files of one scene, each with a block of its own so no two are alike.
std::vector<std::string> makeSet(const std::string& prefix, int count, uint32_t width, uint32_t height)
{
    auto base = benchScene(width, height);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        for (uint32_t y = 0; y < 64; ++y)
            for (uint32_t x = 0; x < 64; ++x)
                base->row(y)[x] = oxColour(uint8_t(i * 37), uint8_t(i * 11), uint8_t(255 - i), 255);
        char name[64];
        std::snprintf(name, sizeof name, "/%s%03d.jpg", prefix.c_str(), i);
        paths.push_back(g_folder + name);
        oxImageRegistry::instance().saveImage(*base, paths.back(), oxToneMapping::neutral());
    }
    return paths;
}

bool makePictures()
{
    const char* tmp = std::getenv("TMPDIR");
    g_folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/oxloaderbench-XXXXXX";
    if (!mkdtemp(g_folder.data()))
        return false;
    setImageOption("Quality", 90);
    std::fprintf(stderr, "making 40 pictures of 4000 x 3000, 300 of 1600 x 1200 in %s ...\n", g_folder.c_str());
    g_large = makeSet("large", 40, 4000, 3000);
    g_small = makeSet("small", 60, 64, 64);
    std::system(("mkdir -p '" + g_folder + "/thumbs'").c_str());
    const std::string keep = g_folder;
    g_folder += "/thumbs";
    g_thumbs = makeSet("t", 300, 1600, 1200);
    g_folder = keep;
    return true;
}

// The program's main window: a GLUT window whose context the loader shares.
bool openMainWindow(int& argc, char** argv)
{
    if (!std::getenv("DISPLAY"))
        return false;
    oxInitXThreads();
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(64, 64);
    glutCreateWindow("loader_bench");
    glutDisplayFunc([] {});
    glutMainLoopEvent();
    oxSetMainWindowContext({glXGetCurrentDisplay(), glXGetCurrentDrawable(), glXGetCurrentContext()});
    return glXGetCurrentContext() != nullptr;
}

std::unique_ptr<BGTextureLoader> startLoader(const std::vector<std::string>& list)
{
    LoaderServices services;
    services.postCommand = [](unsigned) {};
    services.requestRedisplay = [] {};
    auto loader = std::make_unique<BGTextureLoader>(list, programLoaderServices(services));
    loader->setSharedContext(glXGetCurrentContext(), 0);
    loader->startLoader();
    return loader;
}

void waitIdle(BGTextureLoader& loader)
{
    while (loader.progress() != LoaderProgress{})
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Acquires name, reports the seconds it took as the iteration's time.
void timedAcquire(benchmark::State& state, BGTextureLoader& loader, const std::string& name)
{
    const auto start = Clock::now();
    LoadedPicture* p = loader.awaitPicture(name);
    state.SetIterationTime(msSince(start) / 1000.0);
    if (!p || !p->hasTiles())
        state.SkipWithError("picture not loaded");
    loader.releasePicture(p);
}

void BM_SmallPictureEnqueueToLoaded(benchmark::State& state)
{
    const std::vector<std::string> none; // no neighbours to prefetch
    auto loader = startLoader(none);
    size_t i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        waitIdle(*loader);
        std::this_thread::sleep_for(std::chrono::milliseconds(5)); // the thread is asleep again
        state.ResumeTiming();
        timedAcquire(state, *loader, g_small[i++ % g_small.size()]);
    }
    state.SetLabel("64x64 JPEG, loader idle and asleep");
}
BENCHMARK(BM_SmallPictureEnqueueToLoaded)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

void BM_ColdPicture(benchmark::State& state)
{
    auto loader = startLoader(g_large);
    size_t i = 0;
    for (auto _ : state) {
        waitIdle(*loader);
        timedAcquire(state, *loader, g_large[(i++ * 10) % g_large.size()]); // far from the last one
    }
    state.SetLabel("4000x3000, neither loaded nor prefetched");
}
BENCHMARK(BM_ColdPicture)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);

void BM_NextPictureAfterPrefetch(benchmark::State& state)
{
    auto loader = startLoader(g_large);
    size_t i = 0;
    for (auto _ : state) {
        LoadedPicture* shown = loader->awaitPicture(g_large[i]);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        loader->releasePicture(shown);
        timedAcquire(state, *loader, g_large[i + 1]);
        i += 10;
    }
    state.SetLabel("4000x3000, the prefetch had 1 s");
}
BENCHMARK(BM_NextPictureAfterPrefetch)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_SteppingEvery50ms(benchmark::State& state)
{
    for (auto _ : state) {
        auto loader = startLoader(g_large);
        LoadedPicture* shown = loader->awaitPicture(g_large[0]);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        int ready = 0;
        double waited = 0, longest = 0;
        for (size_t i = 1; i < g_large.size(); ++i) {
            const auto step = Clock::now();
            const std::vector<std::string> loaded = loader->loadedNames();
            ready += std::find(loaded.begin(), loaded.end(), g_large[i]) != loaded.end();
            LoadedPicture* next = loader->awaitPicture(g_large[i]);
            const double ms = msSince(step);
            waited += ms;
            longest = std::max(longest, ms);
            loader->releasePicture(shown);
            shown = next;
            std::this_thread::sleep_until(step + std::chrono::milliseconds(50));
        }
        loader->releasePicture(shown);
        const double steps = double(g_large.size() - 1);
        state.counters["ready_%"] = 100.0 * ready / steps;
        state.counters["mean_wait_ms"] = waited / steps;
        state.counters["longest_wait_ms"] = longest;
    }
    state.SetLabel("39 steps through 4000x3000 pictures");
}
BENCHMARK(BM_SteppingEvery50ms)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ShutDownWith40QueuedLoads(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto loader = startLoader(g_large);
        for (const std::string& name : g_large)
            loader->enqueue(LoadCommand{.name = name});
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the first one is under way
        state.ResumeTiming();
        loader.reset();
    }
    state.SetLabel("the load in progress finishes, the rest are dropped");
}
BENCHMARK(BM_ShutDownWith40QueuedLoads)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_Thumbnails300(benchmark::State& state)
{
    for (auto _ : state) {
        auto loader = startLoader(g_thumbs);
        loader->setThumbnailSize(256);
        const auto start = Clock::now();
        loader->updateThumbnails();
        while (loader->thumbnailNames().size() < g_thumbs.size() || loader->progress() != LoaderProgress{})
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        g_oursThumbnailsMs = msSince(start);
        state.SetIterationTime(g_oursThumbnailsMs / 1000.0);
    }
    state.SetLabel("300 x 1600x1200 at 256, decoded, tiled and uploaded");
}
BENCHMARK(BM_Thumbnails300)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void compareThumbnailsWithVips()
{
    if (std::system("command -v vipsthumbnail >/dev/null 2>&1") != 0) {
        std::printf("\nvipsthumbnail (libvips-tools) is not installed: no comparison\n");
        return;
    }
    const std::string out = g_folder + "/vips";
    std::system(("mkdir -p '" + out + "'").c_str());
    const auto start = Clock::now();
    const int status = std::system(
        ("vipsthumbnail -s 256 -o '" + out + "/%s.jpg' '" + g_folder + "/thumbs/'*.jpg >/dev/null 2>&1").c_str());
    const double vips = msSince(start);
    if (status != 0 || g_oursThumbnailsMs < 0) {
        std::printf("\nthumbnail comparison failed\n");
        return;
    }
    std::printf("\nThumbnails of 300 pictures of 1600 x 1200 at 256, same folder, same run:\n"
                "  ours %.0f ms  vipsthumbnail %.0f ms  ratio ours / vips %.2f\n",
                g_oursThumbnailsMs, vips, g_oursThumbnailsMs / vips);
}

} // namespace

int main(int argc, char** argv)
{
    oxReuseLargeAllocations(); // as the program does
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    oxFilename::initialize();
    // A box must never stop an unattended run: print it and go on.
    oxSetMessageHandler([](const oxMessageRequest& r) {
        std::fprintf(stderr, "[message box] %s: %s\n", r.title.c_str(), r.text.c_str());
        return oxMessageAnswer{MB_OK, {}};
    });
    if (!openMainWindow(argc, argv)) {
        std::fprintf(stderr, "needs an X display with GLX (run under xvfb-run)\n");
        return 1;
    }
    if (!makePictures()) {
        std::fprintf(stderr, "cannot make the test pictures\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    compareThumbnailsWithVips();
    benchmark::Shutdown();
    std::system(("rm -rf '" + g_folder + "'").c_str());
    return 0;
}
