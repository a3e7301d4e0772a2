#include "oxengine/storage/files.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/strings.h"

#include <gio/gunixmounts.h>
#include <glib.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct SpecialFolders {
    std::mutex mutex;
    std::atomic<bool> initialized{false};
    std::atomic<bool> warned{false};
    std::string working, documents;
};

SpecialFolders& folders()
{
    static SpecialFolders s;
    return s;
}

std::string currentDirectory()
{
    std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    return cwd ? std::string(cwd.get()) : std::string("/");
}

std::string withSeparator(std::string path)
{
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

std::string workingFolderText()
{
    SpecialFolders& f = folders();
    {
        std::lock_guard<std::mutex> lock(f.mutex);
        if (!f.working.empty())
            return f.working;
    }
    return withSeparator(currentDirectory());
}

std::string realPath(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

std::string joinComponents(const std::vector<std::string>& components)
{
    if (components.empty())
        return std::string();
    std::string out = "/";
    for (size_t i = 1; i < components.size(); ++i) {
        if (i > 1)
            out += '/';
        out += components[i];
    }
    return out;
}

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

enum class EntryKind { File, Folder, Other };

EntryKind entryKind(const std::string& folder, const dirent* entry)
{
    if (entry->d_type == DT_DIR)
        return EntryKind::Folder;
    if (entry->d_type == DT_REG)
        return EntryKind::File;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return EntryKind::Other;
    // Symlinks count as what they point to.
    struct stat st;
    if (stat((folder + entry->d_name).c_str(), &st) != 0)
        return EntryKind::Other;
    return S_ISDIR(st.st_mode) ? EntryKind::Folder : S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
}

} // namespace

// ---- special folders -----------------------------------------------------------

void oxFilename::initialize()
{
    // g_get_user_special_dir caches; re-read so a second initialize sees the
    // current environment.
    g_reload_user_special_dirs_cache();
    const char* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
    const char* home = g_get_home_dir();

    SpecialFolders& f = folders();
    std::string working = withSeparator(currentDirectory());
    std::string docs = withSeparator(documents && *documents ? documents : (home ? home : ""));
    if (docs.empty())
        docs = working;
    {
        std::lock_guard<std::mutex> lock(f.mutex);
        f.working = working;
        f.documents = docs;
    }
    f.initialized = true;
}

bool oxFilename::isInitialized()
{
    return folders().initialized;
}

oxFilename oxFilename::workingFolder()
{
    return oxFilename(workingFolderText());
}

oxFilename oxFilename::documentsFolder()
{
    std::lock_guard<std::mutex> lock(folders().mutex);
    return folders().documents.empty() ? oxFilename() : oxFilename(folders().documents);
}

oxFilename oxFilename::homeFolder()
{
    const char* home = g_get_home_dir();
    return home && *home ? oxFilename(withSeparator(home)) : oxFilename();
}

oxFilename oxFilename::picturesFolder()
{
    const char* pictures = g_get_user_special_dir(G_USER_DIRECTORY_PICTURES);
    return pictures && *pictures ? oxFilename(withSeparator(pictures)) : oxFilename();
}

// ---- construction and text ---------------------------------------------------------

oxFilename::oxFilename(const char* path) : oxFilename(std::string(path ? path : "")) {}

oxFilename::oxFilename(const std::string& path)
{
    SpecialFolders& f = folders();
    if (!f.initialized) {
        // Said once, then the folders are read here: a box for every path made
        // before start-up would bury the user in identical messages.
        if (!f.warned.exchange(true))
            oxReportFailure(
                {false, std::string(),
                 oxGetTranslation("You need to Initialize() the oxFilename class in your main() before using it")});
        initialize();
    }
    if (path.empty() || path[0] != '/') {
        m_components.push_back("/");
        append(workingFolderText());
    } else {
        m_components.push_back("/");
    }
    append(path);
    if (!path.empty() && path.back() == '/')
        m_info.isFile = false;
    if (m_components.size() == 1)
        m_info.isFile = false; // the root
    if (path.empty())
        m_info.isFile = false; // the working folder
}

void oxFilename::append(std::string_view relative)
{
    size_t pos = 0;
    while (pos <= relative.size()) {
        size_t end = relative.find('/', pos);
        if (end == std::string_view::npos)
            end = relative.size();
        const std::string_view part = relative.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (m_components.size() <= 1)
                continue; // ".." of the root is the root
            // The file system's parent of what the path names so far.
            const std::string real = realPath(joinComponents(m_components));
            if (!real.empty() && real[0] == '/') {
                m_components.assign(1, "/");
                append(real.substr(1));
            }
            if (m_components.size() > 1)
                m_components.pop_back();
            continue;
        }
        m_components.emplace_back(part);
    }
}

std::string oxFilename::systemPath() const
{
    return joinComponents(m_components);
}

std::string oxFilename::toString() const
{
    std::string s = systemPath();
    if (isDirectory() && !s.empty() && s.back() != '/')
        s += '/';
    return s;
}

oxFilename oxFilename::join(const oxFilename& folder, const std::string& name)
{
    oxFilename result;
    result.m_components = folder.m_components;
    if (result.m_components.empty())
        result.m_components.push_back("/");
    result.append(name);
    if (!name.empty() && name.back() == '/')
        result.m_info.isFile = false;
    return result;
}

