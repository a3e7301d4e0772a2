// The whole viewer in-process under an X display (xvfb-run): the time from
// showPicture of a cold 12-megapixel JPEG (not prefetched) to the end of the
// first frame that shows it, with the cross-fade set to 1 us, beside djpeg
// decoding the same file in the same run. That frame shows the first look
// (decoded as large as the screen needs at fit); the time until the full
// picture has replaced it is printed too.
//
//   xvfb-run -a -s "-screen 0 1920x1200x24 +extension GLX" build/bench/app_bench
#include "app/shell/configkeys.h"
#include "app/shell/pictavoapp.h"
#include "app/shell/startup.h"

#include "oxengine/core/memory.h"
#include "oxengine/platform/glapp.h"
#include "oxengine/platform/messagebox.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

int run(const std::string& command)
{
    return std::system(command.c_str());
}

// Shows picture 1, waits while the loader prefetches its neighbours, then
// jumps to the large picture at the end of the list, which no prefetch
// reached, and times it; then back, as often as asked.
class BenchApp : public PictavoApp {
public:
    BenchApp(std::string target, int rounds) : m_target(std::move(target)), m_rounds(rounds) {}

    void render() override
    {
        PictavoApp::render();
        if (m_measuring) {
            ImageDisplay* view = imageDisplay();
            if (view && view->hasPicture() && !view->isFading() && pictures().currentPath() == m_target) {
                glFinish();
                shown.push_back(msSince(m_start));
                m_measuring = false;
                m_waitingForFull = true;
            }
            postRedisplay();
            return;
        }
        if (m_waitingForFull) {
            // The first look may be replaced by the full picture later.
            ImageDisplay* view = imageDisplay();
            LoadedPicture* p = view ? view->currentPicture() : nullptr;
            bool firstLook = false;
            if (p) {
                oxLock lock(p->lock);
                firstLook = p->firstLook;
            }
            if (firstLook) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                postRedisplay();
                return;
            }
            full.push_back(msSince(m_start));
            m_waitingForFull = false;
            if (int(shown.size()) == m_rounds) {
                shutDown();
                return;
            }
            pictures().goTo(0);
            postRedisplay();
            return;
        }
        // The large picture leaves the loader at the first request after its
        // fade has released it: go on to picture 1 first, so every round
        // starts cold, not only the first one.
        ImageDisplay* view = imageDisplay();
        if (view && view->isFading()) {
            postRedisplay();
            return;
        }
        if (pictures().currentIndex() != 1) {
            pictures().goTo(1);
            postRedisplay();
            return;
        }
        // A user's pause: the loader reads ahead and unloads the rest.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        m_measuring = true;
        m_start = Clock::now();
        pictures().goTo(pictures().count() - 1);
        acquired.push_back(msSince(m_start));
        postRedisplay();
    }

    std::vector<double> shown, acquired, full;

private:
    std::string m_target;
    int m_rounds;
    bool m_measuring = false;
    bool m_waitingForFull = false;
    Clock::time_point m_start;
};

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "app_bench needs an X display with GLX (run it under xvfb-run)\n");
        return 1;
    }
    oxReuseLargeAllocations(); // as the program does
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("oxappbench-" + std::to_string(getpid()));
    fs::create_directories(dir / "config");
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    oxSetMessageHandler([](const oxMessageRequest& r) {
        std::fprintf(stderr, "[message box] %s: %s\n", r.title.c_str(), r.text.c_str());
        return oxMessageAnswer();
    });
    prepareEngine();
    applyStoredSettings();

    // Photo-like content, as a camera's JPEG at quality 90 would hold.
    const std::string big = (dir / "z-large.jpg").string();
    const char* convert = fs::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert";
    if (run(std::string(convert) + " -seed 7 -size 4000x3000 plasma: -attenuate 0.5 +noise Gaussian -quality 90 " +
            big) != 0) {
        std::fprintf(stderr, "app_bench: ImageMagick could not make the picture\n");
        return 1;
    }
    for (const char* small : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        run(std::string(convert) + " -size 640x480 plasma: " + (dir / small).string());

    std::vector<double> djpeg;
    const bool haveDjpeg = run("command -v djpeg >/dev/null") == 0;
    for (int i = 0; haveDjpeg && i < 5; ++i) {
        const auto t = Clock::now();
        run("djpeg -outfile /dev/null " + big);
        djpeg.push_back(msSince(t));
    }

    writeConfigInt(ConfigKey::AnimLengthUs, 1);
    writeConfigText(ConfigKey::LastFolder, dir.string() + "/");
    writeConfigInt(ConfigKey::LastFile, 0);
    benchmark::Initialize(&argc, argv);
    int rounds = 5;
    {
        BenchApp app(big, rounds);
        app.setStartFullScreen(false);
        if (oxGLUTApplication::run(&app, argc, argv) != 0)
            return 1;
        const double show = median(app.shown), acquire = median(app.acquired), ref = median(djpeg);
        std::printf("cold 4000x3000 JPEG, showPicture to the first frame showing it (median of %d): %.1f ms\n",
                    int(app.shown.size()), show);
        std::printf("  of which waiting for the loader (decode, tiles, upload): %.1f ms\n", acquire);
        std::printf("  the full picture in place of the first look after: %.1f ms\n", median(app.full));
        if (ref > 0)
            std::printf("djpeg of the same file, same run (median of 5): %.1f ms; ratio %.2f (target <= 1.3)\n", ref,
                        show / ref);
    }
    fs::remove_all(dir);
    return 0;
}
