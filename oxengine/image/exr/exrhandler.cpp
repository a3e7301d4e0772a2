#include "oxengine/image/exr/exrhandler.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/strings.h"
#include "oxengine/image/exr/exrlayout.h"
#include "oxengine/image/formatsupport.h"
#include "oxengine/image/replacefile.h"
#include "oxengine/image/rowreducer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <tuple>
#include <unistd.h>
#include <vector>

static_assert(sizeof(ImfRgba) == sizeof(oxColourHalf), "an RGBA record is one half pixel");

namespace {

// Beyond this many pixels a picture over the memory budget is refused rather
// than decoded reduced: every row is still decompressed, at some 40 million
// pixels a second (a 16384 x 16384 picture takes about 7 s).
constexpr uint64_t EXR_REDUCED_PIXEL_LIMIT = uint64_t(1) << 28;
// The rows read at a time take about this much.
constexpr int64_t EXR_BAND_BYTES = int64_t(32) << 20;

class InputFile {
public:
    InputFile(const oxExrLibrary& library, ImfInputFile* file) : m_library(library), m_file(file) {}
    ~InputFile()
    {
        if (m_file)
            m_library.closeInputFile(m_file);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ImfInputFile* get() const { return m_file; }

private:
    const oxExrLibrary& m_library;
    ImfInputFile* m_file;
};

class Header {
public:
    Header(const oxExrLibrary& library, ImfHeader* header) : m_library(library), m_header(header) {}
    ~Header()
    {
        if (m_header)
            m_library.deleteHeader(m_header);
    }
    Header(const Header&) = delete;
    Header& operator=(const Header&) = delete;
    ImfHeader* get() const { return m_header; }

private:
    const oxExrLibrary& m_library;
    ImfHeader* m_header;
};

// Closing writes what is still buffered and the offsets of the chunks.
template <class File, int (*oxExrLibrary::*Close)(File*)> class Output {
public:
    Output(const oxExrLibrary& library, File* file) : m_library(library), m_file(file) {}
    ~Output() { close(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    File* get() const { return m_file; }
    bool close()
    {
        File* f = m_file;
        m_file = nullptr;
        return !f || (m_library.*Close)(f) != 0;
    }

private:
    const oxExrLibrary& m_library;
    File* m_file;
};
using OutputFile = Output<ImfOutputFile, &oxExrLibrary::closeOutputFile>;
using TiledOutputFile = Output<ImfTiledOutputFile, &oxExrLibrary::closeTiledOutputFile>;

// The library opens files by name. It is given the name of a descriptor that
// was opened here as a regular file ("/proc/self/fd/N"), so what it reads is
// that file whatever happens to the name meanwhile, and a FIFO never reaches
// it. Its messages name the file as the user knows it.
class Source {
public:
    Source(const oxExrLibrary& library, const std::string& filename) : m_library(library), m_filename(filename)
    {
        int error = 0;
        m_fd = oxOpenRegularFile(filename, O_RDONLY, error);
        if (!m_fd)
            throw oxImageException(oxWithSystemReason(oxGetTranslation("cannot open EXR file"), error), filename);
        m_path = "/proc/self/fd/" + std::to_string(m_fd.get());
        if (access(m_path.c_str(), R_OK) != 0)
            m_path = filename; // no /proc: only the check above protects
    }
    const char* path() const { return m_path.c_str(); }

    [[noreturn]] void fail(const char* text) const
    {
        std::string reason = m_library.lastError();
        if (m_path != m_filename)
            reason = replaceAll(reason, m_path, m_filename);
        throw oxImageException(std::string(oxGetTranslation(text)) + ": " + reason, m_filename);
    }

private:
    const oxExrLibrary& m_library;
    const std::string& m_filename;
    oxFileDescriptor m_fd;
    std::string m_path;
};

[[noreturn]] void fail(const oxExrLibrary& library, const char* text, const std::string& filename)
{
    throw oxImageException(std::string(oxGetTranslation(text)) + ": " + library.lastError(), filename);
}

// The address the library adds (x, y) × strides to, so that pixel (x0, y0)
// of the file lands on the first pixel of pixels. The offset is computed in
// 64 bits; the address itself is meant to lie outside the buffer, so it is
// formed as an integer and never dereferenced by us.
bool frameBufferBase(const oxColourHalf* pixels, int64_t x0, int64_t y0, int64_t width, ImfRgba*& base)
{
    int64_t offset = 0, bytes = 0;
    if (__builtin_mul_overflow(y0, width, &offset) || __builtin_add_overflow(offset, x0, &offset) ||
        __builtin_mul_overflow(offset, int64_t(sizeof(ImfRgba)), &bytes))
        return false;
    base = reinterpret_cast<ImfRgba*>(reinterpret_cast<uintptr_t>(pixels) - uintptr_t(bytes));
    return true;
}

struct Box {
    int64_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    int64_t width() const { return x1 - x0 + 1; }
    int64_t height() const { return y1 - y0 + 1; }
    bool fitsInt() const
    {
        return std::min({x0, y0, x1, y1}) >= INT_MIN && std::max({x0, y0, x1, y1}) <= INT_MAX;
    }
};

Box dataWindow(const oxExrLibrary& library, const ImfHeader* header)
{
    int xMin = 0, yMin = 0, xMax = -1, yMax = -1;
    library.headerDataWindow(header, &xMin, &yMin, &xMax, &yMax);
    return {xMin, yMin, xMax, yMax};
}

// The file's data window read into a new half image (its corner at row 0,
// column 0) with the "comments" attribute as its comment; reduced as the
// rows come when it is over the options' budget or maximum.
std::unique_ptr<oxImage> readPicture(const oxExrLibrary& library, ImfInputFile* in, const Source& source,
                                     const std::string& filename, const oxLoadOptions& options)
{
    const ImfHeader* header = library.inputHeader(in);
    if (!header)
        source.fail(N_("cannot read EXR header"));
    const Box window = dataWindow(library, header);
    const auto invalidWindow = [&] {
        return oxImageException(formatString(oxGetTranslation("invalid EXR data window (%d, %d) - (%d, %d)"),
                                             int(window.x0), int(window.y0), int(window.x1), int(window.y1)),
                                filename);
    };
    if (window.width() <= 0 || window.height() <= 0)
        throw invalidWindow();
    const int64_t width = window.width(), height = window.height();
    oxCheckImageSize(uint64_t(width), uint64_t(height), sizeof(oxColourHalf), filename);
    const int factor = oxDecodeReduction(options, uint64_t(width), uint64_t(height), sizeof(oxColourHalf),
                                         oxOrientation(), 0, EXR_REDUCED_PIXEL_LIMIT, filename);
    std::string comment;
    const char* text = nullptr;
    if (library.headerStringAttribute(header, "comments", &text) && text)
        comment = text;

    oxRowReducer reducer(ST_HALF, uint32_t(width), uint32_t(height), uint32_t(factor));
    if (!reducer.valid())
        throw oxImageException(oxGetTranslation("not enough memory for this image"), filename);
    // Read in bands, so that a stop is noticed soon and a reduced picture
    // needs one band at full width only; at full size straight into the image.
    const int64_t bandRows =
        std::clamp<int64_t>(EXR_BAND_BYTES / (width * int64_t(sizeof(ImfRgba))), 16, 256) / 16 * 16;
    std::vector<ImfRgba> band;
    if (factor > 1)
        band.resize(size_t(bandRows * width));
    for (int64_t y = 0; y < height; y += bandRows) {
        options.checkCancelled();
        const int64_t rows = std::min(bandRows, height - y);
        oxColourHalf* pixels = factor > 1 ? reinterpret_cast<oxColourHalf*>(band.data())
                                          : static_cast<oxColourHalf*>(reducer.row(uint32_t(y)));
        ImfRgba* base = nullptr;
        if (!frameBufferBase(pixels, window.x0, int64_t(window.y0) + y, width, base))
            throw invalidWindow();
        if (!library.inputSetFrameBuffer(in, base, 1, size_t(width)))
            source.fail(N_("cannot set EXR frame buffer"));
        if (!library.inputReadPixels(in, int(window.y0 + y), int(window.y0 + y + rows - 1)))
            source.fail(N_("cannot read EXR image data"));
        if (factor > 1)
            for (int64_t i = 0; i < rows; ++i)
                reducer.addRow(uint32_t(y + i), band.data() + i * width);
    }
    std::unique_ptr<oxImage> image = reducer.finish();
    image->setComment(std::move(comment));
    return image;
}

// What a rewrite gives the library: a header with every attribute, the
// pixels of the data window and, for a tiled file, its tile size.
struct WriteJob {
    ImfHeader* header = nullptr;
    int channels = oxExrLibrary::WRITE_RGBA;
    const oxColourHalf* pixels = nullptr;
    uint32_t width = 0, height = 0;
    int x0 = 0, y0 = 0; // the data window's corner
    uint32_t tileWidth = 0, tileHeight = 0; // 0: scan lines
};

// Reads every pixel of a file just written, into one reused row, so a file
// the library left incomplete is noticed before it replaces anything.
bool readsBack(const oxExrLibrary& library, const std::string& path, const WriteJob& job)
{
    InputFile in(library, library.openInputFile(path.c_str()));
    if (!in.get())
        return false;
    const Box window = dataWindow(library, library.inputHeader(in.get()));
    if (window.x0 != job.x0 || window.y0 != job.y0 || window.width() != job.width || window.height() != job.height)
        return false;
    std::vector<ImfRgba> row(job.width);
    ImfRgba* base = nullptr;
    // A y stride of 0 puts every row into the same place.
    return frameBufferBase(reinterpret_cast<const oxColourHalf*>(row.data()), job.x0, 0, 0, base) &&
           library.inputSetFrameBuffer(in.get(), base, 1, 0) != 0 &&
           library.inputReadPixels(in.get(), job.y0, job.y0 + int(job.height) - 1) != 0;
}

// Scan lines per chunk of each compression, in the library's numbering.
int linesPerChunk(int compression)
{
    static constexpr int lines[] = {1, 1, 1, 16, 32, 16, 32, 32, 32, 256};
    return compression >= 0 && compression < int(std::size(lines)) ? lines[compression] : 0;
}

// A copied header may carry the old picture's chunk count, which readers
// check against the geometry. False when it cannot be worked out.
bool updateChunkCount(const oxExrLibrary& library, const WriteJob& job)
{
    int count = 0;
    if (!library.headerIntAttribute(job.header, "chunkCount", &count))
        return true;
    int64_t chunks = 0;
    if (job.tileWidth != 0) {
        chunks = int64_t((job.width + job.tileWidth - 1) / job.tileWidth) *
                 int64_t((job.height + job.tileHeight - 1) / job.tileHeight);
    } else {
        const int lines = linesPerChunk(library.headerCompression(job.header));
        if (lines == 0)
            return false;
        chunks = (int64_t(job.height) + lines - 1) / lines;
    }
    return chunks <= INT_MAX && library.headerSetIntAttribute(job.header, "chunkCount", int(chunks)) != 0;
}

void writeExr(const oxExrLibrary& library, const std::string& filename, const WriteJob& job,
              oxReplaceOptions options)
{
    if (!updateChunkCount(library, job))
        throw oxImageException(oxGetTranslation("cannot create EXR header"), filename);
    options.createFailed = N_("cannot open EXR output file");
    ImfRgba* base = nullptr;
    if (!frameBufferBase(job.pixels, job.x0, job.y0, job.width, base))
        throw oxImageException(oxGetTranslation("cannot set EXR frame buffer"), filename);
    oxReplaceFile(
        filename,
        [&](std::FILE*, const std::string& path) {
            // The library writes the file under its name itself.
            if (job.tileWidth == 0) {
                OutputFile out(library, library.openOutputFile(path.c_str(), job.header, job.channels));
                if (!out.get())
                    fail(library, N_("cannot open EXR output file"), filename);
                if (!library.outputSetFrameBuffer(out.get(), base, 1, job.width))
                    fail(library, N_("cannot set EXR frame buffer"), filename);
                if (!library.outputWritePixels(out.get(), int(job.height)))
                    fail(library, N_("cannot write EXR pixels"), filename);
                if (!out.close())
                    fail(library, N_("cannot write EXR pixels"), filename);
            } else {
                TiledOutputFile out(library,
                                    library.openTiledOutputFile(path.c_str(), job.header, job.channels,
                                                                int(job.tileWidth), int(job.tileHeight),
                                                                oxExrLibrary::ONE_LEVEL, 0));
                if (!out.get())
                    fail(library, N_("cannot open EXR output file"), filename);
                const int columns = int((job.width + job.tileWidth - 1) / job.tileWidth);
                const int rows = int((job.height + job.tileHeight - 1) / job.tileHeight);
                if (!library.tiledOutputSetFrameBuffer(out.get(), base, 1, job.width))
                    fail(library, N_("cannot set EXR frame buffer"), filename);
                if (!library.tiledOutputWriteTiles(out.get(), 0, columns - 1, 0, rows - 1, 0, 0))
                    fail(library, N_("cannot write EXR pixels"), filename);
                if (!out.close())
                    fail(library, N_("cannot write EXR pixels"), filename);
            }
            if (!readsBack(library, path, job))
                fail(library, N_("cannot write EXR pixels"), filename);
        },
        options);
}

// Where (x, y), relative to the corner of a w × h display window, goes when
// the picture turns by quarter turns clockwise.
void turnPoint(int turns, int64_t w, int64_t h, int64_t& x, int64_t& y)
{
    for (int i = 0; i < turns; ++i) {
        const int64_t turned = h - 1 - y;
        y = x;
        x = turned;
        std::swap(w, h);
    }
}

// The attributes that describe where the pixels lie, turned with them. The
// display window keeps its corner; the data window turns within it (and so
// does any overscan); the screen window turns about the screen's centre.
bool turnGeometry(const oxExrLibrary& library, ImfHeader* header, int turns, Box& data)
{
    Box display;
    int xMin = 0, yMin = 0, xMax = -1, yMax = -1;
    library.headerDisplayWindow(header, &xMin, &yMin, &xMax, &yMax);
    display = {xMin, yMin, xMax, yMax};
    const int64_t w = display.width(), h = display.height();
    int64_t ax = data.x0 - display.x0, ay = data.y0 - display.y0, bx = data.x1 - display.x0, by = data.y1 - display.y0;
    turnPoint(turns, w, h, ax, ay);
    turnPoint(turns, w, h, bx, by);
    const bool across = turns % 2 == 1;
    const Box turnedDisplay{display.x0, display.y0, display.x0 + (across ? h : w) - 1,
                            display.y0 + (across ? w : h) - 1};
    data = {display.x0 + std::min(ax, bx), display.y0 + std::min(ay, by), display.x0 + std::max(ax, bx),
            display.y0 + std::max(ay, by)};
    if (!data.fitsInt() || !turnedDisplay.fitsInt())
        return false;
    library.headerSetDataWindow(header, int(data.x0), int(data.y0), int(data.x1), int(data.y1));
    library.headerSetDisplayWindow(header, int(turnedDisplay.x0), int(turnedDisplay.y0), int(turnedDisplay.x1),
                                   int(turnedDisplay.y1));

    float cx = 0, cy = 0;
    if (library.headerV2fAttribute(header, "screenWindowCenter", &cx, &cy)) {
        // The screen's y axis points up: a quarter turn clockwise takes (x, y) to (y, -x).
        for (int i = 0; i < turns; ++i)
            std::tie(cx, cy) = std::pair(cy, -cx);
        library.headerSetV2fAttribute(header, "screenWindowCenter", cx, cy);
    }
    const float aspect = library.headerPixelAspectRatio(header);
    if (across && std::isfinite(aspect) && aspect > 0) {
        // The screen window's height becomes its width.
        const double width = double(library.headerScreenWindowWidth(header)) * double(h) / (double(w) * aspect);
        library.headerSetScreenWindowWidth(header, float(width));
        library.headerSetPixelAspectRatio(header, 1.0f / aspect);
    }
    return true;
}

} // namespace

std::string oxExrHandler::loadFilter() const
{
    return oxGetTranslation("EXR images (*.exr)|*.exr|");
}

bool oxExrHandler::canLoad(const std::string& filename) const
{
    return hasExtension(filename, ".exr");
}

std::unique_ptr<oxImage> oxExrHandler::loadImage(const std::string& filename, const oxLoadOptions& options) const
{
    const oxExrLibrary& library = *m_library;
    const Source source(library, filename);
    InputFile in(library, library.openInputFile(source.path()));
    if (!in.get())
        source.fail(N_("cannot open EXR file"));
    return readPicture(library, in.get(), source, filename, options);
}

void oxExrHandler::saveImage(const oxImage& image, const std::string& filename, const oxToneMapping& toneMapping) const
{
    const oxExrLibrary& library = *m_library;
    if (image.empty() || image.width() > uint32_t(INT_MAX) || image.height() > uint32_t(INT_MAX))
        throw oxImageException(formatString(oxGetTranslation("an EXR file cannot hold a picture of %u × %u pixels"),
                                            image.width(), image.height()),
                               filename);
    // The library writes from one frame buffer of the whole picture: the
    // image itself when it is half and needs no tone mapping.
    std::unique_ptr<oxImageHalf> converted;
    const oxColourHalf* pixels = static_cast<const oxColourHalf*>(image.data());
    oxImageRows rows(image, ST_HALF, toneMapping); // tone-mapped only when the mode says always
    if (image.sampleType() != ST_HALF || rows.toneMapped()) {
        converted = oxImageHalf::create(image.width(), image.height());
        if (!converted)
            throw oxImageException(oxGetTranslation("not enough memory for this image"), filename);
        for (uint32_t y = 0; y < image.height(); ++y)
            std::memcpy(converted->row(y), rows.row(y), converted->rowBytes());
        pixels = converted->pixels();
    }
    Header header(library, library.newHeader());
    if (!header.get())
        fail(library, N_("cannot create EXR header"), filename);
    const int xMax = int(image.width()) - 1, yMax = int(image.height()) - 1;
    library.headerSetDataWindow(header.get(), 0, 0, xMax, yMax);
    library.headerSetDisplayWindow(header.get(), 0, 0, xMax, yMax);
    if (!image.comment().empty() && !library.headerSetStringAttribute(header.get(), "comments", image.comment().c_str()))
        fail(library, N_("cannot create EXR header"), filename);
    WriteJob job;
    job.header = header.get();
    job.channels = image.components() == 4 ? oxExrLibrary::WRITE_RGBA : oxExrLibrary::WRITE_RGB;
    job.pixels = pixels;
    job.width = image.width();
    job.height = image.height();
    writeExr(library, filename, job, oxReplaceOptions());
}

void oxExrHandler::transformFile(const std::string& filename, const oxImageTransform& transform) const
{
    const oxExrLibrary& library = *m_library;
    const Source source(library, filename);
    // A file whose header cannot be read fails below with the library's
    // own message.
    oxExrLayout layout;
    if (oxReadExrLayout(source.path(), layout)) {
        if (!layout.onlyRgba())
            throw oxImageException(
                oxGetTranslation("this EXR file holds more than one RGBA picture (other channels, layers, parts or "
                                 "deep data); rewriting it would lose them"),
                filename);
        if (layout.tiled && layout.levelMode != oxExrLibrary::ONE_LEVEL)
            throw oxImageException(
                oxGetTranslation("this EXR file holds mip-map levels; rewriting it would lose them"), filename);
        if (layout.environmentMap && transform.rotation % 4 != 0)
            throw oxImageException(oxGetTranslation("this EXR file is an environment map, which cannot be rotated"),
                                   filename);
    }
    InputFile in(library, library.openInputFile(source.path()));
    if (!in.get())
        source.fail(N_("cannot open EXR file"));
    std::unique_ptr<oxImage> image = readPicture(library, in.get(), source, filename, oxLoadOptions());
    // Every attribute stays; those that describe the geometry are turned.
    Header header(library, library.copyHeader(library.inputHeader(in.get())));
    if (!header.get())
        fail(library, N_("cannot create EXR header"), filename);
    Box data = dataWindow(library, header.get());
    WriteJob job;
    job.channels = library.inputChannels(in.get());
    if (transform.setComment && !library.headerSetStringAttribute(header.get(), "comments", transform.comment.c_str()))
        fail(library, N_("cannot create EXR header"), filename);
    const int turns = ((transform.rotation % 4) + 4) % 4;
    if (turns != 0) {
        image = image->rotatedCopy(turns);
        if (!image)
            throw oxImageException(oxGetTranslation("not enough memory for this image"), filename);
        if (!turnGeometry(library, header.get(), turns, data))
            throw oxImageException(
                oxGetTranslation("the turned picture's position does not fit into an EXR header"), filename);
    }
    job.header = header.get();
    job.pixels = static_cast<const oxColourHalf*>(image->data());
    job.width = image->width();
    job.height = image->height();
    job.x0 = int(data.x0);
    job.y0 = int(data.y0);
    if (layout.tiled) {
        job.tileWidth = std::max<uint32_t>(layout.tileWidth, 1);
        job.tileHeight = std::max<uint32_t>(layout.tileHeight, 1);
    }
    oxReplaceOptions options;
    options.keepModificationDate = true;
    writeExr(library, filename, job, options);
}
