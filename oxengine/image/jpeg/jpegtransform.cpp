// Lossless quarter turns and comment replacement on the DCT coefficients.
//
// A turn moves whole 8 x 8 blocks and transforms each block in the
// frequency domain (transposition and sign changes of odd frequencies). An
// edge that ends in a partial block (or partial MCU) cannot move to the left
// or top of the picture without losing pixels, so a turn that would need to
// trim such an edge is refused and the file left untouched.
#include "oxengine/image/jpeg/jpeghandler.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/strings.h"
#include "oxengine/image/formatsupport.h"
#include "oxengine/image/jpeg/jpegsupport.h"
#include "oxengine/image/replacefile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct BlockGrid {
    JDIMENSION width = 0, height = 0; // blocks with picture content
};

struct TransformJob {
    TransformJob(const oxImageTransform& t, oxJpegHandler::MarkerCopy m) : transform(t), markers(m) {}

    const oxImageTransform& transform;
    const oxJpegHandler::MarkerCopy markers;
    int rotation = 0; // 0 to 3 quarter turns clockwise
    oxJpegErrors errors;
    oxJpegDecoder source{errors};
    oxJpegEncoder target{errors};
    oxFilePtr input;
    std::FILE* output = nullptr;
    jvirt_barray_ptr* sourceCoefficients = nullptr;
    jvirt_barray_ptr targetCoefficients[MAX_COMPONENTS] = {};
    BlockGrid targetBlocks[MAX_COMPONENTS];
    bool tooLarge = false;
    bool damaged = false; // coefficients no valid 8-bit file has
    int requiredMultiple = 0; // set when the turn would lose edge blocks
    std::vector<JBLOCKROW> sourceRows;
    std::vector<JBLOCKROW> targetRows;
};

bool transposes(int rotation)
{
    return rotation == 1 || rotation == 3;
}

JDIMENSION divRoundUp(JDIMENSION a, JDIMENSION b)
{
    return (a + b - 1) / b;
}

JDIMENSION roundUp(JDIMENSION a, JDIMENSION b)
{
    return divRoundUp(a, b) * b;
}

// The size in pixels of an MCU: the unit of the block grid along each edge.
int mcuWidth(const jpeg_decompress_struct& info)
{
    return info.num_components == 1 ? DCTSIZE : DCTSIZE * info.max_h_samp_factor;
}

int mcuHeight(const jpeg_decompress_struct& info)
{
    return info.num_components == 1 ? DCTSIZE : DCTSIZE * info.max_v_samp_factor;
}

// The edges a turn moves to the left or the top must end on an MCU edge.
bool losesEdgeBlocks(const jpeg_decompress_struct& info, int rotation)
{
    const bool rightEdgeMoves = rotation == 2 || rotation == 3;
    const bool bottomEdgeMoves = rotation == 1 || rotation == 2;
    return (rightEdgeMoves && info.image_width % JDIMENSION(mcuWidth(info)) != 0) ||
           (bottomEdgeMoves && info.image_height % JDIMENSION(mcuHeight(info)) != 0);
}

// The target's block arrays, from the same memory manager as the source's
// so that reading the coefficients realises both at once.
void requestTargetArrays(TransformJob& job)
{
    jpeg_decompress_struct& info = job.source.info;
    const bool t = transposes(job.rotation);
    const JDIMENSION width = t ? info.image_height : info.image_width;
    const JDIMENSION height = t ? info.image_width : info.image_height;
    const int maxH = t ? info.max_v_samp_factor : info.max_h_samp_factor;
    const int maxV = t ? info.max_h_samp_factor : info.max_v_samp_factor;
    for (int ci = 0; ci < info.num_components; ++ci) {
        const jpeg_component_info& c = info.comp_info[ci];
        const int h = t ? c.v_samp_factor : c.h_samp_factor;
        const int v = t ? c.h_samp_factor : c.v_samp_factor;
        BlockGrid& grid = job.targetBlocks[ci];
        grid.width = divRoundUp(width * JDIMENSION(h), JDIMENSION(maxH * DCTSIZE));
        grid.height = divRoundUp(height * JDIMENSION(v), JDIMENSION(maxV * DCTSIZE));
        job.targetCoefficients[ci] = (*info.mem->request_virt_barray)(
            reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, FALSE, roundUp(grid.width, JDIMENSION(h)),
            roundUp(grid.height, JDIMENSION(v)), JDIMENSION(v));
    }
}

