#include "oxengine/image/png/pngsupport.h"

#include "oxengine/image/formatsupport.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/strings.h"
#include "oxengine/image/prefault.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

oxPngErrors& errorsOf(png_const_structp png)
{
    return *static_cast<oxPngErrors*>(png_get_error_ptr(png));
}

[[noreturn]] void errorExit(png_structp png, png_const_charp message)
{
    oxPngErrors& errors = errorsOf(png);
    // The library's stdio read and write report a short transfer this way.
    if (errno != 0)
        errors.systemError = errno;
    std::snprintf(errors.message, sizeof errors.message, "%s", message ? message : "");
    std::longjmp(errors.jump, 1);
}

void warning(png_structp, png_const_charp)
{
    // Never on stderr: what matters reaches the user as an exception.
}

// The library's own limits stop at a million pixels a side; the image
// model's pixel limit decides instead.
void allowEverySize(png_structp png)
{
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
}

// Beyond this many pixels a picture over the memory budget is refused rather
// than decoded reduced: the decoder still has to go through every row, at
// some 50 to 60 million pixels a second (16384 x 16384 takes about 5 s).
constexpr uint64_t PNG_REDUCED_PIXEL_LIMIT = uint64_t(1) << 28;

// Compressed text and profiles unpack to at most this much (or the file's
// size, if larger); beyond it the library drops the chunk.
constexpr png_alloc_size_t UNPACKED_CHUNK_BYTES = png_alloc_size_t(8) << 20;

// The library allocates (and clears) a chunk's declared length before it
// reads the chunk: a length running past the end of the file is refused as
// its header goes by, so a few hostile bytes cannot ask for gigabytes.
void readCheckingChunks(png_structp png, png_bytep data, size_t length)
{
    oxPngChunkGuard& g = *static_cast<oxPngChunkGuard*>(png_get_io_ptr(png));
    if (std::fread(data, 1, length, g.file) != length) {
        g.truncated = true;
        png_error(png, "Read Error");
    }
    const int64_t begin = g.offset, end = begin + int64_t(length);
    g.offset = end;
    if (g.fileSize < 0)
        return;
    for (;;) {
        // The bytes of the next chunk's length field within this read.
        const int64_t from = std::max(begin, g.nextChunk + g.lengthBytes), to = std::min(end, g.nextChunk + 4);
        if (from >= to)
            return;
        for (int64_t at = from; at < to; ++at, ++g.lengthBytes)
            g.chunkLength = g.chunkLength << 8 | data[at - begin];
        if (g.lengthBytes < 4)
            return;
        const int64_t chunkEnd = g.nextChunk + 12 + int64_t(g.chunkLength); // length, type, data, CRC
        if (chunkEnd > g.fileSize) {
            g.truncated = true;
            png_error(png, "chunk runs past the end of the file");
        }
        g.nextChunk = chunkEnd;
        g.lengthBytes = 0;
        g.chunkLength = 0;
    }
}

// What the file says about its colours and orientation (chunks before the
// image data).
void readPictureInformation(oxPngReadJob& job)
{
    png_structp png = job.reader.png;
    png_infop info = job.reader.info;
    oxColourSource& c = job.colours;
    png_charp name = nullptr;
    png_bytep profile = nullptr;
    png_uint_32 profileLength = 0;
    int compression = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &profileLength) && profile)
        c.icc.assign(profile, profile + profileLength);
    int intent = 0;
    c.srgbChunk = png_get_sRGB(png, info, &intent) != 0;
    double gamma = 0;
    if (png_get_gAMA(png, info, &gamma) && gamma > 0 && gamma < 100)
        c.gamma = gamma;
    double* ch = c.chromaticities.data();
    c.hasChromaticities = png_get_cHRM(png, info, &ch[0], &ch[1], &ch[2], &ch[3], &ch[4], &ch[5], &ch[6], &ch[7]) != 0;
    png_unknown_chunkp unknown = nullptr;
    const int n = png_get_unknown_chunks(png, info, &unknown);
    for (int i = 0; i < n; ++i) {
        if (std::memcmp(unknown[i].name, "cICP", 4) == 0 && unknown[i].size == 4) {
            c.cicpPrimaries = unknown[i].data[0];
            c.cicpTransfer = unknown[i].data[1];
        }
    }
    png_uint_32 exifLength = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(png, info, &exifLength, &exif) && exif)
        job.orientation = oxOrientation::fromExif(oxExifOrientation(exif, exifLength));
}

