// Decompression bombs, each loaded in a child (so its peak memory can be measured) under the budget
// of a shown picture: a reduced picture or a "too large" refusal, quickly and within about a gigabyte.
#include "../imagetest.h"

#include "childprocess.h"
#include "data/bombs/bombs.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Set by the build for sanitized runs, whose memory and time the budgets do not fit.
constexpr bool kSanitized = OX_SANITIZED;

// The decoded pixels' part of the program's budget for one picture.
constexpr uint64_t kBudget = (uint64_t(768) << 20) / 7 * 3;

struct BombCase {
    Bomb kind;
    const char* name;
    bool reduced; // otherwise refused as too large
};

class Bombs : public ::testing::TestWithParam<BombCase> {};

TEST_P(Bombs, EndReducedOrRefusedWithinTimeAndMemory)
{
    const BombCase c = GetParam();
    // Sanitized builds are slower and keep freed memory: a reduced decoding
    // gets a quarter of the sides and a sixteenth of the budget, which takes
    // the same path (refusals are instant at any size).
    const bool smaller = kSanitized && c.reduced;
    const uint32_t side = defaultBombSide(c.kind) / (smaller ? 4 : 1);
    const uint64_t budget = kBudget / (smaller ? 16 : 1);
    TempDir dir;
    const std::string file = dir.file(std::string("bomb.") + c.name);
    ASSERT_TRUE(writeBomb(c.kind, file, side, side));
    const int code = runInChild([&] {
        oxLoadOptions options;
        options.budget = budget;
        const auto start = std::chrono::steady_clock::now();
        bool reduced = false;
        std::string message;
        try {
            std::unique_ptr<oxImage> image = oxImageRegistry::instance().loadImage(file, options);
            reduced = image->reduction() > 1 && image->byteSize() <= budget;
        } catch (const oxException& e) {
            message = e.describe();
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const double peakMB = double(usage.ru_maxrss) / 1024.0;
        std::fprintf(stderr, "%s %u x %u: %s %.2f s, peak %.0f MB\n", c.name, side, side,
                     reduced ? "reduced" : message.c_str(), seconds, peakMB);
        if (c.reduced ? !reduced : message.find("too large") == std::string::npos)
            return 1;
        if (!kSanitized && (seconds > 5.0 || peakMB > 1100.0))
            return 2;
        return 0;
    });
    EXPECT_EQ(code, 0) << "1: wrong outcome, 2: too slow or too much memory (see above)";
}

INSTANTIATE_TEST_SUITE_P(Table, Bombs,
                         ::testing::Values(BombCase{Bomb::EXR_ZIP_ZEROS, "exr", false},
                                           BombCase{Bomb::BMP_RLE_END, "bmp", false},
                                           BombCase{Bomb::PNG_ZEROS, "png", false},
                                           BombCase{Bomb::JPEG_ZEROS, "jpg", true},
                                           BombCase{Bomb::TGA_RLE_END, "tga", true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
