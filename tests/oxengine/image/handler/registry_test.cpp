#include "oxengine/errors.h"
#include "oxengine/files.h"
#include "oxengine/image/handler.h"
#include "oxengine/image/replacefile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>

namespace {

template <class Fn> std::string imageError(Fn&& fn, std::string* filename = nullptr)
{
    try {
        fn();
    } catch (const oxImageException& e) {
        if (filename)
            *filename = e.getFilename();
        return e.oxException::getMessage();
    }
    return std::string();
}

// A made-up format the tests can read and write: "RAWT", width, height and
// the comment's length as 32-bit numbers, the comment, then RGBA pixels.
class RawHandler : public oxImageHandler {
public:
    explicit RawHandler(std::string tag = "raw") : m_tag(std::move(tag)) {}

    std::string loadFilter() const override { return "Raw (*.rawt)|*.rawt|"; }
    bool canLoad(const std::string& filename) const override { return hasExtension(filename, ".rawt"); }
    bool canTransform(const std::string&) const override { return false; }

    std::unique_ptr<oxImage> loadImage(const std::string& filename, const oxSize&) const override
    {
        ++loads;
        std::ifstream in(filename, std::ios::binary);
        char magic[4];
        uint32_t header[3];
        if (!in.read(magic, 4) || std::memcmp(magic, "RAWT", 4) != 0 ||
            !in.read(reinterpret_cast<char*>(header), sizeof header))
            return nullptr;
        auto image = oxImageUInt8::create(header[0], header[1]);
        std::string comment(header[2], '\0');
        in.read(comment.data(), std::streamsize(comment.size()));
        in.read(static_cast<char*>(image->data()), std::streamsize(image->byteSize()));
        if (!in)
            return nullptr;
        image->setComment(comment + (m_tag == "raw" ? "" : "/" + m_tag));
        return image;
    }

    void saveImage(const oxImage& image, const std::string& filename, const oxToneMapping&) const override
    {
        ++saves;
        auto rgba = oxImageUInt8::create(image.width(), image.height());
        image.copyRectTo(0, 0, int(image.width()), int(image.height()), *rgba, 0, 0);
        oxReplaceFile(filename, [&](std::FILE* f, const std::string&) {
            const uint32_t header[3] = {image.width(), image.height(), uint32_t(image.comment().size())};
            std::fwrite("RAWT", 1, 4, f);
            std::fwrite(header, sizeof header, 1, f);
            std::fwrite(image.comment().data(), 1, image.comment().size(), f);
            std::fwrite(rgba->data(), 1, rgba->byteSize(), f);
        });
    }

    void transformFile(const std::string& filename, const oxImageTransform&) const override
    {
        throw oxImageException("transform not supported", filename);
    }

    mutable int loads = 0, saves = 0;

private:
    std::string m_tag;
};

// Answers for ".fake" as configured and records what was asked of it.
class FakeHandler : public oxImageHandler {
public:
    FakeHandler(bool save, bool transform, oxSize size = oxSize(4, 3))
        : m_save(save), m_transform(transform), m_size(size)
    {
    }
    std::string loadFilter() const override { return "Fake (*.fake)|*.fake|"; }
    std::string saveFilter() const override { return m_save ? loadFilter() : std::string(); }
    bool canLoad(const std::string& filename) const override { return hasExtension(filename, ".fake"); }
    bool canSave(const std::string& filename) const override { return m_save && canLoad(filename); }
    bool canTransform(const std::string& filename) const override { return m_transform && canLoad(filename); }
    std::unique_ptr<oxImage> loadImage(const std::string&, const oxSize& maximum) const override
    {
        lastMaximum = maximum;
        if (m_size.width == 0)
            return nullptr;
        auto image = oxImageUInt8::create(uint32_t(m_size.width), uint32_t(m_size.height));
        for (uint32_t y = 0; y < image->height(); ++y)
            for (uint32_t x = 0; x < image->width(); ++x)
                image->at(x, y) = oxColour(uint8_t(x), uint8_t(y), 0);
        return image;
    }
    void saveImage(const oxImage&, const std::string&, const oxToneMapping&) const override { ++saves; }
    void transformFile(const std::string&, const oxImageTransform&) const override { ++transforms; }

