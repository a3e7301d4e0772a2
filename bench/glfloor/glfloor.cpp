// The least a GL picture viewer has to do on this machine's renderer, as the
// reference for Pictavo's start-up and stepping: a full-screen GLUT window,
// the pictures decoded with libjpeg at the DCT scale that still covers the
// screen, one texture each with driver-made mipmaps, one quad, swap. Space
// shows the next picture, read ahead while idle, through one frame of a
// cross-fade (the old picture with the new one over it at a quarter, each
// from one mipmap level); the new picture alone follows 100 ms later.
// Nothing else (no fonts, no overlays, no second thread); q or Escape quits.
//
// usage: glfloor PICTURE.jpg [NEXT.jpg ...]
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

struct Texture {
    GLuint name = 0;
    int width = 0, height = 0;
};

std::vector<const char*> g_paths;
size_t g_shown = 0;
Texture g_current, g_next;
bool g_fading = false;

Texture upload(const char* path, int w, int h)
{
    const Picture p = decode(path, w, h);
    if (p.rgb.empty())
        std::exit(1);
    Texture t{0, p.width, p.height};
    glGenTextures(1, &t.name);
    glBindTexture(GL_TEXTURE_2D, t.name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, p.width, p.height, 0, GL_RGB, GL_UNSIGNED_BYTE, p.rgb.data());
    return t;
}

// While two pictures blend, each samples one mipmap level: half the reads.
void quad(const Texture& t, int w, int h, float opacity, GLint filter = GL_LINEAR_MIPMAP_LINEAR)
{
    glBindTexture(GL_TEXTURE_2D, t.name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glColor4f(1, 1, 1, opacity);
    const double scale = std::min(double(w) / t.width, double(h) / t.height);
    const double x0 = (w - t.width * scale) / 2, y0 = (h - t.height * scale) / 2;
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2d(x0, y0);
    glTexCoord2f(1, 0), glVertex2d(x0 + t.width * scale, y0);
    glTexCoord2f(1, 1), glVertex2d(x0 + t.width * scale, y0 + t.height * scale);
    glTexCoord2f(0, 1), glVertex2d(x0, y0 + t.height * scale);
    glEnd();
}

void idle();

void display()
{
    const int w = glutGet(GLUT_WINDOW_WIDTH), h = glutGet(GLUT_WINDOW_HEIGHT);
    if (!g_current.name)
        g_current = upload(g_paths[0], w, h);
    glViewport(0, 0, w, h);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, h, 0, -1, 1);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (g_fading) {
        quad(g_current, w, h, 1, GL_LINEAR_MIPMAP_NEAREST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        quad(g_next, w, h, 0.25f, GL_LINEAR_MIPMAP_NEAREST);
        glDisable(GL_BLEND);
    } else {
        quad(g_current, w, h, 1);
    }
    glutSwapBuffers();
    if (!g_fading && !g_next.name)
        glutIdleFunc(idle); // after the frame: reading ahead never delays it
}

void endFade(int)
{
    glDeleteTextures(1, &g_current.name);
    g_current = g_next;
    g_next = {};
    g_fading = false;
    ++g_shown;
    glutPostRedisplay();
}

// The next picture is read ahead once the shown one is on screen.
void idle()
{
    if (!g_next.name && g_shown + 1 < g_paths.size())
        g_next = upload(g_paths[g_shown + 1], glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT));
    glutIdleFunc(nullptr);
}

void key(unsigned char k, int, int)
{
    if (k == 'q' || k == 27)
        std::exit(0);
    if (k != ' ' || g_fading)
        return;
    if (!g_next.name)
        idle();
    if (!g_next.name)
        return;
    g_fading = true;
    glutPostRedisplay();
    glutTimerFunc(100, endFade, 0);
}

} // namespace

int main(int argc, char** argv)
{
    glutInit(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: glfloor PICTURE.jpg [NEXT.jpg ...]\n");
        return 2;
    }
    g_paths.assign(argv + 1, argv + argc);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE);
    glutInitWindowSize(glutGet(GLUT_SCREEN_WIDTH), glutGet(GLUT_SCREEN_HEIGHT));
    glutCreateWindow("glfloor");
    glutFullScreen();
    glutDisplayFunc(display);
    glutKeyboardFunc(key);
    glutMainLoop();
    return 0;
}