bool startRead(oxPngReadJob& job)
{
    png_structp png = job.reader.png;
    png_infop info = job.reader.info;
    job.guard.file = job.file;
    job.guard.fileSize = oxOpenFileSize(job.file);
    png_set_read_fn(png, &job.guard, readCheckingChunks);
    allowEverySize(png);
    png_set_chunk_malloc_max(png, std::max(UNPACKED_CHUNK_BYTES, png_alloc_size_t(std::max(job.guard.fileSize, 0LL))));
    // Coding-independent code points: a chunk this library version may not know.
    static const png_byte CICP[5] = {'c', 'I', 'C', 'P', 0};
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, CICP, 1);
    png_read_info(png, info);
    readPictureInformation(job);
    int depth = 0, colour = 0;
    png_get_IHDR(png, info, &job.width, &job.height, &depth, &colour, nullptr, nullptr, nullptr);
    job.sixteenBit = depth == 16;
    if (!oxImage::sizeAllowed(job.width, job.height, job.sixteenBit ? 8 : 4)) {
        job.sizeRefused = true;
        return false;
    }
    if (job.keepPixels && job.options)
        job.factor = oxDecodeReduction(*job.options, job.width, job.height, job.sixteenBit ? 8 : 4, job.orientation, 0,
                                       PNG_REDUCED_PIXEL_LIMIT, job.filename);
    if (colour == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (transparency)
        png_set_tRNS_to_alpha(png);
    if (job.sixteenBit && std::endian::native == std::endian::little)
        png_set_swap(png);
    if (!(colour & PNG_COLOR_MASK_ALPHA) && !transparency)
        png_set_filler(png, 0xFFFF, PNG_FILLER_AFTER); // the low byte for 8-bit samples
    if (!(colour & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);
    // A reduced interlaced picture is sampled pass by pass (see readSampled).
    job.passes = job.factor > 1 && png_get_interlace_type(png, info) == PNG_INTERLACE_ADAM7
                     ? -PNG_INTERLACE_ADAM7_PASSES
                     : png_set_interlace_handling(png);
    png_read_update_info(png, info);
    // Whatever the file, the conversions above give four samples a pixel.
    const size_t pixelBytes = job.sixteenBit ? 8 : 4;
    if (png_get_rowbytes(png, info) != size_t(job.width) * pixelBytes)
        png_error(png, "unexpected row layout");
    return true;
}

} // namespace

std::string oxPngFailure(const std::string& message, const oxPngErrors& errors)
{
    if (errors.systemError != 0)
        return oxWithSystemReason(message, errors.systemError);
    if (errors.message[0] != '\0')
        return message + " (" + errors.message + ")";
    return message;
}

bool oxPngReader::create()
{
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &m_errors, errorExit, warning);
    if (!png)
        return false;
    info = png_create_info_struct(png);
    end = png_create_info_struct(png);
    return info && end;
}

bool oxPngWriter::create()
{
    png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &m_errors, errorExit, warning);
    if (!png)
        return false;
    info = png_create_info_struct(png);
    return info != nullptr;
}

namespace {

// The rows one after the other into the reducer.
void readReduced(oxPngReadJob& job)
{
    oxRowReducer& reducer = *job.reducer;
    for (png_uint_32 y = 0; y < job.height; ++y) {
        if (job.options->cancelled())
            return;
        png_read_row(job.reader.png, static_cast<png_bytep>(reducer.row(y)), nullptr);
        reducer.rowDone(y);
        job.rowsDone = std::min(reducer.target().height(), (y + job.factor) / job.factor);
    }
}

// An interlaced file comes in seven passes of sparse pixels, so rows cannot
// be reduced as they come: the reduced picture takes the top-left pixel of
// each block instead, from whichever pass has it.
void readSampled(oxPngReadJob& job)
{
    oxImage& image = job.reducer->target();
    const uint32_t f = uint32_t(job.factor), pixelBytes = uint32_t(image.pixelBytes());
    job.scratch.resize(png_get_rowbytes(job.reader.png, job.reader.info));
    for (int pass = 0; pass < PNG_INTERLACE_ADAM7_PASSES; ++pass) {
        const png_uint_32 columns = PNG_PASS_COLS(job.width, pass), rows = PNG_PASS_ROWS(job.height, pass);
        if (columns == 0 || rows == 0)
            continue; // the library skips empty passes
        for (png_uint_32 r = 0; r < rows; ++r) {
            if (job.options->cancelled())
                return;
            png_read_row(job.reader.png, job.scratch.data(), nullptr);
            const png_uint_32 y = PNG_ROW_FROM_PASS_ROW(r, pass);
            if (y % f != 0 || y / f >= image.height())
                continue;
            for (png_uint_32 c = 0; c < columns; ++c) {
                const png_uint_32 x = PNG_COL_FROM_PASS_COL(c, pass);
                if (x % f == 0 && x / f < image.width())
                    std::memcpy(image.rowData(y / f) + size_t(x / f) * pixelBytes,
                                job.scratch.data() + size_t(c) * pixelBytes, pixelBytes);
            }
            job.rowsDone = std::max(job.rowsDone, png_uint_32(y / f + 1));
        }
    }
}

// After a library error or a cancellation: a reduced picture keeps what it
// has (the rest is transparent).
bool readStopped(oxPngReadJob& job)
{
    if (job.reducer)
        job.image = job.reducer->finish();
    job.reducer.reset();
    return false;
}

} // namespace

