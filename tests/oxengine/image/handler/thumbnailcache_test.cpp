// The shared thumbnail cache against the freedesktop.org standard, as other programs read and write it.
#include "../imagetest.h"

#include "oxengine/image/thumbnailcache.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <unistd.h>

namespace {

struct ThumbnailCache : testing::Test {
    TempDir dir;
    oxThumbnailCache cache{dir.file("thumbnails"), "pictavo-test"};
    std::string picture = dir.file("a b#ü.jpg");
    std::unique_ptr<oxImageUInt8> thumb =
        imageOf<oxColour>(8, 6, [](uint32_t x, uint32_t y) { return oxColour(uint8_t(x * 30), uint8_t(y * 40), 7); });

    void SetUp() override { ASSERT_TRUE(writeFile(picture, "not really a picture")); }
    oxThumbnailCache::Stamp stamp() const { return oxThumbnailCache::stampOf(picture).value_or(oxThumbnailCache::Stamp{}); }

    void setMTime(const std::string& file, double s) { ASSERT_TRUE(oxFilename(file).setModificationDate(s)); }
};

} // namespace

TEST_F(ThumbnailCache, NamesStalenessAndBrokenCaches)
{
    // The standard's own example: the MD5 of the URI.
    EXPECT_EQ(oxThumbnailCache::fileNameOf("file:///home/jens/photos/me.png"), "c6ee772d9e49320e97ec29a7eb5b1697.png");
    EXPECT_EQ(oxThumbnailCache::uriOf("/tmp/a b#ü.jpg"), "file:///tmp/a%20b%23%C3%BC.jpg");
    const std::pair<int, const char*> folders[] = {{32, "normal"},    {128, "normal"},  {256, "large"},
                                                   {512, "x-large"}, {1024, "xx-large"}};
    for (const auto& [edge, folder] : folders)
        EXPECT_STREQ(oxThumbnailCache::sizeFolder(edge), folder) << edge;

    setMTime(picture, 1700000000);
    ASSERT_TRUE(cache.store(picture, 256, *thumb, oxSize(1600, 1200), "Grüße", stamp()));
    const std::string path = cache.thumbnailPath(picture, 256);
    EXPECT_EQ(path, dir.file("thumbnails/large/") + oxThumbnailCache::fileNameOf(oxThumbnailCache::uriOf(picture)));
    EXPECT_EQ(statOf(path).st_mode & 0777, 0600u);
    EXPECT_EQ(statOf(dir.file("thumbnails/large")).st_mode & 0777, 0700u);

    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
    ASSERT_TRUE(pixbuf);
    EXPECT_STREQ(gdk_pixbuf_get_option(pixbuf, "tEXt::Thumb::URI"), oxThumbnailCache::uriOf(picture).c_str());
    EXPECT_STREQ(gdk_pixbuf_get_option(pixbuf, "tEXt::Thumb::MTime"), "1700000000");
    EXPECT_STREQ(gdk_pixbuf_get_option(pixbuf, "tEXt::Thumb::Image::Width"), "1600");
    EXPECT_EQ(gdk_pixbuf_get_width(pixbuf), 8);
    g_object_unref(pixbuf);

    auto found = cache.find(picture, 256);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->full, oxSize(1600, 1200));
    EXPECT_EQ(found->comment, "Grüße") << "UTF-8 beyond ASCII";
    EXPECT_EQ(static_cast<oxImageUInt8&>(*found->image).at(3, 2), thumb->at(3, 2));
    EXPECT_FALSE(cache.find(picture, 128)) << "another size folder";

    // As a file manager writes it: URI and MTime only, RGB, no size.
    setMTime(picture, 1600000000);
    pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, false, 8, 5, 4);
    gdk_pixbuf_fill(pixbuf, 0x336699ff);
    const std::string uri = oxThumbnailCache::uriOf(picture);
    ASSERT_TRUE(gdk_pixbuf_save(pixbuf, path.c_str(), "png", nullptr, "tEXt::Thumb::URI", uri.c_str(), "tEXt::Thumb::MTime",
                                "1600000000", nullptr));
    g_object_unref(pixbuf);
    found = cache.find(picture, 256);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->full, oxSize(0, 0));
    EXPECT_EQ(found->image->components(), 3);
    EXPECT_EQ(static_cast<oxImageUInt8&>(*found->image).at(4, 3), oxColour(0x33, 0x66, 0x99));

    setMTime(picture, 1700000000);
    ASSERT_TRUE(cache.store(picture, 128, *thumb, oxSize(8, 6), "", stamp()));
    setMTime(picture, 1700000001);
    EXPECT_FALSE(cache.find(picture, 128));
    setMTime(picture, 1700000000);
    ASSERT_TRUE(cache.find(picture, 128));
    ASSERT_TRUE(writeFile(picture, "same time, other size"));
    setMTime(picture, 1700000000);
    EXPECT_FALSE(cache.find(picture, 128));
    // A thumbnail made before the file was replaced by one of the same
    // time and size (a rotation keeping the date) is not stored late.
    const oxThumbnailCache::Stamp before = stamp();
    const std::string replacement = dir.file("replacement");
    ASSERT_TRUE(writeFile(replacement, "same time, other SIZE"));
    setMTime(replacement, 1700000000);
    ASSERT_EQ(rename(replacement.c_str(), picture.c_str()), 0);
    EXPECT_FALSE(cache.store(picture, 128, *thumb, oxSize(8, 6), "", before));
    EXPECT_FALSE(cache.find(picture, 128));
    // A failure is recorded until the file changes; forget drops everything.
    setMTime(picture, 1700000000);
    ASSERT_TRUE(cache.recordFailure(picture, "bad header"));
    EXPECT_EQ(cache.failure(picture), std::optional<std::string>("bad header"));
    for (int edge : {128, 256, 512})
        ASSERT_TRUE(cache.store(picture, edge, *thumb, oxSize(8, 6), "", stamp()));
    cache.forget(picture);
    for (int edge : {128, 256, 512})
        EXPECT_FALSE(cache.find(picture, edge));
    EXPECT_FALSE(cache.failure(picture));
    ASSERT_TRUE(cache.recordFailure(picture, "bad header"));
    setMTime(picture, 1700000005);
    EXPECT_FALSE(cache.failure(picture));

    // A file where the folder should be cannot be written, by anyone.
    std::filesystem::remove_all(dir.file("thumbnails"));
    ASSERT_TRUE(writeFile(dir.file("thumbnails"), "in the way"));
    EXPECT_FALSE(cache.store(picture, 256, *thumb, oxSize(8, 6), "", stamp()));
    EXPECT_FALSE(cache.recordFailure(picture, "x"));
    EXPECT_FALSE(cache.find(picture, 256));
    EXPECT_FALSE(cache.failure(picture));
    ASSERT_EQ(unlink(dir.file("thumbnails").c_str()), 0);
    // A cut-off file and a hostile size are not thumbnails.
    ASSERT_TRUE(cache.store(picture, 256, *thumb, oxSize(8, 6), "", stamp()));
    std::string bytes = readFile(path);
    ASSERT_TRUE(writeFile(path, bytes.substr(0, bytes.size() / 2)));
    EXPECT_FALSE(cache.find(picture, 256));
    bytes[16] = 0x7f; // width far beyond any thumbnail
    ASSERT_TRUE(writeFile(path, bytes));
    EXPECT_FALSE(cache.find(picture, 256));
    EXPECT_EQ(folderEntries(dir.file("thumbnails/large")).size(), 1u) << "no temporary file stays";
}

