#include "oxengine/image/tga/tgahandler.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/strings.h"
#include "oxengine/image/formatsupport.h"
#include "oxengine/image/replacefile.h"
#include "oxengine/image/rowreducer.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr size_t HEADER_BYTES = 18;
constexpr size_t MAX_ID_BYTES = 255;
constexpr int TYPE_TRUE_COLOUR = 2;
constexpr int TYPE_RLE_TRUE_COLOUR = 10;
constexpr uint8_t DESCRIPTOR_RIGHT_TO_LEFT = 0x10;
constexpr uint8_t DESCRIPTOR_TOP_FIRST = 0x20;

struct Header {
    uint8_t idLength = 0;
    uint8_t colourMapType = 0;
    uint8_t imageType = 0;
    uint16_t colourMapLength = 0;
    uint8_t colourMapEntryBits = 0;
    uint16_t width = 0, height = 0;
    uint8_t depth = 0;
    uint8_t descriptor = 0;

    // Where the pixels start: after the header, the ID field and, when the
    // file has one, the colour map (a true-colour file does not use it).
    uint64_t pixelOffset() const
    {
        const uint64_t map = colourMapType == 1 ? uint64_t(colourMapLength) * ((colourMapEntryBits + 7u) / 8u) : 0;
        return HEADER_BYTES + idLength + map;
    }
};

uint16_t le16(const unsigned char* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

Header parseHeader(const unsigned char* b)
{
    Header h;
    h.idLength = b[0];
    h.colourMapType = b[1];
    h.imageType = b[2];
    h.colourMapLength = le16(b + 5);
    h.colourMapEntryBits = b[7];
    h.width = le16(b + 12);
    h.height = le16(b + 14);
    h.depth = b[16];
    h.descriptor = b[17];
    return h;
}

[[noreturn]] void fail(const std::string& message, const std::string& filename)
{
    throw oxImageException(message, filename);
}

// Buffered reading of the pixel data; reports the end of the file and read
// errors apart.
class Reader {
public:
    Reader(std::FILE* file, const std::string& filename) : m_file(file), m_filename(filename) {}

    // Up to n bytes into out; fewer only at the end of the file.
    size_t read(unsigned char* out, size_t n)
    {
        size_t done = 0;
        while (done < n) {
            if (m_at == m_end && !refill())
                break;
            const size_t k = std::min(n - done, m_end - m_at);
            std::copy_n(m_buffer.data() + m_at, k, out + done);
            m_at += k;
            done += k;
        }
        return done;
    }

private:
    bool refill()
    {
        m_at = 0;
        m_end = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
        if (m_end == 0 && std::ferror(m_file))
            fail(oxGetTranslation("cannot read from file."), m_filename);
        return m_end > 0;
    }

    std::FILE* m_file;
    const std::string& m_filename;
    std::vector<unsigned char> m_buffer = std::vector<unsigned char>(size_t(1) << 18);
    size_t m_at = 0, m_end = 0;
};

inline oxColour pixelFrom(const unsigned char* p, int bytes)
{
    return oxColour(p[2], p[1], p[0], bytes == 4 ? p[3] : 255);
}

// Where the file's rows go: row r of the file is the picture's row r, or
// counted from the bottom. Polls the token before each row.
class RowSink {
public:
    RowSink(oxRowReducer& reducer, uint32_t height, bool topFirst, const oxLoadOptions& options)
        : m_reducer(reducer), m_height(height), m_topFirst(topFirst), m_options(options)
    {
    }
    oxColour* row(uint32_t r)
    {
        m_options.checkCancelled();
        return static_cast<oxColour*>(m_reducer.row(pictureRow(r)));
    }
    void done(uint32_t r) { m_reducer.rowDone(pictureRow(r)); }

private:
    uint32_t pictureRow(uint32_t r) const { return m_topFirst ? r : m_height - 1 - r; }

    oxRowReducer& m_reducer;
    uint32_t m_height;
    bool m_topFirst;
    const oxLoadOptions& m_options;
};

void readUncompressed(Reader& reader, RowSink& sink, uint32_t width, uint32_t height, int bytes,
                      const std::string& filename)
{
    std::vector<unsigned char> row(size_t(width) * size_t(bytes));
    for (uint32_t r = 0; r < height; ++r) {
        oxColour* out = sink.row(r);
        // The size was checked against the file; a shorter read means the
        // file shrank while we read it.
        if (reader.read(row.data(), row.size()) != row.size())
            fail(oxGetTranslation("the TGA file ends before its last pixel."), filename);
        for (uint32_t x = 0; x < width; ++x)
            out[x] = pixelFrom(row.data() + size_t(x) * size_t(bytes), bytes);
        sink.done(r);
    }
}

// Packets until the picture is full or the file ends (a packet may run on
// into the next row); what is not decoded is black and opaque. False when
// the file ended first.
bool readRunLength(Reader& reader, RowSink& sink, uint32_t width, uint32_t height, int bytes)
{
    const oxColour black(0, 0, 0, 255);
    std::array<unsigned char, 128 * 4> literal;
    uint32_t r = 0, x = 0;
    oxColour* out = sink.row(0);
    unsigned char head = 0;
    while (r < height && reader.read(&head, 1) == 1) {
        size_t count = (head & 0x7F) + 1;
        unsigned char p[4];
        size_t got = count;
        if (head & 0x80) {
            if (reader.read(p, size_t(bytes)) != size_t(bytes))
                break;
        } else {
            // A cut packet still gives its pixels that came.
            got = reader.read(literal.data(), count * size_t(bytes)) / size_t(bytes);
        }
        for (size_t i = 0; i < got && r < height; ++i) {
            out[x] = pixelFrom(head & 0x80 ? p : literal.data() + i * size_t(bytes), bytes);
            if (++x == width) {
                sink.done(r);
                x = 0;
                if (++r < height)
                    out = sink.row(r);
            }
        }
        if (got < count)
            break;
    }
    if (r < height && x > 0) {
        std::fill(out + x, out + width, black);
        sink.done(r);
    }
    return r == height;
}

bool isTextByte(unsigned char c)
{
    return (c >= 0x20 && c != 0x7F) || c == '\t' || c == '\n' || c == '\r';
}

// The image ID field as the comment: text (UTF-8, or else taken as
// Latin-1), without the NULs some writers end it with. ID data that is not
// text (some writers store binary data there) is no comment.
std::string commentOf(std::string id)
{
    while (!id.empty() && id.back() == '\0')
        id.pop_back();
    for (unsigned char c : id) {
        if (!isTextByte(c))
            return std::string();
    }
    if (utf8FromCodePoints(utf8ToCodePoints(id)) == id)
        return id;
    std::string utf8;
    for (unsigned char c : id)
        utf8Append(utf8, c);
    return utf8;
}

// The comment as an ID field: at most 255 bytes, cut before a character
// that does not fit whole; control characters become blanks.
std::string idFieldOf(const std::string& comment)
{
    size_t n = std::min(comment.size(), MAX_ID_BYTES);
    while (n > 0 && n < comment.size() && (static_cast<unsigned char>(comment[n]) & 0xC0) == 0x80)
        --n;
    std::string id = comment.substr(0, n);
    for (char& c : id) {
        if (!isTextByte(static_cast<unsigned char>(c)))
            c = ' ';
    }
    return id;
}

} // namespace