// Coefficients of 8-bit samples stay within these bounds (the DC term of a
// block lies in -1024..1016 before quantisation, the others well within
// 1023). Damaged data can decode to larger ones without any warning, and
// the encoder would then write a stream that no longer decodes.
bool coefficientsInRange(TransformJob& job)
{
    jpeg_decompress_struct& info = job.source.info;
    const auto common = reinterpret_cast<j_common_ptr>(&info);
    for (int ci = 0; ci < info.num_components; ++ci) {
        const jpeg_component_info& c = info.comp_info[ci];
        for (JDIMENSION y = 0; y < c.height_in_blocks; ++y) {
            const JBLOCKROW row = (*info.mem->access_virt_barray)(common, job.sourceCoefficients[ci], y, 1, FALSE)[0];
            // Without early exits the loop vectorises; a picture is checked whole.
            unsigned outside = 0;
            for (JDIMENSION x = 0; x < c.width_in_blocks; ++x) {
                const JCOEF* block = row[x];
                outside |= unsigned(block[0] + 1024) > 2047u;
                for (int k = 1; k < DCTSIZE2; ++k)
                    outside |= unsigned(block[k] + 1023) > 2046u;
            }
            if (outside)
                return false;
        }
    }
    return true;
}

bool readSource(TransformJob& job)
{
    jpeg_decompress_struct& info = job.source.info;
    if (setjmp(job.errors.jump))
        return false;
    job.source.create();
    jpeg_stdio_src(&info, job.input.get());
    if (job.markers == oxJpegHandler::COPY_COMMENTS || job.markers == oxJpegHandler::COPY_ALL)
        jpeg_save_markers(&info, JPEG_COM, 0xFFFF);
    if (job.markers == oxJpegHandler::COPY_ALL || job.markers == oxJpegHandler::COPY_ALL_BUT_COMMENTS) {
        for (int m = 0; m < 16; ++m)
            jpeg_save_markers(&info, JPEG_APP0 + m, 0xFFFF);
    }
    jpeg_read_header(&info, TRUE);
    // Both coefficient sets are kept whole in memory.
    if (!oxImage::sizeAllowed(info.image_width, info.image_height, sizeof(oxColour))) {
        job.tooLarge = true;
        return true;
    }
    if (job.rotation != 0 && losesEdgeBlocks(info, job.rotation)) {
        job.requiredMultiple =
            info.num_components == 1 ? DCTSIZE : DCTSIZE * std::max(info.max_h_samp_factor, info.max_v_samp_factor);
        return true;
    }
    if (job.rotation != 0)
        requestTargetArrays(job);
    job.sourceCoefficients = jpeg_read_coefficients(&info);
    job.damaged = !coefficientsInRange(job);
    return true;
}

// One block, turned: rows are vertical frequencies, columns horizontal ones.
// A quarter turn transposes the block; mirroring it flips the sign of its odd
// frequencies in that direction: for 1 the odd columns of the result, for 3
// its odd rows, for 2 (no transposition) the coefficients with i + j odd.
#if defined(__SSE2__)
inline __m128i negateWhere(__m128i v, __m128i mask)
{
    return _mm_sub_epi16(_mm_xor_si128(v, mask), mask);
}

