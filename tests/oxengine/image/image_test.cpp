#include "imagetest.h"

#include "oxengine/errors.h"
#include "oxengine/image/parallel.h"
#include "testsupport.h"

#include <cstdio>

// ---- Typed suites over the three image types ---------------------------------

template <class T> class ImageOps : public testing::Test {};
TYPED_TEST_SUITE(ImageOps, ImageTypes);

TYPED_TEST(ImageOps, CreationAndInformation)
{
    using T = TypeParam;
    oxImageImpl<T> image;
    EXPECT_TRUE(image.empty());
    EXPECT_EQ(image.data(), nullptr);
    EXPECT_EQ(image.sampleType(), oxSampleTraits<T>::type);
    EXPECT_EQ(image.pixelBytes(), int(sizeof(T)));
    EXPECT_EQ(image.components(), 4);
    EXPECT_EQ(image.reduction(), 1);

    auto sized = oxImageImpl<T>::create(5, 3);
    ASSERT_TRUE(sized);
    EXPECT_EQ(sized->width(), 5u);
    EXPECT_EQ(sized->height(), 3u);
    EXPECT_EQ(sized->byteSize(), 15 * sizeof(T));
    auto empty = sized->createEmpty();
    EXPECT_TRUE(empty->empty());
    EXPECT_EQ(empty->sampleType(), sized->sampleType());

    auto viaType = oxCreateImage(oxSampleTraits<T>::type, 2, 2);
    ASSERT_TRUE(viaType);
    EXPECT_EQ(viaType->sampleType(), oxSampleTraits<T>::type);
    EXPECT_FALSE(oxCreateImage(ST_FLOAT, 2, 2));
}

TYPED_TEST(ImageOps, CloneCopiesEverything)
{
    using T = TypeParam;
    auto image = patternImage<T>(7, 4);
    image->setComponents(3);
    image->setReduction(2);
    image->setComment("a comment");
    auto copy = image->clone();
    ASSERT_TRUE(copy);
    EXPECT_TRUE(samePixels(*copy, *image));
    EXPECT_EQ(copy->components(), 3);
    EXPECT_EQ(copy->reduction(), 2);
    EXPECT_EQ(copy->comment(), "a comment");
    EXPECT_NE(copy->data(), image->data());
}

TYPED_TEST(ImageOps, ResizeKeepsBytesAndResets)
{
    using T = TypeParam;
    auto image = patternImage<T>(4, 4);
    image->setComment("c");
    image->setComponents(1);
    // Shrinking keeps the leading bytes: the first two rows of the old picture.
    ASSERT_TRUE(image->resize(4, 2, false));
    EXPECT_EQ(image->at(3, 1), (patternPixel<T>(3, 1)));
    EXPECT_EQ(image->comment(), "c");
    EXPECT_EQ(image->components(), 1);
    ASSERT_TRUE(image->resize(oxSize(2, 3), true));
    EXPECT_EQ(image->comment(), "");
    EXPECT_EQ(image->components(), 4);
    ASSERT_TRUE(image->resize(0, 5, false));
    EXPECT_TRUE(image->empty());
    EXPECT_EQ(image->width(), 0u);
    EXPECT_EQ(image->height(), 0u);
    EXPECT_EQ(image->data(), nullptr);
}

TYPED_TEST(ImageOps, AssignConvertsFromEveryType)
{
    using T = TypeParam;
    auto check = [](auto source) {
        using S = typename std::remove_reference_t<decltype(*source)>::Pixel;
        source->setComponents(3);
        source->setReduction(5);
        source->setComment("from elsewhere");
        oxImageImpl<T> target;
        ASSERT_TRUE(target.assign(*source));
        ASSERT_EQ(target.width(), source->width());
        EXPECT_EQ(target.components(), 3);
        EXPECT_EQ(target.reduction(), 5);
        EXPECT_EQ(target.comment(), "from elsewhere");
        for (uint32_t y = 0; y < source->height(); ++y)
            for (uint32_t x = 0; x < source->width(); ++x)
                ASSERT_EQ(target.at(x, y), (oxConvertPixel<T, S>(source->at(x, y)))) << x << "," << y;
    };
    check(patternImage<oxColour>(6, 5));
    check(patternImage<oxColourHalf>(6, 5));
    check(patternImage<oxColourUInt16>(6, 5));
}

TYPED_TEST(ImageOps, AssignToItselfKeepsEverything)
{
    auto image = patternImage<TypeParam>(3, 3);
    auto before = image->clone();
    image->setComment("keep me");
    image->setComponents(3);
    ASSERT_TRUE(image->assign(*image));
    EXPECT_EQ(image->comment(), "keep me");
    EXPECT_EQ(image->components(), 3);
    EXPECT_TRUE(samePixels(*image, *before));
}

