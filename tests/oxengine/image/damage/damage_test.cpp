// A truncated JPEG or PNG shows what decoded, with the reason, and is never rewritten from it.
#include "../imagetest.h"

#include "oxengine/image/jpeg/jpeghandler.h"
#include "oxengine/image/png/pnghandler.h"

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

TEST(DamagedFile, TruncatedPicturesShowTheirTopPartWithTheReasonAndAreNeverRewritten)
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
        const std::string cut = readFile(path);
        oxImageTransform t;
        t.setComment = true, t.comment = "new";
        t.rotation = std::string(name).ends_with(".jpg") ? 1 : 0;
        EXPECT_EQ(imageError([&] { oxImageRegistry::instance().transformFile(path, t); }),
                  "The file is damaged (the file ends early) and is not rewritten.");
        EXPECT_TRUE(readFile(path) == cut);
    }
}
