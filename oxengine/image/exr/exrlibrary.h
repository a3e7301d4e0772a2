// The OpenEXR library's C interface for RGBA files, loaded at run time.
// Without the library the EXR format is simply not offered.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// The library's types, as its C interface declares them.
struct ImfHeader;
struct ImfInputFile;
struct ImfOutputFile;
struct ImfTiledOutputFile;
struct ImfRgba {
    unsigned short r, g, b, a; // binary16 bits
};

class oxExrLibrary {
public:
    // Channel sets of the RGBA interface.
    static constexpr int WRITE_RGB = 0x07;
    static constexpr int WRITE_RGBA = 0x0f;
    static constexpr int WRITE_A = 0x08;
    // Level modes of tiled files.
    static constexpr int ONE_LEVEL = 0;

    // The sonames tried in order (the first is Debian 12's).
    static std::vector<std::string> defaultNames();
    // The library under the first of names that opens and provides every
    // function below; null when none does.
    static std::shared_ptr<const oxExrLibrary> open(const std::vector<std::string>& names);
    // The process's library, looked for once: under the names in the
    // environment variable OX_EXR_LIBRARY (separated by ':') when it is set
    // (a name that does not exist simulates a machine without OpenEXR),
    // else under defaultNames(). Null when it is missing.
    static std::shared_ptr<const oxExrLibrary> process();

    ~oxExrLibrary();
    oxExrLibrary(const oxExrLibrary&) = delete;
    oxExrLibrary& operator=(const oxExrLibrary&) = delete;

    const std::string& name() const { return m_name; }

    // The library's functions; int results are 1 for success, 0 for failure.
    const char* (*errorMessage)() = nullptr;
    ImfInputFile* (*openInputFile)(const char* name) = nullptr;
    int (*closeInputFile)(ImfInputFile* in) = nullptr;
    const ImfHeader* (*inputHeader)(const ImfInputFile* in) = nullptr;
    int (*inputChannels)(const ImfInputFile* in) = nullptr;
    // Strides are in pixels.
    int (*inputSetFrameBuffer)(ImfInputFile* in, ImfRgba* base, size_t xStride, size_t yStride) = nullptr;
    int (*inputReadPixels)(ImfInputFile* in, int scanLine1, int scanLine2) = nullptr;
    void (*headerDataWindow)(const ImfHeader* header, int* xMin, int* yMin, int* xMax, int* yMax) = nullptr;
    void (*headerDisplayWindow)(const ImfHeader* header, int* xMin, int* yMin, int* xMax, int* yMax) = nullptr;
    float (*headerPixelAspectRatio)(const ImfHeader* header) = nullptr;
    int (*headerCompression)(const ImfHeader* header) = nullptr;
    // Typed attributes: 0 when absent or of another type. (The library's own
    // ImfHeaderScreenWindowCenter rounds to whole numbers.)
    int (*headerIntAttribute)(const ImfHeader* header, const char* name, int* value) = nullptr;
    int (*headerV2fAttribute)(const ImfHeader* header, const char* name, float* x, float* y) = nullptr;
    float (*headerScreenWindowWidth)(const ImfHeader* header) = nullptr;
    int (*headerStringAttribute)(const ImfHeader* header, const char* name, const char** value) = nullptr;
    ImfHeader* (*newHeader)() = nullptr;
    // Every attribute of header, in a new header.
    ImfHeader* (*copyHeader)(const ImfHeader* header) = nullptr;
    void (*deleteHeader)(ImfHeader* header) = nullptr;
    void (*headerSetDataWindow)(ImfHeader* header, int xMin, int yMin, int xMax, int yMax) = nullptr;
    void (*headerSetDisplayWindow)(ImfHeader* header, int xMin, int yMin, int xMax, int yMax) = nullptr;
    void (*headerSetPixelAspectRatio)(ImfHeader* header, float ratio) = nullptr;
    int (*headerSetIntAttribute)(ImfHeader* header, const char* name, int value) = nullptr;
    int (*headerSetV2fAttribute)(ImfHeader* header, const char* name, float x, float y) = nullptr;
    void (*headerSetScreenWindowWidth)(ImfHeader* header, float width) = nullptr;
    int (*headerSetStringAttribute)(ImfHeader* header, const char* name, const char* value) = nullptr;
    ImfOutputFile* (*openOutputFile)(const char* name, const ImfHeader* header, int channels) = nullptr;
    int (*closeOutputFile)(ImfOutputFile* out) = nullptr;
    int (*outputSetFrameBuffer)(ImfOutputFile* out, const ImfRgba* base, size_t xStride, size_t yStride) = nullptr;
    int (*outputWritePixels)(ImfOutputFile* out, int numScanLines) = nullptr;
    // Tiled files (the header's tile description is set from the sizes and modes).
    ImfTiledOutputFile* (*openTiledOutputFile)(const char* name, const ImfHeader* header, int channels, int xSize,
                                               int ySize, int mode, int roundingMode) = nullptr;
    int (*closeTiledOutputFile)(ImfTiledOutputFile* out) = nullptr;
    int (*tiledOutputSetFrameBuffer)(ImfTiledOutputFile* out, const ImfRgba* base, size_t xStride,
                                     size_t yStride) = nullptr;
    int (*tiledOutputWriteTiles)(ImfTiledOutputFile* out, int dxMin, int dxMax, int dyMin, int dyMax, int lx,
                                 int ly) = nullptr;

    // The library's last error text on this thread (never null).
    std::string lastError() const;

private:
    oxExrLibrary() = default;
    void* m_handle = nullptr;
    std::string m_name;
};
