// A truncated JPEG or PNG shows what decoded, with the reason.
#include "../imagetest.h"

namespace {

// Top half red, bottom half blue, noisy so the data is most of the file; cut to keep a share.
void makeCut(const std::string& path, double keep)
{
    auto image = oxImageUInt8::create(96, 192);
    uint32_t noise = 1;
    for (uint32_t y = 0; y < 192; ++y)
        for (uint32_t x = 0; x < 96; ++x) {
            const int n = int((noise = noise * 1664525u + 1013904223u) >> 27);
            image->at(x, y) = y < 96 ? oxColour(uint8_t(225 + n), uint8_t(n), uint8_t(n), 255)
                                     : oxColour(uint8_t(n), uint8_t(n), uint8_t(225 + n), 255);
        }
    image->setComponents(3);
    oxImageRegistry::instance().saveImage(*image, path, oxToneMapping::neutral());
    const std::string whole = readFile(path);
    EXPECT_TRUE(writeFile(path, whole.substr(0, size_t(double(whole.size()) * keep))));
}

} // namespace

TEST(DamagedFile, TruncatedPicturesShowTheirTopPartWithTheReason)
{
    TempDir dir;
    for (const char* name : {"cut.jpg", "cut.png"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        makeCut(path, 0.4);
        const auto image = oxImageRegistry::instance().loadImage(path, oxSize());
        ASSERT_EQ(image->size(), oxSize(96, 192));
        EXPECT_EQ(image->damage(), "the file ends early");
        const auto* top = static_cast<const oxColour*>(image->data());
        EXPECT_GT(top[10].r, 200);
        EXPECT_LT(top[10].b, 60);
    }
}
