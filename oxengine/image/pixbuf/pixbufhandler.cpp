// GdkPixbufLoader is fed the file in blocks; it tells the picture's size
// before it allocates anything, which is where a size beyond the image
// model's limit is refused.
#include "oxengine/image/pixbuf/pixbufhandler.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/image/formatsupport.h"
#include "oxengine/image/pixbuf/giftiming.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// reason: the decoder's own, when it gave one.
[[noreturn]] void fail(const char* step, const std::string& filename, const std::string& reason = {})
{
    throw oxImageException(std::string(oxGetTranslation("OLE image loading: ")) + oxGetTranslation(step) +
                               (reason.empty() ? std::string() : " (" + reason + ")"),
                           filename);
}

struct SizeCheck {
    uint64_t budget = 0; // bytes the picture may take, 0 for any
    bool refused = false;
    int width = 0, height = 0;
};

// The decoder cannot reduce a picture as it decodes: a picture over the
// budget is refused before its pixels are allocated.
void sizePrepared(GdkPixbufLoader* loader, gint width, gint height, gpointer data)
{
    auto* check = static_cast<SizeCheck*>(data);
    if (width > 0 && height > 0 && oxImage::sizeAllowed(uint64_t(width), uint64_t(height), sizeof(oxColour)) &&
        budgetFactor(uint64_t(width), uint64_t(height), sizeof(oxColour), check->budget) == 1)
        return;
    check->refused = true;
    check->width = width;
    check->height = height;
    // A size of 0 makes the decoder stop before it allocates.
    gdk_pixbuf_loader_set_size(loader, 0, 0);
}

class Loader {
public:
    explicit Loader(const char* type) : m_loader(gdk_pixbuf_loader_new_with_type(type, nullptr)) {}
    ~Loader()
    {
        if (!m_loader)
            return;
        if (!m_closed)
            gdk_pixbuf_loader_close(m_loader, nullptr); // the loader insists on it
        g_object_unref(m_loader);
    }
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    GdkPixbufLoader* get() const { return m_loader; }
    bool write(const unsigned char* data, size_t n)
    {
        return keepReason(gdk_pixbuf_loader_write(m_loader, data, n, error()));
    }
    bool close()
    {
        m_closed = true;
        return keepReason(gdk_pixbuf_loader_close(m_loader, error()));
    }
    // The decoder's text for its first failure.
    const std::string& reason() const { return m_reason; }

private:
    GError** error()
    {
        m_error = nullptr;
        return m_reason.empty() ? &m_error : nullptr;
    }
    bool keepReason(bool ok)
    {
        if (m_error) {
            m_reason = m_error->message ? m_error->message : "";
            g_error_free(m_error);
            m_error = nullptr;
        }
        return ok;
    }

    GdkPixbufLoader* m_loader;
    bool m_closed = false;
    GError* m_error = nullptr;
    std::string m_reason;
};

uint32_t le32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The BMP decoder sizes its buffers for the header and the colour table by
// the header's own fields before it reads them, so a tiny file could make it
// ask for gigabytes (and the process end when that fails). Both must fit in
// the file.
bool plausibleBmp(const unsigned char* start, size_t n, long long fileSize)
{
    if (n < 18)
        return false;
    const uint64_t headerSize = le32(start + 14);
    if (14 + headerSize > uint64_t(fileSize))
        return false;
    if (headerSize < 40 || n < 50)
        return true; // the OS/2 header has no colour count
    const uint64_t colours = le32(start + 46);
    return 14 + headerSize + colours * 4 <= uint64_t(fileSize);
}

// The pixbuf's pixels as an 8-bit image (null when they cannot be), alpha
// kept when it has some.
std::unique_ptr<oxImageUInt8> imageOf(GdkPixbuf* pixbuf)
{
    const int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    if (width <= 0 || height <= 0 || gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB ||
        gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 || (channels != 3 && channels != 4))
        return nullptr;
    auto image = oxImageUInt8::create(uint32_t(width), uint32_t(height));
    if (!image)
        return nullptr;
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    const size_t stride = size_t(gdk_pixbuf_get_rowstride(pixbuf));
    // Transparent pixels (a GIF's transparent colour, a BMP's alpha) stay so.
    const bool alpha = channels == 4;
    for (uint32_t y = 0; y < image->height(); ++y) {
        const guchar* p = pixels + size_t(y) * stride;
        oxColour* out = image->row(y);
        for (uint32_t x = 0; x < image->width(); ++x, p += channels)
            out[x] = oxColour(p[0], p[1], p[2], alpha ? p[3] : 255);
    }
    image->setComponents(alpha ? 4 : 3);
    return image;
}

// All frames of an animated GIF are kept up to this many bytes; a larger
// animation shows its first frame only.
constexpr uint64_t ANIMATION_BYTES = uint64_t(256) << 20;

