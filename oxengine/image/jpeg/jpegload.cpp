// Decoding: straight into the rows of the new image, RGBA by the library's
// own colour conversion, at the smallest DCT scale that still fits the
// requested maximum. A large sequential file is decoded by two threads: the
// first decodes the top rows, the second skips them (entropy decoding only,
// which cannot be avoided without restart markers) and decodes the rest.
#include "oxengine/image/jpeg/jpeghandler.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/image/formatsupport.h"
#include "oxengine/image/jpeg/jpegsupport.h"
#include "oxengine/image/parallel.h"
#include "oxengine/image/prefault.h"

#include <vector>

namespace {

// Below this many output pixels a second thread saves too little.
constexpr uint64_t MIN_SPLIT_PIXELS = uint64_t(1) << 20;
// Share of the rows the first thread decodes, in tenths. Skipping a row
// costs its entropy decoding, most of the work in a photograph (60-70 %),
// so the second thread's rows are fewer: both then end about together.
constexpr uint64_t SPLIT_TENTHS = 7;

// One decompressor reading the file through its own source.
struct PartDecoder {
    explicit PartDecoder(int fd) : source(fd) {}

    oxJpegErrors errors;
    oxJpegDecoder decoder{errors};
    oxJpegFileSource source;
};

struct LoadJob {
    LoadJob(const oxSize& max, oxFilePtr f) : file(std::move(f)), maximum(max), top(fileno(file.get())) {}

    oxFilePtr file;
    oxSize maximum;
    PartDecoder top;
    std::unique_ptr<PartDecoder> bottom; // the second thread's, for a split decode
    int scale = 1;
    int components = 3;
    std::string comment;
    std::unique_ptr<oxImageUInt8> image;
    std::unique_ptr<oxPrefaultPages> prefault; // ends before the image is handed out
    std::vector<JSAMPROW> rows;
};

// 1/n with n the smallest power of two not below the reduction factor, at
// most 8 (the smallest scale the library has).
int decoderScale(const oxSize& size, const oxSize& maximum)
{
    const int f = reductionFactor(size, maximum);
    int n = 1;
    while (n < f && n < 8)
        n *= 2;
    return n;
}

// Creates the decoder, reads the header and sets up the output; the job's
// checks apply to the first decoder only (the second reads the same file).
bool readHeader(LoadJob& job, PartDecoder& part)
{
    jpeg_decompress_struct& info = part.decoder.info;
    if (setjmp(part.errors.jump))
        return false;
    part.decoder.create();
    part.source.attach(info);
    const bool first = &part == &job.top;
    if (first)
        jpeg_save_markers(&info, JPEG_COM, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    if (first) {
        job.comment = oxJpegComment(info); // the saved markers go with the decoder's image pool
        // Grey and colour only: CMYK and other four-channel files are refused.
        if (info.out_color_space != JCS_GRAYSCALE && info.out_color_space != JCS_RGB)
            return false;
        job.components = info.out_color_space == JCS_GRAYSCALE ? 1 : 3;
        // The library's own buffers grow with the declared size (a
        // progressive file keeps every coefficient), so the declared size
        // must be one the image model would accept, whatever the scale.
        if (!oxImage::sizeAllowed(info.image_width, info.image_height, sizeof(oxColour)))
            return false;
        job.scale = decoderScale(oxSize(int32_t(info.image_width), int32_t(info.image_height)), job.maximum);
    }
    info.scale_num = 1;
    info.scale_denom = unsigned(job.scale);
    info.out_color_space = JCS_EXT_RGBA; // grey expands to (v, v, v, 255)
    jpeg_calc_output_dimensions(&info);
    return true;
}

// Decodes rows [first, last) into the job's image; the rows before first
// are skipped. The whole file is checked when last is the end.
bool decodeRows(LoadJob& job, PartDecoder& part, JDIMENSION first, JDIMENSION last)
{
    jpeg_decompress_struct& info = part.decoder.info;
    if (setjmp(part.errors.jump))
        return false;
    jpeg_start_decompress(&info);
    if (info.output_width != job.image->width() || info.output_height != job.image->height())
        return false;
    if (first > 0)
        jpeg_skip_scanlines(&info, first);
    while (info.output_scanline < last)
        jpeg_read_scanlines(&info, job.rows.data() + info.output_scanline, last - info.output_scanline);
    if (last == info.output_height)
        jpeg_finish_decompress(&info);
    return true;
}

// The first row of the second thread, 0 for one thread. Only sequential
// files: a progressive one has to be read whole before its first row.
JDIMENSION splitRow(const jpeg_decompress_struct& info)
{
    if (info.progressive_mode || oxImageThreads() < 2 ||
        uint64_t(info.output_width) * info.output_height < MIN_SPLIT_PIXELS)
        return 0;
    // On a boundary of the rows one pass of the decoder makes.
    const JDIMENSION band = JDIMENSION(std::max(1, info.max_v_samp_factor * info.min_DCT_scaled_size));
    return JDIMENSION(uint64_t(info.output_height) * SPLIT_TENTHS / 10) / band * band;
}

// False when the library failed or the file cannot become an image.
bool decode(LoadJob& job)
{
    if (!readHeader(job, job.top))
        return false;
    const jpeg_decompress_struct& info = job.top.decoder.info;
    job.image = oxImageUInt8::create(info.output_width, info.output_height);
    if (!job.image)
        return false;
    job.prefault = std::make_unique<oxPrefaultPages>(job.image->data(), job.image->byteSize());
    job.rows.resize(info.output_height);
    for (JDIMENSION y = 0; y < info.output_height; ++y)
        job.rows[y] = reinterpret_cast<JSAMPROW>(job.image->row(y));
    const JDIMENSION split = splitRow(info);
    if (split == 0)
        return decodeRows(job, job.top, 0, info.output_height);
    job.bottom = std::make_unique<PartDecoder>(fileno(job.file.get()));
    // Item 0 the top rows, item 1 the rest; each part with its own decoder.
    return oxParallelFor(2, MIN_SPLIT_PIXELS, [&](size_t begin, size_t end) {
        bool ok = true;
        for (size_t part = begin; part < end && ok; ++part)
            ok = part == 0 ? decodeRows(job, job.top, 0, split)
                           : readHeader(job, *job.bottom) && decodeRows(job, *job.bottom, split, info.output_height);
        return ok;
    });
}

} // namespace

std::unique_ptr<oxImage> oxJpegHandler::loadImage(const std::string& filename, const oxSize& maximum) const
{
    LoadJob job(maximum, oxFilePtr(oxOpenForReading(filename, oxGetTranslation("cannot open file.")).release()));
    if (!decode(job)) {
        const bool second = job.bottom && job.top.errors.message[0] == '\0' && !job.top.errors.ownReason;
        throw oxImageException(
            oxJpegFailure(oxGetTranslation("decompression failed."), second ? job.bottom->errors : job.top.errors),
            filename);
    }
    job.prefault.reset();
    job.image->setComponents(job.components);
    job.image->setReduction(job.scale);
    job.image->setComment(std::move(job.comment));
    return std::move(job.image);
}
