// Speed of the JPEG handler: decoding 4000 × 3000 and 12000 × 9000 pictures
// at scale 1, 1/2, 1/4 and 1/8, and the lossless quarter turn of a
// 24-megapixel picture; in the same run djpeg and jpegtran do the same work
// and the ratios (ours / theirs) are printed. Also the peak memory of one
// large decode against the size of its image.
#include "oxengine/image/handler.h"
#include "oxengine/image/jpeg/jpeghandler.h"

#include "benchsupport.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
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

Picture g_pictures[] = {{"4000x3000", 4000, 3000, {}}, {"12000x9000", 12000, 9000, {}}};
Picture g_rotation = {"6000x4000", 6000, 4000, {}};
std::string g_folder;

// Made in a child process, so the benchmark's own peak memory stays that of
// decoding.
bool makePictures()
{
    const char* tmp = std::getenv("TMPDIR");
    g_folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/oxjpegbench-XXXXXX";
    if (!mkdtemp(g_folder.data()))
        return false;
    for (Picture& p : g_pictures)
        p.path = g_folder + "/" + p.name + ".jpg";
    g_rotation.path = g_folder + "/rotate.jpg";
    const pid_t child = fork();
    if (child == 0) {
        setImageOption("Quality", 90);
        for (const Picture* p : {&g_pictures[0], &g_pictures[1], &g_rotation})
            oxJpegHandler().saveImage(*benchScene(p->width, p->height), p->path, oxToneMapping::neutral());
        _exit(0);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

oxSize maximumForScale(const Picture& p, int n)
{
    // The largest maximum that still asks for 1/n.
    return n == 1 ? oxSize() : oxSize(int32_t(p.width) / n, int32_t(p.height) / n);
}

void BM_Decode(benchmark::State& state)
{
    const Picture& p = g_pictures[state.range(0)];
    const int n = int(state.range(1));
    for (auto _ : state) {
        auto image = oxJpegHandler().loadImage(p.path, maximumForScale(p, n));
        benchmark::DoNotOptimize(image);
    }
    state.SetLabel(std::string(p.name) + " at 1/" + std::to_string(n));
}
BENCHMARK(BM_Decode)
    ->ArgsProduct({{0, 1}, {1, 2, 4, 8}})
    ->ArgNames({"picture", "scale"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_Rotate(benchmark::State& state)
{
    oxImageTransform turn;
    turn.rotation = 1;
    for (auto _ : state)
        oxJpegHandler().transformFile(g_rotation.path, turn);
    state.SetLabel("6000x4000, file replaced and synced");
}
BENCHMARK(BM_Rotate)->UseRealTime()->Unit(benchmark::kMillisecond);

// ---- The same work by the reference tools --------------------------------------

void printRatio(const std::string& what, double ours, double theirs, const char* tool, double target)
{
    if (ours < 0 || theirs <= 0) {
        std::printf("  %-28s failed\n", what.c_str());
        return;
    }
    const double ratio = ours / theirs;
    std::printf("  %-28s ours %8.1f ms  %-9s %8.1f ms  ratio %5.2f", what.c_str(), ours, tool, theirs, ratio);
    if (target > 0)
        std::printf("  (target <= %.1f%s)", target, ratio <= target ? "" : ", MISSED");
    std::printf("\n");
}

void compareWithReferenceTools()
{
    if (!runQuietly("command -v djpeg") || !runQuietly("command -v jpegtran")) {
        std::printf("\ncomparison skipped: djpeg and jpegtran (libjpeg-turbo-progs) are not installed\n");
        return;
    }
    std::printf("\nBest of 5 runs each, same files, same run (djpeg writes to /dev/null):\n");
    for (const Picture& p : g_pictures) {
        for (int n : {1, 2, 4, 8}) {
            const double ours =
                bestOfMs(5, [&] { return bool(oxJpegHandler().loadImage(p.path, maximumForScale(p, n))); });
            const std::string djpeg = "djpeg -scale 1/" + std::to_string(n) + " -outfile /dev/null " + p.path;
            const double theirs = bestOfMs(5, [&] { return runQuietly(djpeg); });
            printRatio(std::string("decode ") + p.name + " 1/" + std::to_string(n), ours, theirs, "djpeg", 1.1);
        }
    }
    // For context: djpeg discards its rows, we keep a whole RGBA image in
    // fresh memory. djpeg writing the full picture into memory (a file in
    // /dev/shm) pays for that memory as well.
    if (runQuietly("test -d /dev/shm -a -w /dev/shm")) {
        std::printf("For context, full size with djpeg's output kept in memory (a file in /dev/shm):\n");
        const std::string shm = "/dev/shm/oxjpegbench-" + std::to_string(getpid()) + ".ppm";
        for (const Picture& p : g_pictures) {
            const double ours = bestOfMs(5, [&] { return bool(oxJpegHandler().loadImage(p.path, oxSize())); });
            const double theirs = bestOfMs(5, [&] { return runQuietly("djpeg -outfile " + shm + " " + p.path); });
            std::remove(shm.c_str());
            printRatio(std::string("decode ") + p.name + " 1/1", ours, theirs, "djpeg>shm", 0);
        }
    }
    oxImageTransform turn;
    turn.rotation = 1;
    const std::string out = g_folder + "/jpegtran.jpg";
    const double ours = bestOfMs(5, [&] {
        oxJpegHandler().transformFile(g_rotation.path, turn);
        return true;
    });
    const double theirs = bestOfMs(
        5, [&] { return runQuietly("jpegtran -rotate 90 -copy all -outfile " + out + " " + g_rotation.path); });
    printRatio("rotate 6000x4000 by 90", ours, theirs, "jpegtran", 1.2);
    std::printf("  (ours replaces the file: temporary file, fsync, rename; jpegtran only writes a new file)\n");
}

// Peak resident memory of decoding the large picture once, before anything
// else ran in this process, against the size of the image it makes.
void printDecodeMemory()
{
    const Picture& p = g_pictures[1];
    struct rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    size_t bytes = 0;
    {
        auto image = oxJpegHandler().loadImage(p.path, oxSize());
        bytes = image ? image->byteSize() : 0;
    }
    getrusage(RUSAGE_SELF, &after);
    std::printf("Peak memory of one %s decode: %.0f MB more than before; the image itself is %.0f MB\n\n", p.name,
                double(after.ru_maxrss - before.ru_maxrss) / 1024.0, double(bytes) / (1024.0 * 1024.0));
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
    printDecodeMemory();
    benchmark::RunSpecifiedBenchmarks();
    compareWithReferenceTools();
    benchmark::Shutdown();
    std::system(("rm -rf '" + g_folder + "'").c_str());
    return 0;
}
