// Speed of the image model's hot paths on a 6000 × 4000 picture, and in the
// same run the time of vips and ImageMagick for the same resize.
#include "oxengine/image/image.h"

#include "benchsupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t WIDTH = 6000, HEIGHT = 4000;
constexpr int TARGET_WIDTH = 1920, TARGET_HEIGHT = 1280;
constexpr double MEGAPIXELS = WIDTH * double(HEIGHT) / 1e6;

// Smooth shapes with fine noise, so no filter meets flat areas only.
const oxImageUInt8& picture()
{
    static const std::unique_ptr<oxImageUInt8> image = benchScene(WIDTH, HEIGHT);
    return *image;
}

const oxImageHalf& halfPicture()
{
    static const std::unique_ptr<oxImageHalf> image = [] {
        auto p = std::make_unique<oxImageHalf>();
        p->convertFrom(picture(), oxToneMapping::neutral());
        return p;
    }();
    return *image;
}

// Shown as "MP=<n>/s": megapixels of the 6000 × 4000 source per second.
void megapixelsPerSecond(benchmark::State& state)
{
    state.counters["MP"] = benchmark::Counter(MEGAPIXELS, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Resample(benchmark::State& state)
{
    const auto& source = picture();
    for (auto _ : state) {
        auto copy = source.resampledCopy(TARGET_WIDTH, TARGET_HEIGHT, int(state.range(0)));
        benchmark::DoNotOptimize(copy);
    }
    megapixelsPerSecond(state);
}
BENCHMARK(BM_Resample)->Arg(IF_LANCZOS3)->Arg(IF_BOX)->Arg(IF_MITCHELL)->ArgName("filter")->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_ReducedCopy4(benchmark::State& state)
{
    const auto& source = picture();
    for (auto _ : state) {
        auto copy = source.reducedCopy(4);
        benchmark::DoNotOptimize(copy);
    }
    megapixelsPerSecond(state);
}
BENCHMARK(BM_ReducedCopy4)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_UInt8ToHalf(benchmark::State& state)
{
    const auto& source = picture();
    oxImageHalf target;
    for (auto _ : state) {
        target.convertFrom(source, oxToneMapping::neutral());
        benchmark::ClobberMemory();
    }
    megapixelsPerSecond(state);
}
BENCHMARK(BM_UInt8ToHalf)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_HalfToUInt8(benchmark::State& state)
{
    const auto& source = halfPicture();
    oxImageUInt8 target;
    for (auto _ : state) {
        target.convertFrom(source, oxToneMapping::neutral());
        benchmark::ClobberMemory();
    }
    megapixelsPerSecond(state);
}
BENCHMARK(BM_HalfToUInt8)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ToneMapHalfToUInt8(benchmark::State& state)
{
    const auto& source = halfPicture();
    oxToneMapping mapping;
    mapping.mode = TM_HDR_ONLY;
    mapping.blackPoint = 0.02f;
    mapping.whitePoint = 0.9f;
    mapping.exponent = state.range(0) ? 0.8f : 1.0f;
    mapping.saturation = 1.1f;
    oxImageUInt8 target;
    for (auto _ : state) {
        target.convertFrom(source, mapping);
        benchmark::ClobberMemory();
    }
    megapixelsPerSecond(state);
}
BENCHMARK(BM_ToneMapHalfToUInt8)->Arg(0)->Arg(1)->ArgName("power")->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_RotatedCopy1(benchmark::State& state)
{
    const auto& source = picture();
    for (auto _ : state) {
        auto copy = source.rotatedCopy(1);
        benchmark::DoNotOptimize(copy);
    }
    megapixelsPerSecond(state);
}
BENCHMARK(BM_RotatedCopy1)->UseRealTime()->Unit(benchmark::kMillisecond);

// ---- The same resize by other tools --------------------------------------------

template <class F> double bestOfThreeMs(F&& run)
{
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!run())
            return -1;
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

double commandMs(const std::string& command)
{
    return bestOfThreeMs([&] { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; });
}

bool onPath(const std::string& tool)
{
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

bool writePpm(const oxImageUInt8& image, const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << image.width() << " " << image.height() << "\n255\n";
    std::vector<char> row(size_t(image.width()) * 3);
    for (uint32_t y = 0; y < image.height() && out; ++y) {
        const oxColour* in = image.row(y);
        for (uint32_t x = 0; x < image.width(); ++x) {
            row[3 * x] = char(in[x].r);
            row[3 * x + 1] = char(in[x].g);
            row[3 * x + 2] = char(in[x].b);
        }
        out.write(row.data(), std::streamsize(row.size()));
    }
    return bool(out);
}

void printTool(const char* name, double total, double reading)
{
    if (total < 0) {
        std::printf("  %-40s failed\n", name);
        return;
    }
    std::printf("  %-40s %8.1f ms, %8.1f ms without reading the file\n", name, total, total - reading);
}

void printRatio(const char* name, double ours, double total, double reading)
{
    if (total > 0)
        std::printf("  pictavo / %-30s %8.2f (%.2f against its resize alone)\n", name, ours / total,
                    ours / std::max(1.0, total - reading));
}

void compareWithOtherTools()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/oximagebench-XXXXXX";
    if (!mkdtemp(dir.data())) {
        std::printf("comparison skipped: no temporary folder\n");
        return;
    }
    const std::string input = dir + "/in.ppm", output = dir + "/out.ppm", vipsOut = dir + "/out.v";
    if (!writePpm(picture(), input)) {
        std::printf("comparison skipped: cannot write %s\n", input.c_str());
        std::system(("rm -rf '" + dir + "'").c_str());
        return;
    }
    const double ours = bestOfThreeMs([] { return bool(picture().resampledCopy(TARGET_WIDTH, TARGET_HEIGHT, IF_LANCZOS3)); });
    std::printf("\n%ux%u to %dx%d, Lanczos 3, best of 3 runs, same picture (tools read it as PPM):\n", WIDTH, HEIGHT,
                TARGET_WIDTH, TARGET_HEIGHT);
    std::printf("  %-40s %8.1f ms\n", "pictavo resampledCopy", ours);

    // ImageMagick 7 is "magick"; Debian's 6 also installs its binary under
    // the versioned name, which skips any wrapper named convert.
    std::string magick;
    for (const char* candidate : {"magick", "convert-im6.q16", "convert"})
        if (onPath(candidate)) {
            magick = candidate;
            break;
        }
    double imTotal = -1, imRead = 0;
    if (!magick.empty()) {
        imRead = commandMs(magick + " '" + input + "' null:");
        imTotal = commandMs(magick + " '" + input + "' -filter Lanczos -resize " + std::to_string(TARGET_WIDTH) + "x" +
                            std::to_string(TARGET_HEIGHT) + "! '" + output + "'");
        printTool((magick + " -filter Lanczos -resize").c_str(), imTotal, imRead);
    } else {
        std::printf("  ImageMagick not installed\n");
    }
    double vipsTotal = -1, vipsRead = 0;
    if (onPath("vips")) {
        vipsRead = commandMs("vips avg '" + input + "'");
        vipsTotal = commandMs("vips resize '" + input + "' '" + vipsOut + "' " +
                              std::to_string(double(TARGET_WIDTH) / WIDTH));
        printTool("vips resize", vipsTotal, vipsRead);
    } else {
        std::printf("  vips not installed\n");
    }
    printRatio("ImageMagick", ours, imTotal, imRead);
    printRatio("vips", ours, vipsTotal, vipsRead);
    std::system(("rm -rf '" + dir + "'").c_str());
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    picture();
    halfPicture();
    benchmark::RunSpecifiedBenchmarks();
    compareWithOtherTools();
    benchmark::Shutdown();
    return 0;
}
