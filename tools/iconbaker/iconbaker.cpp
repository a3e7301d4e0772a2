// Renders the program's SVG icon once at build time into the window icon's
// pixels: SIZE x SIZE ARGB words (alpha in the top byte, little-endian, rows
// top first). The viewer then sets its icon without loading an SVG renderer
// (and the libraries behind it) at every start. Without the desktop's SVG
// loader the file is left empty and the window has no icon of its own.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

void atSize(GdkPixbufLoader* loader, gint, gint, gpointer size)
{
    const int s = *static_cast<int*>(size);
    gdk_pixbuf_loader_set_size(loader, s, s);
}

std::vector<uint32_t> render(const std::vector<char>& bytes, int size)
{
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

} // namespace

int main(int argc, char** argv)
{
    const int size = argc == 4 ? std::atoi(argv[3]) : 0;
    if (size <= 0 || size > 1024) {
        std::fprintf(stderr, "usage: iconbaker ICON.svg OUT.argb SIZE\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<uint32_t> argb = bytes.empty() ? std::vector<uint32_t>() : render(bytes, size);
    if (argb.empty())
        std::fprintf(stderr, "iconbaker: %s could not be rendered; the window gets no icon\n", argv[1]);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    for (const uint32_t word : argb) {
        const unsigned char le[4] = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
        out.write(reinterpret_cast<const char*>(le), 4);
    }
    return out ? 0 : 1;
}
