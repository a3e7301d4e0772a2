// Points and sizes of the widget toolkit. Layout works in whole window
// pixels (x right, y down, origin top-left); drawing in doubles.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

struct oxGuiPoint {
    int32_t x = 0, y = 0;
    friend constexpr bool operator==(const oxGuiPoint&, const oxGuiPoint&) = default;
};

struct oxGuiSize {
    int32_t width = 0, height = 0;
    friend constexpr bool operator==(const oxGuiSize&, const oxGuiSize&) = default;
};

struct oxGuiPointD {
    double x = 0, y = 0;
    friend constexpr bool operator==(const oxGuiPointD&, const oxGuiPointD&) = default;
};

struct oxGuiSizeD {
    double width = 0, height = 0;
    friend constexpr bool operator==(const oxGuiSizeD&, const oxGuiSizeD&) = default;
};

struct oxGuiRect {
    oxGuiPoint position;
    oxGuiSize size;
    bool empty() const { return size.width <= 0 || size.height <= 0; }
};

// Half-open: a point on the right or bottom edge is outside.
constexpr bool pointInRect(int x, int y, oxGuiPoint position, oxGuiSize size)
{
    return x >= position.x && y >= position.y && int64_t(x) < int64_t(position.x) + size.width &&
           int64_t(y) < int64_t(position.y) + size.height;
}

// Truncates towards zero; NaN and values beyond the range of a pixel
// coordinate are limited rather than undefined.
inline int32_t oxGuiToPixel(double v)
{
    if (std::isnan(v))
        return 0;
    constexpr double lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    return int32_t(std::trunc(std::clamp(v, lo, hi)));
}
