// The loader's file operations on real JPEG files, with the GL-free preparation.
#include "loadertest.h"

#include "app/prepare/thumbnail.h"

#include <climits>
#include <sys/stat.h>

namespace {

oxSize sizeOf(const LoadedPicture* p)
{
    oxLock lock(p->lock);
    return {p->imageWidth, p->imageHeight};
}

struct FileRig : LoaderRig {
    FileRig() { list = {writeJpeg(picture, 64, 32)}; }
    TempDir dir;
    std::string picture = dir.file("picture.jpg");
};

} // namespace

// The same records are refilled and the cache holds the rotated thumbnail, even within the file's second.
TEST(LoaderFileOperations, RotationsRewriteTheJpegAndReloadPictureAndThumbnail)
{
    TempDir dir;
    const std::string picture = writeJpeg(dir.file("p.jpg"), 64, 32);
    const oxThumbnailCache cache(dir.file("thumbnails"), "pictavo-test");
    LoaderRig rig({picture}, true, true, [&](LoaderServices& s) {
        s.fillThumbnail = [&](const std::string& name, LoadedPicture& p, const oxCancelToken&) {
            const ThumbnailImage made = makeThumbnailImage(&cache, name, p.imageWidth);
            p.imageWidth = int(made.image->width());
            p.imageHeight = int(made.image->height());
            return true;
        };
        s.fileChanged = [&](const std::string& name) { cache.forget(name); };
    });
    rig.loader->setThumbnailSize(128);
    LoadedPicture* shown = rig.loader->awaitPicture(picture);
    rig.loader->updateThumbnails();
    ASSERT_TRUE(rig.idle());
    const LoadedPicture* thumb = rig.loader->readThumbnail(picture).get();
    ASSERT_NE(thumb, nullptr);
    ASSERT_TRUE(cache.find(picture, 128)); // what the rotation must replace
    const int redisplays = rig.redisplays.load();
    oxImageTransform quarter;
    quarter.rotation = 1;
    rig.loader->transformPicture(picture, quarter);
    ASSERT_TRUE(rig.idle());
    EXPECT_EQ(sizeOf(shown), oxSize(32, 64));
    EXPECT_EQ(rig.loader->readThumbnail(picture).get(), thumb);
    EXPECT_EQ(sizeOf(thumb), oxSize(32, 64));
    EXPECT_TRUE(shown->inUse());
    EXPECT_GT(rig.redisplays.load(), redisplays);
    ASSERT_TRUE(cache.find(picture, 128));
    EXPECT_EQ(cache.find(picture, 128)->image->size(), oxSize(32, 64));
}

TEST(LoaderFileOperations, ConversionScalesSavesAndAlwaysNotifies)
{
    EXPECT_EQ(conversionSide(3000, 0, 4000, 800), 600); // 800, 0 keeps the aspect ratio
    EXPECT_EQ(conversionSide(4000, 0, 3000, 0), 4000);  // 0, 0 keeps the size
    EXPECT_EQ(conversionSide(3, -50, 333, -50), 1);     // integer division
    // Extreme requests neither overflow nor wrap round to small sizes.
    EXPECT_EQ(conversionSide(60000, INT_MIN, 60000, 0), INT_MAX);
    EXPECT_EQ(conversionSide(60000, 0, 1, INT_MAX), INT_MAX);

    FileRig rig;
    writeJpeg(rig.picture, 400, 300);
    const std::string target = rig.dir.file("out.jpg");
    rig.loader->convertPicture(rig.picture, target, -50, 0, oxToneMapping::neutral(), 600, false);
    ASSERT_TRUE(rig.notified(600));
    EXPECT_EQ(oxImageRegistry::instance().loadImage(target, oxSize())->size(), oxSize(200, 150));

    // Each failure reported on its own, the source kept, no target left.
    const std::string before = readFile(rig.picture);
    rig.loader->convertPicture(rig.picture, rig.dir.file("out.xyz"), 0, 0, oxToneMapping::neutral(), 700, false);
    rig.loader->convertPicture(rig.picture, rig.dir.file("tiny.jpg"), 1, 0, oxToneMapping::neutral(), 701, false);
    rig.loader->convertPicture(rig.dir.file("none.jpg"), rig.dir.file("n.jpg"), 0, 0, oxToneMapping::neutral(), 702, false);
    ASSERT_TRUE(rig.notified(700) && rig.notified(701) && rig.notified(702));
    const auto reports = rig.failures();
    ASSERT_EQ(reports.size(), 3u);
    for (const auto& r : reports) {
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0].operation, FileOperationFailure::CONVERT);
        EXPECT_EQ(r[0].batch, 0u);
    }
    EXPECT_NE(reports[1][0].reason.find("cannot be resized to 1 x 0 pixels"), std::string::npos);
    EXPECT_EQ(readFile(rig.picture), before);
    EXPECT_FALSE(oxFilename(rig.dir.file("out.xyz")).exists());
    EXPECT_FALSE(oxFilename(rig.dir.file("tiny.jpg")).exists());

    // Onto an existing file only with consent; onto the source itself in one step.
    rig.loader->convertPicture(rig.picture, rig.picture, -50, 0, oxToneMapping::neutral(), 703, false);
    ASSERT_TRUE(rig.notified(703));
    EXPECT_EQ(readFile(rig.picture), before);
    EXPECT_NE(rig.failures().back()[0].reason.find("already exists"), std::string::npos);
    rig.loader->convertPicture(rig.picture, rig.picture, -50, 0, oxToneMapping::neutral(), 704, true);
    ASSERT_TRUE(rig.notified(704));
    EXPECT_EQ(oxImageRegistry::instance().loadImage(rig.picture, oxSize())->size(), oxSize(200, 150));
}

