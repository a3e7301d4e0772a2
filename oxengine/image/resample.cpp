// Two-pass resampler: horizontal pass into float rows, vertical pass into the
// target. Each target row pulls the intermediate rows it needs into a small
// ring, so the intermediate never exists as a whole picture and threads can
// take bands of target rows independently; every value is computed the same
// way whatever the split, so the result does not depend on the thread count.
#include "oxengine/image/resample.h"

#include "oxengine/image/parallel.h"
#include "oxengine/image/sampleconv.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#if defined(__x86_64__) && defined(__GNUC__)
// The same arithmetic (no fused multiply-add) with wider registers where the
// CPU has them; results are bit-identical across the clones.
#define OX_RESAMPLE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define OX_RESAMPLE_CLONES
#endif

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

OX_RESAMPLE_CLONES
void horizontalPass(const oxColourFloat* source, const Contributors& c, int dstWidth, oxColourFloat* out)
{
    for (int i = 0; i < dstWidth; ++i) {
        Double4 acc = {0.0, 0.0, 0.0, 0.0};
        for (size_t k = c.offset[size_t(i)]; k < c.offset[size_t(i) + 1]; ++k) {
            Float4 v;
            std::memcpy(&v, &source[c.index[k]], sizeof v);
            acc += c.weight[k] * __builtin_convertvector(v, Double4);
        }
        const Float4 result = __builtin_convertvector(acc / c.sum[size_t(i)], Float4);
        std::memcpy(static_cast<void*>(&out[i]), &result, sizeof result);
    }
}

OX_RESAMPLE_CLONES
void verticalPass(const oxColourFloat* const* rows, const double* weights, size_t count, double sum, int dstWidth,
                  double* acc, oxColourFloat* out)
{
    // acc holds four doubles per pixel; it is read and written through
    // unaligned copies, so the buffer needs no particular alignment.
    const size_t width = size_t(dstWidth);
    std::fill(acc, acc + 4 * width, 0.0);
    // Row after row, so every pixel still sums its contributors in order.
    for (size_t k = 0; k < count; ++k) {
        const oxColourFloat* row = rows[k];
        const double w = weights[k];
        for (size_t x = 0; x < width; ++x) {
            Float4 v;
            Double4 a;
            std::memcpy(&v, &row[x], sizeof v);
            std::memcpy(&a, acc + 4 * x, sizeof a);
            a += w * __builtin_convertvector(v, Double4);
            std::memcpy(acc + 4 * x, &a, sizeof a);
        }
    }
    for (size_t x = 0; x < width; ++x) {
        Double4 a;
        std::memcpy(&a, acc + 4 * x, sizeof a);
        const Float4 result = __builtin_convertvector(a / sum, Float4);
        std::memcpy(static_cast<void*>(&out[x]), &result, sizeof result);
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
    // pointer walks forward and a ring of `ringSize` rows always holds them.
    std::vector<int32_t> low(end - begin), high(end - begin);
    int32_t top = rows.high[begin];
    for (size_t r = begin; r < end; ++r)
        high[r - begin] = top = std::max(top, rows.high[r]);
    int32_t bottom = rows.low[end - 1];
    for (size_t r = end; r-- > begin;)
        low[r - begin] = bottom = std::min(bottom, rows.low[r]);
    size_t ringSize = 1;
    for (size_t i = 0; i < low.size(); ++i)
        ringSize = std::max(ringSize, size_t(high[i] - low[i]) + 1);

    const size_t srcWidth = size_t(job.srcWidth), dstWidth = size_t(job.dstWidth);
    std::vector<oxColourFloat> sourceRow(srcWidth);
    std::vector<oxColourFloat> ring(ringSize * dstWidth);
    std::vector<double> acc(4 * dstWidth);
    std::vector<oxColourFloat> outRow(dstWidth);
    std::vector<const oxColourFloat*> pointers;

    const size_t srcRowBytes = srcWidth * size_t(bytesPerPixel(job.type));
    const size_t dstRowBytes = dstWidth * size_t(bytesPerPixel(job.type));
    int32_t next = low[0];
    for (size_t r = begin; r < end; ++r) {
        for (; next <= high[r - begin]; ++next) {
            oxPixelsToFloat(job.source + size_t(next) * srcRowBytes, job.type, sourceRow.data(), srcWidth);
            horizontalPass(sourceRow.data(), *job.columns, job.dstWidth,
                           ring.data() + (size_t(next) % ringSize) * dstWidth);
        }
        const size_t first = rows.offset[r], count = rows.offset[r + 1] - first;
        pointers.resize(count);
        for (size_t k = 0; k < count; ++k)
            pointers[k] = ring.data() + (size_t(rows.index[first + k]) % ringSize) * dstWidth;
        verticalPass(pointers.data(), rows.weight.data() + first, count, rows.sum[r], job.dstWidth, acc.data(),
                     outRow.data());
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
