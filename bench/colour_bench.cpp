// Cost of colour management when decoding a 4000 x 3000 JPEG: without a
// profile (the path every untagged picture takes), with an embedded Adobe
// RGB profile (converted to sRGB on the loader thread and the image
// workers), and djpeg decoding the same file in the same run.
#include "oxengine/image/jpeg/jpeghandler.h"

#include "benchsupport.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string g_folder, g_plain, g_tagged;

std::string readAll(const std::string& path)
{
    std::string bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[1 << 16];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

bool makePictures()
{
    const char* tmp = std::getenv("TMPDIR");
    g_folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/oxcolourbench-XXXXXX";
    if (!mkdtemp(g_folder.data()))
        return false;
    g_plain = g_folder + "/plain.jpg";
    g_tagged = g_folder + "/tagged.jpg";
    setImageOption("Quality", 90);
    oxJpegHandler().saveImage(*benchScene(4000, 3000), g_plain, oxToneMapping::neutral());
    removeImageOption("Quality");
    // The profile as one APP2 marker right after SOI.
    // Adobe RGB (1998)-like: its primaries and white with gamma 2.2.
    const std::string jpeg = readAll(g_plain),
                      profile = readAll(std::string(OX_SOURCE_DIR) + "/tests/data/icc/adobe-like-rgb.icc");
    if (profile.empty())
        return false;
    const std::string payload = std::string("ICC_PROFILE\0\x01\x01", 14) + profile;
    const size_t length = payload.size() + 2;
    const std::string marker = std::string{char(0xFF), char(0xE2), char(length >> 8), char(length & 0xFF)} + payload;
    std::FILE* f = std::fopen(g_tagged.c_str(), "wb");
    if (!f)
        return false;
    const std::string tagged = jpeg.substr(0, 2) + marker + jpeg.substr(2);
    const bool ok = std::fwrite(tagged.data(), 1, tagged.size(), f) == tagged.size();
    return std::fclose(f) == 0 && ok;
}

void decode(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        auto image = oxJpegHandler().loadImage(path, oxSize());
        benchmark::DoNotOptimize(image);
    }
}

void BM_DecodeWithoutProfile(benchmark::State& state)
{
    decode(state, g_plain);
}
BENCHMARK(BM_DecodeWithoutProfile)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_DecodeWithProfile(benchmark::State& state)
{
    decode(state, g_tagged);
}
BENCHMARK(BM_DecodeWithProfile)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Djpeg(benchmark::State& state)
{
    for (auto _ : state) {
        if (!runQuietly("djpeg -outfile /dev/null '" + g_plain + "'"))
            state.SkipWithError("djpeg failed");
    }
}
BENCHMARK(BM_Djpeg)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (!makePictures()) {
        std::fprintf(stderr, "cannot make the test pictures\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(g_plain.c_str());
    std::remove(g_tagged.c_str());
    rmdir(g_folder.c_str());
    return 0;
}
