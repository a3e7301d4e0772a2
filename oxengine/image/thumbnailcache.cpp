#include "oxengine/image/thumbnailcache.h"

#include "oxengine/core/regularfile.h"
#include "oxengine/image/png/pnghandler.h"
#include "oxengine/storage/temporaryfiles.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

struct GFreeDeleter {
    void operator()(void* p) const { g_free(p); }
};
using GString_ = std::unique_ptr<char, GFreeDeleter>;
struct GObjectDeleter {
    void operator()(void* p) const { g_object_unref(p); }
};
using PixbufPtr = std::unique_ptr<GdkPixbuf, GObjectDeleter>;
using LoaderPtr = std::unique_ptr<GdkPixbufLoader, GObjectDeleter>;

// A thumbnail larger than this is not one: refused before decoding.
constexpr uint32_t MAX_EDGE = 4096;
constexpr size_t MAX_BYTES = size_t(64) << 20;

std::string folderOf(const std::string& path)
{
    return path.substr(0, path.find_last_of('/'));
}

uint32_t bigEndian32(const std::string& bytes, size_t at)
{
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint32_t(uint8_t(bytes[at + 3]));
}

// A PNG of a sane size, with its text chunks as options; null otherwise.
PixbufPtr readPng(const std::string& path)
{
    std::string bytes;
    int error = 0;
    if (!oxReadRegularFile(path, bytes, error, MAX_BYTES))
        return nullptr;
    static const char signature[] = "\x89PNG\r\n\x1a\n";
    if (bytes.size() < 24 || bytes.compare(0, 8, signature, 8) != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return nullptr;
    const uint32_t width = bigEndian32(bytes, 16), height = bigEndian32(bytes, 20);
    if (width == 0 || height == 0 || width > MAX_EDGE || height > MAX_EDGE)
        return nullptr;
    LoaderPtr loader(gdk_pixbuf_loader_new_with_type("png", nullptr));
    if (!loader)
        return nullptr;
    const bool written =
        gdk_pixbuf_loader_write(loader.get(), reinterpret_cast<const guchar*>(bytes.data()), bytes.size(), nullptr);
    // Closed in any case: a loader must not be dropped open.
    const bool closed = gdk_pixbuf_loader_close(loader.get(), nullptr);
    GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader.get()) : nullptr;
    if (!pixbuf || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 || gdk_pixbuf_get_n_channels(pixbuf) < 3)
        return nullptr;
    return PixbufPtr(GDK_PIXBUF(g_object_ref(pixbuf)));
}

std::string option(GdkPixbuf* pixbuf, const char* key)
{
    const char* value = gdk_pixbuf_get_option(pixbuf, (std::string("tEXt::") + key).c_str());
    return value ? value : "";
}

std::optional<int64_t> numberOption(GdkPixbuf* pixbuf, const char* key)
{
    const std::string text = option(pixbuf, key);
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long n = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end)
        return std::nullopt;
    return int64_t(n);
}

// The stored picture belongs to the file as it is now.
bool isCurrent(GdkPixbuf* pixbuf, const std::string& uri, const oxThumbnailCache::Stamp& stamp)
{
    if (option(pixbuf, "Thumb::URI") != uri || numberOption(pixbuf, "Thumb::MTime") != stamp.mtime)
        return false;
    const std::optional<int64_t> size = numberOption(pixbuf, "Thumb::Size");
    return !size || *size == stamp.size;
}

std::unique_ptr<oxImage> imageOf(GdkPixbuf* pixbuf)
{
    const int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    std::unique_ptr<oxImageUInt8> image = oxImageUInt8::create(uint32_t(width), uint32_t(height));
    if (!image)
        return nullptr;
    for (int y = 0; y < height; ++y) {
        const guchar* in = pixels + size_t(y) * size_t(stride);
        oxColour* out = image->row(uint32_t(y));
        for (int x = 0; x < width; ++x, in += channels)
            out[x] = oxColour(in[0], in[1], in[2], channels == 4 ? in[3] : 255);
    }
    image->setComponents(channels == 4 ? 4 : 3);
    return image;
}

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// The picture as PNG with the text chunks, written beside path and then
// renamed over it, so that readers never see half a file.
bool writePng(const oxImage& image, const std::string& path, const std::vector<std::pair<std::string, std::string>>& texts)
{
    const std::string bytes = oxPngQuickEncode(image, texts);
    if (bytes.empty() || g_mkdir_with_parents(folderOf(path).c_str(), 0700) != 0)
        return false;
    std::string temporary = oxTemporaryStem(path) + "XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC); // mode 0600
    if (fd < 0)
        return false;
    oxTemporaryGuard guard(temporary);
    const bool written = writeAll(fd, bytes.data(), bytes.size());
    const bool closed = close(fd) == 0;
    if (written && closed && rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    unlink(temporary.c_str());
    return false;
}

// Text chunks are Latin-1 or UTF-8 to GdkPixbuf; anything else is left out.
std::string textValue(const std::string& text)
{
    return g_utf8_validate(text.data(), gssize(text.size()), nullptr) ? text : std::string();
}

} // namespace

oxThumbnailCache::oxThumbnailCache(std::string root, std::string program)
    : m_root(std::move(root)), m_program(std::move(program))
{
}

