// Speed of picture preparation (file to tiled textures) on the driver of the
// display it runs on (Mesa under Xvfb in CI): a 4000 x 3000 JPEG, a
// 12000 x 9000 JPEG and a 3840 x 2160 half-float picture. Prints the time
// split into decode, texts and statistics, tiling/copy, upload and mipmaps,
// and djpeg decoding the same JPEG in the same run with the ratio
// prepare / djpeg. The allocator keeps large freed buffers as the program
// does (oxReuseLargeAllocations); OX_BENCH_DEFAULT_ALLOCATOR=1 measures
// without that, where every picture gets fresh pages.
#include "app/prepare/prepare.h"
#include "app/prepare/preparesteps.h"

#include "oxengine/core/memory.h"
#include "oxengine/image/handler.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/storage/files.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace {

bool g_reuse = false;

struct Picture {
    const char* name;
    uint32_t width, height;
    bool hdr;
    std::string path; // empty when no handler can write the format
};

Picture g_pictures[] = {
    {"4000x3000 JPEG", 4000, 3000, false, {}},
    {"12000x9000 JPEG", 12000, 9000, false, {}},
    {"3840x2160 EXR", 3840, 2160, true, {}},
};
std::string g_folder;

// Smooth shapes with fine noise: a photograph as far as the entropy coder
// and the statistics are concerned.
template <class Image, class Make> std::unique_ptr<Image> scene(uint32_t width, uint32_t height, Make make)
{
    auto p = Image::create(width, height);
    uint32_t noise = 12345;
    for (uint32_t y = 0; y < height; ++y) {
        const float fy = float(y) / float(height);
        for (uint32_t x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const float fx = float(x) / float(width);
            const float wave = 0.5f + 0.5f * std::sin(fx * 40.0f + std::cos(fy * 23.0f) * 3.0f);
            p->at(x, y) = make(fx, fy, wave, int(noise >> 28) - 8);
        }
    }
    return p;
}

std::unique_ptr<oxImage> makePicture(const Picture& p)
{
    if (p.hdr)
        return scene<oxImageHalf>(p.width, p.height, [](float fx, float fy, float wave, int n) {
            return oxColourHalf(fx * 40.0f + float(n) * 0.01f, wave * 4.0f, fy * wave, 1.0f);
        });
    return scene<oxImageUInt8>(p.width, p.height, [](float fx, float fy, float wave, int n) {
        return oxColour(uint8_t(std::clamp(int(255 * fx) + n, 0, 255)), uint8_t(std::clamp(int(255 * wave) + n, 0, 255)),
                        uint8_t(std::clamp(int(255 * fy * wave) + n, 0, 255)), 255);
    });
}

