#include "imagetest.h"

#include <cstdint>

TEST(ImageSizes, EmptyAndTinySizes)
{
    auto wide = oxImageUInt8::create(0, 100);
    ASSERT_TRUE(wide);
    EXPECT_TRUE(wide->empty());
    EXPECT_EQ(wide->width(), 0u);
    EXPECT_EQ(wide->height(), 0u);
    auto tall = oxImageHalf::create(100, 0);
    ASSERT_TRUE(tall);
    EXPECT_EQ(tall->width(), 0u);
    EXPECT_EQ(tall->data(), nullptr);
    auto one = oxImageUInt16::create(1, 1);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->byteSize(), 8u);
    one->at(0, 0) = oxColourUInt16(1, 2, 3, 4);
    EXPECT_EQ(one->clone()->byteSize(), 8u);
    // Operations on empty pictures give empty pictures, not failures.
    EXPECT_TRUE(wide->rotatedCopy(1)->empty());
    EXPECT_TRUE(wide->clone()->empty());
    wide->fill(oxColourValue(oxColour(1, 2, 3, 4)));
    oxImageUInt8 target;
    EXPECT_TRUE(target.assign(*tall));
    EXPECT_TRUE(target.empty());
}

TEST(ImageSizes, TheDefaultLimitRefusesHugePictures)
{
    EXPECT_EQ(oxImage::pixelLimit(), oxImage::DEFAULT_PIXEL_LIMIT);
    // Refused before anything is allocated.
    EXPECT_FALSE(oxImageUInt8::create(65535, 65535));
    EXPECT_FALSE(oxImageHalf::create(65535, 65535));
    EXPECT_FALSE(oxImage::sizeAllowed(65535, 65535, 4));
    EXPECT_TRUE(oxImage::sizeAllowed(32768, 32768, 4)); // exactly the limit
    EXPECT_FALSE(oxImage::sizeAllowed(32768, 32769, 4));
}

TEST(ImageSizes, ASmallLimitRefusesAndKeepsTheOldBuffer)
{
    PixelLimit limit(1000);
    EXPECT_TRUE(oxImageUInt8::create(40, 25));
    EXPECT_FALSE(oxImageUInt8::create(40, 26));
    EXPECT_FALSE(oxImageUInt8::create(1001, 1));

    auto image = patternImage<oxColour>(10, 10);
    const void* before = image->data();
    image->setComment("stays");
    EXPECT_FALSE(image->resize(100, 100, false));
    EXPECT_EQ(image->width(), 10u);
    EXPECT_EQ(image->height(), 10u);
    EXPECT_EQ(image->data(), before);
    EXPECT_EQ(image->at(9, 9), patternPixel<oxColour>(9, 9));
    EXPECT_EQ(image->comment(), "stays");
    // With reset the information is reset even though the size stays.
    EXPECT_FALSE(image->resize(oxSize(100, 100), true));
    EXPECT_EQ(image->comment(), "");
    EXPECT_EQ(image->width(), 10u);
    // Negative sizes are refused the same way.
    EXPECT_FALSE(image->resize(oxSize(-1, 5), false));
    EXPECT_EQ(image->width(), 10u);

    // A rotated copy has the same number of pixels; a refused resampled copy is none.
    EXPECT_TRUE(patternImage<oxColour>(40, 25)->rotatedCopy(1));
    EXPECT_FALSE(image->resampledCopy(32, 32, IF_BOX));
}

TEST(ImageSizes, ProductsThatOverflow)
{
    PixelLimit limit(UINT64_MAX);
    size_t bytes = 0;
    // 65536 × 65537 × 4 wraps to 262144 in 32 bits; the true size comes back.
    ASSERT_TRUE(oxImage::sizeAllowed(65536, 65537, 4, &bytes));
    EXPECT_EQ(bytes, size_t(65536) * 65537 * 4);
    // Products beyond 64 bits, in the pixel count or in the byte count.
    EXPECT_FALSE(oxImage::sizeAllowed(uint64_t(1) << 32, uint64_t(1) << 32, 4));
    EXPECT_FALSE(oxImage::sizeAllowed(uint64_t(1) << 40, uint64_t(1) << 30, 1));
    EXPECT_FALSE(oxImage::sizeAllowed(0x7fffffff, 0x7fffffff, 16));
    // Dimensions beyond 31 bits never form an image.
    EXPECT_FALSE(oxImage::sizeAllowed(uint64_t(1) << 31, 1, 4));
    EXPECT_FALSE(oxImageUInt8::create(0xffffffffu, 0xffffffffu));
    EXPECT_FALSE(oxImageHalf::create(0x80000000u, 2));
    // Zero-sized requests are always fine and need no bytes.
    EXPECT_TRUE(oxImage::sizeAllowed(0, 0, 16, &bytes));
    EXPECT_EQ(bytes, 0u);
}

TEST(ImageSizes, ZeroLimitAllowsOnlyEmptyPictures)
{
    PixelLimit limit(0);
    EXPECT_FALSE(oxImageUInt8::create(1, 1));
    EXPECT_TRUE(oxImageUInt8::create(0, 1));
}