template <int Rotation> void turnBlock(const JCOEF* s, JCOEF* d)
{
    __m128i r[DCTSIZE];
    for (int k = 0; k < DCTSIZE; ++k)
        r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + k * DCTSIZE));
    const __m128i oddLanes = _mm_set_epi16(-1, 0, -1, 0, -1, 0, -1, 0);
    const __m128i evenLanes = _mm_set_epi16(0, -1, 0, -1, 0, -1, 0, -1);
    const __m128i all = _mm_set1_epi16(-1);
    __m128i out[DCTSIZE];
    if constexpr (Rotation == 2) {
        for (int k = 0; k < DCTSIZE; ++k)
            out[k] = negateWhere(r[k], (k & 1) ? evenLanes : oddLanes);
    } else {
        // The 8 x 8 transposition in three rounds of interleaving.
        const __m128i t0 = _mm_unpacklo_epi16(r[0], r[1]), t1 = _mm_unpackhi_epi16(r[0], r[1]);
        const __m128i t2 = _mm_unpacklo_epi16(r[2], r[3]), t3 = _mm_unpackhi_epi16(r[2], r[3]);
        const __m128i t4 = _mm_unpacklo_epi16(r[4], r[5]), t5 = _mm_unpackhi_epi16(r[4], r[5]);
        const __m128i t6 = _mm_unpacklo_epi16(r[6], r[7]), t7 = _mm_unpackhi_epi16(r[6], r[7]);
        const __m128i u0 = _mm_unpacklo_epi32(t0, t2), u1 = _mm_unpackhi_epi32(t0, t2);
        const __m128i u2 = _mm_unpacklo_epi32(t1, t3), u3 = _mm_unpackhi_epi32(t1, t3);
        const __m128i u4 = _mm_unpacklo_epi32(t4, t6), u5 = _mm_unpackhi_epi32(t4, t6);
        const __m128i u6 = _mm_unpacklo_epi32(t5, t7), u7 = _mm_unpackhi_epi32(t5, t7);
        out[0] = _mm_unpacklo_epi64(u0, u4);
        out[1] = _mm_unpackhi_epi64(u0, u4);
        out[2] = _mm_unpacklo_epi64(u1, u5);
        out[3] = _mm_unpackhi_epi64(u1, u5);
        out[4] = _mm_unpacklo_epi64(u2, u6);
        out[5] = _mm_unpackhi_epi64(u2, u6);
        out[6] = _mm_unpacklo_epi64(u3, u7);
        out[7] = _mm_unpackhi_epi64(u3, u7);
        for (int k = 0; k < DCTSIZE; ++k) {
            if constexpr (Rotation == 1)
                out[k] = negateWhere(out[k], oddLanes);
            else if (k & 1)
                out[k] = negateWhere(out[k], all);
        }
    }
    for (int k = 0; k < DCTSIZE; ++k)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + k * DCTSIZE), out[k]);
}
#else
template <int Rotation> void turnBlock(const JCOEF* s, JCOEF* d)
{
    for (int i = 0; i < DCTSIZE; ++i) {
        for (int j = 0; j < DCTSIZE; ++j) {
            if constexpr (Rotation == 1)
                d[i * DCTSIZE + j] = JCOEF((j & 1) ? -s[j * DCTSIZE + i] : s[j * DCTSIZE + i]);
            else if constexpr (Rotation == 2)
                d[i * DCTSIZE + j] = JCOEF(((i + j) & 1) ? -s[i * DCTSIZE + j] : s[i * DCTSIZE + j]);
            else
                d[i * DCTSIZE + j] = JCOEF((i & 1) ? -s[j * DCTSIZE + i] : s[j * DCTSIZE + i]);
        }
    }
}
#endif

// The target's blocks from the source's (row pointers of both arrays).
template <int Rotation>
void turnBlocks(const std::vector<JBLOCKROW>& source, JDIMENSION sw, JDIMENSION sh,
                const std::vector<JBLOCKROW>& target, const BlockGrid& grid, JDIMENSION paddedWidth)
{
    for (JDIMENSION y = 0; y < target.size(); ++y) {
        JBLOCKROW row = target[y];
        for (JDIMENSION x = 0; x < paddedWidth; ++x) {
            if (x >= grid.width || y >= grid.height) {
                // Padding the writer replaces by its own dummy blocks.
                std::memset(row[x], 0, sizeof(JBLOCK));
            } else if constexpr (Rotation == 1) {
                turnBlock<1>(source[sh - 1 - x][y], row[x]);
            } else if constexpr (Rotation == 2) {
                turnBlock<2>(source[sh - 1 - y][sw - 1 - x], row[x]);
            } else {
                turnBlock<3>(source[x][sw - 1 - y], row[x]);
            }
        }
    }
}

// Fills the target's blocks of component ci from the source's. The library
// keeps every array whole in memory (or fails when it cannot), so the row
// pointers stay valid while both structures live. Target rows are asked for
// in order, as the library requires of a writer.
void turnComponent(TransformJob& job, int ci)
{
    jpeg_decompress_struct& info = job.source.info;
    const auto common = reinterpret_cast<j_common_ptr>(&info);
    const jpeg_component_info& c = info.comp_info[ci];
    const JDIMENSION sw = c.width_in_blocks, sh = c.height_in_blocks;
    const BlockGrid grid = job.targetBlocks[ci];
    const bool t = transposes(job.rotation);
    const JDIMENSION paddedWidth = roundUp(grid.width, JDIMENSION(t ? c.v_samp_factor : c.h_samp_factor));
    const JDIMENSION paddedHeight = roundUp(grid.height, JDIMENSION(t ? c.h_samp_factor : c.v_samp_factor));

    job.sourceRows.resize(sh);
    for (JDIMENSION y = 0; y < sh; ++y)
        job.sourceRows[y] = (*info.mem->access_virt_barray)(common, job.sourceCoefficients[ci], y, 1, FALSE)[0];
    job.targetRows.resize(paddedHeight);
    for (JDIMENSION y = 0; y < paddedHeight; ++y)
        job.targetRows[y] = (*info.mem->access_virt_barray)(common, job.targetCoefficients[ci], y, 1, TRUE)[0];

    switch (job.rotation) {
    case 1:
        turnBlocks<1>(job.sourceRows, sw, sh, job.targetRows, grid, paddedWidth);
        break;
    case 2:
        turnBlocks<2>(job.sourceRows, sw, sh, job.targetRows, grid, paddedWidth);
        break;
    default:
        turnBlocks<3>(job.sourceRows, sw, sh, job.targetRows, grid, paddedWidth);
        break;
    }
}

