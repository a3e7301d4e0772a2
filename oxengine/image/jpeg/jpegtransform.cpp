// Lossless quarter turns and comment replacement on the DCT coefficients.
//
// A turn moves whole 8 x 8 blocks and transforms each block in the
// frequency domain (transposition and sign changes of odd frequencies). An
// edge that ends in a partial block (or partial MCU) cannot move to the left
// or top of the picture without losing pixels, so a turn that would need to
// trim such an edge is refused and the file left untouched.
//
// A picture with an Exif orientation is turned as the user sees it: the
// pixels get the orientation and the turn at once, and the tag becomes 1 (as
// exiftran does). Where the edges forbid turning the pixels, the tag alone
// takes the turn, which is just as lossless.
#include "oxengine/image/jpeg/jpeghandler.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/strings.h"
#include "oxengine/image/formatsupport.h"
#include "oxengine/image/jpeg/jpegsupport.h"
#include "oxengine/image/orientation.h"
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
    int rotation = 0;   // 0 to 3 quarter turns clockwise, as the user sees the picture
    oxOrientation turn; // what happens to the stored pixels
    int tagCode = 0;    // the Exif orientation written into the copied tag; 0 keeps it
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
bool losesEdgeBlocks(const jpeg_decompress_struct& info, const oxOrientation& turn)
{
    const bool rightEdgeMoves = turn.transpose ? turn.flipY : turn.flipX;
    const bool bottomEdgeMoves = turn.transpose ? turn.flipX : turn.flipY;
    return (rightEdgeMoves && info.image_width % JDIMENSION(mcuWidth(info)) != 0) ||
           (bottomEdgeMoves && info.image_height % JDIMENSION(mcuHeight(info)) != 0);
}

// The Exif orientation of the saved markers, 0 without one.
int savedOrientation(const jpeg_decompress_struct& info)
{
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1) {
            if (const int code = oxJpegExifOrientation(m->data, m->data_length))
                return code;
        }
    }
    return 0;
}

bool copiesAppMarkers(oxJpegHandler::MarkerCopy markers)
{
    return markers == oxJpegHandler::COPY_ALL || markers == oxJpegHandler::COPY_ALL_BUT_COMMENTS;
}

// The target's block arrays, from the same memory manager as the source's
// so that reading the coefficients realises both at once.
void requestTargetArrays(TransformJob& job)
{
    jpeg_decompress_struct& info = job.source.info;
    const bool t = job.turn.transpose;
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
    // APP1 always: its Exif orientation says how the user sees the picture.
    for (int m = 0; m < 16; ++m) {
        if (m == 1 || copiesAppMarkers(job.markers))
            jpeg_save_markers(&info, JPEG_APP0 + m, 0xFFFF);
    }
    jpeg_read_header(&info, TRUE);
    // Both coefficient sets are kept whole in memory.
    if (!oxImage::sizeAllowed(info.image_width, info.image_height, sizeof(oxColour))) {
        job.tooLarge = true;
        return true;
    }
    if (job.rotation != 0) {
        const int stored = savedOrientation(info);
        const oxOrientation wanted = oxOrientation::fromExif(stored).then(oxOrientation::rotation(job.rotation));
        job.turn = wanted;
        job.tagCode = stored > 1 ? 1 : 0;
        if (losesEdgeBlocks(info, wanted)) {
            if (stored == 0 || !copiesAppMarkers(job.markers)) {
                job.requiredMultiple = info.num_components == 1
                                           ? DCTSIZE
                                           : DCTSIZE * std::max(info.max_h_samp_factor, info.max_v_samp_factor);
                return true;
            }
            // The tag takes the whole turn; the pixels stay.
            job.turn = oxOrientation();
            job.tagCode = wanted.exifCode();
        }
    }
    if (!job.turn.identity())
        requestTargetArrays(job);
    job.sourceCoefficients = jpeg_read_coefficients(&info);
    job.damaged = !coefficientsInRange(job);
    return true;
}

// One block, turned: rows are vertical frequencies, columns horizontal ones.
// A turn transposes the block or not; mirroring it along x flips the sign of
// the odd columns of the result, along y that of its odd rows.
#if defined(__SSE2__)
inline __m128i negateWhere(__m128i v, __m128i mask)
{
    return _mm_sub_epi16(_mm_xor_si128(v, mask), mask);
}

template <bool T, bool FX, bool FY> void turnBlock(const JCOEF* s, JCOEF* d)
{
    __m128i r[DCTSIZE];
    for (int k = 0; k < DCTSIZE; ++k)
        r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + k * DCTSIZE));
    const __m128i oddLanes = _mm_set_epi16(-1, 0, -1, 0, -1, 0, -1, 0);
    const __m128i evenLanes = _mm_set_epi16(0, -1, 0, -1, 0, -1, 0, -1);
    const __m128i none = _mm_setzero_si128();
    __m128i out[DCTSIZE];
    if constexpr (!T) {
        for (int k = 0; k < DCTSIZE; ++k)
            out[k] = r[k];
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
    }
    // Odd columns for a mirror along x, odd rows for one along y.
    const __m128i columns = FX ? oddLanes : none;
    for (int k = 0; k < DCTSIZE; ++k)
        out[k] = negateWhere(out[k], FY && (k & 1) ? (FX ? evenLanes : _mm_set1_epi16(-1)) : columns);
    for (int k = 0; k < DCTSIZE; ++k)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + k * DCTSIZE), out[k]);
}
#else
template <bool T, bool FX, bool FY> void turnBlock(const JCOEF* s, JCOEF* d)
{
    for (int i = 0; i < DCTSIZE; ++i) {
        for (int j = 0; j < DCTSIZE; ++j) {
            const JCOEF v = T ? s[j * DCTSIZE + i] : s[i * DCTSIZE + j];
            const bool negate = (FX && (j & 1)) != (FY && (i & 1));
            d[i * DCTSIZE + j] = JCOEF(negate ? -v : v);
        }
    }
}
#endif

