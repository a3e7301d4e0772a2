// The loader with the real preparation: textures made on the loader thread and freed.
#include "loadertest.h"

#include "app/shell/loaderwiring.h"

#include "oxengine/graphics/texture.h"
#include "oxengine/platform/mainwindow.h"
#include "support/gltest.h"

#include <GL/gl.h>
#include <GL/glx.h>

// The shut-down destroys every texture, also of a picture in use, without leftover reports.
TEST(BGTextureLoaderGL, TexturesAreMadeOnTheLoaderThreadAndFreedAtShutDown)
{
    if (!glTestContext(128, 64))
        GTEST_SKIP() << "no X display with GLX";
    oxSetMainWindowContext({glXGetCurrentDisplay(), glXGetCurrentDrawable(), glXGetCurrentContext()});
    MessageCapture boxes;
    TempDir dir;
    std::vector<std::string> files{writeJpeg(dir.file("turn.jpg"), 256, 128)};
    for (int i = 0; i < 5; ++i)
        files.push_back(writeJpeg(dir.file("p" + std::to_string(i) + ".jpg"), 120 + 8 * i, 90));
    const std::string& file = files[0];
    const size_t texturesBefore = oxLiveTextureCount();
    {
        LoaderServices services; // everything real but the application's queue
        services.postCommand = [](unsigned) {};
        services.requestRedisplay = [] {};
        auto loader = std::make_unique<BGTextureLoader>(files, programLoaderServices(services));
        loader->setSharedContext(glXGetCurrentContext(), 0);
        ASSERT_TRUE(loader->startLoader());
        loader->setThumbnailSize(32);
        LoadedPicture* p = loader->awaitPicture(file); // still in use at the end
        ASSERT_NE(p, nullptr);
        loader->updateThumbnails();
        ASSERT_TRUE(waitUntil([&] { return loader->progress() == LoaderProgress{}; }));
        EXPECT_EQ(p->note, "");
        EXPECT_EQ(p->imageWidth, 256);
        EXPECT_GE(oxLiveTextureCount(), texturesBefore + 8); // 2 pictures, 6 thumbnails
        const LoadedPicture* thumb = loader->readThumbnail(file).get();
        ASSERT_NE(thumb, nullptr);
        EXPECT_EQ(thumb->imageWidth, 32);
        for (const std::string& f : files)
            loader->enqueue(LoadCommand{.name = f});
    }
    EXPECT_EQ(oxLiveTextureCount(), texturesBefore);
    EXPECT_EQ(boxes.count(), 0u) << boxes.texts();
}
