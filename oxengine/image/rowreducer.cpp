#include "oxengine/image/rowreducer.h"

#include "oxengine/image/half.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Adds the channels of each block of columns of a row to sums (four per
// result column); the last block takes the columns left over.
template <class Sample, class Sum>
void addColumns(const Sample* row, uint32_t width, uint32_t factor, uint32_t columns, double* sums)
{
    for (uint32_t X = 0; X < columns; ++X) {
        const uint32_t end = X + 1 == columns ? width : (X + 1) * factor;
        Sum s[4] = {};
        for (uint32_t x = X * factor; x < end; ++x)
            for (int c = 0; c < 4; ++c)
                s[c] += Sum(row[size_t(x) * 4 + size_t(c)]);
        for (int c = 0; c < 4; ++c)
            sums[size_t(X) * 4 + size_t(c)] += double(s[c]);
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
        m_sums.assign(size_t(columns) * 4, 0.0);
        if (type == ST_HALF)
            m_floats.resize(size_t(width) * 4);
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
        addColumns<uint8_t, uint32_t>(static_cast<const uint8_t*>(pixels), m_width, m_factor, columns, m_sums.data());
        break;
    case ST_UINT16:
        addColumns<uint16_t, uint64_t>(static_cast<const uint16_t*>(pixels), m_width, m_factor, columns,
                                       m_sums.data());
        break;
    default:
        oxHalfToFloat(static_cast<const uint16_t*>(pixels), m_floats.data(), m_floats.size());
        addColumns<float, double>(m_floats.data(), m_width, m_factor, columns, m_sums.data());
        break;
    }
    ++m_bandRows;
}

void oxRowReducer::flushBand()
{
    if (m_band < 0 || m_bandRows == 0)
        return;
    const uint32_t columns = m_target->width();
    unsigned char* out = m_target->rowData(uint32_t(m_band));
    const oxSampleType type = m_target->sampleType();
    for (uint32_t X = 0; X < columns; ++X) {
        const uint32_t blockWidth = X + 1 == columns ? m_width - X * m_factor : m_factor;
        const double n = double(blockWidth) * m_bandRows;
        double* s = &m_sums[size_t(X) * 4];
        for (int c = 0; c < 4; ++c) {
            const double mean = s[c] / n;
            const size_t at = size_t(X) * 4 + size_t(c);
            if (type == ST_UINT8)
                out[at] = uint8_t(std::lround(mean));
            else if (type == ST_UINT16)
                reinterpret_cast<uint16_t*>(out)[at] = uint16_t(std::lround(mean));
            else
                reinterpret_cast<uint16_t*>(out)[at] = oxFloatToHalfBits(float(mean));
            s[c] = 0.0;
        }
    }
    m_bandRows = 0;
}

std::unique_ptr<oxImage> oxRowReducer::finish()
{
    flushBand();
    m_band = -1;
    return std::move(m_target);
}