std::string oxTgaHandler::loadFilter() const
{
    return oxGetTranslation("Truevision Targa Files (*.tga)|*.tga|");
}

bool oxTgaHandler::canLoad(const std::string& filename) const
{
    return hasExtension(filename, ".tga");
}

std::unique_ptr<oxImage> oxTgaHandler::loadImage(const std::string& filename, const oxLoadOptions& options) const
{
    oxStdioFile file = oxOpenForReading(filename, oxGetTranslation("cannot read from file."));
    const long long fileSize = oxOpenFileSize(file.get());
    unsigned char bytes[HEADER_BYTES];
    if (fileSize < 0 || std::fread(bytes, 1, HEADER_BYTES, file.get()) != HEADER_BYTES)
        fail(oxGetTranslation("cannot read from file."), filename);
    const Header h = parseHeader(bytes);

    if (h.depth != 24 && h.depth != 32)
        fail(oxGetTranslation("unsupported pixel size: ") + std::to_string(h.depth) + oxGetTranslation(" bits"),
             filename);
    if (h.imageType != TYPE_TRUE_COLOUR && h.imageType != TYPE_RLE_TRUE_COLOUR)
        fail(oxGetTranslation("unsupported TGA image type: ") + std::to_string(h.imageType), filename);
    if (h.width == 0 || h.height == 0)
        fail(formatString(oxGetTranslation("the TGA file declares no pixels (%u × %u)."), unsigned(h.width),
                          unsigned(h.height)),
             filename);
    oxCheckImageSize(h.width, h.height, sizeof(oxColour), filename);
    const int pixelBytes = h.depth / 8;
    const uint64_t offset = h.pixelOffset();
    const uint64_t available = uint64_t(fileSize) > offset ? uint64_t(fileSize) - offset : 0;
    if (h.imageType == TYPE_TRUE_COLOUR && available < uint64_t(h.width) * h.height * uint64_t(pixelBytes))
        fail(oxGetTranslation("the TGA file ends before its last pixel."), filename);

    std::string id(h.idLength, '\0');
    if (std::fread(id.data(), 1, id.size(), file.get()) != id.size())
        id.clear();
    // Larger than the maximum or the budget: reduced as the rows come.
    const int factor = oxDecodeReduction(options, h.width, h.height, sizeof(oxColour), oxOrientation(), 0, 0, filename);
    oxRowReducer reducer(ST_UINT8, h.width, h.height, uint32_t(factor));
    if (!reducer.valid())
        fail(oxGetTranslation("out of memory!"), filename);
    Reader reader(file.get(), filename);
    if (std::fseek(file.get(), long(std::min<uint64_t>(offset, uint64_t(fileSize))), SEEK_SET) != 0)
        fail(oxGetTranslation("cannot read from file."), filename);
    RowSink sink(reducer, h.height, (h.descriptor & DESCRIPTOR_TOP_FIRST) != 0, options);
    bool complete = true;
    if (h.imageType == TYPE_TRUE_COLOUR) {
        readUncompressed(reader, sink, h.width, h.height, pixelBytes, filename);
    } else {
        reducer.target().fill(oxColourValue(oxColour(0, 0, 0, 255)));
        complete = readRunLength(reader, sink, h.width, h.height, pixelBytes);
    }
    std::unique_ptr<oxImage> image = reducer.finish();
    // Shown with what it holds, but never rewritten with the black it lacks.
    if (!complete)
        image->setDamage(oxGetTranslation("the file ends early"));
    image->setComment(commentOf(std::move(id)));
    if (h.descriptor & DESCRIPTOR_RIGHT_TO_LEFT)
        image->flipHorizontal();
    return image;
}