// The frames as the library's iterator composes them, stepped by its own
// delays, with the file's timing; null for a still picture or one too large.
std::shared_ptr<const oxAnimation> animationOf(GdkPixbufLoader* loader, const oxGifTiming& timing,
                                               const oxImage& first)
{
    GdkPixbufAnimation* animation = gdk_pixbuf_loader_get_animation(loader);
    const size_t frames = timing.delays.size();
    if (!animation || gdk_pixbuf_animation_is_static_image(animation) || frames < 2 || !timing.framesInside ||
        uint64_t(frames) * first.byteSize() > ANIMATION_BYTES)
        return nullptr;
    auto result = std::make_shared<oxAnimation>();
    result->plays = timing.plays;
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS // the iterator's interface takes GTimeVal
    GTimeVal time = {0, 0};
    GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, &time);
    for (size_t k = 0; k < frames && iter; ++k) {
        std::unique_ptr<oxImageUInt8> frame = imageOf(gdk_pixbuf_animation_iter_get_pixbuf(iter));
        if (!frame || frame->size() != first.size())
            break;
        frame->setComponents(first.components());
        result->frames.push_back(std::move(frame));
        result->delays.push_back(std::max(timing.delays[k], oxAnimation::MIN_DELAY_MS));
        const int shown = gdk_pixbuf_animation_iter_get_delay_time(iter);
        if (shown < 0)
            break;
        g_time_val_add(&time, glong(shown) * 1000);
        gdk_pixbuf_animation_iter_advance(iter, &time);
    }
    if (iter)
        g_object_unref(iter);
    G_GNUC_END_IGNORE_DEPRECATIONS
    if (result->frames.size() < 2)
        return nullptr;
    return result;
}

const char* decoderFor(const unsigned char* start, size_t n)
{
    if (n >= 4 && std::memcmp(start, "GIF8", 4) == 0)
        return "gif";
    if (n >= 2 && std::memcmp(start, "BM", 2) == 0)
        return "bmp";
    return nullptr;
}

} // namespace

std::string oxOLEImageHandler::loadFilter() const
{
    return oxGetTranslation("GIF images (*.gif)|*.gif|BMP images (*.bmp)|*.bmp|");
}

bool oxOLEImageHandler::canLoad(const std::string& filename) const
{
    return hasExtension(filename, ".gif") || hasExtension(filename, ".bmp");
}

std::unique_ptr<oxImage> oxOLEImageHandler::loadImage(const std::string& filename, const oxLoadOptions& options) const
{
    oxStdioFile file = oxOpenForReading(
        filename, std::string(oxGetTranslation("OLE image loading: ")) + oxGetTranslation("Can't open file."));
    const long long fileSize = oxOpenFileSize(file.get());
    if (fileSize < 0)
        fail(N_("Can't get file size."), filename);
    // The file's first block; the decoder is chosen by its first bytes.
    std::vector<unsigned char> block(size_t(1) << 20);
    size_t n = std::fread(block.data(), 1, block.size(), file.get());
    if (std::ferror(file.get()))
        fail(N_("Error reading image file."), filename);
    const char* type = decoderFor(block.data(), n);
    if (!type || (std::strcmp(type, "bmp") == 0 && !plausibleBmp(block.data(), n, fileSize)))
        fail(N_("Can't load image."), filename);

    Loader loader(type);
    if (!loader.get())
        fail(N_("Can't load image."), filename);
    SizeCheck check;
    check.budget = options.budget;
    g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(sizePrepared), &check);
    // A GIF's blocks are kept for its timing, unless it is too large to animate.
    const bool gif = std::strcmp(type, "gif") == 0 && uint64_t(fileSize) <= ANIMATION_BYTES;
    std::vector<unsigned char> whole;
    bool decoded = true;
    while (n > 0 && decoded && !check.refused) {
        options.checkCancelled();
        if (gif)
            whole.insert(whole.end(), block.begin(), block.begin() + ptrdiff_t(n));
        decoded = loader.write(block.data(), n);
        n = std::fread(block.data(), 1, block.size(), file.get());
        if (std::ferror(file.get()))
            fail(N_("Error reading image file."), filename);
    }
    decoded = loader.close() && decoded;
    if (check.refused) {
        const uint64_t width = uint64_t(std::max(check.width, 0)), height = uint64_t(std::max(check.height, 0));
        if (oxImage::sizeAllowed(width, height, sizeof(oxColour)))
            oxDecodeReduction(options, width, height, sizeof(oxColour), oxOrientation(), 1, 0, filename); // throws
        throw oxImageException(std::string(oxGetTranslation("OLE image loading: ")) + oxImageTooLargeText(width, height),
                               filename);
    }
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
    if (!decoded || !pixbuf)
        fail(N_("Can't load image."), filename, loader.reason());

    const int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
    if (width <= 0 || height <= 0)
        fail(N_("Can't get image size."), filename);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    if (gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 ||
        (channels != 3 && channels != 4))
        fail(N_("Can't decompress image."), filename);
    std::unique_ptr<oxImageUInt8> image = imageOf(pixbuf);
    if (!image)
        fail(N_("Can't allocate memory for image."), filename);
    // Animated only when shown at full size (a thumbnail shows the first frame).
    if (gif && reductionFactor(image->size(), options.maximum) == 1)
        image->setAnimation(animationOf(loader.get(), oxReadGifTiming(whole.data(), whole.size()), *image));
    return image;
}

void oxOLEImageHandler::saveImage(const oxImage&, const std::string& filename, const oxToneMapping&) const
{
    // Never report a save that did not happen.
    throw oxImageException(oxGetTranslation("GIF and BMP images cannot be written"),
                           filename);
}

void oxOLEImageHandler::transformFile(const std::string& filename, const oxImageTransform&) const
{
    oxTransformNotSupported(filename);
}
