#include "oxengine/image/parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::atomic<unsigned> g_threadLimit{0};

// Below this much work (pixel operations) per thread, starting one costs more
// than it saves.
constexpr size_t MIN_WORK_PER_THREAD = size_t(1) << 17;
constexpr unsigned MAX_THREADS = 16;

// Whether this thread runs a part of a loop spread over threads: a loop
// inside it then runs on this thread alone, as every core is busy already.
thread_local bool t_inSpreadLoop = false;

bool runPart(const std::function<bool(size_t, size_t)>& work, size_t begin, size_t end)
{
    try {
        return work(begin, end);
    } catch (...) {
        return false;
    }
}

bool runSpreadPart(const std::function<bool(size_t, size_t)>& work, size_t begin, size_t end)
{
    const bool outer = std::exchange(t_inSpreadLoop, true);
    const bool ok = runPart(work, begin, end);
    t_inSpreadLoop = outer;
    return ok;
}

} // namespace

void oxSetImageThreads(unsigned count)
{
    g_threadLimit = count;
}

unsigned oxImageThreads()
{
    const unsigned limit = g_threadLimit;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return std::min(limit ? limit : cores, MAX_THREADS);
}

bool oxParallelFor(size_t count, size_t costPerItem, const std::function<bool(size_t, size_t)>& work)
{
    if (count == 0)
        return true;
    const size_t total = count * std::max<size_t>(costPerItem, 1);
    size_t parts = std::min<size_t>({oxImageThreads(), count, std::max<size_t>(1, total / MIN_WORK_PER_THREAD)});
    if (parts <= 1 || t_inSpreadLoop)
        return runPart(work, 0, count);

    std::vector<std::thread> threads;
    std::vector<char> ok(parts, 0); // char, not bool: each thread writes its own element
    std::vector<size_t> here;       // parts no thread could be started for
    here.reserve(parts);
    threads.reserve(parts);
    const auto bound = [&](size_t part) { return count * part / parts; };
    for (size_t part = 1; part < parts; ++part) {
        try {
            threads.emplace_back([&, part] { ok[part] = runSpreadPart(work, bound(part), bound(part + 1)); });
        } catch (...) {
            here.push_back(part);
        }
    }
    ok[0] = runSpreadPart(work, 0, bound(1));
    for (size_t part : here)
        ok[part] = runSpreadPart(work, bound(part), bound(part + 1));
    for (auto& t : threads)
        t.join();
    return std::all_of(ok.begin(), ok.end(), [](char c) { return c != 0; });
}
