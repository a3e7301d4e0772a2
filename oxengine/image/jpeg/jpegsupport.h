// What the JPEG handler's decoder, encoder and transformation share: the
// error manager that returns control instead of ending the process, owners
// of the library's structures and files, and the comment markers.
//
// How a library error comes back: the function that drives the library
// calls setjmp on the job's oxJpegErrors and returns false when the library
// jumps back. Such a function keeps no objects with destructors of its own
// alive across library calls; everything lives in a job structure owned by
// its caller, whose destructors then release the library's state and close
// the files on the normal exception path.
#pragma once

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include <jpeglib.h>

class oxCancelToken;

// One per call (never shared between threads).
struct oxJpegErrors {
    jpeg_error_mgr manager; // first: the library only sees this part
    std::jmp_buf jump;
    // errno of a failed read or write inside the library, else 0.
    int systemError = 0;
    // The library's text for the error that ended the work ("" if none), or
    // a reason of our own (untranslated) where we stopped it.
    char message[JMSG_LENGTH_MAX] = {};
    const char* ownReason = nullptr;
    // Data that is missing or does not decode: when tolerated (a picture to
    // be shown) the decoder goes on and the first such warning is kept here;
    // otherwise (a transformation) it is an error and its code is kept.
    bool tolerateDamage = false;
    int damageCode = 0;
    // Once cancelled, the decoder stops at its next progress report (a
    // progressive file is read whole before its first row) as after an error.
    const oxCancelToken* cancel = nullptr;

    oxJpegErrors();
    oxJpegErrors(const oxJpegErrors&) = delete;
    oxJpegErrors& operator=(const oxJpegErrors&) = delete;
};

// message followed by the reason of the failure in parentheses: the system's
// for a failed read or write, else ours or the library's; message alone
// when there is none (the caller refused the file itself).
std::string oxJpegFailure(const std::string& message, const oxJpegErrors& errors);

// Progressive files with absurdly many scans cost a pass over the whole
// picture each; a real file has a dozen or so.
constexpr int OX_JPEG_MAX_SCANS = 1000;

// The decompressor, destroyed with its owner. create() must run under the
// caller's setjmp (the library may fail while setting up).
class oxJpegDecoder {
public:
    explicit oxJpegDecoder(oxJpegErrors& errors);
    ~oxJpegDecoder() { jpeg_destroy_decompress(&info); }
    oxJpegDecoder(const oxJpegDecoder&) = delete;
    oxJpegDecoder& operator=(const oxJpegDecoder&) = delete;
    void create();

    jpeg_decompress_struct info;

private:
    jpeg_progress_mgr m_progress;
};

class oxJpegEncoder {
public:
    explicit oxJpegEncoder(oxJpegErrors& errors);
    ~oxJpegEncoder() { jpeg_destroy_compress(&info); }
    oxJpegEncoder(const oxJpegEncoder&) = delete;
    oxJpegEncoder& operator=(const oxJpegEncoder&) = delete;
    void create();

    jpeg_compress_struct info;
};

// A decoder's source reading an open file at its own offset (pread), so that
// two decoders can read one file at once. The end of the file inside the
// data is reported as JWRN_JPEG_EOF, a failed read as JERR_FILE_READ.
struct oxJpegFileSource {
    static constexpr size_t BUFFER_BYTES = size_t(1) << 18; // the library asks for little at a time

    jpeg_source_mgr manager; // first: the library only sees this part
    int fd = -1;
    int64_t offset = 0;
    bool started = false;
    std::unique_ptr<JOCTET[]> buffer;

    explicit oxJpegFileSource(int fileDescriptor);
    oxJpegFileSource(const oxJpegFileSource&) = delete;
    oxJpegFileSource& operator=(const oxJpegFileSource&) = delete;
    // Makes this the decoder's source; it must outlive the decoder's use.
    void attach(jpeg_decompress_struct& info) { info.src = &manager; }
};

struct oxFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using oxFilePtr = std::unique_ptr<std::FILE, oxFileCloser>;

// The translated reason for a damage code of oxJpegErrors: "the file ends
// early" or "corrupt data".
std::string oxJpegDamageReason(int code);

// The comment test of a COM marker's bytes: NUL, tab and carriage return
// become blanks, line feeds and printable bytes stay; any other control byte
// rejects the marker. Appends the accepted text to comment.
bool oxJpegAppendComment(const unsigned char* data, size_t length, std::string& comment);
// The comments of all saved COM markers in file order, joined without
// separator.
std::string oxJpegComment(const jpeg_decompress_struct& info);
// Writes the comment as COM markers of at most 65,533 bytes each (a longer
// one cannot be one marker); nothing for an empty comment. Call under setjmp.
void oxJpegWriteComment(jpeg_compress_struct& info, const std::string& comment);
