// Encoding: baseline RGB from the image's rows. 8-bit rows go to the library
// as they are (RGBX, the alpha byte skipped); other sample types are
// converted, or tone-mapped, one row at a time.
#include "oxengine/image/jpeg/jpeghandler.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/image/jpeg/jpegsupport.h"
#include "oxengine/image/replacefile.h"
#include "oxengine/image/sampleconv.h"

#include <vector>

namespace {

struct SaveJob {
    SaveJob(const oxImage& img, const oxToneMapping& mapping)
        : image(img), toneMapping(mapping), toneMapped(mapping.appliesTo(ST_UINT8, img.sampleType()))
    {
    }

    const oxImage& image;
    const oxToneMapping& toneMapping;
    const bool toneMapped;
    int quality = oxJpegHandler::DEFAULT_QUALITY;
    std::FILE* out = nullptr;
    oxJpegErrors errors;
    oxJpegEncoder encoder{errors};
    std::vector<oxColour> row;
    std::vector<oxColourFloat> floats;

    // Row y as 8-bit RGBA.
    JSAMPROW rowData(uint32_t y)
    {
        if (image.sampleType() == ST_UINT8 && !toneMapped)
            return const_cast<JSAMPROW>(image.rowData(y));
        const size_t n = image.width();
        if (toneMapped) {
            oxPixelsToFloat(image.rowData(y), image.sampleType(), floats.data(), n);
            oxToneMapPixels(floats.data(), n, toneMapping);
            oxPixelsFromFloat(floats.data(), row.data(), ST_UINT8, n);
        } else {
            oxConvertPixels(image.rowData(y), image.sampleType(), row.data(), ST_UINT8, n);
        }
        return reinterpret_cast<JSAMPROW>(row.data());
    }
};

bool encode(SaveJob& job)
{
    jpeg_compress_struct& info = job.encoder.info;
    if (setjmp(job.errors.jump))
        return false;
    job.encoder.create();
    jpeg_stdio_dest(&info, job.out);
    info.image_width = job.image.width();
    info.image_height = job.image.height();
    info.input_components = 4;
    info.in_color_space = JCS_EXT_RGBX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, job.quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    oxJpegWriteComment(info, job.image.comment());
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = job.rowData(info.next_scanline);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

} // namespace

void oxJpegHandler::saveImage(const oxImage& image, const std::string& filename,
                              const oxToneMapping& toneMapping) const
{
    SaveJob job(image, toneMapping);
    const int quality = imageOption("Quality");
    if (quality != IMAGE_OPTION_ABSENT)
        job.quality = quality; // the library limits it to 1..100
    if (image.sampleType() != ST_UINT8 || job.toneMapped) {
        job.row.resize(image.width());
        if (job.toneMapped)
            job.floats.resize(image.width());
    }
    oxReplaceOptions options;
    options.createFailed = N_("cannot open file.");
    oxReplaceFile(
        filename,
        [&job, &filename](std::FILE* file, const std::string&) {
            job.out = file;
            if (!encode(job)) {
                throw oxImageException(
                    oxJpegFailure(oxGetTranslation("compression failed."), job.errors), filename);
            }
        },
        options);
}
