#include "oxengine/image/jpeg/jpegsupport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <jerror.h>

namespace {

oxJpegErrors& errorsOf(j_common_ptr cinfo)
{
    // The manager is the first member of a standard-layout oxJpegErrors.
    return *reinterpret_cast<oxJpegErrors*>(cinfo->err);
}

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    oxJpegErrors& errors = errorsOf(cinfo);
    const int code = cinfo->err->msg_code;
    if (code == JERR_FILE_WRITE || code == JERR_FILE_READ)
        errors.systemError = errno;
    std::longjmp(errors.jump, 1);
}

// Data that is missing or does not decode is an error, not a warning: a
// picture padded with grey must neither be shown as the file's content nor
// written back by a transformation. Stray bytes between markers and unusual
// but readable headers stay warnings.
bool damagesData(int code)
{
    switch (code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
        return true;
    default:
        return false;
    }
}

void emitMessage(j_common_ptr cinfo, int level)
{
    if (level < 0) {
        if (damagesData(cinfo->err->msg_code))
            errorExit(cinfo);
        cinfo->err->num_warnings++;
    }
}

void outputMessage(j_common_ptr)
{
    // Never on stderr: failures reach the user as exceptions.
}

void progressMonitor(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > OX_JPEG_MAX_SCANS) {
        cinfo->err->msg_code = JERR_NOT_COMPILED; // any code: the handler gives its own message
        errorExit(cinfo);
    }
}

} // namespace

oxJpegErrors::oxJpegErrors()
{
    jpeg_std_error(&manager);
    manager.error_exit = errorExit;
    manager.emit_message = emitMessage;
    manager.output_message = outputMessage;
}

oxJpegDecoder::oxJpegDecoder(oxJpegErrors& errors)
{
    // Zeroed, the structure can be destroyed even if create() never ran.
    std::memset(&info, 0, sizeof info);
    std::memset(&m_progress, 0, sizeof m_progress);
    info.err = &errors.manager;
}

void oxJpegDecoder::create()
{
    jpeg_create_decompress(&info);
    m_progress.progress_monitor = progressMonitor;
    info.progress = &m_progress;
}

oxJpegEncoder::oxJpegEncoder(oxJpegErrors& errors)
{
    std::memset(&info, 0, sizeof info);
    info.err = &errors.manager;
}

void oxJpegEncoder::create()
{
    jpeg_create_compress(&info);
}

bool oxJpegAppendComment(const unsigned char* data, size_t length, std::string& comment)
{
    std::string text(reinterpret_cast<const char*>(data), length);
    for (char& c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b == 0 || b == 9 || b == 13)
            c = ' ';
        else if (b < 32 && b != 10)
            return false;
        else if (b == 127)
            return false;
    }
    comment += text;
    return true;
}

std::string oxJpegComment(const jpeg_decompress_struct& info)
{
    std::string comment;
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
        if (m->marker == JPEG_COM)
            oxJpegAppendComment(m->data, m->data_length, comment);
    }
    return comment;
}

void oxJpegWriteComment(jpeg_compress_struct& info, const std::string& comment)
{
    constexpr size_t MAX_MARKER_DATA = 65533; // 65,535 less the two length bytes
    const auto* bytes = reinterpret_cast<const JOCTET*>(comment.data());
    for (size_t at = 0; at < comment.size(); at += MAX_MARKER_DATA) {
        const size_t n = std::min(MAX_MARKER_DATA, comment.size() - at);
        jpeg_write_marker(&info, JPEG_COM, bytes + at, static_cast<unsigned int>(n));
    }
}
