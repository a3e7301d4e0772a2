// The least a GL picture viewer has to do on this machine's renderer, as the
// reference for Pictavo's start-up: a full-screen GLUT window, the first
// picture given decoded with libjpeg at the DCT scale that still covers the
// screen, one texture with driver-made mipmaps, one quad, swap. Nothing else
// (no fonts, no overlays, no second thread, no stepping); q or Escape quits.
//
// usage: glfloor PICTURE.jpg [more pictures, ignored]
#include <GL/glut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h> // after <cstdio>: it needs FILE

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

Picture decode(const char* path, int coverWidth, int coverHeight)
{
    Picture p;
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return p;
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors); // a broken file ends the program: a reference needs good input
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    info.scale_num = 1;
    for (unsigned denom : {8u, 4u, 2u, 1u}) {
        info.scale_denom = denom;
        jpeg_calc_output_dimensions(&info);
        const double fit = std::min(double(coverWidth) / info.image_width, double(coverHeight) / info.image_height);
        if (info.output_width >= fit * info.image_width - 1 && info.output_height >= fit * info.image_height - 1)
            break;
    }
    jpeg_start_decompress(&info);
    p.width = int(info.output_width);
    p.height = int(info.output_height);
    p.rgb.resize(size_t(p.width) * size_t(p.height) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = p.rgb.data() + size_t(info.output_scanline) * size_t(p.width) * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return p;
}

const char* g_path = nullptr;
GLuint g_texture = 0;
int g_width = 0, g_height = 0;

void display()
{
    const int w = glutGet(GLUT_WINDOW_WIDTH), h = glutGet(GLUT_WINDOW_HEIGHT);
    if (!g_texture) {
        const Picture p = decode(g_path, w, h);
        if (p.rgb.empty())
            std::exit(1);
        g_width = p.width, g_height = p.height;
        glGenTextures(1, &g_texture);
        glBindTexture(GL_TEXTURE_2D, g_texture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, p.width, p.height, 0, GL_RGB, GL_UNSIGNED_BYTE, p.rgb.data());
    }
    glViewport(0, 0, w, h);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, h, 0, -1, 1);
    const double scale = std::min(double(w) / g_width, double(h) / g_height);
    const double x0 = (w - g_width * scale) / 2, y0 = (h - g_height * scale) / 2;
    glEnable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2d(x0, y0);
    glTexCoord2f(1, 0), glVertex2d(x0 + g_width * scale, y0);
    glTexCoord2f(1, 1), glVertex2d(x0 + g_width * scale, y0 + g_height * scale);
    glTexCoord2f(0, 1), glVertex2d(x0, y0 + g_height * scale);
    glEnd();
    glutSwapBuffers();
}

void key(unsigned char k, int, int)
{
    if (k == 'q' || k == 27)
        std::exit(0);
}

} // namespace

int main(int argc, char** argv)
{
    glutInit(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: glfloor PICTURE.jpg\n");
        return 2;
    }
    g_path = argv[1];
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE);
    glutInitWindowSize(glutGet(GLUT_SCREEN_WIDTH), glutGet(GLUT_SCREEN_HEIGHT));
    glutCreateWindow("glfloor");
    glutFullScreen();
    glutDisplayFunc(display);
    glutKeyboardFunc(key);
    glutMainLoop();
    return 0;
}
