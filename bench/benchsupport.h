// Pieces the benchmarks share: a photo-like picture and timing of commands.
#pragma once

#include "oxengine/image/image.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

// Smooth shapes with fine noise, like a photograph as far as the entropy
// coder is concerned.
inline std::unique_ptr<oxImageUInt8> benchScene(uint32_t width, uint32_t height)
{
    auto p = oxImageUInt8::create(width, height);
    uint32_t noise = 12345;
    for (uint32_t y = 0; y < height; ++y) {
        oxColour* row = p->row(y);
        const float fy = float(y) / float(height);
        for (uint32_t x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const float fx = float(x) / float(width);
            const int n = int(noise >> 28) - 8;
            const float wave = 0.5f + 0.5f * std::sin(fx * 40.0f + std::cos(fy * 23.0f) * 3.0f);
            row[x] = oxColour(uint8_t(std::clamp(int(255 * fx) + n, 0, 255)),
                              uint8_t(std::clamp(int(255 * wave) + n, 0, 255)),
                              uint8_t(std::clamp(int(255 * fy * wave) + n, 0, 255)), 255);
        }
    }
    return p;
}

// The shortest of runs in milliseconds, -1 when a run fails.
template <class F> double bestOfMs(int runs, F&& run)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!run())
            return -1;
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

// Runs a shell command with its output discarded; true when it succeeded.
inline bool runQuietly(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}
