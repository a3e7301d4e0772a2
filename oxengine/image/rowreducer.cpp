#include "oxengine/image/rowreducer.h"

#include "oxengine/image/half.h"

#include <algorithm>
#include <cstring>

namespace {

// Adds the channels of each block of columns of a row to sums (four per
// result column); the last block takes the columns left over.
template <class Sample, class Sum>
void addColumns(const Sample* row, uint32_t width, uint32_t factor, uint32_t columns, Sum* sums)
{
    for (uint32_t X = 0; X < columns; ++X) {
        const uint32_t end = X + 1 == columns ? width : (X + 1) * factor;
        Sum* s = sums + size_t(X) * 4;
        for (const Sample* p = row + size_t(X) * factor * 4; p < row + size_t(end) * 4; p += 4) {
            s[0] += Sum(p[0]);
            s[1] += Sum(p[1]);
            s[2] += Sum(p[2]);
            s[3] += Sum(p[3]);
        }
    }
}

// The means of a block row's sums into out, the sums cleared.
template <class Sum, class Store>
void storeMeans(Sum* sums, uint32_t columns, uint32_t lastWidth, uint32_t factor, uint32_t rows, Store store)
{
    const double inverse = 1.0 / (double(factor) * rows), lastInverse = 1.0 / (double(lastWidth) * rows);
    for (uint32_t X = 0; X < columns; ++X) {
        const double scale = X + 1 == columns ? lastInverse : inverse;
        for (size_t at = size_t(X) * 4; at < size_t(X) * 4 + 4; ++at) {
            store(at, double(sums[at]) * scale);
            sums[at] = 0;
        }
    }
}

} // namespace

oxRowReducer::oxRowReducer(oxSampleType type, uint32_t width, uint32_t height, uint32_t factor)
    : m_width(width), m_height(height), m_factor(std::max(factor, 1u))
{
    const uint32_t columns = std::max(1u, width / m_factor), rows = std::max(1u, height / m_factor);
    m_target = oxCreateImage(type, columns, rows);
    if (!m_target)
        return;
    m_target->setReduction(int(m_factor));
    if (m_factor > 1) {
        m_row.resize(size_t(width) * size_t(bytesPerPixel(type)));
        if (type == ST_HALF) {
            m_sums.assign(size_t(columns) * 4, 0.0);
            m_floats.resize(size_t(width) * 4);
        } else {
            m_integerSums.assign(size_t(columns) * 4, 0);
        }
    }
}

void* oxRowReducer::row(uint32_t y)
{
    return m_factor == 1 ? m_target->rowData(y) : m_row.data();
}

void oxRowReducer::rowDone(uint32_t y)
{
    if (m_factor > 1)
        addRow(y, m_row.data());
}

void oxRowReducer::addRow(uint32_t y, const void* pixels)
{
    if (y >= m_height)
        return;
    if (m_factor == 1) {
        if (pixels != m_target->rowData(y))
            std::memcpy(m_target->rowData(y), pixels, m_target->rowBytes());
        return;
    }
    const int64_t band = std::min<int64_t>(y / m_factor, int64_t(m_target->height()) - 1);
    if (band != m_band) {
        flushBand();
        m_band = band;
    }
    const uint32_t columns = m_target->width();
    switch (m_target->sampleType()) {
    case ST_UINT8:
        addColumns(static_cast<const uint8_t*>(pixels), m_width, m_factor, columns, m_integerSums.data());
        break;
    case ST_UINT16:
        addColumns(static_cast<const uint16_t*>(pixels), m_width, m_factor, columns, m_integerSums.data());
        break;
    default:
        oxHalfToFloat(static_cast<const uint16_t*>(pixels), m_floats.data(), m_floats.size());
        addColumns(m_floats.data(), m_width, m_factor, columns, m_sums.data());
        break;
    }
    ++m_bandRows;
}

void oxRowReducer::flushBand()
{
    if (m_band < 0 || m_bandRows == 0)
        return;
    const uint32_t columns = m_target->width();
    const uint32_t lastWidth = m_width - (columns - 1) * m_factor;
    unsigned char* out = m_target->rowData(uint32_t(m_band));
    auto* out16 = reinterpret_cast<uint16_t*>(out);
    switch (m_target->sampleType()) {
    case ST_UINT8:
        storeMeans(m_integerSums.data(), columns, lastWidth, m_factor, m_bandRows,
                   [&](size_t at, double mean) { out[at] = uint8_t(mean + 0.5); });
        break;
    case ST_UINT16:
        storeMeans(m_integerSums.data(), columns, lastWidth, m_factor, m_bandRows,
                   [&](size_t at, double mean) { out16[at] = uint16_t(mean + 0.5); });
        break;
    default:
        storeMeans(m_sums.data(), columns, lastWidth, m_factor, m_bandRows,
                   [&](size_t at, double mean) { out16[at] = oxFloatToHalfBits(float(mean)); });
        break;
    }
    m_bandRows = 0;
}

std::unique_ptr<oxImage> oxRowReducer::finish()
{
    flushBand();
    m_band = -1;
    return std::move(m_target);
}