// Written in a child process, so the benchmark's own memory stays that of
// preparing.
bool makeFiles()
{
    const char* tmp = std::getenv("TMPDIR");
    g_folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/oxpreparebench-XXXXXX";
    if (!mkdtemp(g_folder.data()))
        return false;
    for (Picture& p : g_pictures) {
        const std::string path = g_folder + "/" + std::to_string(p.width) + (p.hdr ? ".exr" : ".jpg");
        if (oxImageRegistry::instance().canLoad(path))
            p.path = path;
    }
    const pid_t child = fork();
    if (child == 0) {
        setImageOption("Quality", 90);
        try {
            for (const Picture& p : g_pictures)
                if (!p.path.empty())
                    oxImageRegistry::instance().saveImage(*makePicture(p), p.path, oxToneMapping::neutral());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool openWindow(int argc, char** argv)
{
    if (!std::getenv("DISPLAY"))
        return false;
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(320, 240);
    glutCreateWindow("prepare_bench");
    glutDisplayFunc([] {});
    glutMainLoopEvent();
    return true;
}

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The best of runs timings of work (which returns false on failure, then -1).
double bestOfMs(int runs, const std::function<bool()>& work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!work())
            return -1;
        best = std::min(best, msSince(start));
    }
    return best;
}

// preparePicture and the wait until the driver has done the work it queued.
bool prepareOnce(const std::string& path)
{
    LoadedPicture picture;
    const bool ok = preparePicture(path, picture);
    glFinish();
    picture.releaseTiles();
    return ok;
}

void BM_Prepare(benchmark::State& state)
{
    const Picture& p = g_pictures[state.range(0)];
    if (p.path.empty()) {
        state.SkipWithError("no handler for the format");
        return;
    }
    for (auto _ : state) {
        LoadedPicture picture;
        if (!preparePicture(p.path, picture))
            state.SkipWithError("preparation failed");
        glFinish();
        state.PauseTiming();
        picture.releaseTiles();
        glFinish();
        state.ResumeTiming();
    }
    state.SetLabel(p.name);
}
BENCHMARK(BM_Prepare)->DenseRange(0, 2)->ArgName("picture")->UseRealTime()->Unit(benchmark::kMillisecond);

struct Split {
    double decode = -1, describe = 0, tiling = 0, upload = 0, mipmaps = 0, total = -1;
    int tiles = 0, tileWidth = 0, tileHeight = 0;
};

// Each step alone, best of runs, the driver finished after each GL step.
Split measureSplit(const Picture& p, int runs)
{
    Split s;
    std::unique_ptr<oxImage> image;
    const int limit = pictureEdgeLimit(maxTextureSize());
    if (!p.path.empty()) {
        s.decode = bestOfMs(runs, [&] {
            image = oxImageRegistry::instance().loadImage(p.path, oxSize(limit, limit));
            return bool(image);
        });
        s.total = bestOfMs(runs, [&] { return prepareOnce(p.path); });
    } else {
        image = makePicture(p); // no decoder: the other steps on a picture made here
    }
    if (!image)
        return s;
    LoadedPicture picture;
    s.describe = bestOfMs(runs, [&] {
        describePicture(p.path, *image, limit, picture);
        return true;
    });
    TilePlan plan;
    s.tiling = bestOfMs(runs, [&] {
        plan = planTiles(int(image->width()), int(image->height()), maxTextureSize(), npotTexturesSupported());
        return true;
    });
    s.tiles = plan.columns * plan.rows, s.tileWidth = plan.tileWidth, s.tileHeight = plan.tileHeight;
    const auto upload = [&](MipmapGen mode) {
        return bestOfMs(runs, [&] {
            uploadTiles(*image, plan, mode, picture);
            glFinish();
            picture.releaseTiles(); // deleting is timed too, but costs next to nothing
            return true;
        });
    };
    s.upload = upload(MIPMAP_NONE);
    s.mipmaps = std::max(0.0, upload(MIPMAP_AUTO) - s.upload);
    return s;
}

bool run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

void printSplit()
{
    const oxTextureCapabilities caps = textureCapabilities();
    std::printf("\nDriver: GL %d.%d, max texture %d, non-power-of-two %s; best of 5 runs each, same run:\n",
                caps.glMajor, caps.glMinor, caps.maxTextureSize, caps.npotTextures ? "yes" : "no");
    std::printf("  %-16s %8s %9s %8s %8s %8s %9s %9s %8s %6s\n", "picture", "decode", "describe", "tiling", "upload",
                "mipmaps", "prepare", "djpeg", "ratio", "tiles");
    const bool haveDjpeg = run("command -v djpeg");
    for (const Picture& p : g_pictures) {
        const Split s = measureSplit(p, 5);
        double djpeg = -1;
        if (haveDjpeg && !p.hdr && !p.path.empty())
            djpeg = bestOfMs(5, [&] { return run("djpeg -outfile /dev/null " + p.path); });
        const auto cell = [](double ms) {
            static char text[8][32];
            static int next = 0;
            char* t = text[next++ % 8];
            if (ms < 0)
                std::snprintf(t, 32, "n/a");
            else
                std::snprintf(t, 32, "%.1f", ms);
            return t;
        };
        std::printf("  %-16s %8s %9s %8s %8s %8s %9s %9s", p.name, cell(s.decode), cell(s.describe), cell(s.tiling),
                    cell(s.upload), cell(s.mipmaps), cell(s.total), cell(djpeg));
        if (s.total > 0 && djpeg > 0) {
            const double ratio = s.total / djpeg;
            std::printf(" %8.2f", ratio);
            if (p.width == 4000)
                std::printf("%s", ratio <= 1.5 ? "" : " (target <= 1.5 MISSED)");
        } else {
            std::printf(" %8s", "n/a");
        }
        std::printf(" %2d x %dx%d\n", s.tiles, s.tileWidth, s.tileHeight);
    }
    std::printf("  (ms; tiling/copy is the tile plan: tiles are uploaded in place from the decoded picture, with no\n"
                "   copy; upload waits for the driver; mipmaps are the extra time for the levels (the driver's, or the\n"
                "   engine's builder on a software renderer); prepare is the whole preparePicture; n/a: no decoder\n"
                "   for the format here, the other steps ran on a picture made in memory)\n");
    std::printf("  large freed buffers %s\n",
                g_reuse ? "kept for reuse (as the program does)" : "returned (default allocator)");
    if (!haveDjpeg)
        std::printf("  djpeg (libjpeg-turbo-progs) is not installed: no ratio\n");
}

} // namespace

int main(int argc, char** argv)
{
    const char* plain = std::getenv("OX_BENCH_DEFAULT_ALLOCATOR");
    if (!plain || std::string(plain) != "1")
        g_reuse = oxReuseLargeAllocations();
    oxFilename::initialize();
    // A box must never wait for a click in an unattended run.
    oxSetMessageHandler([](const oxMessageRequest& r) {
        std::fprintf(stderr, "[message box] %s: %s\n", r.title.c_str(), r.text.c_str());
        return oxMessageAnswer();
    });
    if (!openWindow(argc, argv)) {
        std::fprintf(stderr, "prepare_bench needs an X display with GLX (run it under xvfb-run)\n");
        return 1;
    }
    if (!makeFiles()) {
        std::fprintf(stderr, "could not write the benchmark pictures\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    printSplit();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_folder);
    return 0;
}
