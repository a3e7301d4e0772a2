// Engine demonstration until the viewer exists: a window (full-screen unless
// -window is given) with a gradient and a framed rectangle; Escape ends it,
// F1 shows a message box.
#include "oxengine/catalogue.h"
#include "oxengine/glapp.h"
#include "oxengine/messagebox.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstring>

namespace {

// "-name", "--name" and "/name" all select an option.
bool isOption(const char* arg, const char* name)
{
    if (arg[0] == '-')
        arg += arg[1] == '-' ? 2 : 1;
    else if (arg[0] == '/')
        arg += 1;
    else
        return false;
    return std::strcmp(arg, name) == 0;
}

void quad(float x0, float y0, float x1, float y1)
{
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
}

class DemoApp : public oxGLUTApplication {
public:
    explicit DemoApp(bool windowed)
    {
        setTitle(oxGetTranslation("Pictavo engine demo"));
        setInitialWindowSize(800, 600);
        setFullScreen(!windowed);
    }

    void onStart() override
    {
        glClearColor(0, 0, 0, 1);
        glDisable(GL_DEPTH_TEST);
        setSwapInterval(true);
    }

    // Window pixels, origin at the top left.
    void updateProjection() override
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, width(), height(), 0, 0, 1);
        glMatrixMode(GL_MODELVIEW);
        postRedisplay();
    }

    void render() override
    {
        const float w = float(width()), h = float(height());
        glBegin(GL_QUADS);
        glColor3f(0.05f, 0.10f, 0.35f);
        glVertex2f(0, 0);
        glColor3f(0.35f, 0.10f, 0.45f);
        glVertex2f(w, 0);
        glColor3f(0.90f, 0.45f, 0.20f);
        glVertex2f(w, h);
        glColor3f(0.10f, 0.45f, 0.40f);
        glVertex2f(0, h);
        glEnd();

        const float x0 = w * 0.3f, y0 = h * 0.35f, x1 = w * 0.7f, y1 = h * 0.65f;
        glBegin(GL_QUADS);
        glColor3f(1, 1, 1);
        quad(x0 - 4, y0 - 4, x1 + 4, y1 + 4);
        glColor3f(0.95f, 0.75f, 0.15f);
        quad(x0, y0, x1, y1);
        glEnd();
    }

    bool onKeyDown(int key, bool special) override
    {
        if (!special && key == 27) {
            leaveMainLoop();
            return true;
        }
        if (special && key == GLUT_KEY_F1) {
            oxShowMessage(oxGetTranslation("Pictavo engine demo\n\nEscape quits the demo, F1 shows this message."),
                          std::string(), MB_OK, MI_INFORMATION);
            return true;
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    bool windowed = false;
    for (int i = 1; i < argc; ++i)
        if (isOption(argv[i], "window"))
            windowed = true;
    DemoApp app(windowed);
    return oxGLUTApplication::run(&app, argc, argv);
}