void oxTgaHandler::saveImage(const oxImage& image, const std::string& filename, const oxToneMapping& toneMapping) const
{
    // The header holds 16-bit sizes; a larger picture would be written with
    // the wrong size and an empty one could not be read back.
    if (image.empty() || image.width() > MAX_SIDE || image.height() > MAX_SIDE)
        fail(formatString(oxGetTranslation("a TGA file holds pictures from 1 × 1 to 65535 × 65535 pixels, not %u × %u."),
                          image.width(), image.height()),
             filename);
    const bool alpha = image.components() > 3;
    const int pixelBytes = alpha ? 4 : 3;
    const std::string id = idFieldOf(image.comment());
    unsigned char header[HEADER_BYTES] = {};
    header[0] = uint8_t(id.size());
    header[2] = TYPE_TRUE_COLOUR;
    header[12] = uint8_t(image.width());
    header[13] = uint8_t(image.width() >> 8);
    header[14] = uint8_t(image.height());
    header[15] = uint8_t(image.height() >> 8);
    header[16] = uint8_t(pixelBytes * 8);
    header[17] = uint8_t(DESCRIPTOR_TOP_FIRST | (alpha ? 8 : 0));

    oxReplaceOptions options;
    options.createFailed = N_("cannot write to file.");
    options.writeFailed = N_("cannot write to file.");
    oxReplaceFile(
        filename,
        [&](std::FILE* file, const std::string&) {
            oxImageRows rows(image, ST_UINT8, toneMapping);
            std::vector<unsigned char> out(size_t(image.width()) * size_t(pixelBytes));
            if (std::fwrite(header, 1, HEADER_BYTES, file) != HEADER_BYTES ||
                std::fwrite(id.data(), 1, id.size(), file) != id.size())
                return; // oxReplaceFile reports the stream's error
            for (uint32_t y = 0; y < image.height(); ++y) {
                const auto* in = static_cast<const oxColour*>(rows.row(y));
                unsigned char* p = out.data();
                for (uint32_t x = 0; x < image.width(); ++x, p += pixelBytes) {
                    p[0] = in[x].b;
                    p[1] = in[x].g;
                    p[2] = in[x].r;
                    if (alpha)
                        p[3] = in[x].a;
                }
                if (std::fwrite(out.data(), 1, out.size(), file) != out.size())
                    return;
            }
        },
        options);
}

void oxTgaHandler::transformFile(const std::string& filename, const oxImageTransform& transform) const
{
    // A comment the ID field cannot hold whole is refused, not cut.
    if (transform.setComment && transform.comment.size() > MAX_ID_BYTES)
        fail(formatString(oxGetTranslation("a TGA file holds a comment of at most 255 bytes, not %zu."),
                          transform.comment.size()),
             filename);
    genericTransform(*this, filename, transform);
}
