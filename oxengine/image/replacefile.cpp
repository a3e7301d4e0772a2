#include "oxengine/image/replacefile.h"

#include "oxengine/core/errors.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The temporary file until it has been renamed into place: closed and removed
// on every other way out.
class TemporaryFile {
public:
    TemporaryFile(std::string path, std::FILE* file) : m_path(std::move(path)), m_file(file) {}
    ~TemporaryFile()
    {
        if (m_file)
            std::fclose(m_file);
        if (!m_path.empty())
            unlink(m_path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return m_path; }
    std::FILE* file() const { return m_file; }
    // fclose releases the stream even when it fails.
    int close()
    {
        std::FILE* f = m_file;
        m_file = nullptr;
        return std::fclose(f);
    }
    void keep() { m_path.clear(); }

private:
    std::string m_path;
    std::FILE* m_file;
};

[[noreturn]] void fail(const char* text, int code, const std::string& target)
{
    throw oxImageException(oxWithSystemReason(oxGetTranslation(text), code), target);
}

int lastError(int fallback = EIO)
{
    return errno != 0 ? errno : fallback;
}

mode_t currentUmask()
{
    // Reading it with umask() would change it for a moment for every thread.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return mode_t(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    }
    return 022;
}

// The file a symlink points to is the one to replace; the link stays.
std::string resolveTarget(const std::string& target)
{
    struct stat st;
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return target;
    char* real = realpath(target.c_str(), nullptr);
    if (!real)
        return target;
    std::string resolved = real;
    std::free(real);
    return resolved;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// ".<name>.XXXXXX" beside the target: hidden from folder listings, and short
// enough for the file system even when the name itself is at the limit.
std::vector<char> temporaryTemplate(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 200)
        name.resize(200);
    const std::string pattern = folder + "." + name + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    return buffer;
}

void syncFolder(const std::string& folder)
{
    // Makes the rename itself durable; a folder that cannot be synced is no
    // reason to report a failure after the file is in place.
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)fsync(fd);
        close(fd);
    }
}

} // namespace

std::string oxSystemErrorText(int code)
{
    char buffer[256];
    // The GNU strerror_r returns its text, which need not be in buffer.
    return strerror_r(code, buffer, sizeof buffer);
}

std::string oxWithSystemReason(const std::string& message, int code)
{
    return code == 0 ? message : message + " (" + oxSystemErrorText(code) + ")";
}

void oxIgnoreFileSizeSignal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current;
        if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL &&
            !(current.sa_flags & SA_SIGINFO))
            std::signal(SIGXFSZ, SIG_IGN);
    });
}

void oxReplaceFile(const std::string& target, const oxReplaceWriter& write, const oxReplaceOptions& options)
{
    oxIgnoreFileSizeSignal();
    const std::string path = resolveTarget(target);

    struct stat old;
    const bool existed = stat(path.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) // never replace a folder or a device by a file
        fail(options.createFailed, S_ISDIR(old.st_mode) ? EISDIR : ENOTSUP, target);

    std::vector<char> name = temporaryTemplate(path);
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        fail(options.createFailed, lastError(), target);
    std::FILE* stream = fdopen(fd, "wb");
    if (!stream) {
        const int code = lastError(ENOMEM);
        close(fd);
        unlink(name.data());
        fail(options.createFailed, code, target);
    }
    TemporaryFile temp(name.data(), stream);

    write(temp.file(), temp.path());

    // A failed write of the writer's leaves its errno (no call in between).
    if (std::ferror(temp.file()) || std::fflush(temp.file()) != 0)
        fail(options.writeFailed, lastError(), target);
    if (existed) {
        mode_t mode = old.st_mode & 07777;
        struct stat now;
        if (fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
            fchown(fd, old.st_uid, old.st_gid) != 0)
            mode &= ~mode_t(S_ISUID | S_ISGID); // not for another owner's group
        (void)fchmod(fd, mode);
        if (options.keepModificationDate) {
            const struct timespec times[2] = {{0, UTIME_OMIT}, old.st_mtim};
            (void)futimens(fd, times);
        }
    } else {
        (void)fchmod(fd, 0666 & ~currentUmask());
    }
    if (fsync(fd) != 0 && errno != EINVAL) // EINVAL: the file system cannot sync
        fail(options.writeFailed, lastError(), target);
    if (temp.close() != 0)
        fail(options.writeFailed, lastError(), target);
    if (std::rename(temp.path().c_str(), path.c_str()) != 0)
        fail(options.replaceFailed, lastError(), target);
    temp.keep();
    syncFolder(folderOf(path));
}
