// Decoding: straight into the rows of the new image, RGBA by the library's
// own colour conversion, at the smallest DCT scale that still fits the
// requested maximum and the memory budget. A large sequential file is decoded by two threads: the
// first decodes the top rows, the second skips them (entropy decoding only,
// which cannot be avoided without restart markers) and decodes the rest.
#include "oxengine/image/jpeg/jpeghandler.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/image/colour/colourprofile.h"
#include "oxengine/image/formatsupport.h"
#include "oxengine/image/jpeg/jpegsupport.h"
#include "oxengine/image/orientation.h"
#include "oxengine/image/parallel.h"
#include "oxengine/image/prefault.h"

#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <vector>

namespace {

// Below this many output pixels a second thread saves too little.
constexpr uint64_t MIN_SPLIT_PIXELS = uint64_t(1) << 20;
// Share of the rows the first thread decodes, in tenths. Skipping a row
// costs its entropy decoding, most of the work in a photograph (60-70 %),
// so the second thread's rows are fewer: both then end about together.
constexpr uint64_t SPLIT_TENTHS = 7;

// One decompressor reading the file through its own source. A picture to
// be shown is shown as far as it decodes.
struct PartDecoder {
    explicit PartDecoder(int fd) : source(fd) { errors.tolerateDamage = true; }

    oxJpegErrors errors;
    oxJpegDecoder decoder{errors};
    oxJpegFileSource source;
    JDIMENSION first = 0;   // the rows this part decodes: [first, last)
    JDIMENSION reached = 0; // rows before this one are decoded
    bool failed = false;
};

struct LoadJob {
    LoadJob(const oxLoadOptions& o, oxFilePtr f, const std::string& name)
        : file(std::move(f)), options(o), filename(name), top(fileno(file.get()))
    {
        top.errors.cancel = options.cancel;
    }

    oxFilePtr file;
    const oxLoadOptions& options;
    const std::string& filename;
    PartDecoder top;
    std::unique_ptr<PartDecoder> bottom; // the second thread's, for a split decode
    int scale = 1;
    oxSize sourceSize; // the upright picture's in the file, from its header
    int components = 3;
    std::string comment;
    oxOrientation orientation;
    oxColourSource colours;
    std::unique_ptr<oxImageUInt8> image;
    std::unique_ptr<oxPrefaultPages> prefault; // ends before the image is handed out
    std::vector<JSAMPROW> rows;
};

// 1/n with n the smallest power of two not below the reduction factor, at
// most 8 (the smallest scale the library has).
int decoderScale(int f)
{
    int n = 1;
    while (n < f && n < 8)
        n *= 2;
    return n;
}

// The orientation (Exif in APP1) and the colours (an ICC profile in APP2,
// Adobe's inverted ink) of the picture.
void readPictureMarkers(LoadJob& job, jpeg_decompress_struct& info)
{
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && job.orientation.identity())
            job.orientation = oxOrientation::fromExif(oxJpegExifOrientation(m->data, m->data_length));
    }
    JOCTET* icc = nullptr;
    unsigned int iccLength = 0;
    if (jpeg_read_icc_profile(&info, &icc, &iccLength) && icc) {
        job.colours.icc.assign(icc, icc + iccLength);
        std::free(icc);
    }
    job.colours.cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    job.colours.inverted = job.colours.cmyk && info.saw_Adobe_marker;
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
    if (first) {
        jpeg_save_markers(&info, JPEG_COM, 0xFFFF);
        jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF); // Exif: the orientation
        jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF); // the ICC profile
    }
    jpeg_read_header(&info, TRUE);
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    if (first) {
        job.comment = oxJpegComment(info); // the saved markers go with the decoder's image pool
        // Grey, colour and ink (CMYK, or YCCK which the library turns into CMYK).
        if (info.out_color_space != JCS_GRAYSCALE && info.out_color_space != JCS_RGB && !cmyk)
            return false;
        job.components = info.out_color_space == JCS_GRAYSCALE ? 1 : 3;
        // The library's own buffers grow with the declared size (a
        // progressive file keeps every coefficient), so the declared size
        // must be one the image model would accept, whatever the scale.
        oxCheckImageSize(info.image_width, info.image_height, sizeof(oxColour), job.filename);
        readPictureMarkers(job, info);
        oxSize size(int32_t(info.image_width), int32_t(info.image_height));
        if (job.orientation.transpose)
            std::swap(size.width, size.height);
        job.sourceSize = size;
        // The library scales by 1/8 at most; a picture that would still be
        // over the budget then is refused.
        job.scale = decoderScale(oxDecodeReduction(job.options, info.image_width, info.image_height,
                                                   sizeof(oxColour), job.orientation, 8, 0, job.filename));
    }
    info.scale_num = 1;
    info.scale_denom = unsigned(job.scale);
    // Grey expands to (v, v, v, 255); ink fills the four bytes of a pixel
    // until the colour conversion turns it into light.
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_calc_output_dimensions(&info);
    return true;
}

