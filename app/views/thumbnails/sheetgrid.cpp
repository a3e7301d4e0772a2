#include "app/views/thumbnails/sheetgrid.h"

#include <algorithm>
#include <cmath>
#include <limits>

int roundItemSize(int stored)
{
    int size = 1;
    while (size < stored && size < (1 << 30))
        size <<= 1;
    return size;
}

SheetGrid sheetGrid(const SheetMetrics& m, int windowWidth, int count)
{
    SheetGrid g;
    const int half = std::max(m.itemSize / 2, 1);
    g.columns = std::max(3, (windowWidth - m.listMargin) / half);
    const int n = std::max(count, 0);
    g.rows = std::max(1, int((int64_t(n) + g.columns - 1) / g.columns));
    return g;
}

oxGuiPointD cellOrigin(const SheetMetrics& m, const SheetGrid& g, int index)
{
    const int column = index % g.columns, row = index / g.columns;
    return {double(m.pitch()) * column + m.listMargin, double(m.pitch()) * row + m.titleMargin};
}

oxGuiSize sheetContentSize(const SheetMetrics& m, const SheetGrid& g, oxGuiSize window)
{
    const int64_t w = int64_t(m.pitch()) * g.columns + m.listMargin;
    int64_t h = int64_t(m.pitch()) * g.rows + m.titleMargin;
    if (window.width > 0)
        h = std::max(h, w * window.height / window.width);
    constexpr int64_t limit = std::numeric_limits<int32_t>::max();
    return {int32_t(std::min(w, limit)), int32_t(std::min(h, limit))};
}

CellRect cellWindowRect(const SheetMetrics& m, const SheetGrid& g, const SheetView& v, int index)
{
    const oxGuiPointD o = cellOrigin(m, g, index);
    const double p = m.pitch();
    return {o.x * v.scale - v.offsetX, o.y * v.scale - v.offsetY, (o.x + p) * v.scale - v.offsetX,
            (o.y + p) * v.scale - v.offsetY};
}

bool cellVisible(const CellRect& r, oxGuiSize window)
{
    return r.x1 >= 0 && r.x0 <= window.width && r.y1 >= 0 && r.y0 <= window.height;
}

RowRange visibleRows(const SheetMetrics& m, const SheetGrid& g, const SheetView& v, oxGuiSize window)
{
    RowRange range;
    const double step = m.pitch() * v.scale;
    if (!(step > 0))
        return range;
    // Row r spans [(p r + T) s - oy, (p (r + 1) + T) s - oy] in the window.
    const double top = (v.offsetY - m.titleMargin * v.scale) / step;
    const double bottom = (window.height + v.offsetY - m.titleMargin * v.scale) / step;
    range.first = int(std::clamp(std::ceil(top) - 1, 0.0, double(g.rows)));
    range.last = int(std::clamp(std::floor(bottom), -1.0, double(g.rows - 1)));
    return range;
}

SheetHit sheetHitTest(const SheetMetrics& m, const SheetGrid& g, int count, const SheetView& v, int x, int y)
{
    SheetHit hit;
    const double px = x + v.offsetX, py = y + v.offsetY;
    const double originX = m.listMargin * v.scale, originY = m.titleMargin * v.scale;
    const double step = m.pitch() * v.scale;
    if (px < originX || py < originY || !(step > 0))
        return hit;
    const double column = std::trunc((px - originX) / step), row = std::trunc((py - originY) / step);
    if (count <= 0) {
        hit.searchLine = row == 0;
        return hit;
    }
    if (column < g.columns && row < g.rows) {
        const int64_t index = int64_t(row) * g.columns + int64_t(column);
        if (index < count)
            hit.index = int(index);
    }
    return hit;
}

int listMarginForPanel(const SheetMetrics& m, int windowWidth, int panelWidth, int minMargin, int maxMargin)
{
    // The panel is L x W / (p x c + L) wide, and the columns c follow L:
    // c = k for W - (k + 1) x half < L <= W - k x half (any larger L for
    // the least, 3). Within each such range the width grows with L, so the
    // best L of a range is the exact solution L = width x p x k / (W -
    // width) kept inside it; the best of all ranges wins.
    const int64_t W = windowWidth, width = panelWidth, p = m.pitch(), half = std::max(m.itemSize / 2, 1);
    if (W <= 0 || width <= 0 || width >= W || minMargin > maxMargin)
        return std::clamp(m.listMargin, minMargin, maxMargin);
    int best = std::clamp(m.listMargin, minMargin, maxMargin);
    double bestError = std::numeric_limits<double>::infinity();
    for (int64_t k = 3; k <= std::max<int64_t>(3, W / half); ++k) {
        int64_t lo = W - (k + 1) * half + 1, hi = k == 3 ? INT32_MAX : W - k * half;
        lo = std::max<int64_t>(lo, minMargin), hi = std::min<int64_t>(hi, maxMargin);
        if (lo > hi)
            continue;
        const int64_t margin = std::clamp(width * p * k / (W - width), lo, hi);
        const double error = std::abs(double(margin) * W / double(p * k + margin) - double(width));
        if (error < bestError)
            best = int(margin), bestError = error;
    }
    return best;
}

double captionHeight(double scale, int guiTextHeight)
{
    return std::clamp(scale, 1.0, 2.0) * double((guiTextHeight * 17 + 8) / 20);
}
