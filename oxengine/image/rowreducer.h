// Reducing a picture while its rows are decoded, so that a picture too large
// for memory never exists at full size: each pixel of the result is the mean
// of a block of factor × factor source pixels (a box filter). The size is
// that of reducedCopy, max(1, width / factor) × max(1, height / factor); the
// columns and rows beyond the last whole block join the last one.
#pragma once

#include "oxengine/image/image.h"

#include <memory>
#include <vector>

class oxRowReducer {
public:
    // For a width × height source of RGBA pixels of type (uint8, half or
    // uint16). The result is created at once; check valid().
    oxRowReducer(oxSampleType type, uint32_t width, uint32_t height, uint32_t factor);
    oxRowReducer(const oxRowReducer&) = delete;
    oxRowReducer& operator=(const oxRowReducer&) = delete;

    // False when the result could not be allocated.
    bool valid() const { return m_target != nullptr; }
    uint32_t factor() const { return m_factor; }
    // The result so far; its reduction is the factor. Fill it first where a
    // decoder may leave rows out (a file that ends early).
    oxImage& target() { return *m_target; }

    // Where to decode source row y (0 is the top row): the result's own row
    // at factor 1, else a buffer of one row. Call rowDone(y) once it is there.
    void* row(uint32_t y);
    void rowDone(uint32_t y);
    // Source row y from pixels (width pixels of the type). Rows come one
    // after the other, top first or bottom first.
    void addRow(uint32_t y, const void* pixels);
    // Writes the block row in progress and hands the result over.
    std::unique_ptr<oxImage> finish();

private:
    void flushBand();

    std::unique_ptr<oxImage> m_target;
    uint32_t m_width, m_height, m_factor;
    std::vector<unsigned char> m_row;  // a source row, for factor > 1
    std::vector<uint64_t> m_integerSums; // four per result column (uint8, uint16)
    std::vector<double> m_sums;          // four per result column (half)
    std::vector<float> m_floats;       // a half row as floats
    int64_t m_band = -1;               // the result row being summed
    uint32_t m_bandRows = 0;           // source rows in it so far
};
