#include "app/prepare/preparesteps.h"

#include "oxengine/image/half.h"
#include "oxengine/image/parallel.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Statistics {
    float min = kStatisticsMinStart, max = kStatisticsMaxStart;
    double sum = 0; // in double: a float sum of millions of values drifts far off the mean
    size_t count = 0;

    void merge(const Statistics& other)
    {
        min = std::min(min, other.min);
        max = std::max(max, other.max);
        sum += other.sum;
        count += other.count;
    }
};

using Floats4 = float __attribute__((vector_size(16)));
using Ints4 = int32_t __attribute__((vector_size(16)));

// One row of RGBA floats, a pixel per vector step (the alpha lane is carried
// along and ignored). Sums run in float over short blocks and are then added
// in double, which keeps them exact enough without a long dependency chain.
Statistics measureRow(const float* values, size_t pixels)
{
    constexpr size_t BLOCK = 256;
    Floats4 low = {kStatisticsMinStart, kStatisticsMinStart, kStatisticsMinStart, kStatisticsMinStart};
    Floats4 high = {kStatisticsMaxStart, kStatisticsMaxStart, kStatisticsMaxStart, kStatisticsMaxStart};
    const Floats4 zero = {0, 0, 0, 0};
    Ints4 counts = {0, 0, 0, 0};
    double sums[3] = {0, 0, 0};
    for (size_t begin = 0; begin < pixels; begin += BLOCK) {
        const size_t end = std::min(pixels, begin + BLOCK);
        Floats4 block = zero;
        for (size_t i = begin; i < end; ++i) {
            const float* p = values + i * 4;
            if (!(p[3] >= kStatisticsAlphaThreshold))
                continue;
            Floats4 v;
            std::memcpy(&v, p, sizeof v);
            // v - v is 0 only for finite values: one NaN or infinity would
            // spoil the exposure range of the whole picture.
            const Ints4 finite = (v - v) == zero;
            low = (finite & (v < low)) ? v : low;
            high = (finite & (v > high)) ? v : high;
            block += finite ? v : zero;
            counts -= finite; // a true lane is -1
        }
        for (int c = 0; c < 3; ++c)
            sums[c] += double(block[c]);
    }
    Statistics s;
    for (int c = 0; c < 3; ++c) {
        s.min = std::min(s.min, low[c]);
        s.max = std::max(s.max, high[c]);
        s.sum += sums[c];
        s.count += size_t(counts[c]);
    }
    return s;
}

void measureHalf(const oxImageHalf& image, LoadedPicture& picture)
{
    const uint32_t width = image.width();
    // One result per row, combined in row order afterwards, so the figures
    // do not depend on how the rows were shared among threads.
    std::vector<Statistics> rows(image.height());
    const auto measureRows = [&](size_t begin, size_t end) {
        std::vector<float> values(size_t(width) * 4);
        for (size_t y = begin; y < end; ++y) {
            oxHalfToFloat(reinterpret_cast<const uint16_t*>(image.row(uint32_t(y))), values.data(), values.size());
            rows[y] = measureRow(values.data(), width);
        }
        return true;
    };
    // A part that failed (no memory for its row buffer) is done again here
    // rather than left out of the figures.
    if (!oxParallelFor(rows.size(), size_t(width) * 8, measureRows)) {
        rows.assign(rows.size(), Statistics());
        measureRows(0, rows.size());
    }
    Statistics all;
    for (const Statistics& s : rows)
        all.merge(s);
    picture.minValue = all.min;
    picture.maxValue = all.max;
    // The mean of no values: the middle value stays as it was (0.5 for a
    // new record), as for the types that have no mean.
    if (all.count > 0)
        picture.midValue = float(all.sum / double(all.count));
}

} // namespace

void measureSamples(const oxImage& image, LoadedPicture& picture)
{
    switch (image.sampleType()) {
    case ST_HALF:
        picture.hdr = true;
        measureHalf(static_cast<const oxImageHalf&>(image), picture);
        break;
    case ST_UINT16:
        picture.hdr = true;
        picture.minValue = 0.0f;
        picture.maxValue = 1.0f;
        break;
    case ST_UINT8:
        picture.hdr = false;
        break;
    case ST_FLOAT: // no image holds floats
        picture.hdr = true;
        break;
    }
}