std::optional<oxThumbnailCache::Stamp> oxThumbnailCache::stampOf(const std::string& file)
{
    struct stat st;
    if (stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return Stamp{int64_t(st.st_mtim.tv_sec), int64_t(st.st_size), uint64_t(st.st_dev), uint64_t(st.st_ino),
                 int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

std::string oxThumbnailCache::userRoot()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return std::string(cache) + "/thumbnails";
    return std::string(g_get_home_dir()) + "/.cache/thumbnails";
}

const char* oxThumbnailCache::sizeFolder(int edge)
{
    if (edge <= 128)
        return "normal";
    if (edge <= 256)
        return "large";
    if (edge <= 512)
        return "x-large";
    return "xx-large";
}

int oxThumbnailCache::folderEdge(int edge)
{
    return edge <= 128 ? 128 : edge <= 256 ? 256 : edge <= 512 ? 512 : 1024;
}

std::string oxThumbnailCache::uriOf(const std::string& path)
{
    GString_ absolute(g_canonicalize_filename(path.c_str(), nullptr));
    GString_ uri(g_filename_to_uri(absolute.get(), nullptr, nullptr));
    return uri ? uri.get() : "";
}

std::string oxThumbnailCache::fileNameOf(const std::string& uri)
{
    GString_ sum(g_compute_checksum_for_string(G_CHECKSUM_MD5, uri.c_str(), gssize(uri.size())));
    return std::string(sum.get()) + ".png";
}

std::string oxThumbnailCache::thumbnailPath(const std::string& file, int edge) const
{
    return m_root + "/" + sizeFolder(edge) + "/" + fileNameOf(uriOf(file));
}

std::string oxThumbnailCache::failurePath(const std::string& file) const
{
    return m_root + "/fail/" + m_program + "/" + fileNameOf(uriOf(file));
}

std::optional<oxThumbnailCache::Thumbnail> oxThumbnailCache::find(const std::string& file, int edge) const
{
    const std::optional<Stamp> stamp = stampOf(file);
    if (!stamp)
        return std::nullopt;
    PixbufPtr pixbuf = readPng(thumbnailPath(file, edge));
    if (!pixbuf || !isCurrent(pixbuf.get(), uriOf(file), *stamp))
        return std::nullopt;
    Thumbnail found;
    found.image = imageOf(pixbuf.get());
    if (!found.image)
        return std::nullopt;
    const std::optional<int64_t> width = numberOption(pixbuf.get(), "Thumb::Image::Width");
    const std::optional<int64_t> height = numberOption(pixbuf.get(), "Thumb::Image::Height");
    // Without them (other programs need not write them) the size is unknown.
    if (width && height && *width > 0 && *height > 0 && *width <= INT32_MAX && *height <= INT32_MAX) {
        found.full = oxSize(int32_t(*width), int32_t(*height));
        found.image->setSourceSize(found.full);
    }
    found.comment = option(pixbuf.get(), "Description");
    return found;
}

bool oxThumbnailCache::store(const std::string& file, int edge, const oxImage& thumbnail, const oxSize& full,
                             const std::string& comment, const Stamp& made) const
{
    const std::optional<Stamp> stamp = stampOf(file);
    if (stamp != made)
        return false;
    std::vector<std::pair<std::string, std::string>> texts = {
        {"Thumb::URI", uriOf(file)},
        {"Thumb::MTime", std::to_string(stamp->mtime)},
        {"Thumb::Size", std::to_string(stamp->size)},
        {"Thumb::Image::Width", std::to_string(full.width)},
        {"Thumb::Image::Height", std::to_string(full.height)},
        {"Software", m_program},
    };
    if (const std::string text = textValue(comment); !text.empty())
        texts.emplace_back("Description", text);
    const std::string path = thumbnailPath(file, edge);
    if (!writePng(thumbnail, path, texts))
        return false;
    // Changed while written: whoever changed it forgets the thumbnails
    // after the change, which may have come before this one was in place.
    if (stampOf(file) == made)
        return true;
    unlink(path.c_str());
    return false;
}

std::optional<std::string> oxThumbnailCache::failure(const std::string& file) const
{
    const std::optional<Stamp> stamp = stampOf(file);
    if (!stamp)
        return std::nullopt;
    PixbufPtr pixbuf = readPng(failurePath(file));
    if (!pixbuf || !isCurrent(pixbuf.get(), uriOf(file), *stamp))
        return std::nullopt;
    return option(pixbuf.get(), "Description");
}

bool oxThumbnailCache::recordFailure(const std::string& file, const std::string& reason) const
{
    const std::optional<Stamp> stamp = stampOf(file);
    if (!stamp)
        return false;
    std::unique_ptr<oxImageUInt8> pixel = oxImageUInt8::create(1, 1);
    if (!pixel)
        return false;
    pixel->at(0, 0) = oxColour(0, 0, 0, 0);
    pixel->setComponents(4);
    return writePng(*pixel, failurePath(file),
                    {{"Thumb::URI", uriOf(file)},
                     {"Thumb::MTime", std::to_string(stamp->mtime)},
                     {"Thumb::Size", std::to_string(stamp->size)},
                     {"Software", m_program},
                     {"Description", textValue(reason)}});
}

void oxThumbnailCache::forget(const std::string& file) const
{
    const std::string name = fileNameOf(uriOf(file));
    for (const char* folder : {"normal", "large", "x-large", "xx-large"})
        unlink((m_root + "/" + folder + "/" + name).c_str());
    unlink(failurePath(file).c_str());
}
