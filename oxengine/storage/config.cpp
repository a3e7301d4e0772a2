#include "oxengine/storage/config.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/regularfile.h"
#include "oxengine/core/strings.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr const char* GROUP = "Settings";
// A settings file is a few kilobytes; anything far larger is not ours and is
// not loaded into memory.
constexpr off_t MAX_FILE_SIZE = 1 << 20;

struct StoreNames {
    std::mutex mutex; // also serialises every read-modify-write of the file
    std::string company = "Default Company";
    std::string application = "Default Application";
    std::optional<std::string> notice; // a file put aside, not yet handed over
};

StoreNames& names()
{
    static StoreNames s;
    return s;
}

struct KeyFileDeleter {
    void operator()(GKeyFile* k) const { g_key_file_free(k); }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileDeleter>;

struct GFreeDeleter {
    void operator()(void* p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

// A folder name must not leave the store's folder.
std::string safeFolderName(std::string name)
{
    for (char& c : name)
        if (c == '/')
            c = '_';
    if (name.empty() || name == "." || name == "..")
        name = "_" + name;
    return name;
}

std::string configHome()
{
    // XDG: only an absolute XDG_CONFIG_HOME counts. Read each time (GLib caches
    // its own answer) so a test can point the store elsewhere.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] == '/' ? home : g_get_home_dir()) + "/.config";
}

std::string storePathLocked()
{
    const StoreNames& n = names();
    return configHome() + "/" + safeFolderName(n.company) + "/" + safeFolderName(n.application) + "/settings.ini";
}

bool validKey(const std::string& key)
{
    if (key.empty() || key.front() == ' ' || key.back() == ' ' || key.front() == '#')
        return false;
    return key.find_first_of("=[]\n\r") == std::string::npos;
}

// The key file's own escapes, done here so that values which are not valid
// UTF-8 (file names may be any bytes) round-trip as well.
std::string escapeValue(const std::string& value)
{
    const size_t first = value.find_first_not_of(' ');
    const size_t last = value.find_last_not_of(' ');
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case ' ':
            // Leading and trailing blanks would be trimmed by the parser.
            out += (first == std::string::npos || i < first || i > last) ? "\\s" : " ";
            break;
        default: out += c;
        }
    }
    return out;
}

bool unescapeValue(const std::string& raw, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            out += raw[i];
            continue;
        }
        if (++i == raw.size())
            return false;
        switch (raw[i]) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 's': out += ' '; break;
        default: return false; // not a text value
        }
    }
    return true;
}

enum class LoadResult { Loaded, Missing, Unreadable };

std::string freeBadName(const std::string& path)
{
    for (int i = 1; i < 100; ++i) {
        std::string candidate = path + ".bad" + (i == 1 ? std::string() : "." + std::to_string(i));
        struct stat st;
        if (lstat(candidate.c_str(), &st) != 0 && errno == ENOENT)
            return candidate;
    }
    return std::string();
}

// Moves a file that is not a settings file out of the way so that the next
// save cannot destroy it. Returns false when it has to stay where it is.
// Called with the store's lock held.
bool keepAside(const std::string& path)
{
    const std::string bad = freeBadName(path);
    if (bad.empty() || std::rename(path.c_str(), bad.c_str()) != 0)
        return false;
    names().notice = formatString(oxGetTranslation("The settings file \"%s\" could not be read. It was kept as \"%s\" "
                                                "and the default settings are used."),
                               path.c_str(), bad.c_str());
    return true;
}

LoadResult loadStore(const std::string& path, GKeyFile* keys)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? LoadResult::Missing : LoadResult::Unreadable;
    if (!S_ISREG(st.st_mode) || st.st_size > MAX_FILE_SIZE)
        return keepAside(path) ? LoadResult::Missing : LoadResult::Unreadable;
    // Opened as a regular file only: what the check above saw may have been
    // replaced by a FIFO since, which would block.
    std::string data;
    int error = 0;
    if (!oxReadRegularFile(path, data, error, MAX_FILE_SIZE))
        return LoadResult::Unreadable; // no permission, I/O error: leave it alone
    if (!g_key_file_load_from_data(keys, data.data(), data.size(), G_KEY_FILE_KEEP_COMMENTS, nullptr))
        return keepAside(path) ? LoadResult::Missing : LoadResult::Unreadable;
    return LoadResult::Loaded;
}

// The file a save replaces: a symlinked settings file keeps its link.
std::string saveTarget(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(path.c_str(), nullptr)) {
            std::string target = real;
            std::free(real);
            return target;
        }
    }
    return path;
}

std::optional<long long> parseDecimal(const std::string& text)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(begin, &end, 10);
    if (end == begin)
        return std::nullopt;
    return v; // out of range: strtoll saturates, which is the clamping we want
}

} // namespace

void oxConfig::initialize(const std::string& company, const std::string& application)
{
    std::lock_guard<std::mutex> lock(names().mutex);
    names().company = company;
    names().application = application;
}

std::string oxConfig::storePath()
{
    std::lock_guard<std::mutex> lock(names().mutex);
    return storePathLocked();
}

std::string oxConfig::getString(const std::string& key, const std::string& defaultValue)
{
    if (!validKey(key))
        return defaultValue;
    std::lock_guard<std::mutex> lock(names().mutex);
    KeyFilePtr keys(g_key_file_new());
    if (loadStore(storePathLocked(), keys.get()) == LoadResult::Loaded) {
        GCharPtr raw(g_key_file_get_value(keys.get(), GROUP, key.c_str(), nullptr));
        std::string value;
        if (raw && unescapeValue(raw.get(), value) && utf8Length(value) <= MAX_VALUE_LENGTH)
            return value;
    }
    return defaultValue;
}

void oxConfig::setString(const std::string& key, const std::string& value)
{
    if (!validKey(key))
        return;
    std::lock_guard<std::mutex> lock(names().mutex);
    const std::string path = storePathLocked();
    KeyFilePtr keys(g_key_file_new());
    if (loadStore(path, keys.get()) == LoadResult::Unreadable)
        return;
    g_key_file_set_value(keys.get(), GROUP, key.c_str(), escapeValue(value).c_str());
    gsize size = 0;
    GCharPtr data(g_key_file_to_data(keys.get(), &size, nullptr));
    const std::string folder = path.substr(0, path.rfind('/'));
    if (data && g_mkdir_with_parents(folder.c_str(), 0700) == 0)
        g_file_set_contents_full(saveTarget(path).c_str(), data.get(), static_cast<gssize>(size),
                                 G_FILE_SET_CONTENTS_CONSISTENT, 0600, nullptr);
}

std::optional<std::string> oxConfig::takeNotice()
{
    std::lock_guard<std::mutex> lock(names().mutex);
    return std::exchange(names().notice, std::nullopt);
}

int oxConfig::getInt(const std::string& key, int defaultValue)
{
    return getIntClamped(key, defaultValue, INT_MIN, INT_MAX);
}

int oxConfig::getIntClamped(const std::string& key, int defaultValue, int min, int max)
{
    // A missing value reads as "x", which is not a number.
    long long v = parseDecimal(getString(key, "x")).value_or(defaultValue);
    if (v < min)
        v = min;
    if (v > max)
        v = max;
    return static_cast<int>(v);
}

void oxConfig::setInt(const std::string& key, int value)
{
    setString(key, std::to_string(value));
}
