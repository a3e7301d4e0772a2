// Frames per second of the single-picture view on a 4000 x 3000 picture in a
// 1920 x 1080 window while a zoom animation and while a cross-fade run, with
// the main thread's CPU time per frame (Google Benchmark's CPU column;
// software GL rasterises on threads of its own, counted in process_cpu_ms).
// The bare_tiles case draws the same tiles with nothing of the view around
// them: the difference is what the view adds. Run under Xvfb:
//   xvfb-run -a -s "-screen 0 1920x1200x24 +extension GLX" build/bench/view_bench
#include "app/loader/simpleloader.h"
#include "app/prepare/prepare.h"
#include "app/shell/configkeys.h"
#include "app/views/fototransform.h"
#include "app/views/image/imagedisplay.h"
#include "app/views/picturedraw.h"
#include "app/views/viewapplication.h"

#include "oxengine/graphics/fontmanager.h"
#include "oxengine/image/handler.h"
#include "oxengine/platform/glapp.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/storage/config.h"
#include "oxengine/storage/files.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double processCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e6 + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec)) /
           1000.0;
}

// Keeps every picture loaded once, so that a cross-fade restart does not
// decode again.
class CachingLoader : public TextureLoader {
public:
    ~CachingLoader() override
    {
        for (auto& [name, p] : m_pictures)
            m_inner.releasePicture(p);
    }
    PictureRequest requestPicture(const std::string& name) override
    {
        LoadedPicture*& p = m_pictures[name];
        if (!p)
            p = m_inner.requestPicture(name).picture;
        return {p, false};
    }
    void releasePicture(LoadedPicture*) override {}

private:
    SimpleTextureLoader m_inner{preparePicture};
    std::map<std::string, LoadedPicture*> m_pictures;
};

class BenchApp : public oxGLUTApplication, public ViewApplication {
public:
    std::vector<std::string> files;
    CachingLoader loader;
    std::unique_ptr<ImageDisplay> view;
    FotoTransform* transform = nullptr;
    int argc = 1;
    char** argv = nullptr;
    int next = 0;

    oxApplication* framework() override { return this; }
    FotoTransform* fotoTransform() override { return transform; }
    void show()
    {
        view->showPicture(files[size_t(next++ % int(files.size()))]);
        transform->refit();
    }
    void onStart() override
    {
        glViewport(0, 0, width(), height());
        updateProjection();
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_CULL_FACE);
        setSwapInterval(false);
        view = std::make_unique<ImageDisplay>(this, loader);
        auto owned = std::make_unique<FotoTransform>(view.get(), this);
        transform = owned.get();
        setViewingTransform(std::move(owned));
        addGUIEventListener(view.get(), true);
        view->applyGlobalStyle();
        show();
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        transform->setView(nullptr);
        view.reset();
        GLFontManager::releaseAll();
        leaveMainLoop();
    }
    void render() override { view->drawView(2); }
    void frame()
    {
        dispatchIdle();
        display(false);
        glFinish();
    }
};

BenchApp* g_app = nullptr;

void report(benchmark::State& state, double cpuStart)
{
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["process_cpu_ms"] = (processCpuMs() - cpuStart) / double(state.iterations());
}

void BM_ZoomAnimation(benchmark::State& state)
{
    BenchApp& a = *g_app;
    a.transform->refit();
    const double low = a.transform->fitZoom(), high = 1.0;
    bool in = true;
    a.transform->zoomAnimated(high);
    const double cpu = processCpuMs();
    for (auto _ : state) {
        if (!a.transform->isAnimating()) {
            in = !in;
            a.transform->zoomAnimated(in ? high : low);
        }
        a.frame();
    }
    report(state, cpu);
}

void BM_CrossFade(benchmark::State& state)
{
    BenchApp& a = *g_app;
    writeConfigInt(ConfigKey::AnimLengthUs, 10000000); // longer than the run
    a.show();
    const double cpu = processCpuMs();
    for (auto _ : state) {
        if (!a.view->isFading()) {
            state.PauseTiming();
            a.show();
            state.ResumeTiming();
        }
        a.frame();
    }
    report(state, cpu);
}

// The same tiles of the current picture at the fit zoom, drawn bare.
void BM_BareTiles(benchmark::State& state)
{
    BenchApp& a = *g_app;
    LoadedPicture& p = *a.view->currentPicture();
    const double scale = a.transform->fitZoom();
    const double cpu = processCpuMs();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        drawPicture(p, scale, 1.0, -0.2, nullptr, nullptr);
        a.swapBuffers();
        glFinish();
    }
    report(state, cpu);
}

BENCHMARK(BM_ZoomAnimation)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_CrossFade)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_BareTiles)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// Two photo-like 4000 x 3000 JPEGs: smooth gradients with some texture.
std::string writeTestPicture(const std::string& folder, int n)
{
    const std::string path = folder + "/view_bench_" + std::to_string(n) + ".jpg";
    if (std::filesystem::exists(path))
        return path;
    auto image = oxImageUInt8::create(4000, 3000);
    for (uint32_t y = 0; y < 3000; ++y)
        for (uint32_t x = 0; x < 4000; ++x)
            image->row(y)[x] = oxColour(uint8_t((x / 16 + n * 60) & 255), uint8_t(y / 12), uint8_t(((x ^ y) & 63) + 64 * n));
    oxImageRegistry::instance().saveImage(*image, path, oxToneMapping::neutral());
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "view_bench needs an X display (run it under xvfb-run)\n");
        return 1;
    }
    char folder[] = "/tmp/view_bench_XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    setenv("XDG_CONFIG_HOME", folder, 1);
    oxFilename::initialize();
    oxConfig::initialize("Quorvel Software", "Pictavo");
    oxSetMessageHandler([](const oxMessageRequest& r) {
        std::fprintf(stderr, "[message box] %s: %s\n", r.title.c_str(), r.text.c_str());
        return oxMessageAnswer{MB_OK, {}};
    });
    BenchApp app;
    app.files = {writeTestPicture(folder, 0), writeTestPicture(folder, 1)};
    app.argc = argc, app.argv = argv;
    app.setInitialWindowSize(1920, 1080);
    app.setDisplayMode("rgba double depth");
    g_app = &app;
    const int rc = oxGLUTApplication::run(&app, 1, argv);
    std::filesystem::remove_all(folder);
    return rc;
}
