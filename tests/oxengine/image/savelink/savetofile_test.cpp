// Only oxImage::saveToFile links the registry in: the save must reach the real handlers, not a stand-in.
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
}