bool oxPngRead(oxPngReadJob& job)
{
    if (setjmp(job.errors.jump))
        return readStopped(job);
    if (!job.reader.create())
        return false;
    errno = 0;
    if (!startRead(job))
        return false;
    png_structp png = job.reader.png;
    if (job.keepPixels && job.factor > 1) {
        job.reducer = std::make_unique<oxRowReducer>(job.sixteenBit ? ST_UINT16 : ST_UINT8, job.width, job.height,
                                                     uint32_t(job.factor));
        if (!job.reducer->valid())
            return false;
        std::memset(job.reducer->target().data(), 0, job.reducer->target().byteSize());
        if (job.passes < 0)
            readSampled(job);
        else
            readReduced(job);
        if (job.options->cancelled())
            return readStopped(job);
        job.image = job.reducer->finish();
        job.reducer.reset();
    } else if (job.keepPixels) {
        job.image = oxCreateImage(job.sixteenBit ? ST_UINT16 : ST_UINT8, job.width, job.height);
        if (!job.image)
            return false;
        job.prefault = std::make_unique<oxPrefaultPages>(job.image->data(), job.image->byteSize());
        job.rows.resize(job.height);
        for (png_uint_32 y = 0; y < job.height; ++y)
            job.rows[y] = job.image->rowData(y);
        // An interlaced file that breaks off leaves holes in every row.
        if (job.passes > 1)
            std::memset(job.image->data(), 0, job.image->byteSize());
        for (int pass = 0; pass < job.passes; ++pass) {
            for (png_uint_32 y = 0; y < job.height; ++y) {
                if (job.options && job.options->cancelled())
                    return false;
                png_read_row(png, job.rows[y], nullptr);
                job.rowsDone = std::max(job.rowsDone, y + 1);
            }
        }
    } else {
        job.scratch.resize(png_get_rowbytes(png, job.reader.info));
        for (int pass = 0; pass < job.passes; ++pass)
            for (png_uint_32 y = 0; y < job.height; ++y)
                png_read_row(png, job.scratch.data(), nullptr);
    }
    png_read_end(png, job.reader.end);
    return true;
}

std::string oxPngDamageReason(const oxPngReadJob& job)
{
    return oxGetTranslation(job.guard.truncated ? "the file ends early" : "corrupt data");
}

// ---- comments -------------------------------------------------------------------

int oxPngCommentPriority(const char* key, size_t length)
{
    const std::string_view k(key, length);
    if (equalsIgnoreCase(k, "Title"))
        return 5;
    if (equalsIgnoreCase(k, "Comment"))
        return 4;
    if (equalsIgnoreCase(k, "Description"))
        return 3;
    return 0;
}

bool oxIsUtf8(const std::string& text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        size_t extra = 0;
        char32_t cp = 0, min = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (extra >= n - i)
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (s[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

namespace {

// tEXt and zTXt are Latin-1 by definition, but many writers put UTF-8 in
// them; text that is valid UTF-8 is taken as such.
std::string asUtf8(const png_text& t)
{
    if (!t.text)
        return std::string();
    const bool international = t.compression == PNG_ITXT_COMPRESSION_NONE || t.compression == PNG_ITXT_COMPRESSION_zTXt;
    std::string text(t.text, international ? t.itxt_length : t.text_length);
    if (international || oxIsUtf8(text))
        return text;
    std::string utf8;
    for (unsigned char c : text)
        utf8Append(utf8, c);
    return utf8;
}

} // namespace

std::string oxPngComment(png_structp png, png_infop info, png_infop end)
{
    int best = 0;
    std::string comment;
    for (png_infop chunks : {info, end}) {
        png_textp texts = nullptr;
        const int n = png_get_text(png, chunks, &texts, nullptr);
        for (int i = 0; i < n; ++i) {
            const int priority = oxPngCommentPriority(texts[i].key, std::strlen(texts[i].key));
            if (priority > best) {
                best = priority;
                comment = asUtf8(texts[i]);
            }
        }
    }
    return comment;
}

oxPngText oxPngTextFor(const std::string& comment)
{
    oxPngText t;
    t.text = comment;
    bool ascii = true;
    for (char& c : t.text) {
        if (c == '\0')
            c = ' ';
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    t.international = !ascii && oxIsUtf8(t.text);
    return t;
}

std::string oxPngTitleChunkData(const oxPngText& text)
{
    // keyword, NUL, then for iTXt: compression flag and method (0, 0), an
    // empty language tag and an empty translated keyword, each NUL-ended.
    std::string data("Title", 5);
    data += '\0';
    if (text.international)
        data += std::string(4, '\0');
    return data + text.text;
}
