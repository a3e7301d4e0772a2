// This program uses nothing of the handlers but oxImage::saveToFile, so
// nothing else pulls the registry into the link: the save must still reach
// the real handlers (no stand-in of the image model may win).
#include "oxengine/errors.h"
#include "oxengine/image/image.h"
#include "testsupport.h"

#include <gtest/gtest.h>

TEST(ImageSaveToFile, ReachesTheRegistry)
{
    TempDir dir;
    auto image = oxImageUInt8::create(20, 10);
    image->fill(oxColour(10, 200, 30));
    const std::string file = dir.file("saved.jpg");
    image->saveToFile(file, oxToneMapping::neutral());
    const std::string bytes = readFile(file);
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes.substr(0, 3), "\xFF\xD8\xFF");
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\xFF\xD9");
    if (runCommand("command -v djpeg >/dev/null") == 0) {
        std::string header;
        EXPECT_EQ(runCommand("djpeg -pnm " + file + " | head -c 9", &header), 0);
        EXPECT_EQ(header, "P6\n20 10\n");
    }
}

TEST(ImageSaveToFile, UnknownTypesAreRefusedWithTheFileName)
{
    auto image = oxImageUInt8::create(2, 2);
    try {
        image->saveToFile("/tmp/x.psd", oxToneMapping::neutral());
        ADD_FAILURE() << "saved an unknown type";
    } catch (const oxImageException& e) {
        EXPECT_EQ(e.oxException::getMessage(), "unsupported image file type");
        EXPECT_EQ(e.getFilename(), "/tmp/x.psd");
    }
}
