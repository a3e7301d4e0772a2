// Opening the files the engine reads: only regular files. A named pipe, a
// device or a socket that carries a picture's (or a catalogue's) name must
// neither block the caller nor be read: the path is looked at first (so a
// device is never opened at all), then opened non-blocking (a FIFO put there
// in between cannot block the open) and the opened descriptor is checked
// again, which is the check that counts.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <sys/types.h>

// Beside the errno values: the path names something that is not a regular
// file (a folder, a FIFO, a device, a socket).
constexpr int OX_NOT_REGULAR_FILE = -1;

// An owned file descriptor.
class oxFileDescriptor {
public:
    oxFileDescriptor() = default;
    explicit oxFileDescriptor(int fd) : m_fd(fd) {}
    ~oxFileDescriptor() { reset(); }
    oxFileDescriptor(oxFileDescriptor&& other) noexcept : m_fd(other.release()) {}
    oxFileDescriptor& operator=(oxFileDescriptor&& other) noexcept;
    oxFileDescriptor(const oxFileDescriptor&) = delete;
    oxFileDescriptor& operator=(const oxFileDescriptor&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

struct oxStdioCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using oxStdioFile = std::unique_ptr<std::FILE, oxStdioCloser>;

// path opened with flags (O_RDONLY, or for a log O_WRONLY | O_APPEND |
// O_CREAT with mode) when it is a regular file, or names none yet and flags
// create one. Otherwise an invalid descriptor and the reason in error: an
// errno value or OX_NOT_REGULAR_FILE. The descriptor is blocking and
// closed on exec.
oxFileDescriptor oxOpenRegularFile(const std::string& path, int flags, int& error, mode_t mode = 0666);
// The same as a stdio stream: mode "rb" reads, "ab" appends (creating).
oxStdioFile oxOpenRegularStream(const std::string& path, const char* mode, int& error);

// The whole of a regular file into bytes; false with the reason in error
// (EFBIG beyond maxBytes).
bool oxReadRegularFile(const std::string& path, std::string& bytes, int& error, size_t maxBytes = size_t(-1));

// The reason for an error code as text: the system's (thread-safe), or the
// translated "not a regular file".
std::string oxSystemErrorText(int code);
// message followed by " (" + that text + ")"; message alone for code 0.
std::string oxWithSystemReason(const std::string& message, int code);
