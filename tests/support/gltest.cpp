#include "gltest.h"

#include "testsupport.h"

#include "oxengine/image/png/pnghandler.h"
#include "oxengine/platform/x11util.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace {
int g_window = 0;
int g_width = 0, g_height = 0;
void noDisplay() {}
} // namespace

bool glTestContext(int width, int height)
{
    if (!g_window) {
        if (!std::getenv("DISPLAY"))
            return false;
        oxInstallXErrorHandler();
        // Kept open until freeglut has its own connection: some servers drop
        // a connection accepted right after another client went away, and
        // freeglut ends the process when its open fails.
        Display* probe = oxOpenXDisplay();
        if (!probe)
            return false;
        int argc = 1;
        char name[] = "oxtest";
        char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
        glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
        glutInitWindowSize(width, height);
        glutInitWindowPosition(0, 0);
        glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
        g_window = glutCreateWindow("oxtest");
        glutDisplayFunc(noDisplay);
        g_width = width, g_height = height;
        glutMainLoopEvent();
        XCloseDisplay(probe);
    }
    glutSetWindow(g_window);
    if (width != g_width || height != g_height) {
        glutReshapeWindow(width, height);
        // freeglut reports the new size before the server has applied it; wait until the X window itself has the size.
        Display* dpy = glXGetCurrentDisplay();
        const GLXDrawable drawable = glXGetCurrentDrawable();
        for (int i = 0; i < 500; ++i) {
            glutMainLoopEvent();
            if (!dpy || !drawable)
                break;
            XSync(dpy, False);
            Window root;
            int x, y;
            unsigned w = 0, h = 0, border, depth;
            XGetGeometry(dpy, drawable, &root, &x, &y, &w, &h, &border, &depth);
            if (int(w) == width && int(h) == height)
                break;
            usleep(2000);
        }
        // Software GL resizes its buffers only when the drawable is bound again or swapped.
        glutSwapBuffers();
        if (dpy && drawable)
            glXMakeCurrent(dpy, drawable, glXGetCurrentContext());
        g_width = width, g_height = height;
    }
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    // Each test starts from the same fixed-function state, whatever the tests before it left switched on.
    glDisable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_SCISSOR_TEST);
    glColor4f(1, 1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, 0);
    return true;
}

std::vector<uint8_t> glReadBack(int x, int y, int width, int height, int windowHeight)
{
    std::vector<uint8_t> raw(size_t(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    // GL rows start at the bottom; flip to top-first window coordinates.
    glReadPixels(x, (windowHeight ? windowHeight : g_height) - y - height, width, height, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
    std::vector<uint8_t> out(raw.size());
    for (int row = 0; row < height; ++row)
        std::copy_n(raw.begin() + size_t(height - 1 - row) * width * 4, size_t(width) * 4,
                    out.begin() + size_t(row) * width * 4);
    return out;
}

void glQuad(float x0, float y0, float x1, float y1)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(x0, y0);
    glTexCoord2f(1, 0), glVertex2f(x1, y0);
    glTexCoord2f(1, 1), glVertex2f(x1, y1);
    glTexCoord2f(0, 1), glVertex2f(x0, y1);
    glEnd();
}

PixelBox GLFrame::find(const PixelTest& p, PixelRect in, int* count) const
{
    PixelBox box;
    for (int y = std::max(0, in.y); y < std::min(m_height, in.y + in.h); ++y)
        for (int x = std::max(0, in.x); x < std::min(m_width, in.x + in.w); ++x)
            if (is(p, x, y)) {
                box.left = std::min(box.left, x), box.right = std::max(box.right, x);
                box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
                if (count)
                    ++*count;
            }
    return box;
}

int GLFrame::count(const PixelTest& p, PixelRect in) const
{
    int n = 0;
    find(p, in, &n);
    return n;
}

PixelTest nearColour(oxColour c, int tolerance)
{
    return [=](int r, int g, int b) {
        return std::abs(r - c.r) <= tolerance && std::abs(g - c.g) <= tolerance && std::abs(b - c.b) <= tolerance;
    };
}

std::string GLFrame::text(int x, int y) const
{
    return "(" + std::to_string(r(x, y)) + "," + std::to_string(g(x, y)) + "," + std::to_string(b(x, y)) + ")";
}

int GLFrame::maxDifference(const GLFrame& other) const
{
    int worst = 0;
    for (size_t i = 0; i < m_pixels.size() && i < other.m_pixels.size(); ++i)
        if (i % 4 != 3)
            worst = std::max(worst, std::abs(int(m_pixels[i]) - int(other.m_pixels[i])));
    return worst;
}

GLFrame::Distance GLFrame::distanceTo(const std::vector<uint32_t>& soft, int block) const
{
    Distance d;
    if (soft.size() != size_t(m_width) * size_t(m_height))
        return {256, m_width * m_height};
    for (int by = 0; by + block <= m_height; by += block)
        for (int bx = 0; bx + block <= m_width; bx += block)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int y = by; y < by + block; ++y)
                    for (int x = bx; x < bx + block; ++x) {
                        const int s = int(soft[size_t(y) * size_t(m_width) + size_t(x)] >> (16 - 8 * c)) & 0xFF;
                        const int diff = s - at(x, y)[c];
                        sum += diff;
                        d.farPixels += std::abs(diff) > 64;
                    }
                d.worstBlock = std::max(d.worstBlock, std::abs(sum) / (block * block));
            }
    return d;
}

void GLFrame::save(const std::string& name) const
{
    const auto image = imageOf<oxColour>(m_width, m_height, [&](uint32_t x, uint32_t y) {
        const uint8_t* p = at(int(x), int(y));
        return oxColour(p[0], p[1], p[2], p[3]);
    });
    const std::string path = artifactDir() + "/" + name + ".png";
    thrownMessage([&] { oxPngHandler().saveImage(*image, path, oxToneMapping::neutral()); }); // never fails a test
}
