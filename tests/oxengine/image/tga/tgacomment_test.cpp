// The comment of a TGA file lives in its image ID field.
#include "../imagetest.h"

#include "oxengine/image/tga/tgahandler.h"

namespace {

std::string header(int idLength)
{
    // 1 × 1, 24 bits, top row first.
    return {char(idLength), 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0x20};
}

std::string commentOf(const std::string& file)
{
    return oxTgaHandler().loadImage(file, oxSize())->comment();
}

} // namespace

TEST(TgaComment, TheIdFieldHoldsTheComment)
{
    TempDir dir;
    const std::string f = dir.file("c.tga");
    auto image = patternImage<oxColour>(1, 1);
    image->setComponents(3);
    image->setComment("Ωmega sky");
    oxTgaHandler().saveImage(*image, f, oxToneMapping::neutral());
    EXPECT_EQ(readFile(f).substr(0, 18 + 10), header(10) + "Ωmega sky");
    EXPECT_EQ(commentOf(f), "Ωmega sky");
    // Longer than the field: cut at a whole character.
    std::string accents;
    for (int i = 0; i < 300; ++i)
        accents += "é";
    image->setComment(accents);
    oxTgaHandler().saveImage(*image, f, oxToneMapping::neutral());
    EXPECT_EQ(commentOf(f), accents.substr(0, 254));
    // Other writers' ID fields: NUL-ended text, Latin-1, binary data (no comment).
    const std::string pixel = "\x10\x20\x30";
    for (const auto& [id, comment] : {std::pair<std::string, std::string>{std::string("Camera 1\0\0", 10), "Camera 1"},
                                      {"caf\xe9", "café"},
                                      {std::string("\x01\x02\xff\x00", 4), ""}}) {
        ASSERT_TRUE(writeFile(f, header(int(id.size())) + id + pixel));
        EXPECT_EQ(commentOf(f), comment);
    }
}

TEST(TgaComment, ATransformStoresTheCommentOrRefusesOneTooLong)
{
    oxFilename::initialize("test");
    TempDir dir;
    const std::string f = dir.file("t.tga");
    ASSERT_TRUE(writeFile(f, header(0) + "\x10\x20\x30"));
    oxImageTransform comment;
    comment.setComment = true;
    comment.comment = "T";
    oxImageRegistry::instance().transformFile(f, comment);
    EXPECT_EQ(commentOf(f), "T");
    const std::string before = readFile(f);
    comment.comment = std::string(256, 'x');
    EXPECT_EQ(imageError([&] { oxImageRegistry::instance().transformFile(f, comment); }),
              "a TGA file holds a comment of at most 255 bytes, not 256.");
    EXPECT_EQ(readFile(f), before);
}