TYPED_TEST(ImageOps, CopyRectConvertsAndClips)
{
    using T = TypeParam;
    auto source = patternImage<T>(6, 4);
    auto into = [&](auto target) {
        using U = typename std::remove_reference_t<decltype(*target)>::Pixel;
        const U marker = oxConvertPixel<U>(oxColour(9, 9, 9, 9));
        target->fill(oxColourValue(marker));
        // Starts at (4, 2) with 10 × 10 asked: 2 × 2 fit the source, and the
        // target at (1, 2) of a 5 × 3 image leaves room for one row.
        source->copyRectTo(4, 2, 10, 10, *target, 1, 2);
        for (uint32_t y = 0; y < target->height(); ++y)
            for (uint32_t x = 0; x < target->width(); ++x) {
                const bool inside = x >= 1 && x < 3 && y == 2;
                const U expected = inside ? oxConvertPixel<U, T>(source->at(x - 1 + 4, y - 2 + 2)) : marker;
                ASSERT_EQ(target->at(x, y), expected) << x << "," << y;
            }
        // Start points outside either image copy nothing.
        auto before = target->clone();
        source->copyRectTo(6, 0, 2, 2, *target, 0, 0);
        source->copyRectTo(-1, 0, 2, 2, *target, 0, 0);
        source->copyRectTo(0, 0, 2, 2, *target, 5, 0);
        source->copyRectTo(0, 0, 2, 2, *target, 0, -1);
        source->copyRectTo(0, 0, -2, 2, *target, 0, 0);
        EXPECT_TRUE(samePixels(*target, *before));
    };
    into(oxImageImpl<oxColour>::create(5, 3));
    into(oxImageImpl<oxColourHalf>::create(5, 3));
    into(oxImageImpl<oxColourUInt16>::create(5, 3));
}

TYPED_TEST(ImageOps, CopyRectWithinOneImageOverlapping)
{
    using T = TypeParam;
    auto image = patternImage<T>(8, 8);
    auto original = image->clone();
    // Down and right by one: rows must not be read after being overwritten.
    image->copyRectTo(0, 0, 7, 7, *image, 1, 1);
    auto& o = static_cast<oxImageImpl<T>&>(*original);
    for (uint32_t y = 1; y < 8; ++y)
        for (uint32_t x = 1; x < 8; ++x)
            ASSERT_EQ(image->at(x, y), o.at(x - 1, y - 1)) << x << "," << y;
    image = patternImage<T>(8, 8);
    image->copyRectTo(1, 1, 7, 7, *image, 0, 0);
    for (uint32_t y = 0; y < 7; ++y)
        for (uint32_t x = 0; x < 7; ++x)
            ASSERT_EQ(image->at(x, y), o.at(x + 1, y + 1)) << x << "," << y;
}

TYPED_TEST(ImageOps, Flips)
{
    using T = TypeParam;
    auto image = patternImage<T>(5, 3);
    auto original = image->clone();
    image->flipVertical();
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 5; ++x)
            ASSERT_EQ(image->at(x, y), (patternPixel<T>(x, 2 - y)));
    image->flipVertical();
    EXPECT_TRUE(samePixels(*image, *original));
    image->flipHorizontal();
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 5; ++x)
            ASSERT_EQ(image->at(x, y), (patternPixel<T>(4 - x, y)));
    image->flipHorizontal();
    EXPECT_TRUE(samePixels(*image, *original));

    auto oneRow = patternImage<T>(4, 1);
    auto oneRowBefore = oneRow->clone();
    oneRow->flipVertical();
    EXPECT_TRUE(samePixels(*oneRow, *oneRowBefore));
    oxImageImpl<T> empty;
    empty.flipVertical();
    empty.flipHorizontal();
    EXPECT_TRUE(empty.empty());
}

