#include "oxengine/image/replacefile.h"

#include "oxengine/core/errors.h"
#include "oxengine/storage/temporaryfiles.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

// The temporary file until it is in place: closed, and a name it was given
// removed, on every other way out. An unnamed one (O_TMPFILE) vanishes with
// its descriptor; a named one is in the signal handler's table meanwhile.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile()
    {
        if (m_file)
            std::fclose(m_file);
        forgetName(true);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // The path writers may open; for an unnamed file its /proc name.
    const std::string& path() const { return m_path; }
    std::FILE* file() const { return m_file; }
    int fd() const { return fileno(m_file); }
    bool unnamed() const { return m_unnamed; }
    // The name in the folder (empty while unnamed).
    const std::string& name() const { return m_name; }

    void open(std::FILE* file, std::string path, bool unnamed)
    {
        m_file = file;
        m_path = std::move(path);
        m_unnamed = unnamed;
        if (!unnamed)
            setName(m_path);
    }
    void setName(const std::string& name)
    {
        m_name = name;
        m_guard = std::make_unique<oxTemporaryGuard>(name);
    }
    // Removes (or only forgets, once renamed) the name.
    void forgetName(bool remove)
    {
        if (remove && !m_name.empty())
            unlink(m_name.c_str());
        m_name.clear();
        m_guard.reset();
    }
    // fclose releases the stream even when it fails.
    int close()
    {
        std::FILE* f = m_file;
        m_file = nullptr;
        return std::fclose(f);
    }

private:
    std::FILE* m_file = nullptr;
    std::string m_path;
    bool m_unnamed = false;
    std::string m_name;
    std::unique_ptr<oxTemporaryGuard> m_guard;
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

// Six random letters and digits for a temporary name.
std::string randomSuffix()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::string suffix;
    for (int i = 0; i < 6; ++i)
        suffix += letters[random() % (sizeof letters - 1)];
    return suffix;
}

// An unnamed file in the folder, or a named one where the file system has
// none (or /proc, through which it is linked, is missing).
void createTemporary(const std::string& path, TemporaryFile& temp, const oxReplaceOptions& options,
                     const std::string& target)
{
    int fd = open(folderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    std::string name;
    if (fd >= 0) {
        name = "/proc/self/fd/" + std::to_string(fd);
        if (access(name.c_str(), F_OK) != 0) {
            close(fd);
            fd = -1;
        }
    }
    const bool unnamed = fd >= 0;
    if (!unnamed) {
        std::string pattern = oxTemporaryStem(path) + "XXXXXX";
        fd = mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0)
            fail(options.createFailed, lastError(), target);
        name = pattern;
    }
    std::FILE* stream = fdopen(fd, "wb");
    if (!stream) {
        const int code = lastError(ENOMEM);
        close(fd);
        if (!unnamed)
            unlink(name.c_str());
        fail(options.createFailed, code, target);
    }
    temp.open(stream, name, unnamed);
}

// The extended attributes of the old file (ACLs are among them) onto the
// new one. Those a user cannot set (security, trusted) are the system's
// business; the user's own and the ACLs must come along or the rewrite
// fails. errno is set on failure.
bool copyExtendedAttributes(const std::string& from, int to)
{
    ssize_t size = listxattr(from.c_str(), nullptr, 0);
    if (size < 0)
        return errno == ENOTSUP; // nothing to keep where there are none
    std::vector<char> names(size_t(size) + 1);
    size = listxattr(from.c_str(), names.data(), names.size());
    if (size < 0)
        return false;
    std::vector<char> value;
    for (const char* name = names.data(); name < names.data() + size; name += std::strlen(name) + 1) {
        const bool essential = std::strncmp(name, "user.", 5) == 0 || std::strncmp(name, "system.", 7) == 0;
        ssize_t n = getxattr(from.c_str(), name, nullptr, 0);
        if (n >= 0) {
            value.resize(size_t(n) + 1);
            n = getxattr(from.c_str(), name, value.data(), value.size());
        }
        if (n < 0 || fsetxattr(to, name, value.data(), size_t(n), 0) != 0) {
            if (essential)
                return false;
        }
    }
    return true;
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

    TemporaryFile temp;
    createTemporary(path, temp, options, target);
    write(temp.file(), temp.path());

    // A failed write of the writer's leaves its errno (no call in between).
    if (std::ferror(temp.file()) || std::fflush(temp.file()) != 0)
        fail(options.writeFailed, lastError(), target);
    const int fd = temp.fd();
    if (existed) {
        mode_t mode = old.st_mode & 07777;
        struct stat now;
        if (fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
            fchown(fd, old.st_uid, old.st_gid) != 0)
            mode &= ~mode_t(S_ISUID | S_ISGID); // not for another owner's group
        (void)fchmod(fd, mode);
        if (!copyExtendedAttributes(path, fd))
            fail(N_("cannot keep the file's extended attributes."), lastError(), target);
        if (options.keepModificationDate) {
            const struct timespec times[2] = {{0, UTIME_OMIT}, old.st_mtim};
            (void)futimens(fd, times);
        }
    } else {
        (void)fchmod(fd, 0666 & ~currentUmask());
    }
    if (fsync(fd) != 0 && errno != EINVAL) // EINVAL: the file system cannot sync
        fail(options.writeFailed, lastError(), target);
    if (temp.unnamed()) {
        // A name for the rename, linked while the descriptor still holds the file.
        const std::string stem = oxTemporaryStem(path);
        for (int attempt = 0; temp.name().empty(); ++attempt) {
            const std::string name = stem + randomSuffix();
            temp.setName(name);
            if (linkat(AT_FDCWD, temp.path().c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                break;
            const int code = lastError();
            temp.forgetName(false);
            if (code != EEXIST || attempt == 100)
                fail(options.replaceFailed, code, target);
        }
    }
    if (temp.close() != 0)
        fail(options.writeFailed, lastError(), target);
    if (std::rename(temp.name().c_str(), path.c_str()) != 0)
        fail(options.replaceFailed, lastError(), target);
    temp.forgetName(false);
    syncFolder(folderOf(path));
}
