#include "../imagetest.h"

#include "oxengine/core/regularfile.h"
#include "oxengine/image/exr/exrlibrary.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Answers for ".fake" as configured (never transforming itself) and counts what it is asked to do.
class FakeHandler : public oxImageHandler {
public:
    explicit FakeHandler(bool save, oxSize size = oxSize(4, 3)) : m_save(save), m_size(size) {}
    std::string loadFilter() const override { return "Fake (*.fake)|*.fake|"; }
    std::string saveFilter() const override { return m_save ? loadFilter() : std::string(); }
    bool canLoad(const std::string& filename) const override { return hasExtension(filename, ".fake"); }
    bool canSave(const std::string& filename) const override { return m_save && canLoad(filename); }
    bool canTransform(const std::string&) const override { return false; }
    std::unique_ptr<oxImage> loadImage(const std::string&, const oxLoadOptions&) const override
    {
        ++loads;
        if (m_size.width == 0)
            return nullptr;
        return imageOf<oxColour>(m_size.width, m_size.height, [](uint32_t x, uint32_t y) { return oxColour(uint8_t(x), uint8_t(y), 0); });
    }
    void saveImage(const oxImage&, const std::string&, const oxToneMapping&) const override { ++saves; }
    void transformFile(const std::string&, const oxImageTransform&) const override { ++transforms; }

    mutable int loads = 0, saves = 0, transforms = 0;

private:
    bool m_save;
    oxSize m_size;
};

// A registry of the fakes; fake(r, i) is its i-th handler.
oxImageRegistry registryOf(std::unique_ptr<FakeHandler> a, std::unique_ptr<FakeHandler> b = nullptr)
{
    std::vector<std::unique_ptr<oxImageHandler>> list;
    list.push_back(std::move(a));
    if (b)
        list.push_back(std::move(b));
    return oxImageRegistry(std::move(list));
}

const FakeHandler& fake(const oxImageRegistry& r, size_t i)
{
    return static_cast<const FakeHandler&>(*r.handlers()[i]);
}

} // namespace

TEST(ImageRegistry, ChoiceRefusalsAndTransforms)
{
    const oxImageRegistry& registry = oxImageRegistry::instance();
    for (const char* name : {"a.JPG", "a.jpeg", "A.Jpeg", "/x/PHOTO.JPEG", ".jpg", "a.TGA", "b.png", "c.Gif", "d.bmp"})
        EXPECT_TRUE(registry.canLoad(name)) << name;
    for (const char* name : {"a.jpe", "a.jp", "x.psd", "ajpg", "a.jpg.txt", "folder.jpg/"})
        EXPECT_FALSE(registry.canLoad(name)) << name;
    // TGA, JPEG, PNG, the empty GIF/BMP filter, and EXR where OpenEXR is installed.
    const std::string exr = oxExrLibrary::process() ? "EXR images (*.exr)|*.exr|" : "";
    EXPECT_EQ(registry.saveFilterString(), "Truevision Targa Files (*.tga)|*.tga|JPEG images (*.jpg)|*.jpg|"
                                           "PNG images (*.png)|*.png|" + exr + "All Files (*.*)|*|");
    EXPECT_EQ(imageError([&] { registry.loadImage("/nowhere/x.psd", oxSize()); }), "unsupported image file type");
    try { // with the file named (a load's: the corpus test)
        registry.transformFile("x.psd", {});
        ADD_FAILURE();
    } catch (const oxImageException& e) {
        EXPECT_EQ(e.getMessage(), "file \"x.psd\": cannot transform this image");
    }

    // A missing file must not read as a damaged one, and a named pipe under a picture's name must not block:
    // every handler says why, nothing is created.
    TempDir dir;
    const std::string reason = " (" + oxSystemErrorText(ENOENT) + ")";
    for (const auto& [name, message] : std::initializer_list<std::pair<std::string, std::string>>{
             {"gone.jpg", "cannot open file."},
             {"gone.png", "decompression failed."},
             {"gone.tga", "cannot read from file."},
             {"gone.gif", "OLE image loading: Can't open file."},
             {"gone.exr", "cannot open EXR file"}}) {
        if (registry.canLoad(name)) { // not EXR without its library
            const std::string path = dir.file(name), pipe = dir.file("pipe-" + name); // clang 14 cannot capture a structured binding
            EXPECT_EQ(imageError([&] { registry.loadImage(path, oxSize()); }), message + reason);
            ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
            EXPECT_EQ(imageError([&] { registry.loadImage(pipe, oxSize()); }), message + " (not a regular file)");
            unlink(pipe.c_str());
        }
    }
    // The JPEG transformation's reason is its own test's.
    const std::string error = imageError([&] { registry.transformFile(dir.file("gone.png"), transformOf(0, "x")); });
    EXPECT_NE(error.find(reason), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    // The first handler serves; an empty load is refused.
    auto fakes = registryOf(std::make_unique<FakeHandler>(true), std::make_unique<FakeHandler>(true));
    fakes.saveImage(*fakes.loadImage("x.fake", oxSize()), "x.fake", oxToneMapping::neutral());
    EXPECT_EQ(fake(fakes, 0).loads + fake(fakes, 0).saves, 2);
    EXPECT_EQ(fake(fakes, 1).loads + fake(fakes, 1).saves, 0);
    auto empty = registryOf(std::make_unique<FakeHandler>(true, oxSize(0, 0)));
    EXPECT_EQ(imageError([&] { empty.loadImage("x.fake", oxSize()); }), "unsupported image file type");

    // The generic transformation passes over a handler that cannot save. A handler's own transformation is the
    // PNG comment tests', the generic way on a real file the TGA tests', no way at all the GIF handler's test.
    oxFilename::initialize();
    auto generic = registryOf(std::make_unique<FakeHandler>(false), std::make_unique<FakeHandler>(true));
    generic.transformFile("a.fake", {});
    EXPECT_EQ(fake(generic, 0).loads, 0);
    EXPECT_EQ(std::tuple(fake(generic, 1).loads, fake(generic, 1).saves, fake(generic, 1).transforms), std::tuple(1, 1, 0));
}