TEST(LoaderFileOperations, CopyAndMoveKeepTheSourceWhenTheyFail)
{
    FileRig rig;
    const std::string bytes = readFile(rig.picture), folder = rig.dir.file("target");
    mkdir(folder.c_str(), 0755);
    ASSERT_TRUE(writeFile(rig.dir.file("plain"), "x"));
    MessageCapture boxes;
    rig.loader->copyMovePicture(rig.picture, folder, true, 801, false); // into the folder
    ASSERT_TRUE(rig.notified(801));
    EXPECT_EQ(readFile(folder + "/picture.jpg"), bytes);
    // A target that appeared after the question: left alone and reported; the loader never asks.
    ASSERT_TRUE(writeFile(folder + "/picture.jpg", "older"));
    rig.loader->copyMovePicture(rig.picture, folder, true, 802, false);
    // Targets that cannot be made: reported with the source's name.
    rig.loader->copyMovePicture(rig.picture, rig.dir.file("plain/picture.jpg"), true, 803, false);
    rig.loader->copyMovePicture(rig.picture, rig.dir.file("missing/picture.jpg"), false, 804, false);
    ASSERT_TRUE(rig.notified(804));
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();
    const auto reports = rig.failures();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_NE(reports[0][0].reason.find("already exists"), std::string::npos);
    EXPECT_EQ(reports[1][0].operation, FileOperationFailure::COPY);
    EXPECT_EQ(reports[2][0].operation, FileOperationFailure::MOVE);
    for (const auto& r : reports) {
        EXPECT_EQ(r[0].name, rig.picture);
        EXPECT_FALSE(r[0].reason.empty());
    }
    EXPECT_EQ(readFile(folder + "/picture.jpg"), "older");
    EXPECT_EQ(readFile(rig.picture), bytes);
    // With the user's consent it is replaced.
    rig.loader->copyMovePicture(rig.picture, folder, true, 806, true);
    ASSERT_TRUE(rig.notified(806));
    EXPECT_EQ(readFile(folder + "/picture.jpg"), bytes);
    // A move that works takes the file away.
    rig.loader->copyMovePicture(rig.picture, rig.dir.file("moved.jpg"), false, 805, false);
    ASSERT_TRUE(rig.notified(805));
    EXPECT_EQ(readFile(rig.dir.file("moved.jpg")), bytes);
    EXPECT_FALSE(oxFilename(rig.picture).exists());
    EXPECT_EQ(rig.commands(), (std::vector<unsigned>{801, 802, 803, 804, 806, 805}));
}

// A batch's failures come in one report after its last operation, also one done before the batch ended.
TEST(LoaderFileOperations, FailuresOfABatchAreReportedTogetherAtItsEnd)
{
    FileRig rig;
    const auto convert = [&](const std::string& target, unsigned code) {
        rig.loader->convertPicture(rig.picture, rig.dir.file(target), 0, 0, oxToneMapping::neutral(), code, false);
    };
    rig.hold("gate");
    oxImageTransform quarter;
    quarter.rotation = 1;
    rig.loader->transformPicture(rig.dir.file("none.jpg"), quarter); // in no batch
    rig.loader->beginBatch();
    convert("a.xyz", 1);
    convert("b.jpg", 2);
    convert("c.xyz", 3);
    rig.fill.release("gate");
    ASSERT_TRUE(rig.notified(3));
    ASSERT_TRUE(rig.idle());
    ASSERT_EQ(rig.failures().size(), 1u) << "the batch is still open";
    EXPECT_EQ(rig.failures()[0][0].operation, FileOperationFailure::TRANSFORM);
    rig.loader->endBatch();
    ASSERT_TRUE(waitUntil([&] { return rig.failures().size() == 2; }));
    const std::vector<FileOperationFailure> batch = rig.failures()[1];
    ASSERT_EQ(batch.size(), 2u);
    EXPECT_EQ(batch[0].target, rig.dir.file("a.xyz"));
    EXPECT_EQ(batch[1].target, rig.dir.file("c.xyz"));
    EXPECT_NE(batch[0].batch, 0u);
    EXPECT_EQ(batch[0].batch, batch[1].batch);
    EXPECT_TRUE(oxFilename(rig.dir.file("b.jpg")).exists());

    // A batch without failures reports nothing; one ended early reports when its last command is done.
    {
        PictureOperationBatch quiet(*rig.loader);
        convert("d.jpg", 4);
    }
    rig.hold("gate2");
    {
        PictureOperationBatch late(*rig.loader);
        convert("e.xyz", 5);
    }
    EXPECT_EQ(rig.failures().size(), 2u);
    rig.fill.release("gate2");
    ASSERT_TRUE(waitUntil([&] { return rig.failures().size() == 3; }));
    EXPECT_EQ(rig.failures()[2].size(), 1u);
}