TYPED_TEST(ImageOps, RotationsOfNonSquarePictures)
{
    using T = TypeParam;
    const uint32_t w = 5, h = 3;
    auto image = patternImage<T>(w, h);
    image->setComment("turned");
    image->setReduction(2);
    image->setComponents(3);
    for (int code : {0, 1, 2, 3, 4, -1}) {
        auto turned = image->rotatedCopy(code);
        ASSERT_TRUE(turned);
        auto& t = static_cast<oxImageImpl<T>&>(*turned);
        const bool quarter = code == 1 || code == 3;
        ASSERT_EQ(t.width(), quarter ? h : w) << code;
        ASSERT_EQ(t.height(), quarter ? w : h) << code;
        EXPECT_EQ(t.comment(), "turned");
        EXPECT_EQ(t.reduction(), 2);
        EXPECT_EQ(t.components(), 3);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                uint32_t tx = x, ty = y;
                if (code == 1)
                    tx = t.width() - 1 - y, ty = x;
                else if (code == 2)
                    tx = w - 1 - x, ty = h - 1 - y;
                else if (code == 3)
                    tx = y, ty = w - 1 - x;
                ASSERT_EQ(t.at(tx, ty), image->at(x, y)) << "code " << code << " at " << x << "," << y;
            }
    }
    // Four quarter turns either way, and two half turns, give the original.
    for (int code : {1, 3}) {
        std::unique_ptr<oxImage> current = image->clone();
        for (int i = 0; i < 4; ++i)
            current = current->rotatedCopy(code);
        EXPECT_TRUE(samePixels(*current, *image)) << code;
    }
    EXPECT_TRUE(samePixels(*image->rotatedCopy(2)->rotatedCopy(2), *image));
    // One turn clockwise undoes three.
    EXPECT_TRUE(samePixels(*image->rotatedCopy(1)->rotatedCopy(3), *image));
}

TYPED_TEST(ImageOps, FillConvertsTheColourValue)
{
    using T = TypeParam;
    auto image = oxImageImpl<T>::create(3, 2);
    const oxColourFloat colour(0.5f, 1.0f, 0.0f, 0.25f);
    image->fill(oxColourValue(colour));
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            ASSERT_EQ(image->at(x, y), (oxConvertPixel<T>(colour)));
    // All bytes equal takes the bytewise path; the result must be the same.
    image->fill(oxColourValue(oxColour(0, 0, 0, 0)));
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            ASSERT_EQ(image->at(x, y), T());
}

// ---- Rotations and copies of large pictures run on several threads ------------

TEST(ImageOps, LargeOperationsIndependentOfThreads)
{
    auto image = oxImageUInt8::create(1001, 777);
    for (uint32_t y = 0; y < image->height(); ++y)
        for (uint32_t x = 0; x < image->width(); ++x)
            image->at(x, y) = oxColour(uint8_t(x), uint8_t(y), uint8_t(x * y), uint8_t(x + y));
    oxSetImageThreads(1);
    auto one = image->rotatedCopy(1);
    auto three = image->rotatedCopy(3);
    oxImageHalf halfOne;
    halfOne.convertFrom(*image, oxToneMapping::neutral());
    oxSetImageThreads(4);
    auto oneMany = image->rotatedCopy(1);
    auto threeMany = image->rotatedCopy(3);
    oxImageHalf halfMany;
    halfMany.convertFrom(*image, oxToneMapping::neutral());
    oxSetImageThreads(0);
    EXPECT_TRUE(samePixels(*one, *oneMany));
    EXPECT_TRUE(samePixels(*three, *threeMany));
    EXPECT_TRUE(samePixels(halfOne, halfMany));
    // Spot checks against the mapping itself.
    auto& o = static_cast<oxImageUInt8&>(*one);
    EXPECT_EQ(o.at(776 - 10, 20), image->at(20, 10));
    auto& t = static_cast<oxImageUInt8&>(*three);
    EXPECT_EQ(t.at(10, 1000 - 20), image->at(20, 10));
}

// ---- Rotation example and reduced copies --------------------------------------

TEST(RotatedCopy, ThreeByTwoExample)
{
    auto image = patternImage<oxColour>(3, 2);
    const oxColour topLeft = image->at(0, 0);
    auto quarter = image->rotatedCopy(1);
    auto& q = static_cast<oxImageUInt8&>(*quarter);
    ASSERT_EQ(q.width(), 2u);
    ASSERT_EQ(q.height(), 3u);
    EXPECT_EQ(q.at(1, 0), topLeft);
    auto half = image->rotatedCopy(2);
    EXPECT_EQ(static_cast<oxImageUInt8&>(*half).at(2, 1), topLeft);
    EXPECT_TRUE(samePixels(*image->rotatedCopy(0), *image));
    EXPECT_TRUE(samePixels(*image->rotatedCopy(4), *image));
}