    mutable int saves = 0, transforms = 0;
    mutable oxSize lastMaximum;

private:
    bool m_save, m_transform;
    oxSize m_size;
};

template <class... H> oxImageRegistry registryOf(std::unique_ptr<H>... handlers)
{
    std::vector<std::unique_ptr<oxImageHandler>> list;
    (list.push_back(std::move(handlers)), ...);
    return oxImageRegistry(std::move(list));
}

std::unique_ptr<oxImageUInt8> smallImage(uint32_t w, uint32_t h)
{
    auto image = oxImageUInt8::create(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            image->at(x, y) = oxColour(uint8_t(10 * x), uint8_t(10 * y), uint8_t(x + y), 255);
    return image;
}

} // namespace

TEST(ImageHandler, ExtensionTestIgnoresCase)
{
    EXPECT_TRUE(oxImageHandler::hasExtension("PHOTO.JPEG", ".jpeg"));
    EXPECT_TRUE(oxImageHandler::hasExtension("/a/b.Png", ".png"));
    EXPECT_TRUE(oxImageHandler::hasExtension(".png", ".png")); // the whole name is the extension
    EXPECT_FALSE(oxImageHandler::hasExtension("png", ".png"));
    EXPECT_FALSE(oxImageHandler::hasExtension("a.png.txt", ".png"));
    EXPECT_FALSE(oxImageHandler::hasExtension("", ".png"));
}

TEST(ImageRegistry, ProcessRegistryServesJpegFiles)
{
    const oxImageRegistry& registry = oxImageRegistry::instance();
    EXPECT_EQ(&registry, &oxImageRegistry::instance());
    for (const char* name : {"a.JPG", "a.jpeg", "A.Jpeg"})
        EXPECT_TRUE(registry.canLoad(name)) << name;
    for (const char* name : {"a.jpe", "a.jp", "x.psd", "folder.jpg/"})
        EXPECT_FALSE(registry.canLoad(name)) << name;
    EXPECT_EQ(registry.saveFilterString(), "JPEG images (*.jpg)|*.jpg|All Files (*.*)|*|");

    std::string filename;
    EXPECT_EQ(imageError([&] { registry.loadImage("/nowhere/x.psd", oxSize()); }, &filename),
              "unsupported image file type");
    EXPECT_EQ(filename, "/nowhere/x.psd");
    EXPECT_EQ(imageError([&] { registry.saveImage(*smallImage(2, 2), "x.psd", oxToneMapping::neutral()); }),
              "unsupported image file type");
    EXPECT_EQ(imageError([&] { registry.transformFile("x.psd", oxImageTransform()); }),
              "cannot transform this image");
}

TEST(ImageRegistry, TheFirstHandlerThatAnswersIsUsed)
{
    TempDir dir;
    auto registry = registryOf(std::make_unique<RawHandler>("first"), std::make_unique<RawHandler>("second"));
    const std::string file = dir.file("a.RAWT");
    auto image = smallImage(3, 2);
    image->setComment("c");
    registry.saveImage(*image, file, oxToneMapping::neutral());
    EXPECT_EQ(static_cast<const RawHandler&>(*registry.handlers()[0]).saves, 1);
    EXPECT_EQ(static_cast<const RawHandler&>(*registry.handlers()[1]).saves, 0);
    EXPECT_EQ(registry.loadImage(file, oxSize())->comment(), "c/first");
    EXPECT_EQ(registry.saveFilterString(), "Raw (*.rawt)|*.rawt|Raw (*.rawt)|*.rawt|All Files (*.*)|*|");
}

TEST(ImageRegistry, LoadReducesToTheMaximum)
{
    auto registry = registryOf(std::make_unique<FakeHandler>(true, false, oxSize(4000, 3000)));
    const auto& fake = static_cast<const FakeHandler&>(*registry.handlers()[0]);
    auto image = registry.loadImage("big.fake", oxSize(1000, 1000));
    EXPECT_EQ(fake.lastMaximum, oxSize(1000, 1000)); // the handler may decode smaller itself
    EXPECT_EQ(image->size(), oxSize(1000, 750));
    EXPECT_EQ(image->reduction(), 4);
    EXPECT_EQ(static_cast<oxImageUInt8&>(*image).at(1, 1), oxColour(4, 4, 0)); // every 4th pixel
    EXPECT_EQ(registry.loadImage("big.fake", oxSize())->size(), oxSize(4000, 3000));
    EXPECT_EQ(registry.loadImage("big.fake", oxSize(5000, 0))->reduction(), 1);

    auto none = registryOf(std::make_unique<FakeHandler>(true, false, oxSize(0, 0)));
    EXPECT_EQ(imageError([&] { none.loadImage("x.fake", oxSize()); }), "unsupported image file type");
}

TEST(ImageRegistry, JpegDecodesSmallerAndTheRegistryReducesTheRest)
{
    TempDir dir;
    const std::string file = dir.file("4000x3000.jpg");
    auto source = oxImageUInt8::create(4000, 3000);
    source->fill(oxColour(200, 100, 50));
    source->saveToFile(file, oxToneMapping::neutral());
    const oxImageRegistry& registry = oxImageRegistry::instance();
    auto quarter = registry.loadImage(file, oxSize(1000, 1000));
    EXPECT_EQ(quarter->size(), oxSize(1000, 750));
    EXPECT_EQ(quarter->reduction(), 4);
    auto small = registry.loadImage(file, oxSize(300, 300));
    EXPECT_EQ(small->size(), oxSize(250, 187));
    EXPECT_EQ(small->reduction(), 16);
}

TEST(ImageRegistry, TransformChoosesOwnGenericOrNone)
{
    auto own = registryOf(std::make_unique<FakeHandler>(true, true));
    own.transformFile("a.fake", oxImageTransform());
    EXPECT_EQ(static_cast<const FakeHandler&>(*own.handlers()[0]).transforms, 1);

    // A handler that can only load is passed over; none left: refused.
    auto readOnly = registryOf(std::make_unique<FakeHandler>(false, false));
    EXPECT_EQ(imageError([&] { readOnly.transformFile("a.fake", oxImageTransform()); }),
              "cannot transform this image");

    // Load, change and save with the first handler that can save.
    auto generic = registryOf(std::make_unique<FakeHandler>(false, false), std::make_unique<FakeHandler>(true, false));
    oxFilename::initialize("test");
    generic.transformFile("a.fake", oxImageTransform());
    EXPECT_EQ(static_cast<const FakeHandler&>(*generic.handlers()[0]).saves, 0);
    EXPECT_EQ(static_cast<const FakeHandler&>(*generic.handlers()[1]).saves, 1);
}

TEST(ImageRegistry, GenericTransformRotatesSetsTheCommentAndKeepsTheDate)
{
    oxFilename::initialize("test");
    TempDir dir;
    const RawHandler raw;
    const std::string file = dir.file("p.rawt");
    auto image = smallImage(3, 2);
    image->setComment("old");
    raw.saveImage(*image, file, oxToneMapping::neutral());
    ASSERT_TRUE(oxFilename(file).setModificationDate(1e9));

    oxImageTransform change;
    change.rotation = 1;
    change.setComment = true;
    change.comment = "new";
    genericTransform(raw, file, change);
    auto turned = raw.loadImage(file, oxSize());
    EXPECT_EQ(turned->size(), oxSize(2, 3));
    EXPECT_EQ(turned->comment(), "new");
    EXPECT_EQ(static_cast<oxImageUInt8&>(*turned).at(1, 0), image->at(0, 0)); // clockwise
    EXPECT_DOUBLE_EQ(oxFilename(file).modificationDate(), 1e9);

    ASSERT_TRUE(writeFile(file, "not raw"));
    EXPECT_EQ(imageError([&] { genericTransform(raw, file, change); }), "cannot load this image");
    EXPECT_EQ(readFile(file), "not raw");
}

TEST(ImageOptions, AbsentNamesGiveTheLowestInteger)
{
    EXPECT_EQ(imageOption("Quality"), -2147483648);
    EXPECT_EQ(imageOption("Quality"), IMAGE_OPTION_ABSENT);
    setImageOption("Quality", 75);
    EXPECT_EQ(imageOption("Quality"), 75);
    EXPECT_EQ(imageOption("quality"), IMAGE_OPTION_ABSENT); // names are exact
    setImageOption("Quality", 0);
    EXPECT_EQ(imageOption("Quality"), 0);
    removeImageOption("Quality");
    EXPECT_EQ(imageOption("Quality"), IMAGE_OPTION_ABSENT);
}

TEST(ImageFilenameFilter, ListsLoadablePicturesOnly)
{
    oxFilename::initialize("test");
    TempDir dir;
    for (const char* name : {"a.jpg", "B.JPEG", "c.png", "d.txt", "e.jpe", ".hidden.jpg"})
        ASSERT_TRUE(writeFile(dir.file(name), "x"));
    ASSERT_EQ(mkdir(dir.file("folder.jpg").c_str(), 0755), 0);
    const oxImageFilenameFilter filter;
    std::vector<std::string> names;
    for (const oxFilename& f : oxFilename(dir.path() + "/").listDirectory(&filter))
        names.push_back(f.name());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"B.JPEG", "a.jpg"}));
}
