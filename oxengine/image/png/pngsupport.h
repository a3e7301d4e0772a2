// What the PNG reader, writer and comment rewrite share: the error handler
// that returns control to the caller instead of ending the process, the
// reading of a whole file, and the text chunks of a comment.
//
// How a library error comes back: the function that drives the library
// calls setjmp on the job's oxPngErrors and returns false when the library
// jumps back. Such a function keeps no objects with destructors of its own
// alive across library calls; everything lives in a job structure owned by
// its caller, whose destructor releases the library's state.
#pragma once

#include "oxengine/image/colour/colourprofile.h"
#include "oxengine/image/image.h"
#include "oxengine/image/orientation.h"
#include "oxengine/image/prefault.h"
#include "oxengine/image/rowreducer.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <png.h>

// One per call (never shared between threads).
struct oxPngErrors {
    std::jmp_buf jump;
    // errno of the failed call when the library's own read or write failed.
    int systemError = 0;
    // The library's text for the error that ended the work ("" if none).
    char message[128] = {};
};

// message followed by the reason of the failure in parentheses: the
// system's for a failed read or write, else the library's; message alone
// when there is none (the caller refused the file itself).
std::string oxPngFailure(const std::string& message, const oxPngErrors& errors);

// A read structure with its two info structures, destroyed with its owner.
// create() must run under the caller's setjmp.
class oxPngReader {
public:
    explicit oxPngReader(oxPngErrors& errors) : m_errors(errors) {}
    ~oxPngReader() { png_destroy_read_struct(&png, &info, &end); }
    oxPngReader(const oxPngReader&) = delete;
    oxPngReader& operator=(const oxPngReader&) = delete;
    // False when the library cannot set up (out of memory).
    bool create();

    png_structp png = nullptr;
    png_infop info = nullptr;
    png_infop end = nullptr; // the chunks after the image data

private:
    oxPngErrors& m_errors;
};

class oxPngWriter {
public:
    explicit oxPngWriter(oxPngErrors& errors) : m_errors(errors) {}
    ~oxPngWriter() { png_destroy_write_struct(&png, &info); }
    oxPngWriter(const oxPngWriter&) = delete;
    oxPngWriter& operator=(const oxPngWriter&) = delete;
    bool create();

    png_structp png = nullptr;
    png_infop info = nullptr;

private:
    oxPngErrors& m_errors;
};

// A whole file read with the conversions to RGBA (see oxPngHandler).
// Where the reading stands in the file's chunks (see oxPngRead).
struct oxPngChunkGuard {
    std::FILE* file = nullptr;
    long long fileSize = -1; // unknown: nothing is checked
    int64_t offset = 0;      // bytes read so far
    int64_t nextChunk = 8;   // where the next chunk starts (after the signature)
    int lengthBytes = 0;     // of its length field, read so far
    uint32_t chunkLength = 0;
    bool truncated = false;  // the file ended inside a chunk
};

struct oxPngReadJob {
    oxPngErrors errors;
    oxPngReader reader{errors};
    std::FILE* file = nullptr;
    std::string filename;
    // Set after the header: the size is refused before anything is allocated.
    png_uint_32 width = 0, height = 0;
    bool sixteenBit = false;
    int passes = 1; // 7 for interlaced files
    bool sizeRefused = false;
    // With keepPixels the image receives the rows; otherwise they are only
    // decoded (one row at a time) to prove that the file is whole.
    bool keepPixels = true;
    // The maximum, budget and cancellation of the pixels kept (none: the
    // whole picture, at its size).
    const oxLoadOptions* options = nullptr;
    // The picture is reduced by this factor while it is decoded.
    int factor = 1;
    std::unique_ptr<oxRowReducer> reducer;
    // Rows of the image that received pixels before the library failed (any
    // pass of an interlaced file; the others are then cleared to transparent).
    png_uint_32 rowsDone = 0;
    // After the header: the colours and the orientation the file gives.
    oxColourSource colours;
    oxOrientation orientation;
    std::unique_ptr<oxImage> image;
    std::unique_ptr<oxPrefaultPages> prefault; // ends before the image is handed out
    std::vector<png_bytep> rows;
    std::vector<png_byte> scratch;
    oxPngChunkGuard guard;
};

// Reads job.file to the end. False on any library error, a refused size
// (sizeRefused) or a cancellation (job.options). Call with no objects of the caller's alive that the library
// error path would skip (see above).
bool oxPngRead(oxPngReadJob& job);
// Why a read that got past the header failed, translated: "the file ends
// early" or "corrupt data".
std::string oxPngDamageReason(const oxPngReadJob& job);

// ---- comments -------------------------------------------------------------------
// The priority of a text key as the comment, 0 for other keys: "Title" 5,
// "Comment" 4, "Description" 3, compared without regard to case.
int oxPngCommentPriority(const char* key, size_t length);
// The text of the preferred text chunk of both info structures (those before
// the image data first), as UTF-8; empty when there is none.
std::string oxPngComment(png_structp png, png_infop info, png_infop end);

// A comment as a text chunk's bytes: ASCII and texts that are not UTF-8 go
// into a tEXt chunk as they are, other UTF-8 into an uncompressed iTXt chunk
// (tEXt is Latin-1). NUL bytes, which a text chunk cannot hold, become
// blanks.
struct oxPngText {
    bool international = false;
    std::string text;
};
oxPngText oxPngTextFor(const std::string& comment);
// The data of a "Title" chunk holding text (after the 8 bytes of length and
// type, without the CRC).
std::string oxPngTitleChunkData(const oxPngText& text);
bool oxIsUtf8(const std::string& text);