// Decodes rows [first, last) into the job's image; the rows before first
// are skipped. The whole file is checked when last is the end.
bool decodeRows(LoadJob& job, PartDecoder& part, JDIMENSION first, JDIMENSION last)
{
    jpeg_decompress_struct& info = part.decoder.info;
    part.first = part.reached = first;
    if (setjmp(part.errors.jump)) {
        part.failed = true;
        return false;
    }
    jpeg_start_decompress(&info);
    if (info.output_width != job.image->width() || info.output_height != job.image->height())
        return false;
    if (first > 0)
        jpeg_skip_scanlines(&info, first);
    while (info.output_scanline < last) {
        if (job.options.cancelled())
            return false;
        jpeg_read_scanlines(&info, job.rows.data() + info.output_scanline, last - info.output_scanline);
        part.reached = info.output_scanline;
    }
    if (last == info.output_height)
        jpeg_finish_decompress(&info);
    return true;
}

// After a decoder failed part way, the rows it did not deliver become grey
// and the picture is kept as damaged, when any row at all was decoded.
bool keepDecodedPart(LoadJob& job, JDIMENSION split)
{
    const JDIMENSION height = job.image->height();
    const PartDecoder* parts[2] = {&job.top, job.bottom.get()};
    JDIMENSION decoded = 0;
    for (int i = 0; i < 2; ++i) {
        const PartDecoder* part = parts[i];
        const JDIMENSION end = i == 0 && job.bottom ? split : height;
        if (!part) {
            continue;
        } else if (!part->failed && part->reached < end) {
            return false; // failed before decoding (a header or setup error)
        }
        decoded += part->reached - part->first;
        for (JDIMENSION y = part->reached; y < end; ++y)
            std::memset(job.image->rowData(y), 128, job.image->rowBytes());
    }
    if (decoded == 0)
        return false;
    if (job.top.errors.damageCode == 0)
        job.top.errors.damageCode = JWRN_HIT_MARKER; // any code but the end of the file
    return true;
}

// The first row of the second thread, 0 for one thread. Only sequential
// files: a progressive one has to be read whole before its first row. Only
// at 1/1 and 1/2: at 1/4 and 1/8 nearly all the work is the entropy
// decoding that the second thread repeats to skip the top rows, so it would
// save a few per cent and take a core that the window's start-up needs.
JDIMENSION splitRow(const jpeg_decompress_struct& info)
{
    if (info.progressive_mode || oxImageThreads() < 2 || info.scale_denom > 2 ||
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
    bool ok = false;
    if (split == 0) {
        ok = decodeRows(job, job.top, 0, info.output_height);
    } else {
        job.bottom = std::make_unique<PartDecoder>(fileno(job.file.get()));
        job.bottom->errors.cancel = job.options.cancel;
        job.bottom->first = job.bottom->reached = split;
        // Item 0 the top rows, item 1 the rest; each part with its own decoder.
        ok = oxParallelFor(2, MIN_SPLIT_PIXELS, [&](size_t begin, size_t end) {
            bool partsOk = true;
            for (size_t part = begin; part < end; ++part)
                partsOk = (part == 0 ? decodeRows(job, job.top, 0, split)
                                     : readHeader(job, *job.bottom) &&
                                           decodeRows(job, *job.bottom, split, info.output_height)) &&
                          partsOk;
            return partsOk;
        });
    }
    return ok || (!job.options.cancelled() && keepDecodedPart(job, split));
}

int damageCode(const LoadJob& job)
{
    if (job.top.errors.damageCode != 0)
        return job.top.errors.damageCode;
    return job.bottom ? job.bottom->errors.damageCode : 0;
}

} // namespace

std::unique_ptr<oxImage> oxJpegHandler::loadImage(const std::string& filename, const oxLoadOptions& options) const
{
    LoadJob job(options, oxFilePtr(oxOpenForReading(filename, oxGetTranslation("cannot open file.")).release()),
                filename);
    if (!decode(job)) {
        options.checkCancelled();
        const bool second = job.bottom && job.top.errors.message[0] == '\0' && !job.top.errors.ownReason;
        throw oxImageException(
            oxJpegFailure(oxGetTranslation("decompression failed."), second ? job.bottom->errors : job.top.errors),
            filename);
    }
    job.prefault.reset();
    std::unique_ptr<oxImage> image = oxAsMeantToBeSeen(std::move(job.image), job.colours, job.orientation, filename);
    image->setComponents(job.components);
    image->setReduction(job.scale);
    image->setSourceSize(job.sourceSize);
    image->setComment(std::move(job.comment));
    if (const int code = damageCode(job))
        image->setDamage(oxJpegDamageReason(code));
    return image;
}
