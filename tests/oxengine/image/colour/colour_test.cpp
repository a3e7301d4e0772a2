// Profiles, PNG colour chunks and CMYK against ImageMagick's conversions; untagged sRGB untouched.
#include "../imagetest.h"

#include "oxengine/image/colour/colourprofile.h"

#include <lcms2.h>

namespace {

// Adobe RGB (1998)-like: its primaries and white with gamma 2.2.
const std::string ADOBE_RGB_PROFILE = OX_TEST_DATA_DIR "/icc/adobe-like-rgb.icc";

// Colour bars and ramps, large flat areas so that JPEG keeps them.
const std::string SOURCE_PICTURE = "-size 64x64 gradient:red-blue \\( -size 64x64 gradient:lime-yellow \\) "
                                   "+append \\( -size 128x32 xc:'rgb(200,120,60)' \\) -append";

} // namespace

// A picture with an embedded profile, and a CMYK JPEG, come out as ImageMagick converts them to sRGB.
TEST(ColourManagement, TaggedAndCmykPicturesMatchImageMagick)
{
    if (runCommand("command -v convert >/dev/null") != 0)
        GTEST_SKIP() << "ImageMagick is needed";
    TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("adobe.icc"), readFile(ADOBE_RGB_PROFILE)));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsUInt32Number n = 0;
    cmsSaveProfileToMem(srgb, nullptr, &n);
    std::string bytes(n, '\0');
    cmsSaveProfileToMem(srgb, bytes.data(), &n);
    cmsCloseProfile(srgb);
    ASSERT_TRUE(writeFile(dir.file("srgb.icc"), bytes));
    const struct {
        const char *name, *made, *toSrgb; // the first -profile assigns the profile to the untagged pixels
        int components, tolerance;
    } cases[] = {
        {"tagged.jpg", "-depth 8 -quality 97 -profile adobe.icc", "-profile srgb.icc +profile '*' -depth 8", 3, 3},
        {"tagged.png", "-depth 8 -quality 97 -profile adobe.icc", "-profile srgb.icc +profile '*' -depth 8", 4, 3},
        {"cmyk.jpg", "-colorspace CMYK -quality 97", "-colorspace sRGB", 3, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(runCommand("cd '" + dir.path() + "' && convert " + SOURCE_PICTURE + " " + c.made + " " + c.name +
                             " && convert " + c.name + " " + c.toSrgb + " reference.png"),
                  0);
        const auto image = oxImageRegistry::instance().loadImage(dir.file(c.name), oxSize());
        const auto reference = oxImageRegistry::instance().loadImage(dir.file("reference.png"), oxSize());
        EXPECT_EQ(image->components(), c.components);
        ASSERT_TRUE(image->size() == reference->size() && image->sampleType() == ST_UINT8 &&
                    reference->sampleType() == ST_UINT8);
        const auto* a = static_cast<const oxColour*>(image->data());
        const auto* b = static_cast<const oxColour*>(reference->data());
        int worst = 0; // the largest channel difference
        for (size_t i = 0; i < size_t(image->width()) * image->height(); ++i)
            worst = std::max({worst, std::abs(a[i].r - b[i].r), std::abs(a[i].g - b[i].g), std::abs(a[i].b - b[i].b)});
        EXPECT_LE(worst, c.tolerance);
    }
}

TEST(ColourManagement, DisplayColoursAndProfiles)
{
    struct Case {
        const char* what;
        oxColourSource source;
        oxColour in, out;
    };
    oxColourSource linear, p3, srgbCodes, ink, invertedInk;
    linear.gamma = 1.0;
    p3.cicpPrimaries = 12, p3.cicpTransfer = 13;
    srgbCodes.cicpPrimaries = 1, srgbCodes.cicpTransfer = 13;
    ink.cmyk = true;
    invertedInk.cmyk = invertedInk.inverted = true;
    const Case cases[] = {
        {"untagged", oxColourSource(), {12, 200, 77, 90}, {12, 200, 77, 90}},
        {"cICP sRGB", srgbCodes, {12, 200, 77, 90}, {12, 200, 77, 90}},
        {"linear gamma", linear, {128, 128, 128, 40}, {188, 188, 188, 40}},
        {"P3 green", p3, {0, 255, 0, 255}, {0, 255, 0, 255}}, // beyond sRGB: clipped to its green
        {"plain CMYK", ink, {0, 255, 0, 128}, {127, 0, 127, 255}},
        {"Adobe CMYK", invertedInk, {255, 0, 255, 127}, {127, 0, 127, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto image = oxImageUInt8::create(2, 1);
        image->at(0, 0) = image->at(1, 0) = c.in;
        oxConvertToDisplay(*image, c.source);
        const oxColour got = image->at(1, 0);
        EXPECT_NEAR(got.r, c.out.r, 2);
        EXPECT_NEAR(got.g, c.out.g, 2);
        EXPECT_NEAR(got.b, c.out.b, 2);
        EXPECT_EQ(got.a, c.out.a);
    }
    // A display profile applies to untagged pictures.
    const std::string adobe = readFile(ADOBE_RGB_PROFILE);
    oxSetDisplayProfile(std::vector<unsigned char>(adobe.begin(), adobe.end()));
    auto image = oxImageUInt16::create(1, 1);
    image->at(0, 0) = oxColourUInt16(65535, 0, 0, 65535);
    oxConvertToDisplay(*image, oxColourSource());
    oxSetDisplayProfile({}); // back to sRGB for the other tests
    // sRGB's red lies inside Adobe RGB: less than full red there.
    EXPECT_NEAR(image->at(0, 0).r, 219 * 257, 2 * 257);
    EXPECT_LT(image->at(0, 0).g, 20 * 257);
    EXPECT_EQ(image->at(0, 0).a, 65535);
    oxSetDisplayProfile({'n', 'o', 't', ' ', 'I', 'C', 'C'}); // unusable: taken as sRGB, the pixels stay
    image->at(0, 0) = oxColourUInt16(65535, 0, 0, 65535);
    oxConvertToDisplay(*image, oxColourSource());
    oxSetDisplayProfile({});
    EXPECT_EQ(image->at(0, 0), oxColourUInt16(65535, 0, 0, 65535));

    // Broken profiles found by fuzzing leave or convert the pixels without fault. no-transform: Little CMS reads
    // it but makes no transform from it. nan-curve: a curve that evaluates to NaN, which indexed the fast path's
    // table (the sanitizer run catches it).
    for (const char* name : {"no-transform", "nan-curve"}) {
        SCOPED_TRACE(name);
        const std::string bytes = readFile(std::string(OX_TEST_DATA_DIR) + "/icc/" + name + ".icc");
        ASSERT_FALSE(bytes.empty());
        oxColourSource source;
        source.icc.assign(bytes.begin(), bytes.end());
        auto image = oxImageUInt8::create(2, 2);
        image->fill(oxColourValue(oxColour(10, 20, 30, 40)));
        oxConvertToDisplay(*image, source);
        EXPECT_EQ(image->at(1, 1).a, 40);
        if (std::string(name) == "no-transform") {
            EXPECT_EQ(image->at(1, 1), oxColour(10, 20, 30, 40));
        }
    }
}
