// The start picture's decode begun before the window: handed over once, to the picture it was begun for.
#include "app/prepare/headstart.h"
#include "app/prepare/prepare.h"

#include "oxengine/core/errors.h"
#include "oxengine/image/handler.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

namespace {

struct HeadStart : testing::Test {
    TempDir dir;
    std::string jpeg = dir.file("photo.jpg");
    const oxSize cover{1920, 1080};
    const oxSize box{2 * 1920 - 1, 2 * 1080 - 1}; // what a first look covering that asks for

    void SetUp() override
    {
        auto image = imageOf<oxColour>(1600, 1200, [](uint32_t x, uint32_t y) { return oxColour(uint8_t(x), uint8_t(y), 9); });
        image->setComponents(3);
        oxImageRegistry::instance().saveImage(*image, jpeg, oxToneMapping::neutral());
    }
};

} // namespace

TEST_F(HeadStart, HandsItsDecodeOnlyToTheFileAndSizeItWasStartedFor)
{
    struct Case {
        std::string file;
        oxSize maximum;
        bool handed;
    };
    for (const Case& c : {Case{jpeg, box, true}, Case{jpeg, {800, 600}, false}, Case{dir.file("other.jpg"), box, false}}) {
        SCOPED_TRACE(c.file + " " + std::to_string(c.maximum.width));
        DecodeHeadStart head;
        startFirstLookDecode(head, jpeg, cover.width, cover.height);
        std::unique_ptr<oxImage> image = head.take(c.file, c.maximum);
        EXPECT_EQ(bool(image), c.handed);
        if (image) {
            EXPECT_EQ(image->size(), oxSize(1600, 1200));
        }
        EXPECT_FALSE(head.take(jpeg, box)) << "the head start ends with the first question";
    }
    // A format decoded at the largest texture size is not started early.
    DecodeHeadStart head;
    const std::string png = dir.file("photo.png");
    oxImageRegistry::instance().saveImage(*oxImageRegistry::instance().loadImage(jpeg, oxLoadOptions()), png,
                                          oxToneMapping::neutral());
    startFirstLookDecode(head, png, cover.width, cover.height);
    EXPECT_FALSE(head.take(png, box));
}

TEST_F(HeadStart, BrokenPictureThrowsWhatItsDecodeThrew)
{
    ASSERT_TRUE(writeFile(jpeg, std::string("\xFF\xD8\xFF\xE0 not a picture after all", 28)));
    const std::string direct = thrownMessage([&] { oxImageRegistry::instance().loadImage(jpeg, oxLoadOptions(box)); });
    ASSERT_FALSE(direct.empty());
    DecodeHeadStart head;
    startFirstLookDecode(head, jpeg, cover.width, cover.height);
    EXPECT_EQ(thrownMessage([&] { head.take(jpeg, box); }), direct);
}

TEST_F(HeadStart, CancelledWaitStopsTheDecode)
{
    DecodeHeadStart head;
    startFirstLookDecode(head, jpeg, cover.width, cover.height);
    oxCancelToken cancel;
    cancel.cancel();
    EXPECT_THROW(head.take(jpeg, box, cancel), oxCancelled);
    EXPECT_FALSE(head.take(jpeg, box));
}
