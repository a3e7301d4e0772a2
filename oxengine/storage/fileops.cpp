#include "oxengine/storage/fileops.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/regularfile.h"
#include "oxengine/core/strings.h"
#include "oxengine/storage/temporaryfiles.h"

#include <gio/gio.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Result { Done, TargetExists, Failed };

struct GObjectDeleter {
    void operator()(void* p) const { g_object_unref(p); }
};
using GFilePtr = std::unique_ptr<GFile, GObjectDeleter>;

struct GErrorDeleter {
    void operator()(GError* e) const { g_error_free(e); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

std::string systemError(int code)
{
    return std::strerror(code);
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string baseName(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

// rename that never replaces dst. Some file systems lack the flag; there the
// check and the rename are two steps.
int renameNoReplace(const std::string& src, const std::string& dst)
{
    if (renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    struct stat st;
    if (lstat(dst.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return std::rename(src.c_str(), dst.c_str());
}

struct ProgressRelay {
    const oxFileProgress* progress;
    std::string title;
};

void relayProgress(goffset current, goffset total, gpointer data)
{
    const auto* relay = static_cast<const ProgressRelay*>(data);
    if (relay->progress && *relay->progress)
        (*relay->progress)(relay->title, current, total);
}

// The temporary file of a copy: removed unless the copy was put in place,
// also by an interrupt while it is written.
class TempFile {
public:
    explicit TempFile(std::string path) : m_path(std::move(path)), m_guard(m_path) {}
    ~TempFile()
    {
        if (!m_path.empty())
            unlink(m_path.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return m_path; }
    void release() { m_path.clear(); }

private:
    std::string m_path;
    oxTemporaryGuard m_guard;
};

bool flushToDisk(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ELOOP; // a symlink has no data to flush
    const bool ok = fsync(fd) == 0 || errno == EINVAL; // EINVAL: the file system cannot sync
    close(fd);
    return ok;
}

bool samePlace(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// ---- building blocks ------------------------------------------------------------------

// Copies the file src to dst through a checked temporary file. followLinks
// false copies a symlink as a symlink. error gets the reason on failure.
Result copyPath(const std::string& src, const std::string& dst, bool replace, bool followLinks,
                const oxFileProgress* progress, std::string& error)
{
    auto statPath = [followLinks](const std::string& p, struct stat& st) {
        return followLinks ? stat(p.c_str(), &st) : lstat(p.c_str(), &st);
    };
    struct stat source;
    if (statPath(src, source) != 0) {
        error = systemError(errno);
        return Result::Failed;
    }
    if (S_ISDIR(source.st_mode)) {
        error = oxGetTranslation("Folders cannot be copied.");
        return Result::Failed;
    }
    // Reading a FIFO or a device would block or never end.
    if (!S_ISREG(source.st_mode) && !S_ISLNK(source.st_mode)) {
        error = oxSystemErrorText(OX_NOT_REGULAR_FILE);
        return Result::Failed;
    }
    struct stat existing;
    if (!replace && lstat(dst.c_str(), &existing) == 0)
        return Result::TargetExists; // found out before copying anything

    // Copy under a hidden temporary name beside the target; GIO refuses names
    // that exist, so a clash only means another try.
    GFilePtr from(g_file_new_for_path(src.c_str()));
    const GFileCopyFlags flags = followLinks ? G_FILE_COPY_NONE : G_FILE_COPY_NOFOLLOW_SYMLINKS;
    ProgressRelay relay{progress, std::string()};
    std::unique_ptr<TempFile> temp;
    for (int attempt = 0; attempt < 20 && !temp; ++attempt) {
        auto candidate = std::make_unique<TempFile>(folderOf(dst) + "/" + std::string(OX_COPY_PREFIX) +
                                                    formatString("%08x", g_random_int()));
        GFilePtr to(g_file_new_for_path(candidate->path().c_str()));
        GError* raw = nullptr;
        if (g_file_copy(from.get(), to.get(), flags, nullptr, progress ? relayProgress : nullptr, &relay, &raw)) {
            temp = std::move(candidate);
            break;
        }
        GErrorPtr e(raw);
        if (!g_error_matches(raw, G_IO_ERROR, G_IO_ERROR_EXISTS)) {
            error = raw ? raw->message : systemError(EIO);
            return Result::Failed; // whatever GIO left behind goes with candidate
        }
        candidate->release(); // another file's name
    }
    if (!temp) {
        error = systemError(EEXIST);
        return Result::Failed;
    }
    struct stat copied, again;
    if (statPath(temp->path(), copied) != 0 || statPath(src, again) != 0 || copied.st_size != source.st_size ||
        again.st_size != source.st_size) {
        error = oxGetTranslation("The copy is incomplete.");
        return Result::Failed;
    }
    if (!flushToDisk(temp->path())) {
        error = systemError(errno);
        return Result::Failed;
    }
    const int r = replace ? std::rename(temp->path().c_str(), dst.c_str()) : renameNoReplace(temp->path(), dst);
    if (r != 0) {
        if (errno == EEXIST)
            return Result::TargetExists;
        error = systemError(errno);
        return Result::Failed;
    }
    temp->release();
    return Result::Done;
}

// Renames src to dst; across file systems a file is copied with copyPath and
// the source removed afterwards.
Result movePath(const std::string& src, const std::string& dst, bool replace, const oxFileProgress* progress,
                std::string& error)
{
    struct stat source;
    if (src.empty() || dst.empty() || lstat(src.c_str(), &source) != 0) {
        error = systemError(src.empty() || dst.empty() ? ENOENT : errno);
        return Result::Failed;
    }
    if (src == dst)
        return Result::Done;
    const int r = replace ? std::rename(src.c_str(), dst.c_str()) : renameNoReplace(src, dst);
    if (r == 0)
        return Result::Done;
    if (errno == EEXIST || errno == ENOTEMPTY)
        return Result::TargetExists;
    if (errno != EXDEV) {
        error = systemError(errno);
        return Result::Failed;
    }
    if (S_ISDIR(source.st_mode)) {
        error = oxGetTranslation("Only files can be moved to another file system.");
        return Result::Failed;
    }
    // Another file system: the source goes only once the copy is complete.
    const Result copied = copyPath(src, dst, replace, false, progress, error);
    if (copied != Result::Done)
        return copied;
    if (unlink(src.c_str()) != 0) {
        // Both copies stay; the user decides which one to keep.
        error = formatString(oxGetTranslation("The file was copied, but the original could not be removed: %s"),
                             systemError(errno).c_str());
        return Result::Failed;
    }
    return Result::Done;
}

// ---- the user's side ------------------------------------------------------------------

oxFileOpOutcome failed(std::string text)
{
    return {false, std::move(text)};
}

// Without a hook nobody can say yes.
bool askYes(const oxFileOpOptions& options, const std::string& text, const char* title)
{
    return options.confirm && options.confirm(text, oxGetTranslation(title));
}

bool confirmReplace(const oxFileOpOptions& options, const std::string& target)
{
    return askYes(options,
                  formatString(oxGetTranslation("The file \"%s\" already exists.\nDo you want to replace it?"),
                               target.c_str()),
                  N_("Confirm file replace"));
}

// A target that is an existing folder means "into that folder".
std::string resolveTarget(const std::string& from, const std::string& to)
{
    struct stat st;
    if (stat(to.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return (to == "/" ? std::string() : to) + "/" + baseName(from);
    return to;
}

enum class Kind { Copy, Move };

oxFileOpOutcome transfer(Kind kind, const oxFilename& fromName, const oxFilename& toName, bool confirm,
                         const oxFileOpOptions& options)
{
    const char* failText = kind == Kind::Copy ? N_("Could not copy \"%s\" to \"%s\":\n%s")
                                              : N_("Could not move \"%s\" to \"%s\":\n%s");
    const std::string from = fromName.systemPath();
    const std::string to = resolveTarget(from, toName.systemPath());
    auto fail = [&](const std::string& reason) {
        return failed(formatString(oxGetTranslation(failText), from.c_str(), to.c_str(), reason.c_str()));
    };
    struct stat src, dst;
    if (from.empty() || to.empty() || lstat(from.c_str(), &src) != 0)
        return fail(systemError(from.empty() || to.empty() ? ENOENT : errno));
    bool replace = false;
    if (lstat(to.c_str(), &dst) == 0) {
        struct stat followed;
        if (samePlace(src, dst) || (stat(from.c_str(), &followed) == 0 && samePlace(followed, dst)))
            return fail(oxGetTranslation("The source and the target are the same file."));
        // A move always asks; a copy asks only when asked to.
        if ((kind == Kind::Move || confirm) && !confirmReplace(options, to))
            return {}; // declined: both files stay as they are
        replace = true;
    }
    const ProgressRelay relay{&options.progress,
                              oxGetTranslation(kind == Kind::Copy ? "Copying file..." : "Moving file...")};
    const oxFileProgress progress = [&relay](const std::string&, int64_t done, int64_t total) {
        relayProgress(done, total, const_cast<ProgressRelay*>(&relay));
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string error;
        const oxFileProgress* p = options.progress ? &progress : nullptr;
        const Result r = kind == Kind::Copy ? copyPath(from, to, replace, true, p, error)
                                            : movePath(from, to, replace, p, error);
        if (r == Result::Done)
            return {};
        if (r == Result::Failed)
            return fail(error);
        // The target appeared meanwhile: ask about it like any other.
        if (!confirmReplace(options, to))
            return {};
        replace = true;
    }
    return fail(systemError(EEXIST));
}

} // namespace

// ---- shell operations ----------------------------------------------------------------------

oxFileOpOutcome shellCopy(const oxFilename& from, const oxFilename& to, bool confirm, const oxFileOpOptions& options)
{
    return transfer(Kind::Copy, from, to, confirm, options);
}

oxFileOpOutcome shellMove(const oxFilename& from, const oxFilename& to, bool confirm, const oxFileOpOptions& options)
{
    return transfer(Kind::Move, from, to, confirm, options);
}

oxFileOpOutcome shellDelete(const oxFilename& path, bool confirm, const oxFileOpOptions& options)
{
    const std::string p = path.systemPath();
    auto fail = [&](const std::string& reason) {
        return failed(formatString(oxGetTranslation("Could not delete \"%s\":\n%s"), p.c_str(), reason.c_str()));
    };
    struct stat st;
    if (p.empty() || lstat(p.c_str(), &st) != 0)
        return fail(systemError(p.empty() ? ENOENT : errno));
    if (confirm &&
        !askYes(options, formatString(oxGetTranslation("Do you want to move \"%s\" to the trash?"), p.c_str()),
                N_("Confirm file delete")))
        return {};
    const std::string title = oxGetTranslation("Deleting file...");
    GFilePtr file(g_file_new_for_path(p.c_str()));
    GError* raw = nullptr;
    const bool trashed = g_file_trash(file.get(), nullptr, &raw);
    GErrorPtr error(raw);
    if (!trashed) {
        const std::string reason = raw ? raw->message : systemError(EIO);
        // Where the file cannot be removed at all there is nothing to offer.
        if (lstat(p.c_str(), &st) != 0 || g_error_matches(raw, G_IO_ERROR, G_IO_ERROR_NOT_FOUND) ||
            g_error_matches(raw, G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED) ||
            g_error_matches(raw, G_IO_ERROR, G_IO_ERROR_READ_ONLY))
            return fail(reason);
        // No Trash on this volume, or one that refuses the file (a name too
        // long for its record): nothing goes for good without a yes.
        if (!askYes(options,
                    formatString(oxGetTranslation("\"%s\" cannot be moved to the trash:\n%s\n\nDo you want to "
                                                  "delete it permanently?"),
                                 p.c_str(), reason.c_str()),
                    N_("Confirm file delete")))
            return {};
        if (!path.removeFile())
            return fail(systemError(errno));
    }
    if (options.progress)
        options.progress(title, 1, 1);
    return {};
}
