#include "oxengine/graphics/softframe.h"

#include "oxengine/graphics/glfont.h"
#include "oxengine/image/image.h"
#include "oxengine/image/parallel.h"
#include "oxengine/image/simd.h"

#include <algorithm>
#include <cmath>

namespace {

// The pixels [first, end) of an axis, within [lo, hi), whose centres lie
// in [from, to), or in (from, to] for rows: GL counts rows from the bottom
// and takes a centre on an edge for the pixel above or right of it.
struct PixelSpan {
    int first = 0, end = 0;
};

PixelSpan pixelSpan(double from, double to, int lo, int hi, bool rows)
{
    if (!(from < to) || lo >= hi)
        return {};
    const double first = rows ? std::floor(from - 0.5) + 1 : std::ceil(from - 0.5);
    const double end = rows ? std::floor(to - 0.5) + 1 : std::ceil(to - 0.5);
    return {int(std::clamp(first, double(lo), double(hi))), int(std::clamp(end, double(lo), double(hi)))};
}

struct Tap {
    int index;
    float weight;
};

// The source texels under a box of the given width centred on u (texel
// units, edges clamped to [0, n)), weighted by their overlap with it. A
// width of one is linear interpolation between texel centres; a wider box
// averages the footprint, as a mipmapped lookup does.
void boxTaps(double u, double width, int n, std::vector<Tap>& taps)
{
    taps.clear();
    const double from = u - width / 2, to = u + width / 2;
    // Beyond an edge the edge texel repeats (clamp to edge).
    const int first = std::clamp(int(std::floor(from)), 0, n - 1), last = std::clamp(int(std::ceil(to)) - 1, 0, n - 1);
    for (int k = first; k <= last; ++k) {
        const double lo = k == 0 ? from : std::max(from, double(k));
        const double hi = k == n - 1 ? to : std::min(to, k + 1.0);
        if (hi > lo)
            taps.push_back({k, float((hi - lo) / width)});
    }
    if (taps.empty())
        taps.push_back({first, 1.0f});
}

// The taps of every target pixel of a span that maps [from, to) onto n
// texels, the same number for each (unused ones weigh nothing), flat so
// that the loops over them have no branches.
struct AxisTaps {
    int perPixel = 0;
    std::vector<int> index;
    std::vector<float> weight;
};

AxisTaps axisTaps(PixelSpan span, double from, double to, int n)
{
    std::vector<std::vector<Tap>> each(size_t(std::max(span.end - span.first, 0)));
    const double texels = n / (to - from);
    size_t most = 1;
    for (int i = span.first; i < span.end; ++i) {
        std::vector<Tap>& taps = each[size_t(i - span.first)];
        boxTaps((i + 0.5 - from) * texels, std::max(texels, 1.0), n, taps);
        most = std::max(most, taps.size());
    }
    AxisTaps flat;
    flat.perPixel = int(most);
    flat.index.assign(each.size() * most, 0);
    flat.weight.assign(each.size() * most, 0.0f);
    for (size_t i = 0; i < each.size(); ++i)
        for (size_t k = 0; k < each[i].size(); ++k) {
            flat.index[i * most + k] = each[i][k].index;
            flat.weight[i * most + k] = each[i][k].weight;
        }
    return flat;
}

// sum += weight * samples: in blocks of a fixed size, which the compiler
// turns into vector operations, then the rest one by one.
OX_TARGET_CLONES void addWeighted(float* __restrict sum, const uint8_t* __restrict samples, float weight, size_t count)
{
    constexpr size_t block = 32;
    size_t i = 0;
    for (; i + block <= count; i += block)
        for (size_t j = 0; j < block; ++j)
            sum[i + j] += weight * float(samples[i + j]);
    for (; i < count; ++i)
        sum[i] += weight * float(samples[i]);
}

uint8_t toByte(float v)
{
    return uint8_t(std::clamp(int(v + 0.5f), 0, 255));
}

// One target row from a line of four-sample pixels and the columns' taps.
OX_TARGET_CLONES void gatherColumns(const float* line, const AxisTaps& columns, int count, bool grey, uint32_t* target)
{
    const int* index = columns.index.data();
    const float* weight = columns.weight.data();
    for (int x = 0; x < count; ++x) {
        float sum[4] = {0, 0, 0, 0};
        for (int k = 0; k < columns.perPixel; ++k, ++index, ++weight) {
            const float* p = line + size_t(*index) * 4;
            for (int c = 0; c < 4; ++c)
                sum[c] += *weight * p[c];
        }
        int v[4];
        for (int c = 0; c < 4; ++c)
            v[c] = std::clamp(int(sum[c] + 0.5f), 0, 255);
        if (grey)
            v[1] = v[2] = v[0];
        target[x] = uint32_t(v[0]) << 16 | uint32_t(v[1]) << 8 | uint32_t(v[2]);
    }
}

uint32_t blend(uint32_t under, oxColour c, float alpha)
{
    const float r = float((under >> 16) & 0xFF), g = float((under >> 8) & 0xFF), b = float(under & 0xFF);
    const float a = std::clamp(alpha, 0.0f, 1.0f);
    return uint32_t(toByte(r + (c.r - r) * a)) << 16 | uint32_t(toByte(g + (c.g - g) * a)) << 8 |
           uint32_t(toByte(b + (c.b - b) * a));
}

} // namespace

