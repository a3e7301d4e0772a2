// The loader's file operations on real JPEG files (rotation, conversion,
// copy and move) and its log; the preparation is the GL-free double.
#include "loadertest.h"

#include "oxengine/image/image.h"

#include <regex>
#include <sys/stat.h>

namespace {

LoaderTestHome g_home;

// Left half red, right half blue.
void writeJpeg(const std::string& path, uint32_t width, uint32_t height)
{
    auto image = oxImageUInt8::create(width, height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            image->row(y)[x] = x < width / 2 ? oxColour(255, 0, 0) : oxColour(0, 0, 255);
    oxImageRegistry::instance().saveImage(*image, path, oxToneMapping::neutral());
}

oxSize sizeOf(const std::string& path)
{
    return oxImageRegistry::instance().loadImage(path, oxSize())->size();
}

// Red of the pixel in the middle of the left edge.
int leftRed(const std::string& path)
{
    auto image = oxImageRegistry::instance().loadImage(path, oxSize());
    const auto* pixels = static_cast<const oxColour*>(image->data());
    return pixels[size_t(image->height() / 2) * image->width() + 2].r;
}

struct Dimensions {
    int width, height;
    bool operator==(const Dimensions&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Dimensions& d)
{
    return os << d.width << 'x' << d.height;
}
Dimensions dims(LoadedPicture* p)
{
    oxLock lock(p->lock);
    return {p->imageWidth, p->imageHeight};
}

struct FileRig : LoaderRig {
    FileRig()
    {
        picture = dir.file("picture.jpg");
        writeJpeg(picture, 64, 32);
        list = {picture};
    }
    ~FileRig() { loader.reset(); } // before the folder goes
    // Runs queued work to its end: the notify code is the sign.
    bool notified(unsigned code)
    {
        return waitUntil([&] {
            for (unsigned c : host.commands())
                if (c == code)
                    return true;
            return false;
        });
    }
    TempDir dir;
    std::string picture;
};

} // namespace

TEST(LoaderFileOperations, RotationRewritesTheJpegAndReloadsPictureAndThumbnail)
{
    ThreadSafeMessages boxes;
    FileRig rig;
    rig.loader->setThumbnailSize(16);
    LoadedPicture* shown = rig.loader->acquirePicture(rig.picture);
    rig.loader->updateThumbnails();
    ASSERT_TRUE(rig.idle());
    LoadedPicture* thumb = rig.loader->thumbnail(rig.picture);
    ASSERT_NE(thumb, nullptr);
    EXPECT_EQ(dims(shown), (Dimensions{64, 32}));
    EXPECT_EQ(dims(thumb), (Dimensions{16, 8}));
    const std::string textBefore = shown->text;
    const int redisplays = rig.host.redisplays.load();

    oxImageTransform quarter;
    quarter.rotation = 1;
    rig.loader->transformPicture(rig.picture, quarter);
    ASSERT_TRUE(rig.idle());
    EXPECT_EQ(sizeOf(rig.picture), oxSize(32, 64));
    // The same records, filled again from the rewritten file.
    EXPECT_EQ(dims(shown), (Dimensions{32, 64}));
    EXPECT_EQ(rig.loader->thumbnail(rig.picture), thumb);
    EXPECT_EQ(dims(thumb), (Dimensions{8, 16}));
    EXPECT_NE(shown->text, textBefore);
    EXPECT_TRUE(shown->inUse);
    EXPECT_GT(rig.host.redisplays.load(), redisplays);
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();
    rig.loader->releasePicture(shown);
}

TEST(LoaderFileOperations, QueuedRotationsSurviveLoadsAndUnloadsAndAllRun)
{
    FileRig rig;
    ASSERT_EQ(leftRed(rig.picture) > 200, true);
    rig.hold();
    oxImageTransform quarter;
    quarter.rotation = 1;
    rig.loader->transformPicture(rig.picture, quarter);
    rig.loader->transformPicture(rig.picture, quarter);
    rig.loader->enqueueCommand(CMD_LOAD, rig.picture);
    rig.loader->enqueueCommand(CMD_UNLOAD, rig.picture);
    EXPECT_EQ(describe(rig.loader->queuedCommands()),
              (std::vector<std::string>{"transform:" + rig.picture, "transform:" + rig.picture,
                                        "unload:" + rig.picture}));
    rig.fill.release("gate");
    ASSERT_TRUE(rig.idle());
    // Two quarter turns: the same size, red now on the right.
    EXPECT_EQ(sizeOf(rig.picture), oxSize(64, 32));
    EXPECT_LT(leftRed(rig.picture), 60);
}

TEST(LoaderFileOperations, FailedTransformIsShownAndReloadsNothing)
{
    ThreadSafeMessages boxes;
    FileRig rig;
    LoadedPicture* shown = rig.loader->acquirePicture(rig.picture);
    ASSERT_TRUE(rig.idle());
    const int fills = rig.fill.callsFor(rig.picture);
    oxImageTransform quarter;
    quarter.rotation = 1;
    const std::string damaged = rig.dir.file("damaged.jpg");
    ASSERT_TRUE(writeFile(damaged, std::string("\xFF\xD8\xFF\xDB broken", 11)));
    rig.loader->transformPicture(damaged, quarter);
    rig.loader->transformPicture(rig.dir.file("missing.jpg"), quarter);
    ASSERT_TRUE(rig.idle());
    ASSERT_EQ(boxes.count(), 2u) << boxes.texts();
    for (const auto& m : boxes.messages()) {
        EXPECT_EQ(m.title, "Pictavo");
        EXPECT_EQ(m.icon, MI_ERROR);
        EXPECT_EQ(m.buttons, MB_OK);
        EXPECT_EQ(m.text.rfind("Error editing picture:\n", 0), 0u) << m.text;
    }
    EXPECT_EQ(readFile(damaged), std::string("\xFF\xD8\xFF\xDB broken", 11)); // left as it was
    EXPECT_EQ(rig.fill.callsFor(rig.picture), fills);
    EXPECT_TRUE(rig.loader->isRunning());
    rig.loader->releasePicture(shown);
}

TEST(LoaderFileOperations, ConversionScalesSavesAndNotifies)
{
    ThreadSafeMessages boxes;
    FileRig rig;
    writeJpeg(rig.picture, 400, 300);
    ASSERT_TRUE(rig.loader->setLogging(true));
    struct Case {
        int width, height;
        oxSize expected;
    } cases[] = {{-50, 0, {200, 150}}, {800, 0, {800, 600}}, {0, 0, {400, 300}}, {0, -25, {100, 75}}, {40, 10, {40, 10}}};
    unsigned code = 600;
    for (const Case& c : cases) {
        const std::string target = rig.dir.file("out" + std::to_string(code) + ".jpg");
        rig.loader->convertPicture(rig.picture, target, c.width, c.height, oxToneMapping::neutral(), int(code));
        ASSERT_TRUE(rig.notified(code));
        EXPECT_EQ(sizeOf(target), c.expected) << c.width << "," << c.height;
        ++code;
    }
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();
    const std::string log = readFile(LoaderLog::path());
    EXPECT_NE(log.find("Convert " + rig.picture + " to " + rig.dir.file("out600.jpg") +
                       ", size=(-50,0)  -> Resizing from (400,300) to (200,150).: "),
              std::string::npos)
        << log;

    // Failures: an unwritable format, a size of nothing, a missing source.
    // Each is shown; the source stays; the notify code still comes.
    const std::string before = readFile(rig.picture);
    rig.loader->convertPicture(rig.picture, rig.dir.file("out.xyz"), 0, 0, oxToneMapping::neutral(), 700);
    rig.loader->convertPicture(rig.picture, rig.dir.file("tiny.jpg"), 1, 0, oxToneMapping::neutral(), 701);
    rig.loader->convertPicture(rig.dir.file("none.jpg"), rig.dir.file("none2.jpg"), 0, 0, oxToneMapping::neutral(),
                               702);
    ASSERT_TRUE(rig.notified(702));
    ASSERT_TRUE(rig.notified(700) && rig.notified(701));
    ASSERT_EQ(boxes.count(), 3u) << boxes.texts();
    for (const auto& m : boxes.messages())
        EXPECT_EQ(m.text.rfind("Error editing picture:\n", 0), 0u) << m.text;
    EXPECT_NE(boxes.messages()[1].text.find("cannot be resized to 1 x 0 pixels"), std::string::npos)
        << boxes.messages()[1].text;
    EXPECT_EQ(readFile(rig.picture), before);
    EXPECT_FALSE(oxFilename(rig.dir.file("out.xyz")).exists());
    EXPECT_FALSE(oxFilename(rig.dir.file("tiny.jpg")).exists());
    rig.loader->setLogging(false);
    unlink(LoaderLog::path().c_str());
}

TEST(LoaderFileOperations, CopyAndMoveKeepTheSourceWhenTheyFail)
{
    FileRig rig;
    const std::string bytes = readFile(rig.picture);
    const std::string folder = rig.dir.file("target");
    mkdir(folder.c_str(), 0755);
    {
        ThreadSafeMessages boxes;
        rig.loader->copyMovePicture(rig.picture, folder, true, 801);
        ASSERT_TRUE(rig.notified(801));
        EXPECT_EQ(readFile(folder + "/picture.jpg"), bytes);
        EXPECT_EQ(readFile(rig.picture), bytes);
        EXPECT_EQ(boxes.count(), 0u) << boxes.texts();
    }
    {
        // The user declines to replace the copy made before: silent, both stay.
        ThreadSafeMessages boxes(MB_NO);
        ASSERT_TRUE(writeFile(folder + "/picture.jpg", "older"));
        rig.loader->copyMovePicture(rig.picture, folder, true, 802);
        ASSERT_TRUE(rig.notified(802));
        ASSERT_EQ(boxes.count(), 1u) << boxes.texts(); // only the question
        EXPECT_EQ(boxes.messages()[0].buttons, MB_YES | MB_NO);
        EXPECT_EQ(readFile(folder + "/picture.jpg"), "older");
        EXPECT_EQ(readFile(rig.picture), bytes);
    }
    {
        // A target that cannot be made (its folder is a file, or missing):
        // reported with the source's name, the source kept.
        ThreadSafeMessages boxes;
        const std::string notAFolder = rig.dir.file("plain");
        ASSERT_TRUE(writeFile(notAFolder, "x"));
        rig.loader->copyMovePicture(rig.picture, notAFolder + "/picture.jpg", true, 803);
        rig.loader->copyMovePicture(rig.picture, rig.dir.file("missing/picture.jpg"), false, 804);
        ASSERT_TRUE(rig.notified(804));
        ASSERT_EQ(boxes.count(), 2u) << boxes.texts();
        for (const auto& m : boxes.messages()) {
            EXPECT_EQ(m.title, "Pictavo");
            EXPECT_EQ(m.icon, MI_ERROR);
            EXPECT_EQ(m.text.rfind("Error processing image file:\n" + rig.picture, 0), 0u) << m.text;
        }
        EXPECT_EQ(readFile(rig.picture), bytes);
    }
    {
        // A move that works takes the file away from its place.
        ThreadSafeMessages boxes;
        const std::string moved = rig.dir.file("moved.jpg");
        rig.loader->copyMovePicture(rig.picture, moved, false, 805);
        ASSERT_TRUE(rig.notified(805));
        EXPECT_EQ(readFile(moved), bytes);
        EXPECT_FALSE(oxFilename(rig.picture).exists());
        EXPECT_EQ(boxes.count(), 0u) << boxes.texts();
    }
    EXPECT_EQ(rig.host.commands(), (std::vector<unsigned>{801, 802, 803, 804, 805}));
}

TEST(LoaderLog, SeparatorThenOneLinePerCommandWithItsDuration)
{
    ThreadSafeMessages boxes;
    unlink(LoaderLog::path().c_str());
    ASSERT_TRUE(writeFile(LoaderLog::path(), "earlier session\n"));
    {
        std::vector<std::string> list{"/log/a.jpg"};
        FakeFill fill;
        FakeHost host;
        BGTextureLoader loader(list, host.services(fill));
        ASSERT_TRUE(loader.setLogging(true));
        EXPECT_TRUE(loader.isLogging());
        ASSERT_TRUE(loader.startLoader());
        loader.releasePicture(loader.acquirePicture("/log/a.jpg"));
        loader.enqueueCommand(CMD_LOAD, "/log/throw-engine.jpg");
        loader.enqueueCommand(CMD_UNLOAD, "/log/a.jpg");
        ASSERT_TRUE(waitUntil([&] { return loader.progress() == std::pair<int, int>(0, 0); }));
        loader.setLogging(false);
        loader.enqueueCommand(CMD_LOAD, "/log/b.jpg");
    }
    const std::string log = readFile(LoaderLog::path());
    const std::string separator = "\n\n--------------------------------------------------------\n";
    ASSERT_EQ(log.rfind("earlier session\n" + separator, 0), 0u) << log;
    const std::string body = log.substr(16 + separator.size());
    const std::string d = ": [0-9.e+-]+ ms\n";
    EXPECT_TRUE(std::regex_match(body, std::regex("Win,RC created\nLoad /log/a\\.jpg " + d +
                                                  "Load /log/throw-engine\\.jpg Error Load /log/throw-engine\\.jpg: "
                                                  "exception [A-Za-z]+: file \"/log/throw-engine\\.jpg\": damaged "
                                                  "picture" + d + "Unload /log/a\\.jpg " + d)))
        << body;
    EXPECT_EQ(log.find("/log/b.jpg"), std::string::npos);
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();

    // A log that cannot be written is said so.
    LoaderRig rig;
    const std::string path = LoaderLog::path();
    unlink(path.c_str());
    mkdir(path.c_str(), 0755); // a folder in its place
    EXPECT_FALSE(rig.loader->setLogging(true));
    EXPECT_FALSE(rig.loader->isLogging());
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_NE(boxes.messages()[0].text.find("Pictavo_BGTexLoader.log"), std::string::npos);
    rmdir(path.c_str());
}
