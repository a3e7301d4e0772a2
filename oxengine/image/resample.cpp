// Two-pass resampler: horizontal pass into float rows, vertical pass into the
// target. Each target row pulls the intermediate rows it needs into a small
// ring, so the intermediate never exists as a whole picture and threads can
// take bands of target rows independently; every value is computed the same
// way whatever the split, so the result does not depend on the thread count.
#include "oxengine/image/resample.h"

#include "oxengine/image/parallel.h"
#include "oxengine/image/sampleconv.h"
#include "oxengine/image/simd.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

typedef double Double4 __attribute__((vector_size(32)));
typedef float Float4 __attribute__((vector_size(16)));

// Who contributes to each target pixel of one direction, and how much.
struct Contributors {
    std::vector<size_t> offset; // entries of target i: [offset[i], offset[i + 1])
    std::vector<int32_t> index;
    std::vector<double> weight;
    std::vector<double> sum; // the weights of each target summed
    std::vector<int32_t> low, high; // smallest and largest source index of each target
};

void buildContributors(Contributors& c, int srcSize, int dstSize, const oxFilterKernel& kernel)
{
    const double factor = double(dstSize) / double(srcSize);
    const double support = factor <= 1.0 ? kernel.radius / factor : kernel.radius;
    const double scale = factor <= 1.0 ? factor : 1.0;
    const auto maxEntries = size_t(std::min(std::trunc(2.0 * support + 1.0), double(srcSize)));
    c.offset.assign(1, 0);
    c.offset.reserve(size_t(dstSize) + 1);
    c.index.clear();
    c.weight.clear();
    c.index.reserve(size_t(dstSize) * maxEntries);
    c.weight.reserve(size_t(dstSize) * maxEntries);
    c.sum.assign(size_t(dstSize), 0.0);
    c.low.assign(size_t(dstSize), 0);
    c.high.assign(size_t(dstSize), 0);
    for (int i = 0; i < dstSize; ++i) {
        const double centre = i / factor; // no half-pixel offset
        const double left = std::trunc(centre + 0.5 - support);
        const double right = std::trunc(left + 2.0 * support);
        const int first = int(std::max(left, 0.0));
        const int last = int(std::min(right, double(srcSize - 1)));
        const size_t start = c.index.size();
        double sum = 0.0;
        for (int j = first; j <= last; ++j) {
            const double w = kernel.weight((centre - j) * scale);
            if (w == 0.0)
                continue;
            c.index.push_back(j);
            c.weight.push_back(w);
            sum += w;
        }
        if (sum == 0.0) {
            // Nothing reaches this pixel (a box enlarging at the right edge):
            // take the nearest source pixel rather than divide by zero.
            c.index.resize(start);
            c.weight.resize(start);
            c.index.push_back(std::clamp(int(std::floor(centre + 0.5)), 0, srcSize - 1));
            c.weight.push_back(1.0);
            sum = 1.0;
        }
        c.sum[size_t(i)] = sum;
        const auto [lo, hi] = std::minmax_element(c.index.begin() + std::ptrdiff_t(start), c.index.end());
        c.low[size_t(i)] = *lo;
        c.high[size_t(i)] = *hi;
        c.offset.push_back(c.index.size());
    }
}

// Each pixel sums its contributors strictly in order, which makes every sum
// a chain of dependent additions. Working on BATCH independent pixels at once
// (rows in the horizontal pass, columns in the vertical one) lets those
// chains overlap without changing any sum.
constexpr size_t BATCH = 4;

// Loads and stores through pointers, not vector values, so the helpers keep
// one calling convention whatever the target of the clone using them.
inline void widenAdd(Double4& acc, double w, const oxColourFloat& p)
{
    Float4 v;
    std::memcpy(&v, &p, sizeof v);
    acc += w * __builtin_convertvector(v, Double4);
}

inline void store(oxColourFloat& p, const Double4& sum, double weights)
{
    const Float4 result = __builtin_convertvector(sum / weights, Float4);
    std::memcpy(static_cast<void*>(&p), &result, sizeof result);
}

// BATCH source rows (converted to float) into BATCH intermediate rows.
OX_TARGET_CLONES
void horizontalPass(const oxColourFloat* const* source, const Contributors& c, size_t dstWidth,
                    oxColourFloat* const* out)
{
    static_assert(BATCH == 4, "the accumulators below are written out");
    const oxColourFloat *s0 = source[0], *s1 = source[1], *s2 = source[2], *s3 = source[3];
    for (size_t i = 0; i < dstWidth; ++i) {
        Double4 a0 = {}, a1 = {}, a2 = {}, a3 = {};
        for (size_t k = c.offset[i]; k < c.offset[i + 1]; ++k) {
            const double w = c.weight[k];
            const size_t j = size_t(c.index[k]);
            widenAdd(a0, w, s0[j]);
            widenAdd(a1, w, s1[j]);
            widenAdd(a2, w, s2[j]);
            widenAdd(a3, w, s3[j]);
        }
        store(out[0][i], a0, c.sum[i]);
        store(out[1][i], a1, c.sum[i]);
        store(out[2][i], a2, c.sum[i]);
        store(out[3][i], a3, c.sum[i]);
    }
}

