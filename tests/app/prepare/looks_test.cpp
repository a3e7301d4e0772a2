// What the record says about how a picture looks: the note of a damaged
// file and the transparency that puts a checkerboard behind it.
#include "app/prepare/preparesteps.h"

#include "oxengine/image/half.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

TEST(DescribePicture, DamagedFileGetsItsNoteAfterTheScaleNote)
{
    TempDir dir;
    const std::string file = dir.file("d.jpg");
    ASSERT_TRUE(writeFile(file, "x"));
    auto image = oxImageUInt8::create(20, 10);
    image->setReduction(2);
    image->setDamage("the file ends early");
    LoadedPicture picture;
    describePicture(file, *image, 5116, picture);
    EXPECT_EQ(picture.note, "[Picture scaled to 1/2.] [damaged file: the file ends early]");
}

TEST(DescribePicture, TransparencyNeedsAnAlphaChannelWithAPixelBelowFull)
{
    auto rgba = oxImageUInt8::create(3, 2);
    rgba->fill(oxColourValue(oxColour(1, 2, 3, 255)));
    EXPECT_FALSE(hasTransparency(*rgba));
    rgba->at(2, 1).a = 254;
    EXPECT_TRUE(hasTransparency(*rgba));
    rgba->setComponents(3); // no alpha channel: whatever the bytes say
    EXPECT_FALSE(hasTransparency(*rgba));
    auto deep = oxImageUInt16::create(2, 2);
    deep->fill(oxColourValue(oxColourUInt16(0, 0, 0, 65535)));
    EXPECT_FALSE(hasTransparency(*deep));
    deep->at(0, 0).a = 0;
    EXPECT_TRUE(hasTransparency(*deep));
    auto half = oxImageHalf::create(1, 1);
    half->at(0, 0) = oxColourHalf(1.0f, 1.0f, 1.0f, 0.5f);
    EXPECT_TRUE(hasTransparency(*half));
}