oxFilename oxFilename::parentFolder() const
{
    oxFilename parent;
    parent.m_components = m_components;
    if (!parent.m_components.empty())
        parent.m_components.pop_back();
    parent.m_info.isFile = false;
    return parent;
}

std::string oxFilename::name() const
{
    return m_components.empty() ? std::string() : m_components.back();
}

std::string oxFilename::extension() const
{
    const std::string n = name();
    const size_t dot = n.rfind('.');
    return dot == std::string::npos || n == "/" ? std::string() : n.substr(dot + 1);
}

std::string oxFilename::replaceExtension(const std::string& path, std::string_view extension)
{
    if (!extension.empty() && extension.front() == '.')
        extension.remove_prefix(1);
    const size_t nameStart = path.rfind(SEPARATOR) == std::string::npos ? 0 : path.rfind(SEPARATOR) + 1;
    const size_t dot = path.rfind('.');
    const bool hasOne = dot != std::string::npos && dot > nameStart;
    std::string out = hasOne ? path.substr(0, dot) : path;
    if (!extension.empty())
        out.append(".").append(extension);
    return out;
}

bool oxFilename::hasExtension(std::string_view ext) const
{
    if (!ext.empty() && ext.front() == '.')
        ext.remove_prefix(1);
    return equalsIgnoreCase(extension(), ext);
}

bool oxFilename::isAncestorOf(const oxFilename& other) const
{
    if (m_components.size() >= other.m_components.size())
        return false;
    for (size_t i = 0; i < m_components.size(); ++i)
        if (m_components[i] != other.m_components[i])
            return false;
    return true;
}

bool oxFilename::isHiddenName(const std::string& entryName)
{
    return !entryName.empty() && entryName[0] == '.';
}

// ---- file information --------------------------------------------------------------

void oxFilename::query() const
{
    const std::string path = systemPath();
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        m_info.state = 1;
        return;
    }
    m_info.state = 0;
    m_info.isFile = !S_ISDIR(st.st_mode);
    m_info.size = static_cast<int64_t>(st.st_size);
}

bool oxFilename::exists() const
{
    if (m_info.state == 2)
        query();
    return m_info.state == 0;
}

bool oxFilename::isDirectory() const
{
    return !m_info.isFile;
}

int64_t oxFilename::size() const
{
    if (m_info.size == -1)
        query();
    return m_info.size;
}

double oxFilename::modificationDate() const
{
    struct stat st;
    const std::string path = systemPath();
    if (path.empty() || stat(path.c_str(), &st) != 0)
        return std::numeric_limits<double>::lowest();
    return static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) * 1e-9;
}

bool oxFilename::setModificationDate(double seconds) const
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e17)
        return false;
    const double whole = std::floor(seconds);
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT; // the access time stays
    times[1].tv_sec = static_cast<time_t>(whole);
    times[1].tv_nsec = std::min(999999999L, static_cast<long>((seconds - whole) * 1e9));
    const std::string path = systemPath();
    return !path.empty() && utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

// ---- listing -------------------------------------------------------------------------

std::vector<oxFilename> oxFilename::listDirectory(const oxFilenameFilter* filter) const
{
    std::vector<oxFilename> result;
    if (m_components.empty())
        return result;
    // Ask first: an unasked folder without a trailing "/" must not list its parent.
    exists();
    const oxFilename folder = isDirectory() ? *this : parentFolder();
    std::string folderPath = folder.systemPath();
    if (folderPath.back() != '/')
        folderPath += '/';
    std::unique_ptr<DIR, DirCloser> dir(opendir(folderPath.c_str()));
    if (!dir)
        return result;
    while (const dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (isHiddenName(name))
            continue;
        const EntryKind kind = entryKind(folderPath, entry);
        if (kind == EntryKind::Other)
            continue;
        if (kind == EntryKind::Folder)
            name += '/';
        if (filter && !filter->accept(folder, name))
            continue;
        result.push_back(join(folder, name));
    }
    return result;
}

std::vector<oxFilename> oxFilename::listDrives()
{
    std::vector<std::string> paths{"/"};
    if (const char* home = g_get_home_dir())
        paths.push_back(home);
    GList* mounts = g_unix_mounts_get(nullptr);
    for (GList* m = mounts; m; m = m->next) {
        auto* entry = static_cast<GUnixMountEntry*>(m->data);
        const std::string path = g_unix_mount_get_mount_path(entry);
        if (startsWith(path, "/media/") || startsWith(path, "/run/media/") || startsWith(path, "/mnt/") ||
            path == "/mnt")
            paths.push_back(path);
    }
    g_list_free_full(mounts, reinterpret_cast<GDestroyNotify>(g_unix_mount_free));
    std::vector<oxFilename> drives;
    for (const std::string& p : paths) {
        oxFilename f(withSeparator(p));
        bool seen = false;
        for (const oxFilename& d : drives)
            seen = seen || d == f;
        if (!seen)
            drives.push_back(f);
    }
    return drives;
}

// ---- changes -------------------------------------------------------------------------

bool oxFilename::removeFile() const
{
    const std::string path = systemPath();
    struct stat st;
    if (path.empty() || lstat(path.c_str(), &st) != 0)
        return false;
    // A file's own mode does not stop unlink here; the folder's permission does.
    return (S_ISDIR(st.st_mode) ? rmdir(path.c_str()) : unlink(path.c_str())) == 0;
}
