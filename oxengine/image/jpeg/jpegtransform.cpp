// Lossless quarter turns and comment replacement on the DCT coefficients.
//
// A turn moves whole 8 x 8 blocks and transforms each block in the
// frequency domain (transposition and sign changes of odd frequencies). An
// edge that ends in a partial block (or partial MCU) cannot move to the left
// or top of the picture without losing pixels, so a turn that would need to
// trim such an edge is refused and the file left untouched.
#include "oxengine/image/jpeg/jpeghandler.h"

#include "oxengine/catalogue.h"
#include "oxengine/errors.h"
#include "oxengine/image/jpeg/jpegsupport.h"
#include "oxengine/image/replacefile.h"
#include "oxengine/strings.h"

#include <algorithm>
#include <cstring>
#include <vector>

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
    return true;
}

// One block, turned: rows are vertical frequencies, columns horizontal ones.
// Mirroring a block flips the sign of its odd frequencies in that direction.
void turnBlock(const JCOEF* s, JCOEF* d, int rotation)
{
    for (int i = 0; i < DCTSIZE; ++i) {
        for (int j = 0; j < DCTSIZE; ++j) {
            switch (rotation) {
            case 1:
                d[i * DCTSIZE + j] = JCOEF((j & 1) ? -s[j * DCTSIZE + i] : s[j * DCTSIZE + i]);
                break;
            case 2:
                d[i * DCTSIZE + j] = JCOEF(((i + j) & 1) ? -s[i * DCTSIZE + j] : s[i * DCTSIZE + j]);
                break;
            default:
                d[i * DCTSIZE + j] = JCOEF((i & 1) ? -s[j * DCTSIZE + i] : s[j * DCTSIZE + i]);
                break;
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
    const JDIMENSION paddedWidth = roundUp(grid.width, JDIMENSION(transposes(job.rotation) ? c.v_samp_factor : c.h_samp_factor));
    const JDIMENSION paddedHeight = roundUp(grid.height, JDIMENSION(transposes(job.rotation) ? c.h_samp_factor : c.v_samp_factor));

    job.sourceRows.resize(sh);
    for (JDIMENSION y = 0; y < sh; ++y)
        job.sourceRows[y] = (*info.mem->access_virt_barray)(common, job.sourceCoefficients[ci], y, 1, FALSE)[0];
    job.targetRows.resize(paddedHeight);
    for (JDIMENSION y = 0; y < paddedHeight; ++y)
        job.targetRows[y] = (*info.mem->access_virt_barray)(common, job.targetCoefficients[ci], y, 1, TRUE)[0];

    for (JDIMENSION y = 0; y < paddedHeight; ++y) {
        JBLOCKROW row = job.targetRows[y];
        for (JDIMENSION x = 0; x < paddedWidth; ++x) {
            if (x >= grid.width || y >= grid.height) {
                // Padding the writer replaces by its own dummy blocks.
                std::memset(row[x], 0, sizeof(JBLOCK));
                continue;
            }
            JDIMENSION sx, sy;
            switch (job.rotation) {
            case 1:
                sx = y;
                sy = sh - 1 - x;
                break;
            case 2:
                sx = sw - 1 - x;
                sy = sh - 1 - y;
                break;
            default:
                sx = sw - 1 - y;
                sy = x;
                break;
            }
            turnBlock(job.sourceRows[sy][sx], row[x], job.rotation);
        }
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
    job.input.reset(std::fopen(filename.c_str(), "rb"));
    if (!job.input)
        throw oxImageException(oxGetTranslation("JPEG transformation: can't open input file."), filename);
    if (!readSource(job) || job.tooLarge)
        throw oxImageException(oxGetTranslation("JPEG transformation failed."), filename);
    if (job.requiredMultiple != 0)
        throw oxImageException(
            formatString(oxGetTranslation("JPEG transformation requires that the image dimensions can be divided by %d."),
                         job.requiredMultiple),
            filename);

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
                std::string message = oxGetTranslation("JPEG transformation failed.");
                if (job.errors.systemError != 0)
                    message += " (" + oxSystemErrorText(job.errors.systemError) + ")";
                throw oxImageException(message, filename);
            }
        },
        options);
}
