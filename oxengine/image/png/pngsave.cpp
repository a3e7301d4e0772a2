// Encoding: 8-bit images as 8-bit files, every other type as 16-bit, one
// row at a time (converted or tone-mapped as the row is written).
#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/image/formatsupport.h"
#include "oxengine/image/png/pnghandler.h"
#include "oxengine/image/png/pngsupport.h"
#include "oxengine/image/replacefile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>

#include <zlib.h>

namespace {

struct SaveJob {
    SaveJob(const oxImage& img, const oxToneMapping& mapping)
        : image(img), target(img.sampleType() == ST_UINT8 ? ST_UINT8 : ST_UINT16), rows(img, target, mapping)
    {
    }

    const oxImage& image;
    const oxSampleType target;
    oxImageRows rows;
    oxPngErrors errors;
    oxPngWriter writer{errors};
    std::FILE* out = nullptr;
    std::string title; // the data of the Title chunk, empty for no comment
    bool international = false;
    std::vector<png_text> texts;
    // Caches: written often and read soon, so speed before size.
    bool quick = false;
};

bool encode(SaveJob& job)
{
    if (setjmp(job.errors.jump))
        return false;
    if (!job.writer.create())
        return false;
    png_structp png = job.writer.png;
    png_infop info = job.writer.info;
    png_init_io(png, job.out);
    errno = 0; // a failed write leaves its reason here
    const bool alpha = job.image.components() >= 4;
    png_set_IHDR(png, info, job.image.width(), job.image.height(), job.target == ST_UINT8 ? 8 : 16,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job.quick) {
        // The fastest deflate as runs over left-neighbour differences: on
        // photo thumbnails smaller than the default filters at that level,
        // in less than half the time.
        png_set_compression_level(png, 1);
        png_set_compression_strategy(png, Z_RLE);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    }
    if (!job.texts.empty())
        png_set_text(png, info, job.texts.data(), int(job.texts.size()));
    png_write_info(png, info);
    if (!job.title.empty()) {
        const png_byte* type = reinterpret_cast<const png_byte*>(job.international ? "iTXt" : "tEXt");
        png_write_chunk(png, type, reinterpret_cast<png_const_bytep>(job.title.data()), job.title.size());
    }
    if (job.target == ST_UINT16 && std::endian::native == std::endian::little)
        png_set_swap(png);
    if (!alpha)
        png_set_filler(png, 0, PNG_FILLER_AFTER); // drops the fourth sample of each pixel
    for (uint32_t y = 0; y < job.image.height(); ++y)
        png_write_row(png, static_cast<png_const_bytep>(job.rows.row(y)));
    png_write_end(png, nullptr);
    return true;
}

} // namespace

void oxPngHandler::saveImage(const oxImage& image, const std::string& filename, const oxToneMapping& toneMapping) const
{
    SaveJob job(image, toneMapping);
    if (!image.comment().empty()) {
        const oxPngText text = oxPngTextFor(image.comment());
        job.title = oxPngTitleChunkData(text);
        job.international = text.international;
    }
    oxReplaceOptions options;
    options.createFailed = N_("compression failed.");
    oxReplaceFile(
        filename,
        [&job, &filename](std::FILE* file, const std::string&) {
            job.out = file;
            if (!encode(job)) {
                throw oxImageException(
                    oxWithSystemReason(oxGetTranslation("compression failed."), job.errors.systemError), filename);
            }
        },
        options);
}

std::string oxPngQuickEncode(const oxImage& image, const std::vector<std::pair<std::string, std::string>>& texts)
{
    if (image.sampleType() != ST_UINT8 || image.empty())
        return {};
    SaveJob job(image, oxToneMapping());
    job.quick = true;
    for (const auto& [key, value] : texts) {
        png_text text{};
        const bool ascii = std::all_of(value.begin(), value.end(), [](char c) { return uint8_t(c) < 0x80; });
        // tEXt is Latin-1: UTF-8 beyond ASCII goes into iTXt.
        text.compression = ascii ? PNG_TEXT_COMPRESSION_NONE : PNG_ITXT_COMPRESSION_NONE;
        text.key = const_cast<char*>(key.c_str());
        text.text = const_cast<char*>(value.c_str());
        job.texts.push_back(text);
    }
    char* buffer = nullptr;
    size_t size = 0;
    job.out = open_memstream(&buffer, &size);
    if (!job.out)
        return {};
    const bool encoded = encode(job);
    const bool closed = std::fclose(job.out) == 0;
    std::string bytes;
    if (encoded && closed)
        bytes.assign(buffer, size);
    std::free(buffer);
    return bytes;
}
