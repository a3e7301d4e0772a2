// Both loaders with the real preparation under a real display: textures made
// on the loader thread are drawn by the main context, a rotation reloads the
// picture and its thumbnail, and the shut-down leaves no texture behind.
#include "loadertest.h"

#include "app/simpleloader.h"

#include "oxengine/graphics/texture.h"
#include "oxengine/image/image.h"
#include "oxengine/mainwindow.h"
#include "support/gltest.h"

#include <GL/gl.h>
#include <GL/glx.h>

namespace {

LoaderTestHome g_home;

bool mainWindow()
{
    if (!glTestContext(128, 64))
        return false;
    oxSetMainWindowContext({glXGetCurrentDisplay(), glXGetCurrentDrawable(), glXGetCurrentContext()});
    return true;
}

#define REQUIRE_DISPLAY()                                                                                              \
    if (!mainWindow())                                                                                                 \
    GTEST_SKIP() << "no X display with GLX"

// Left half red, right half blue.
void writeJpeg(const std::string& path, uint32_t width, uint32_t height)
{
    auto image = oxImageUInt8::create(width, height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            image->row(y)[x] = x < width / 2 ? oxColour(255, 0, 0) : oxColour(0, 0, 255);
    oxImageRegistry::instance().saveImage(*image, path, oxToneMapping::neutral());
}

// A loader with everything real but the application's queue.
struct GLRig {
    explicit GLRig(std::vector<std::string> names) : list(std::move(names))
    {
        LoaderServices services;
        services.postCommand = [this](unsigned c) { posted += int(c); };
        services.requestRedisplay = [this] { ++redisplays; };
        loader = std::make_unique<BGTextureLoader>(list, services);
        loader->setSharedContext(glXGetCurrentContext(), 0);
        EXPECT_TRUE(loader->startLoader());
    }
    bool idle()
    {
        return waitUntil([&] { return loader->progress() == std::pair<int, int>(0, 0); });
    }
    std::vector<std::string> list;
    std::atomic<int> posted{0}, redisplays{0};
    std::unique_ptr<BGTextureLoader> loader;
};

struct Rgb {
    int r, g, b;
};

// The window's pixels after a draw (128 x 64).
struct Drawn {
    std::vector<uint8_t> px;
    Rgb at(int x, int y) const
    {
        if (px.empty())
            return {};
        const size_t i = (size_t(y) * 128 + x) * 4;
        return Rgb{px[i], px[i + 1], px[i + 2]};
    }
};

// Draws the picture's top-left tile stretched over the whole window.
Drawn drawTile(LoadedPicture& p)
{
    oxLock lock(p.lock);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    oxTextureRef tile = p.tiles[0][0];
    if (!tile)
        return {};
    glEnable(GL_TEXTURE_2D);
    tile->bind();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const float s = float(p.imageWidth) / float(p.tileWidth), t = float(p.imageHeight) / float(p.tileHeight);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(0, 0);
    glTexCoord2f(s, 0), glVertex2f(128, 0);
    glTexCoord2f(s, t), glVertex2f(128, 64);
    glTexCoord2f(0, t), glVertex2f(0, 64);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    return {glReadBack(0, 0, 128, 64)};
}

} // namespace

TEST(BGTextureLoaderGL, TexturesMadeOnTheLoaderThreadAreDrawnByTheMainContext)
{
    REQUIRE_DISPLAY();
    ThreadSafeMessages boxes;
    TempDir dir;
    const std::string file = dir.file("wide.jpg");
    writeJpeg(file, 300, 200);
    const size_t texturesBefore = oxLiveTextureCount();
    {
        GLRig rig({file});
        LoadedPicture* p = rig.loader->acquirePicture(file);
        ASSERT_NE(p, nullptr);
        {
            oxLock lock(p->lock);
            EXPECT_EQ(p->note, "");
            EXPECT_EQ(p->imageWidth, 300);
            EXPECT_EQ(p->imageHeight, 200);
            EXPECT_TRUE(p->hasTiles());
        }
        const Drawn drawn = drawTile(*p);
        glSaveArtifact("loader_tile", 128, 64);
        const Rgb left = drawn.at(16, 32), right = drawn.at(112, 32);
        EXPECT_GT(left.r, 200);
        EXPECT_LT(left.b, 60);
        EXPECT_GT(right.b, 200);
        EXPECT_LT(right.r, 60);
        EXPECT_GT(oxLiveTextureCount(), texturesBefore);
        rig.loader->releasePicture(p);
    }
    // The loader destroyed every texture before its context went.
    EXPECT_EQ(oxLiveTextureCount(), texturesBefore);
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();
}

TEST(BGTextureLoaderGL, RotationReloadsThePictureAndItsThumbnail)
{
    REQUIRE_DISPLAY();
    ThreadSafeMessages boxes;
    TempDir dir;
    const std::string file = dir.file("turn.jpg");
    writeJpeg(file, 256, 128);
    const size_t texturesBefore = oxLiveTextureCount();
    {
        GLRig rig({file});
        rig.loader->setThumbnailSize(32);
        LoadedPicture* p = rig.loader->acquirePicture(file);
        ASSERT_NE(p, nullptr);
        rig.loader->updateThumbnails();
        ASSERT_TRUE(rig.idle());
        LoadedPicture* thumb = rig.loader->thumbnail(file);
        ASSERT_NE(thumb, nullptr);
        EXPECT_EQ(thumb->imageWidth, 32);
        EXPECT_EQ(thumb->imageHeight, 16);
        EXPECT_EQ(thumb->fullWidth, 256);

        oxImageTransform quarter;
        quarter.rotation = 1;
        rig.loader->transformPicture(file, quarter);
        ASSERT_TRUE(rig.idle());
        EXPECT_EQ(rig.loader->thumbnail(file), thumb);
        {
            oxLock lock(p->lock);
            EXPECT_EQ(p->imageWidth, 128);
            EXPECT_EQ(p->imageHeight, 256);
            EXPECT_TRUE(p->hasTiles());
        }
        {
            oxLock lock(rig.loader->threadLock());
            EXPECT_EQ(thumb->imageWidth, 16);
            EXPECT_EQ(thumb->imageHeight, 32);
            EXPECT_TRUE(thumb->hasTiles());
        }
        // Turned clockwise: the red left half is now the top half.
        const Drawn drawn = drawTile(*p);
        EXPECT_GT(drawn.at(16, 12).r, 200);
        EXPECT_GT(drawn.at(112, 12).r, 200);
        EXPECT_GT(drawn.at(64, 52).b, 200);
        rig.loader->releasePicture(p);
    }
    EXPECT_EQ(oxLiveTextureCount(), texturesBefore);
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();
}

TEST(BGTextureLoaderGL, ShutDownUnloadsPicturesAndThumbnailsWithoutLeftovers)
{
    REQUIRE_DISPLAY();
    ThreadSafeMessages boxes;
    TempDir dir;
    std::vector<std::string> files;
    for (int i = 0; i < 6; ++i) {
        files.push_back(dir.file("p" + std::to_string(i) + ".jpg"));
        writeJpeg(files.back(), 120 + 8 * i, 90);
    }
    const size_t texturesBefore = oxLiveTextureCount();
    {
        GLRig rig(files);
        rig.loader->acquirePicture(files[2]); // still in use at the end
        rig.loader->updateThumbnails();
        ASSERT_TRUE(rig.idle());
        EXPECT_EQ(rig.loader->loadedNames().size(), 3u);
        EXPECT_EQ(rig.loader->thumbnailNames().size(), 6u);
        EXPECT_GE(oxLiveTextureCount(), texturesBefore + 9);
        for (int i = 0; i < 6; ++i)
            rig.loader->enqueueCommand(CMD_LOAD, files[i]);
    }
    EXPECT_EQ(oxLiveTextureCount(), texturesBefore);
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();
}

TEST(SimpleTextureLoaderGL, LoadsWithTheCallersContextAndFreesOnRelease)
{
    REQUIRE_DISPLAY();
    ThreadSafeMessages boxes;
    TempDir dir;
    const std::string file = dir.file("simple.jpg");
    writeJpeg(file, 300, 200);
    const size_t texturesBefore = oxLiveTextureCount();
    SimpleTextureLoader loader;
    LoadedPicture* p = loader.acquirePicture(file);
    ASSERT_NE(p, nullptr);
    const Drawn drawn = drawTile(*p);
    EXPECT_GT(drawn.at(16, 32).r, 200);
    EXPECT_GT(drawn.at(112, 32).b, 200);
    loader.releasePicture(p);
    EXPECT_EQ(oxLiveTextureCount(), texturesBefore);
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();
}
