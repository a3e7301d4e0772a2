#include "oxengine/image/jpeg/jpegsupport.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/regularfile.h"
#include "oxengine/core/thread.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <jerror.h>
#include <unistd.h>

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
    cinfo->err->format_message(cinfo, errors.message);
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
        const int code = cinfo->err->msg_code;
        if (damagesData(code)) {
            oxJpegErrors& errors = errorsOf(cinfo);
            if (errors.damageCode == 0)
                errors.damageCode = code;
            if (!errors.tolerateDamage)
                errorExit(cinfo);
        }
        cinfo->err->num_warnings++;
    }
}

void outputMessage(j_common_ptr)
{
    // Never on stderr: failures reach the user as exceptions.
}

void progressMonitor(j_common_ptr cinfo)
{
    oxJpegErrors& errors = errorsOf(cinfo);
    if (errors.cancel && errors.cancel->cancelled())
        std::longjmp(errors.jump, 1); // the caller notices the token itself
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > OX_JPEG_MAX_SCANS) {
        errors.ownReason = N_("the file holds too many progressive scans");
        std::longjmp(errors.jump, 1);
    }
}

oxJpegFileSource& sourceOf(j_decompress_ptr cinfo)
{
    // The manager is the first member of a standard-layout oxJpegFileSource.
    return *reinterpret_cast<oxJpegFileSource*>(cinfo->src);
}

void initSource(j_decompress_ptr cinfo)
{
    sourceOf(cinfo).started = false;
}

boolean fillInput(j_decompress_ptr cinfo)
{
    oxJpegFileSource& s = sourceOf(cinfo);
    ssize_t n;
    do
        n = pread(s.fd, s.buffer.get(), oxJpegFileSource::BUFFER_BYTES, off_t(s.offset));
    while (n < 0 && errno == EINTR);
    if (n < 0)
        ERREXIT(cinfo, JERR_FILE_READ);
    if (n == 0) {
        if (!s.started)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // As the library's own sources do: an end marker ends the data.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        s.buffer[0] = JOCTET(0xFF);
        s.buffer[1] = JOCTET(JPEG_EOI);
        n = 2;
    } else {
        s.offset += n;
    }
    s.manager.next_input_byte = s.buffer.get();
    s.manager.bytes_in_buffer = size_t(n);
    s.started = true;
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr& m = *cinfo->src;
    if (size_t(count) <= m.bytes_in_buffer) {
        m.next_input_byte += count;
        m.bytes_in_buffer -= size_t(count);
        return;
    }
    // Past the buffer: the next read starts there.
    sourceOf(cinfo).offset += int64_t(count) - int64_t(m.bytes_in_buffer);
    m.bytes_in_buffer = 0;
}

void termSource(j_decompress_ptr) {}

} // namespace

oxJpegFileSource::oxJpegFileSource(int fileDescriptor)
    : fd(fileDescriptor), buffer(std::make_unique<JOCTET[]>(BUFFER_BYTES))
{
    std::memset(&manager, 0, sizeof manager);
    manager.init_source = initSource;
    manager.fill_input_buffer = fillInput;
    manager.skip_input_data = skipInput;
    manager.resync_to_restart = jpeg_resync_to_restart;
    manager.term_source = termSource;
}

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

std::string oxJpegFailure(const std::string& message, const oxJpegErrors& errors)
{
    if (errors.systemError != 0)
        return oxWithSystemReason(message, errors.systemError);
    if (errors.ownReason)
        return message + " (" + oxGetTranslation(errors.ownReason) + ")";
    if (errors.message[0] != '\0')
        return message + " (" + errors.message + ")";
    return message;
}

std::string oxJpegDamageReason(int code)
{
    return oxGetTranslation(code == JWRN_JPEG_EOF ? "the file ends early" : "corrupt data");
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