TEST(ReducedCopy, TakesTheTopLeftPixelOfEachBlock)
{
    auto image = oxImageUInt8::create(1000, 600);
    for (uint32_t y = 0; y < 600; ++y)
        for (uint32_t x = 0; x < 1000; ++x)
            image->at(x, y) = oxColour(uint8_t(x), uint8_t(y), uint8_t(x >> 8), uint8_t(y >> 8));
    image->setComment("small");
    image->setComponents(3);
    image->setReduction(2);
    auto quarter = image->reducedCopy(4);
    ASSERT_TRUE(quarter);
    auto& q = static_cast<oxImageUInt8&>(*quarter);
    EXPECT_EQ(q.width(), 250u);
    EXPECT_EQ(q.height(), 150u);
    EXPECT_EQ(q.reduction(), 8);
    EXPECT_EQ(q.comment(), "small");
    EXPECT_EQ(q.components(), 3);
    EXPECT_EQ(q.at(3, 5), image->at(12, 20));
    EXPECT_EQ(q.at(249, 149), image->at(996, 596));

    auto tiny = image->reducedCopy(2000);
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny->width(), 1u);
    EXPECT_EQ(tiny->height(), 1u);
    EXPECT_EQ(static_cast<oxImageUInt8&>(*tiny).at(0, 0), image->at(0, 0));
    EXPECT_EQ(tiny->reduction(), 4000);

    auto same = image->reducedCopy(1);
    EXPECT_TRUE(samePixels(*same, *image));
    // The reduction saturates instead of overflowing.
    EXPECT_EQ(image->reducedCopy(2000000000)->reduction(), 2147483647);
}

TEST(ReducedCopy, FactorBelowOneReportsAndGivesNothing)
{
    auto image = patternImage<oxColour>(4, 4);
    MessageCapture capture;
    EXPECT_FALSE(image->reducedCopy(0));
    EXPECT_FALSE(image->reducedCopy(-3));
    ASSERT_EQ(capture.count(), 2u);
    EXPECT_EQ(capture.messages()[0].title, "Fatal Error");
    EXPECT_NE(capture.messages()[0].text.find("Invalid scaling factor"), std::string::npos);
    EXPECT_NE(capture.messages()[0].text.find("Condition: f > 0"), std::string::npos);
    // An empty picture has nothing to reduce (and nothing to read from).
    EXPECT_FALSE(oxImageUInt8().reducedCopy(2));
}

TEST(ReductionFactor, Cases)
{
    EXPECT_EQ(reductionFactor({1000, 600}, {300, 300}), 4);
    EXPECT_EQ(reductionFactor({1000, 600}, {300, 0}), 4);
    EXPECT_EQ(reductionFactor({600, 1000}, {0, 300}), 4);
    EXPECT_EQ(reductionFactor({1000, 600}, {0, 0}), 1);
    EXPECT_EQ(reductionFactor({1000, 600}, {-1, -1}), 1);
    EXPECT_EQ(reductionFactor({100, 100}, {300, 300}), 1);
    EXPECT_EQ(reductionFactor({300, 300}, {300, 300}), 1);
    EXPECT_EQ(reductionFactor({301, 10}, {300, 300}), 2);
    EXPECT_EQ(reductionFactor({600, 10}, {300, 300}), 2);
    EXPECT_EQ(reductionFactor({4000, 3000}, {1000, 1000}), 4);
    EXPECT_EQ(reductionFactor({10, 3000}, {1000, 1000}), 3);
    EXPECT_EQ(reductionFactor({0, 0}, {300, 300}), 1);
    // The larger of the two directions decides, and the result always fits.
    EXPECT_EQ(reductionFactor({1000, 5000}, {300, 300}), 17);
    EXPECT_EQ(reductionFactor({2147483647, 1}, {1, 1}), 2147483647);
}

TEST(ImageInformation, ComponentsAndReduction)
{
    oxImageUInt8 image;
    image.setComponents(3);
    EXPECT_EQ(image.components(), 3);
    image.setComponents(1);
    EXPECT_EQ(image.components(), 1);
    image.setReduction(0);
    EXPECT_EQ(image.reduction(), 1);
}

TEST(ImageInformationDeathTest, WrongComponentsEndTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto reportToStderr = [] {
        oxSetMessageHandler([](const oxMessageRequest& r) {
            std::fprintf(stderr, "%s\n", r.text.c_str());
            return oxMessageAnswer{};
        });
    };
    oxImageUInt8 image;
    EXPECT_EXIT(
        {
            reportToStderr();
            image.setComponents(0);
        },
        testing::ExitedWithCode(3), "wrong number of components!\nCondition: !\\(comp >= 1 && comp <= 4\\)");
    EXPECT_EXIT(
        {
            reportToStderr();
            image.setComponents(5);
        },
        testing::ExitedWithCode(3), "wrong number of components!");
}

TEST(ImageSave, WithoutHandlersFailsWithTheFileName)
{
    auto image = patternImage<oxColour>(2, 2);
    // Without the registry linked in the model refuses; with it, the registry
    // refuses a missing folder in its own way. Either names the file.
    try {
        image->saveToFile("/nonexistent/x.tga", oxToneMapping::neutral());
        ADD_FAILURE() << "saving into a missing folder succeeded";
    } catch (const oxImageException& e) {
        EXPECT_EQ(e.getFilename(), "/nonexistent/x.tga");
    }
}
