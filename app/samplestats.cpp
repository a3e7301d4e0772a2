#include "app/preparesteps.h"

#include "oxengine/image/half.h"
#include "oxengine/image/parallel.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct Statistics {
    float min = kStatisticsMinStart, max = kStatisticsMaxStart;
    double sum = 0; // in double: a float sum of millions of values drifts far off the mean
    size_t count = 0;

    void add(float v)
    {
        if (!std::isfinite(v))
            return; // one NaN or infinity would spoil the exposure range of the whole picture
        min = std::min(min, v);
        max = std::max(max, v);
        sum += v;
        ++count;
    }
};

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
            Statistics& s = rows[y];
            for (size_t i = 0; i < values.size(); i += 4) {
                if (!(values[i + 3] >= kStatisticsAlphaThreshold))
                    continue;
                s.add(values[i]), s.add(values[i + 1]), s.add(values[i + 2]);
            }
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
    for (const Statistics& s : rows) {
        all.min = std::min(all.min, s.min);
        all.max = std::max(all.max, s.max);
        all.sum += s.sum;
        all.count += s.count;
    }
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