oxSoftFrame::oxSoftFrame(int width, int height, oxColour clear)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)),
      m_pixels(size_t(m_width) * size_t(m_height), uint32_t(clear.r) << 16 | uint32_t(clear.g) << 8 | clear.b),
      m_clip{0, 0, m_width, m_height}
{
}

void oxSoftFrame::setClip(int x0, int y0, int x1, int y1)
{
    m_clip[0] = std::clamp(x0, 0, m_width), m_clip[1] = std::clamp(y0, 0, m_height);
    m_clip[2] = std::clamp(x1, 0, m_width), m_clip[3] = std::clamp(y1, 0, m_height);
}

void oxSoftFrame::fillRect(double left, double top, double right, double bottom, oxColour colour)
{
    const PixelSpan xs = pixelSpan(left, right, m_clip[0], m_clip[2], false);
    const PixelSpan ys = pixelSpan(top, bottom, m_clip[1], m_clip[3], true);
    const float alpha = colour.a / 255.0f;
    const uint32_t opaque = uint32_t(colour.r) << 16 | uint32_t(colour.g) << 8 | colour.b;
    for (int y = ys.first; y < ys.end; ++y) {
        uint32_t* row = m_pixels.data() + size_t(y) * size_t(m_width);
        if (colour.a == 255) // most fills: the cells, the panel
            std::fill(row + xs.first, row + xs.end, opaque);
        else
            for (int x = xs.first; x < xs.end; ++x)
                row[x] = blend(row[x], colour, alpha);
    }
}

bool oxSoftFrame::drawPicture(const oxImage& picture, double left, double top, double right, double bottom)
{
    if (picture.sampleType() != ST_UINT8 || picture.components() == 4 || !picture.data() || picture.width() == 0 ||
        picture.height() == 0)
        return false;
    const int w = int(std::min<uint32_t>(picture.width(), 1u << 20)), h = int(std::min<uint32_t>(picture.height(), 1u << 20));
    const PixelSpan xs = pixelSpan(left, right, m_clip[0], m_clip[2], false);
    const PixelSpan ys = pixelSpan(top, bottom, m_clip[1], m_clip[3], true);
    const AxisTaps columnTaps = axisTaps(xs, left, right, w);
    const AxisTaps rowTaps = axisTaps(ys, top, bottom, h);
    const bool grey = picture.components() == 1;
    // Rows first: one source-wide line of the columns' sums per target row,
    // all four samples of a pixel alike so that the loops vectorise.
    const size_t cost = size_t(w * rowTaps.perPixel + (xs.end - xs.first) * columnTaps.perPixel) * 4;
    oxParallelFor(size_t(std::max(ys.end - ys.first, 0)), cost, [&](size_t begin, size_t end) {
        std::vector<float> line(size_t(w) * 4);
        for (size_t y = begin; y < end; ++y) {
            std::fill(line.begin(), line.end(), 0.0f);
            for (size_t k = y * size_t(rowTaps.perPixel); k < (y + 1) * size_t(rowTaps.perPixel); ++k)
                addWeighted(line.data(), picture.rowData(uint32_t(rowTaps.index[k])), rowTaps.weight[k], line.size());
            gatherColumns(line.data(), columnTaps, xs.end - xs.first, grey,
                          m_pixels.data() + (size_t(ys.first) + y) * size_t(m_width) + size_t(xs.first));
        }
        return true;
    });
    return true;
}

bool oxSoftFrame::drawText(const oxTextOutput& output)
{
    if (!output.font())
        return false;
    const GLFont& font = *output.font();
    const oxTextLayout text = output.layout();
    const oxColour colour = output.colour();
    const std::vector<uint8_t>& alpha = font.alphaTexels();
    const int tw = font.texWidth(), th = font.texHeight();
    if (!text.cachedGlyphs.empty() || (!text.glyphs.empty() && (alpha.size() != size_t(tw) * size_t(th) || tw <= 0)))
        return false;
    if (text.background)
        fillRect(text.left, text.top, text.right, text.bottom, output.backgroundColour());
    std::vector<Tap> us, vs;
    for (const oxGlyphQuad& q : text.glyphs) {
        const PixelSpan xs = pixelSpan(q.x0, q.x1, m_clip[0], m_clip[2], false);
        const PixelSpan ys = pixelSpan(q.y0, q.y1, m_clip[1], m_clip[3], true);
        const double uPerPixel = (q.u1 - q.u0) * tw / (q.x1 - q.x0), vPerPixel = (q.v1 - q.v0) * th / (q.y1 - q.y0);
        for (int y = ys.first; y < ys.end; ++y) {
            boxTaps(q.v0 * th + (y + 0.5 - q.y0) * vPerPixel, std::max(std::abs(vPerPixel), 1.0), th, vs);
            uint32_t* row = m_pixels.data() + size_t(y) * size_t(m_width);
            for (int x = xs.first; x < xs.end; ++x) {
                boxTaps(q.u0 * tw + (x + 0.5 - q.x0) * uPerPixel, std::max(std::abs(uPerPixel), 1.0), tw, us);
                float coverage = 0;
                for (const Tap& v : vs)
                    for (const Tap& u : us)
                        coverage += v.weight * u.weight * alpha[size_t(v.index) * size_t(tw) + size_t(u.index)];
                row[x] = blend(row[x], colour, colour.a / 255.0f * coverage / 255.0f);
            }
        }
    }
    return true;
}
