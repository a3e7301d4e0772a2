// Speed of the PNG and EXR handlers: loading a 3840 × 2160 RGBA PNG and a
// 12-megapixel (4000 × 3000) half-float EXR through the registry, in
// megapixels per second; in the same run ImageMagick decodes the same files
// ("convert x ppm:-", its output discarded) and the ratios ours / theirs are
// printed. Also the speed of saving both.
#include "oxengine/image/exr/exrlibrary.h"
#include "oxengine/image/handler.h"
#include "oxengine/image/sampleconv.h"

#include "benchsupport.h"

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Picture {
    const char* name;
    uint32_t width, height;
    std::string path;
};

Picture g_png = {"3840x2160 RGBA PNG", 3840, 2160, {}};
Picture g_exr = {"4000x3000 RGBA half EXR", 4000, 3000, {}};
std::string g_folder;

// A photograph-like scene: smooth shapes, fine noise and a soft alpha, so the
// compressors have the work they have with real pictures.
template <class T> std::unique_ptr<oxImageImpl<T>> scene(uint32_t width, uint32_t height)
{
    auto p = oxImageImpl<T>::create(width, height);
    uint32_t noise = 12345;
    for (uint32_t y = 0; y < height; ++y) {
        T* row = p->row(y);
        const float fy = float(y) / float(height);
        for (uint32_t x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const float n = float(int(noise >> 28) - 8) / 255.0f;
            const float fx = float(x) / float(width);
            const float wave = 0.5f + 0.5f * std::sin(fx * 40.0f + std::cos(fy * 23.0f) * 3.0f);
            row[x] = oxConvertPixel<T>(oxColourFloat{std::clamp(fx + n, 0.0f, 1.0f), std::clamp(wave + n, 0.0f, 1.0f),
                                                     std::clamp(fy * wave + n, 0.0f, 1.0f), 0.75f + 0.25f * wave});
        }
    }
    return p;
}

bool exrAvailable()
{
    return oxExrLibrary::process() != nullptr;
}

// Made in a child process, so this one's memory stays that of decoding.
bool makePictures()
{
    const char* tmp = std::getenv("TMPDIR");
    g_folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/oxcodecbench-XXXXXX";
    if (!mkdtemp(g_folder.data()))
        return false;
    g_png.path = g_folder + "/scene.png";
    g_exr.path = g_folder + "/scene.exr";
    const pid_t child = fork();
    if (child == 0) {
        oxImageRegistry::instance().saveImage(*scene<oxColour>(g_png.width, g_png.height), g_png.path,
                                              oxToneMapping::neutral());
        if (exrAvailable())
            oxImageRegistry::instance().saveImage(*scene<oxColourHalf>(g_exr.width, g_exr.height), g_exr.path,
                                                  oxToneMapping::neutral());
        _exit(0);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void setRate(benchmark::State& state, const Picture& p)
{
    state.counters["MP/s"] = benchmark::Counter(double(p.width) * p.height * 1e-6 * double(state.iterations()),
                                                benchmark::Counter::kIsRate);
    state.SetLabel(p.name);
}

void BM_Load(benchmark::State& state)
{
    const Picture& p = state.range(0) == 0 ? g_png : g_exr;
    if (&p == &g_exr && !exrAvailable()) {
        state.SkipWithError("the OpenEXR library is not installed");
        return;
    }
    for (auto _ : state) {
        auto image = oxImageRegistry::instance().loadImage(p.path, oxSize());
        benchmark::DoNotOptimize(image);
    }
    setRate(state, p);
}
BENCHMARK(BM_Load)->Arg(0)->Arg(1)->ArgName("exr")->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state)
{
    const Picture& p = state.range(0) == 0 ? g_png : g_exr;
    if (&p == &g_exr && !exrAvailable()) {
        state.SkipWithError("the OpenEXR library is not installed");
        return;
    }
    const auto image = oxImageRegistry::instance().loadImage(p.path, oxSize());
    const std::string out = g_folder + (&p == &g_png ? "/out.png" : "/out.exr");
    for (auto _ : state)
        oxImageRegistry::instance().saveImage(*image, out, oxToneMapping::neutral());
    setRate(state, p);
}
BENCHMARK(BM_Save)->Arg(0)->Arg(1)->ArgName("exr")->UseRealTime()->Unit(benchmark::kMillisecond);

// ---- The same work by ImageMagick ---------------------------------------------

void compareWithImageMagick()
{
    if (!runQuietly("command -v convert")) {
        std::printf("\ncomparison skipped: ImageMagick (convert) is not installed\n");
        return;
    }
    std::printf("\nBest of 5 runs each, same files, same run (convert x ppm:- > /dev/null):\n");
    for (const Picture* p : {&g_png, &g_exr}) {
        if (p == &g_exr && !exrAvailable())
            continue;
        const double ours = bestOfMs(5, [&] { return bool(oxImageRegistry::instance().loadImage(p->path, oxSize())); });
        const double theirs = bestOfMs(5, [&] { return runQuietly("convert '" + p->path + "' ppm:-"); });
        if (ours < 0 || theirs <= 0) {
            std::printf("  %-26s failed\n", p->name);
            continue;
        }
        const double ratio = ours / theirs;
        std::printf("  load %-26s ours %7.1f ms (%6.1f MP/s)  convert %7.1f ms  ratio %5.2f  (target <= 1.0%s)\n",
                    p->name, ours, double(p->width) * p->height * 1e-3 / ours, theirs, ratio,
                    ratio <= 1.0 ? "" : ", MISSED");
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!makePictures()) {
        std::fprintf(stderr, "cannot make the test pictures\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    compareWithImageMagick();
    benchmark::Shutdown();
    std::system(("rm -rf '" + g_folder + "'").c_str());
    return 0;
}
