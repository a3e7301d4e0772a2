// CPU cost of the widget toolkit: a dialog of 30 widgets (10 rows of label,
// button and checkbox) drawn over a 1920 × 1080 window, and its layout.
// Needs an X display with GLX (run under xvfb-run); the budget is 2 ms of
// CPU per frame for the toolkit.
#include "oxengine/graphics/fontmanager.h"
#include "oxengine/gui/checkbox.h"
#include "oxengine/gui/host.h"
#include "oxengine/gui/modal.h"
#include "oxengine/gui/sizers.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

namespace {

constexpr int WIDTH = 1920, HEIGHT = 1080;
constexpr int ROWS = 10; // three widgets each

std::unique_ptr<oxGuiModalPanel> makeDialog()
{
    auto panel = std::make_unique<oxGuiModalPanel>(std::make_unique<oxGuiVSizer>());
    auto* column = static_cast<oxGuiVSizer*>(panel->content());
    for (int i = 0; i < ROWS; ++i) {
        auto* row = column->addChild(std::make_unique<oxGuiHSizer>());
        row->addChild(std::make_unique<oxGuiLabel>("Setting number " + std::to_string(i) + ":"));
        row->addChild(std::make_unique<oxGuiFlexi>(1, 0));
        row->addChild(std::make_unique<oxGuiButton>(100 + i, "Change..."));
        row->addChild(std::make_unique<oxGuiCheckbox>(200 + i, "Enabled"));
    }
    panel->applyStyle(defaultGuiStyle);
    const oxGuiSize s = panel->getSize();
    panel->setPosition({(WIDTH - s.width) / 2, (HEIGHT - s.height) / 2});
    // One row hovered and one focused, as while the user works in it.
    oxGuiElement* hovered = static_cast<oxGuiHSizer*>(column->child(3))->child(2);
    hovered->onMouseMove(-1, hovered->getPosition().x + 1, hovered->getPosition().y + 1);
    setFocus(static_cast<oxGuiHSizer*>(column->child(5))->child(3));
    return panel;
}

bool openWindow()
{
    if (!std::getenv("DISPLAY"))
        return false;
    int argc = 1;
    char name[] = "gui_bench";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(WIDTH, HEIGHT);
    glutCreateWindow("gui_bench");
    glutDisplayFunc([] {});
    glutMainLoopEvent();
    glViewport(0, 0, WIDTH, HEIGHT);
    return true;
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The toolkit's own work for one frame: the calls of render(), not the
// rasterising, which a GPU does (here the software renderer's threads).
void BM_DialogDraw(benchmark::State& state)
{
    auto dialog = makeDialog();
    for (auto _ : state) {
        dialog->render();
        state.PauseTiming();
        glFinish();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DialogDraw)->Unit(benchmark::kMillisecond);

// A whole frame with the software renderer finishing it, all threads.
void BM_DialogFrameFinished(benchmark::State& state)
{
    auto dialog = makeDialog();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        dialog->render();
        glFinish();
    }
}
BENCHMARK(BM_DialogFrameFinished)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// Layout from scratch: text measuring and the sizers.
void BM_DialogLayout(benchmark::State& state)
{
    auto dialog = makeDialog();
    for (auto _ : state)
        dialog->applyStyle(defaultGuiStyle);
}
BENCHMARK(BM_DialogLayout)->Unit(benchmark::kMicrosecond);

void summary()
{
    auto dialog = makeDialog();
    constexpr int FRAMES = 300;
    double own = 0, all = 0;
    for (int i = 0; i < FRAMES; ++i) {
        glClear(GL_COLOR_BUFFER_BIT);
        glFinish();
        const double t0 = threadCpuMs(), p0 = processCpuMs();
        dialog->render();
        own += threadCpuMs() - t0;
        glFinish();
        all += processCpuMs() - p0;
        glutSwapBuffers();
    }
    std::printf("\nDialog of %d widgets over %d x %d, %d frames:\n", 3 * ROWS, WIDTH, HEIGHT, FRAMES);
    std::printf("  toolkit CPU per frame:                 %.3f ms (budget 2 ms)\n", own / FRAMES);
    std::printf("  CPU per frame with software GL finish: %.3f ms (all threads)\n", all / FRAMES);
}

} // namespace

int main(int argc, char** argv)
{
    if (!openWindow()) {
        std::fprintf(stderr, "gui_bench needs an X display with GLX (run it under xvfb-run)\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    summary();
    benchmark::Shutdown();
    GLFontManager::releaseAll();
    return 0;
}
