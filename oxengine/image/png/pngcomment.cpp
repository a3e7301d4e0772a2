// Replacing the comment of a PNG file. The file is first decoded in full
// (one row at a time) to make sure it is one the library reads; then its
// chunks are copied byte for byte into the new file, except the text chunks
// whose key is a comment key, and the new "Title" chunk goes in before the
// image data. Pixels, palette, colour information, Exif, other text chunks
// and chunks nobody here knows stay exactly as they were.
#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/strings.h"
#include "oxengine/image/formatsupport.h"
#include "oxengine/image/png/pnghandler.h"
#include "oxengine/image/png/pngsupport.h"
#include "oxengine/image/replacefile.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr unsigned char SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t MAX_CHUNK_LENGTH = 0x7FFFFFFFu;
constexpr size_t MAX_KEY_BYTES = 79;

[[noreturn]] void damaged(const std::string& filename, const oxPngErrors& errors = {})
{
    throw oxImageException(oxPngFailure(oxGetTranslation("decompression failed."), errors), filename);
}

uint32_t be32(const unsigned char* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void putBe32(unsigned char* p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

bool isTextChunk(const unsigned char* type)
{
    return std::memcmp(type, "tEXt", 4) == 0 || std::memcmp(type, "zTXt", 4) == 0 ||
           std::memcmp(type, "iTXt", 4) == 0;
}

void writeBytes(std::FILE* out, const void* data, size_t n)
{
    // A failed write leaves the stream's error set; oxReplaceFile reports it.
    (void)std::fwrite(data, 1, n, out);
}

void writeChunk(std::FILE* out, const char* type, const std::string& data)
{
    unsigned char head[8];
    putBe32(head, uint32_t(data.size()));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size()));
    unsigned char tail[4];
    putBe32(tail, uint32_t(crc));
    writeBytes(out, head, 8);
    writeBytes(out, data.data(), data.size());
    writeBytes(out, tail, 4);
}

class ChunkCopier {
public:
    ChunkCopier(std::FILE* in, std::FILE* out, const std::string& filename) : m_in(in), m_out(out), m_filename(filename)
    {
    }

    void read(unsigned char* p, size_t n)
    {
        if (std::fread(p, 1, n, m_in) != n)
            damaged(m_filename);
    }

    // n bytes from the source to the new file, or past them.
    void pass(uint64_t n, bool copy)
    {
        while (n > 0) {
            const size_t k = size_t(std::min<uint64_t>(n, m_buffer.size()));
            read(m_buffer.data(), k);
            if (copy)
                writeBytes(m_out, m_buffer.data(), k);
            n -= k;
        }
    }

    // Everything after the last chunk (rarely anything) stays too.
    void passRest()
    {
        size_t k;
        while ((k = std::fread(m_buffer.data(), 1, m_buffer.size(), m_in)) > 0)
            writeBytes(m_out, m_buffer.data(), k);
        if (std::ferror(m_in))
            damaged(m_filename);
    }

private:
    std::FILE* m_in;
    std::FILE* m_out;
    const std::string& m_filename;
    std::vector<unsigned char> m_buffer = std::vector<unsigned char>(size_t(1) << 20);
};

void copyWithTitle(std::FILE* in, std::FILE* out, const std::string& filename, const std::string& comment)
{
    ChunkCopier copier(in, out, filename);
    unsigned char signature[8];
    copier.read(signature, 8);
    if (std::memcmp(signature, SIGNATURE, 8) != 0)
        damaged(filename);
    writeBytes(out, SIGNATURE, 8);
    bool titleWritten = comment.empty();
    for (;;) {
        unsigned char head[8];
        copier.read(head, 8);
        const uint32_t length = be32(head);
        if (length > MAX_CHUNK_LENGTH)
            damaged(filename);
        const unsigned char* type = head + 4;
        if (!titleWritten && std::memcmp(type, "IDAT", 4) == 0) {
            const oxPngText text = oxPngTextFor(comment);
            writeChunk(out, text.international ? "iTXt" : "tEXt", oxPngTitleChunkData(text));
            titleWritten = true;
        }
        if (isTextChunk(type)) {
            // The key ends at the first NUL within its 79 bytes.
            unsigned char key[MAX_KEY_BYTES + 1];
            const size_t n = std::min<size_t>(length, sizeof key);
            copier.read(key, n);
            const size_t keyLength = size_t(std::find(key, key + n, 0) - key);
            const bool comment = keyLength < n && oxPngCommentPriority(reinterpret_cast<const char*>(key), keyLength) > 0;
            if (!comment) {
                writeBytes(out, head, 8);
                writeBytes(out, key, n);
            }
            copier.pass(uint64_t(length - n) + 4, !comment);
            continue;
        }
        writeBytes(out, head, 8);
        copier.pass(uint64_t(length) + 4, true);
        if (std::memcmp(type, "IEND", 4) == 0)
            break;
    }
    copier.passRest();
}

} // namespace

void oxPngHandler::transformFile(const std::string& filename, const oxImageTransform& transform) const
{
    if (transform.rotation != 0)
        throw oxImageException(oxGetTranslation("rotation is currently not supported for PNG images"), filename);
    if (!transform.setComment)
        return; // nothing to change: the file stays as it is

    oxStdioFile file = oxOpenForReading(filename, oxGetTranslation("decompression failed."));
    std::setvbuf(file.get(), nullptr, _IOFBF, size_t(1) << 18);
    {
        oxPngReadJob check;
        check.file = file.get();
        check.keepPixels = false;
        if (!oxPngRead(check)) {
            if (check.sizeRefused)
                oxCheckImageSize(check.width, check.height, check.sixteenBit ? 8 : 4, filename);
            if (check.width == 0 && !check.guard.truncated)
                damaged(filename, check.errors);
            // Never written back from what a damaged file decodes to.
            throw oxImageException(formatString(oxGetTranslation("The file is damaged (%s) and is not rewritten."),
                                                oxPngDamageReason(check).c_str()),
                                   filename);
        }
    }
    if (std::fseek(file.get(), 0, SEEK_SET) != 0)
        damaged(filename);

    oxReplaceOptions options;
    options.keepModificationDate = true;
    options.replaceFailed = N_("Cannot replace file after successfully transforming it");
    oxReplaceFile(
        filename,
        [&](std::FILE* out, const std::string&) { copyWithTitle(file.get(), out, filename, transform.comment); },
        options);
}