// The target's blocks from the source's (row pointers of both arrays).
// Target block (x, y) comes from the source block that the mirrors and
// the transposition bring there.
template <bool T, bool FX, bool FY>
void turnBlocks(const std::vector<JBLOCKROW>& source, JDIMENSION sw, JDIMENSION sh,
                const std::vector<JBLOCKROW>& target, const BlockGrid& grid, JDIMENSION paddedWidth)
{
    const JDIMENSION tw = T ? sh : sw, th = T ? sw : sh; // the transposed grid
    for (JDIMENSION y = 0; y < target.size(); ++y) {
        JBLOCKROW row = target[y];
        for (JDIMENSION x = 0; x < paddedWidth; ++x) {
            if (x >= grid.width || y >= grid.height) {
                // Padding the writer replaces by its own dummy blocks.
                std::memset(row[x], 0, sizeof(JBLOCK));
                continue;
            }
            const JDIMENSION ix = FX ? tw - 1 - x : x, iy = FY ? th - 1 - y : y;
            turnBlock<T, FX, FY>(T ? source[ix][iy] : source[iy][ix], row[x]);
        }
    }
}

using TurnBlocks = void (*)(const std::vector<JBLOCKROW>&, JDIMENSION, JDIMENSION, const std::vector<JBLOCKROW>&,
                            const BlockGrid&, JDIMENSION);

TurnBlocks turnBlocksFor(const oxOrientation& o)
{
    static constexpr TurnBlocks TABLE[8] = {
        turnBlocks<false, false, false>, turnBlocks<false, false, true>, turnBlocks<false, true, false>,
        turnBlocks<false, true, true>,   turnBlocks<true, false, false>, turnBlocks<true, false, true>,
        turnBlocks<true, true, false>,   turnBlocks<true, true, true>,
    };
    return TABLE[(o.transpose ? 4 : 0) | (o.flipX ? 2 : 0) | (o.flipY ? 1 : 0)];
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
    const bool t = job.turn.transpose;
    const JDIMENSION paddedWidth = roundUp(grid.width, JDIMENSION(t ? c.v_samp_factor : c.h_samp_factor));
    const JDIMENSION paddedHeight = roundUp(grid.height, JDIMENSION(t ? c.h_samp_factor : c.v_samp_factor));

    job.sourceRows.resize(sh);
    for (JDIMENSION y = 0; y < sh; ++y)
        job.sourceRows[y] = (*info.mem->access_virt_barray)(common, job.sourceCoefficients[ci], y, 1, FALSE)[0];
    job.targetRows.resize(paddedHeight);
    for (JDIMENSION y = 0; y < paddedHeight; ++y)
        job.targetRows[y] = (*info.mem->access_virt_barray)(common, job.targetCoefficients[ci], y, 1, TRUE)[0];

    turnBlocksFor(job.turn)(job.sourceRows, sw, sh, job.targetRows, grid, paddedWidth);
}

// The target's frame follows the turn: sizes, sampling factors and the
// quantisation tables are transposed with the picture.
void turnFrame(jpeg_compress_struct& info, const oxOrientation& turn)
{
    if (!turn.transpose)
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
// library writes itself, and APP markers the option does not copy (APP1 is
// saved for its orientation in any case). The Exif orientation follows the
// turn.
void copyMarkers(TransformJob& job)
{
    jpeg_compress_struct& out = job.target.info;
    std::vector<JOCTET> exif;
    for (jpeg_saved_marker_ptr m = job.source.info.marker_list; m; m = m->next) {
        if (out.write_JFIF_header && isMarker(m, JPEG_APP0, "JFIF"))
            continue;
        if (out.write_Adobe_marker && isMarker(m, JPEG_APP0 + 14, "Adobe"))
            continue;
        if (m->marker != JPEG_COM && !copiesAppMarkers(job.markers))
            continue;
        const JOCTET* data = m->data;
        if (m->marker == JPEG_APP0 + 1 && job.tagCode != 0) {
            exif.assign(m->data, m->data + m->data_length);
            if (oxJpegExifSetOrientation(exif.data(), exif.size(), job.tagCode))
                data = exif.data();
        }
        jpeg_write_marker(&out, m->marker, data, m->data_length);
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
    if (!job.turn.identity()) {
        turnFrame(out, job.turn);
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
    const bool read = readSource(job);
    if (job.damaged || job.errors.damageCode != 0) {
        // Never written back from what a damaged file decodes to.
        const std::string reason = oxJpegDamageReason(job.damaged ? 0 : job.errors.damageCode);
        throw oxImageException(formatString(oxGetTranslation("The file is damaged (%s) and is not rewritten."),
                                            reason.c_str()),
                               filename);
    }
    if (!read || job.tooLarge)
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
