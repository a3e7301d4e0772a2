// Decoding: straight into the rows of the new image, RGBA by the library's
// own colour conversion, at the smallest DCT scale that still fits the
// requested maximum.
#include "oxengine/image/jpeg/jpeghandler.h"

#include "oxengine/catalogue.h"
#include "oxengine/errors.h"
#include "oxengine/image/formatsupport.h"
#include "oxengine/image/jpeg/jpegsupport.h"
#include "oxengine/image/prefault.h"

#include <vector>

namespace {

struct LoadJob {
    explicit LoadJob(const oxSize& max) : maximum(max) {}

    oxJpegErrors errors;
    oxJpegDecoder decoder{errors};
    oxFilePtr file;
    oxSize maximum;
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

// False when the library failed or the file cannot become an image.
bool decode(LoadJob& job)
{
    jpeg_decompress_struct& info = job.decoder.info;
    if (setjmp(job.errors.jump))
        return false;
    job.decoder.create();
    jpeg_stdio_src(&info, job.file.get());
    jpeg_save_markers(&info, JPEG_COM, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    job.comment = oxJpegComment(info); // the saved markers go with the decoder's image pool
    // Grey and colour only: CMYK and other four-channel files are refused.
    if (info.out_color_space != JCS_GRAYSCALE && info.out_color_space != JCS_RGB)
        return false;
    job.components = info.out_color_space == JCS_GRAYSCALE ? 1 : 3;
    // The library's own buffers grow with the declared size (a progressive
    // file keeps every coefficient), so the declared size must be one the
    // image model would accept, whatever the scale.
    if (!oxImage::sizeAllowed(info.image_width, info.image_height, sizeof(oxColour)))
        return false;
    job.scale = decoderScale(oxSize(int32_t(info.image_width), int32_t(info.image_height)), job.maximum);
    info.scale_num = 1;
    info.scale_denom = unsigned(job.scale);
    info.out_color_space = JCS_EXT_RGBA; // grey expands to (v, v, v, 255)
    jpeg_calc_output_dimensions(&info);
    job.image = oxImageUInt8::create(info.output_width, info.output_height);
    if (!job.image)
        return false;
    job.prefault = std::make_unique<oxPrefaultPages>(job.image->data(), job.image->byteSize());
    job.rows.resize(info.output_height);
    for (JDIMENSION y = 0; y < info.output_height; ++y)
        job.rows[y] = reinterpret_cast<JSAMPROW>(job.image->row(y));
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, job.rows.data() + info.output_scanline, info.output_height - info.output_scanline);
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

std::unique_ptr<oxImage> oxJpegHandler::loadImage(const std::string& filename, const oxSize& maximum) const
{
    LoadJob job(maximum);
    job.file.reset(oxOpenForReading(filename, oxGetTranslation("cannot open file.")).release());
    // Large reads: the library asks for 4 KB at a time.
    std::setvbuf(job.file.get(), nullptr, _IOFBF, size_t(1) << 18);
    if (!decode(job))
        throw oxImageException(oxGetTranslation("decompression failed."), filename);
    job.prefault.reset();
    job.image->setComponents(job.components);
    job.image->setReduction(job.scale);
    job.image->setComment(std::move(job.comment));
    return std::move(job.image);
}
