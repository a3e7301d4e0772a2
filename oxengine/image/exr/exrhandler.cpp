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
#include <cstdint>
#include <cstring>
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
    explicit Header(const oxExrLibrary& library) : m_library(library), m_header(library.newHeader()) {}
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

// Closing writes what is still buffered and the line offsets.
class OutputFile {
public:
    OutputFile(const oxExrLibrary& library, ImfOutputFile* file) : m_library(library), m_file(file) {}
    ~OutputFile() { close(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ImfOutputFile* get() const { return m_file; }
    bool close()
    {
        ImfOutputFile* f = m_file;
        m_file = nullptr;
        return !f || m_library.closeOutputFile(f) != 0;
    }

private:
    const oxExrLibrary& m_library;
    ImfOutputFile* m_file;
};

[[noreturn]] void fail(const oxExrLibrary& library, const char* text, const std::string& filename)
{
    throw oxImageException(std::string(oxGetTranslation(text)) + ": " + library.lastError(), filename);
}

// The address the library adds (x, y) × strides to, so that pixel (x0, y0)
// of the file lands on the first pixel of pixels. The offset is computed in
// 64 bits; the address itself is meant to lie outside the buffer, so it is
// formed as an integer and never dereferenced by us.
bool frameBufferBase(oxColourHalf* pixels, int64_t x0, int64_t y0, int64_t width, ImfRgba*& base)
{
    int64_t offset = 0, bytes = 0;
    if (__builtin_mul_overflow(y0, width, &offset) || __builtin_add_overflow(offset, x0, &offset) ||
        __builtin_mul_overflow(offset, int64_t(sizeof(ImfRgba)), &bytes))
        return false;
    base = reinterpret_cast<ImfRgba*>(reinterpret_cast<uintptr_t>(pixels) - uintptr_t(bytes));
    return true;
}

// Reads every pixel of a file just written, into one reused row, so a file
// the library left incomplete is noticed before it replaces anything.
bool readsBack(const oxExrLibrary& library, const std::string& path, uint32_t width, uint32_t height)
{
    InputFile in(library, library.openInputFile(path.c_str()));
    if (!in.get())
        return false;
    int xMin = 0, yMin = 0, xMax = -1, yMax = -1;
    library.headerDataWindow(library.inputHeader(in.get()), &xMin, &yMin, &xMax, &yMax);
    if (xMin != 0 || yMin != 0 || xMax != int(width) - 1 || yMax != int(height) - 1)
        return false;
    std::vector<ImfRgba> row(width);
    // A y stride of 0 puts every row into the same place.
    return library.inputSetFrameBuffer(in.get(), row.data(), 1, 0) != 0 &&
           library.inputReadPixels(in.get(), 0, int(height) - 1) != 0;
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
    InputFile in(library, library.openInputFile(filename.c_str()));
    if (!in.get())
        fail(library, N_("cannot open EXR file"), filename);
    const ImfHeader* header = library.inputHeader(in.get());
    if (!header)
        fail(library, N_("cannot read EXR header"), filename);
    int xMin = 0, yMin = 0, xMax = -1, yMax = -1;
    library.headerDataWindow(header, &xMin, &yMin, &xMax, &yMax);
    if (xMax < xMin || yMax < yMin)
        throw oxImageException(formatString(oxGetTranslation("invalid EXR data window (%d, %d) - (%d, %d)"), xMin,
                                            yMin, xMax, yMax),
                               filename);
    const int64_t width = int64_t(xMax) - xMin + 1, height = int64_t(yMax) - yMin + 1;
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
    const int64_t bandRows = std::clamp<int64_t>(EXR_BAND_BYTES / (width * int64_t(sizeof(ImfRgba))), 16, 256) / 16 * 16;
    std::vector<ImfRgba> band;
    if (factor > 1)
        band.resize(size_t(bandRows * width));
    for (int64_t y = 0; y < height; y += bandRows) {
        options.checkCancelled();
        const int64_t rows = std::min(bandRows, height - y);
        oxColourHalf* pixels =
            factor > 1 ? reinterpret_cast<oxColourHalf*>(band.data()) : static_cast<oxColourHalf*>(reducer.row(uint32_t(y)));
        ImfRgba* base = nullptr;
        if (!frameBufferBase(pixels, xMin, yMin + y, width, base))
            throw oxImageException(formatString(oxGetTranslation("invalid EXR data window (%d, %d) - (%d, %d)"), xMin,
                                                yMin, xMax, yMax),
                                   filename);
        if (!library.inputSetFrameBuffer(in.get(), base, 1, size_t(width)))
            fail(library, N_("cannot set EXR frame buffer"), filename);
        if (!library.inputReadPixels(in.get(), int(yMin + y), int(yMin + y + rows - 1)))
            fail(library, N_("cannot read EXR image data"), filename);
        if (factor > 1)
            for (int64_t i = 0; i < rows; ++i)
                reducer.addRow(uint32_t(y + i), band.data() + i * width);
    }
    std::unique_ptr<oxImage> image = reducer.finish();
    image->setComment(std::move(comment));
    return image;
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
    Header header(library);
    if (!header.get())
        fail(library, N_("cannot create EXR header"), filename);
    const int xMax = int(image.width()) - 1, yMax = int(image.height()) - 1;
    library.headerSetDataWindow(header.get(), 0, 0, xMax, yMax);
    library.headerSetDisplayWindow(header.get(), 0, 0, xMax, yMax);
    if (!image.comment().empty() && !library.headerSetStringAttribute(header.get(), "comments", image.comment().c_str()))
        fail(library, N_("cannot create EXR header"), filename);
    const int channels = image.components() == 4 ? oxExrLibrary::WRITE_RGBA : oxExrLibrary::WRITE_RGB;

    oxReplaceOptions options;
    options.createFailed = N_("cannot open EXR output file");
    oxReplaceFile(
        filename,
        [&](std::FILE*, const std::string& path) {
            // The library writes the file under its name itself.
            OutputFile out(library, library.openOutputFile(path.c_str(), header.get(), channels));
            if (!out.get())
                fail(library, N_("cannot open EXR output file"), filename);
            if (!library.outputSetFrameBuffer(out.get(), reinterpret_cast<const ImfRgba*>(pixels), 1, image.width()))
                fail(library, N_("cannot set EXR frame buffer"), filename);
            if (!library.outputWritePixels(out.get(), int(image.height())))
                fail(library, N_("cannot write EXR pixels"), filename);
            if (!out.close() || !readsBack(library, path, image.width(), image.height()))
                fail(library, N_("cannot write EXR pixels"), filename);
        },
        options);
}

void oxExrHandler::transformFile(const std::string& filename, const oxImageTransform& transform) const
{
    oxExrLayout layout;
    if (oxReadExrLayout(filename, layout) && !layout.onlyRgba())
        throw oxImageException(
            oxGetTranslation("this EXR file holds more than one RGBA picture (other channels, layers, parts or deep "
                             "data); rewriting it would lose them"),
            filename);
    // A file whose header cannot be read fails in the load with the
    // library's own message.
    genericTransform(*this, filename, transform);
}
