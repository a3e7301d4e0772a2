#include "oxengine/core/regularfile.h"

#include "oxengine/core/catalogue.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

oxFileDescriptor& oxFileDescriptor::operator=(oxFileDescriptor&& other) noexcept
{
    if (this != &other)
        reset(other.release());
    return *this;
}

int oxFileDescriptor::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void oxFileDescriptor::reset(int fd)
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = fd;
}

oxFileDescriptor oxOpenRegularFile(const std::string& path, int flags, int& error, mode_t mode)
{
    error = 0;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            error = OX_NOT_REGULAR_FILE;
            return {};
        }
    } else if (errno != ENOENT || !(flags & O_CREAT)) {
        error = errno;
        return {};
    }
    int fd;
    do
        fd = open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // A FIFO without a reader refuses a non-blocking open for writing.
        error = errno == ENXIO ? OX_NOT_REGULAR_FILE : errno;
        return {};
    }
    oxFileDescriptor file(fd);
    if (fstat(fd, &st) != 0) {
        error = errno;
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        error = OX_NOT_REGULAR_FILE;
        return {};
    }
    const int status = fcntl(fd, F_GETFL);
    if (status < 0 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        error = errno;
        return {};
    }
    return file;
}

oxStdioFile oxOpenRegularStream(const std::string& path, const char* mode, int& error)
{
    const bool append = mode[0] == 'a';
    oxFileDescriptor fd = oxOpenRegularFile(path, append ? O_WRONLY | O_APPEND | O_CREAT : O_RDONLY, error);
    if (!fd)
        return nullptr;
    oxStdioFile file(fdopen(fd.get(), mode));
    if (!file) {
        error = errno;
        return nullptr;
    }
    fd.release(); // the stream closes it now
    return file;
}

bool oxReadRegularFile(const std::string& path, std::string& bytes, int& error, size_t maxBytes)
{
    bytes.clear();
    const oxFileDescriptor fd = oxOpenRegularFile(path, O_RDONLY, error);
    if (!fd)
        return false;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            return false;
        }
        if (n == 0)
            return true;
        if (bytes.size() + size_t(n) > maxBytes) {
            error = EFBIG;
            return false;
        }
        bytes.append(buffer, size_t(n));
    }
}

std::string oxSystemErrorText(int code)
{
    if (code == OX_NOT_REGULAR_FILE)
        return oxGetTranslation("not a regular file");
    char buffer[256];
    // The GNU strerror_r returns its text, which need not be in buffer.
    return strerror_r(code, buffer, sizeof buffer);
}

std::string oxWithSystemReason(const std::string& message, int code)
{
    return code == 0 ? message : message + " (" + oxSystemErrorText(code) + ")";
}