// One target row from the intermediate rows of its contributors.
OX_TARGET_CLONES
void verticalPass(const oxColourFloat* const* rows, const double* weights, size_t count, double sum,
                  size_t dstWidth, oxColourFloat* out)
{
    size_t x = 0;
    for (; x + BATCH <= dstWidth; x += BATCH) {
        Double4 a0 = {}, a1 = {}, a2 = {}, a3 = {};
        for (size_t k = 0; k < count; ++k) {
            const oxColourFloat* row = rows[k] + x;
            widenAdd(a0, weights[k], row[0]);
            widenAdd(a1, weights[k], row[1]);
            widenAdd(a2, weights[k], row[2]);
            widenAdd(a3, weights[k], row[3]);
        }
        store(out[x], a0, sum);
        store(out[x + 1], a1, sum);
        store(out[x + 2], a2, sum);
        store(out[x + 3], a3, sum);
    }
    for (; x < dstWidth; ++x) {
        Double4 a = {};
        for (size_t k = 0; k < count; ++k)
            widenAdd(a, weights[k], rows[k][x]);
        store(out[x], a, sum);
    }
}

struct Job {
    const unsigned char* source;
    oxSampleType type;
    int srcWidth;
    unsigned char* target;
    int dstWidth;
    const Contributors* columns;
    const Contributors* rows;
};

// Target rows [begin, end): their intermediate rows, then the rows themselves.
bool resampleBand(const Job& job, size_t begin, size_t end)
{
    const Contributors& rows = *job.rows;
    // Monotone envelopes of the source rows each target row needs, so one
    // pointer walks forward through the source.
    std::vector<int32_t> low(end - begin), high(end - begin);
    int32_t top = rows.high[begin];
    for (size_t r = begin; r < end; ++r)
        high[r - begin] = top = std::max(top, rows.high[r]);
    int32_t bottom = rows.low[end - 1];
    for (size_t r = end; r-- > begin;)
        low[r - begin] = bottom = std::min(bottom, rows.low[r]);
    // The ring holds every row one target needs plus the rest of a batch
    // computed ahead, so no row is overwritten while still needed.
    size_t span = 1;
    for (size_t i = 0; i < low.size(); ++i)
        span = std::max(span, size_t(high[i] - low[i]) + 1);
    const size_t ringSize = span + BATCH - 1;
    const int32_t lastRow = high.back();

    const size_t srcWidth = size_t(job.srcWidth), dstWidth = size_t(job.dstWidth);
    std::vector<oxColourFloat> sourceRows(BATCH * srcWidth);
    std::vector<oxColourFloat> ring(ringSize * dstWidth);
    std::vector<oxColourFloat> outRow(dstWidth);
    std::vector<const oxColourFloat*> pointers;

    const size_t pixelBytes = size_t(bytesPerPixel(job.type));
    const size_t srcRowBytes = srcWidth * pixelBytes, dstRowBytes = dstWidth * pixelBytes;
    int32_t next = low[0];
    for (size_t r = begin; r < end; ++r) {
        while (next <= high[r - begin]) {
            // Up to BATCH rows; a short batch repeats its last row into the
            // unused lanes, whose results land in a scratch slot of the ring.
            const auto count = size_t(std::min<int32_t>(int32_t(BATCH), lastRow - next + 1));
            const oxColourFloat* in[BATCH];
            oxColourFloat* out[BATCH];
            for (size_t b = 0; b < BATCH; ++b) {
                const size_t lane = std::min(b, count - 1);
                in[b] = sourceRows.data() + lane * srcWidth;
                if (b < count)
                    oxPixelsToFloat(job.source + (size_t(next) + b) * srcRowBytes, job.type,
                                    sourceRows.data() + b * srcWidth, srcWidth);
                out[b] = b < count ? ring.data() + ((size_t(next) + b) % ringSize) * dstWidth : outRow.data();
            }
            horizontalPass(in, *job.columns, dstWidth, out);
            next += int32_t(count);
        }
        const size_t first = rows.offset[r], count = rows.offset[r + 1] - first;
        pointers.resize(count);
        for (size_t k = 0; k < count; ++k)
            pointers[k] = ring.data() + (size_t(rows.index[first + k]) % ringSize) * dstWidth;
        verticalPass(pointers.data(), rows.weight.data() + first, count, rows.sum[r], dstWidth, outRow.data());
        oxPixelsFromFloat(outRow.data(), job.target + r * dstRowBytes, job.type, dstWidth);
    }
    return true;
}

} // namespace

bool oxResampleRows(const void* source, oxSampleType type, int srcWidth, int srcHeight, void* target, int dstWidth,
                    int dstHeight, int filter)
{
    const oxFilterKernel kernel = oxChooseFilter(filter, srcWidth, srcHeight, dstWidth, dstHeight);
    if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0 || !source || !target)
        return false;
    if (srcWidth == dstWidth && srcHeight == dstHeight) {
        std::memcpy(target, source, size_t(srcWidth) * size_t(srcHeight) * size_t(bytesPerPixel(type)));
        return true;
    }
    try {
        Contributors columns, rows;
        buildContributors(columns, srcWidth, dstWidth, kernel);
        buildContributors(rows, srcHeight, dstHeight, kernel);
        const Job job{static_cast<const unsigned char*>(source), type, srcWidth, static_cast<unsigned char*>(target),
                      dstWidth, &columns, &rows};
        // Work per target row: its share of the horizontal pass plus its own
        // vertical taps.
        const size_t horizontal = columns.index.size() * size_t(srcHeight) / size_t(dstHeight);
        const size_t vertical = size_t(dstWidth) * (rows.index.size() / size_t(dstHeight) + 1);
        return oxParallelFor(size_t(dstHeight), horizontal + vertical,
                             [&job](size_t begin, size_t end) { return resampleBand(job, begin, end); });
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}