// The target's frame follows the turn: sizes, sampling factors and the
// quantisation tables are transposed for a quarter turn.
void turnFrame(jpeg_compress_struct& info, int rotation)
{
    if (!transposes(rotation))
        return;
    std::swap(info.image_width, info.image_height);
    for (int ci = 0; ci < info.num_components; ++ci)
        std::swap(info.comp_info[ci].h_samp_factor, info.comp_info[ci].v_samp_factor);
    for (JQUANT_TBL* table : info.quant_tbl_ptrs) {
        if (!table)
            continue;
        for (int i = 0; i < DCTSIZE; ++i) {
            for (int j = 0; j < i; ++j)
                std::swap(table->quantval[i * DCTSIZE + j], table->quantval[j * DCTSIZE + i]);
        }
    }
}

bool isMarker(const jpeg_saved_marker_ptr m, int code, const char* id)
{
    return m->marker == code && m->data_length >= 5 && std::memcmp(m->data, id, 5) == 0;
}

// The saved markers in file order, except the JFIF and Adobe markers the
// library writes itself.
void copyMarkers(TransformJob& job)
{
    jpeg_compress_struct& out = job.target.info;
    for (jpeg_saved_marker_ptr m = job.source.info.marker_list; m; m = m->next) {
        if (out.write_JFIF_header && isMarker(m, JPEG_APP0, "JFIF"))
            continue;
        if (out.write_Adobe_marker && isMarker(m, JPEG_APP0 + 14, "Adobe"))
            continue;
        jpeg_write_marker(&out, m->marker, m->data, m->data_length);
    }
}

bool writeTarget(TransformJob& job)
{
    jpeg_decompress_struct& in = job.source.info;
    jpeg_compress_struct& out = job.target.info;
    if (setjmp(job.errors.jump))
        return false;
    job.target.create();
    jpeg_stdio_dest(&out, job.output);
    jpeg_copy_critical_parameters(&in, &out);
    // A file without a JFIF marker (a camera's, with Exif first) stays so.
    out.write_JFIF_header = in.saw_JFIF_marker;
    jvirt_barray_ptr* coefficients = job.sourceCoefficients;
    if (job.rotation != 0) {
        turnFrame(out, job.rotation);
        for (int ci = 0; ci < in.num_components; ++ci)
            turnComponent(job, ci);
        coefficients = job.targetCoefficients;
    }
    jpeg_write_coefficients(&out, coefficients);
    copyMarkers(job);
    if (job.transform.setComment)
        oxJpegWriteComment(out, job.transform.comment);
    jpeg_finish_compress(&out);
    jpeg_finish_decompress(&in);
    return true;
}

} // namespace

void oxJpegHandler::transform(const std::string& filename, const oxImageTransform& transform, MarkerCopy markers)
{
    TransformJob job(transform, markers);
    job.rotation = transform.rotation >= 1 && transform.rotation <= 3 ? transform.rotation : 0;
    if (job.rotation == 0 && !transform.setComment)
        return; // nothing to change: the file is not rewritten
    job.input.reset(oxOpenForReading(filename, oxGetTranslation("JPEG transformation: can't open input file.")).release());
    if (!readSource(job) || job.tooLarge || job.damaged)
        throw oxImageException(oxGetTranslation("JPEG transformation failed."), filename);
    if (job.requiredMultiple != 0) {
        const char* text = oxGetTranslation("JPEG transformation requires that the image dimensions can be divided by %d.");
        throw oxImageException(formatString(text, job.requiredMultiple), filename);
    }

    oxReplaceOptions options;
    options.keepModificationDate = true;
    options.createFailed = N_("JPEG transformation: can't open temporary file.");
    options.writeFailed = N_("JPEG transformation failed.");
    options.replaceFailed = N_("Cannot replace file after successfully transforming it");
    oxReplaceFile(
        filename,
        [&job, &filename](std::FILE* file, const std::string&) {
            job.output = file;
            if (!writeTarget(job)) {
                throw oxImageException(
                    oxJpegFailure(oxGetTranslation("JPEG transformation failed."), job.errors), filename);
            }
        },
        options);
}
