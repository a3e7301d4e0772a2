#include "oxengine/core/startuptrace.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <unistd.h>

namespace {

struct Trace {
    std::mutex mutex;
    bool on = false;
    bool toStderr = false;
    std::function<void(const std::string&)> line;
    std::vector<oxStartupStage> stages;
    double startMs = -1; // process start on CLOCK_BOOTTIME
};

Trace& trace()
{
    static Trace t;
    return t;
}

double bootClockMs()
{
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

// Field 22 of /proc/self/stat: the start in clock ticks since boot. Without
// it the trace counts from its own start.
double processStartMs()
{
    std::FILE* f = std::fopen("/proc/self/stat", "r");
    if (!f)
        return bootClockMs();
    char buffer[1024] = {};
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = 0;
    // The command name may hold spaces and parentheses: count after its last ')'.
    const char* p = std::strrchr(buffer, ')');
    unsigned long long ticks = 0;
    for (int field = 2; p && *p && field < 22; ++p)
        if (*p == ' ')
            ++field;
    const long hz = sysconf(_SC_CLK_TCK);
    if (!p || hz <= 0 || std::sscanf(p, "%llu", &ticks) != 1)
        return bootClockMs();
    return double(ticks) * 1000.0 / double(hz);
}

} // namespace

std::string oxStartupLine(const oxStartupStage& stage)
{
    char text[160];
    std::snprintf(text, sizeof text, "startup: %-24s %8.1f ms", stage.name.c_str(), stage.ms);
    return text;
}

void oxTraceStartup(bool toStderr, std::function<void(const std::string& line)> line)
{
    Trace& t = trace();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (!t.on)
        t.startMs = processStartMs();
    t.on = true;
    for (const oxStartupStage& stage : t.stages) {
        if (toStderr && !t.toStderr)
            std::fprintf(stderr, "%s\n", oxStartupLine(stage).c_str());
        if (line)
            line(oxStartupLine(stage));
    }
    t.toStderr = t.toStderr || toStderr;
    t.line = std::move(line);
}

bool oxStartupTraced()
{
    Trace& t = trace();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.on;
}

void oxMarkStartup(const char* stage)
{
    Trace& t = trace();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (!t.on || std::any_of(t.stages.begin(), t.stages.end(), [&](const oxStartupStage& s) { return s.name == stage; }))
        return;
    t.stages.push_back({stage, bootClockMs() - t.startMs});
    const std::string text = oxStartupLine(t.stages.back());
    if (t.toStderr)
        std::fprintf(stderr, "%s\n", text.c_str());
    if (t.line)
        t.line(text);
}

std::vector<oxStartupStage> oxStartupStages()
{
    Trace& t = trace();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.stages;
}
