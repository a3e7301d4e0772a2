#include "oxengine/image/pixbuf/pixbufraster.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

namespace {

void atSize(GdkPixbufLoader* loader, gint, gint, gpointer size)
{
    const int s = *static_cast<int*>(size);
    gdk_pixbuf_loader_set_size(loader, s, s);
}

} // namespace

std::vector<uint32_t> oxRenderPictureBytes(std::string_view bytes, int size)
{
    if (size <= 0 || size > 1024 || bytes.empty())
        return {};
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    g_signal_connect(loader, "size-prepared", G_CALLBACK(atSize), &size);
    const bool read = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()), bytes.size(),
                                              nullptr);
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
    std::vector<uint32_t> argb;
    GdkPixbuf* pixbuf = read && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (pixbuf && gdk_pixbuf_get_width(pixbuf) == size && gdk_pixbuf_get_height(pixbuf) == size &&
        gdk_pixbuf_get_bits_per_sample(pixbuf) == 8 && gdk_pixbuf_get_n_channels(pixbuf) >= 3) {
        const int channels = gdk_pixbuf_get_n_channels(pixbuf), stride = gdk_pixbuf_get_rowstride(pixbuf);
        const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
        argb.reserve(size_t(size) * size_t(size));
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const guchar* p = pixels + size_t(y) * size_t(stride) + size_t(x) * size_t(channels);
                const uint32_t a = channels == 4 ? p[3] : 255;
                argb.push_back(a << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
            }
    }
    g_object_unref(loader);
    return argb;
}
