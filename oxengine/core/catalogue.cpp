#include "oxengine/core/catalogue.h"

#include "oxengine/core/embedded.h"
#include "oxengine/core/errors.h"
#include "oxengine/core/regularfile.h"
#include "oxengine/core/strings.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

std::string currentDirectory()
{
    std::vector<char> buffer(4096);
    if (!getcwd(buffer.data(), buffer.size()))
        return std::string();
    return buffer.data();
}

struct CatalogueState {
    std::mutex mutex;
    std::atomic<int> state{0}; // 0 not initialised, 1 no translation, 2 loaded
    std::map<std::string, std::string> table;
    // The folder the program was started in: read before main runs.
    std::string startFolder = currentDirectory();
};

CatalogueState& catalogue()
{
    static CatalogueState s;
    return s;
}

// Initialise the start folder before main (and before any chdir).
[[maybe_unused]] const bool g_startFolderTaken = (catalogue(), true);

uint32_t readWord(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string latin1ToUtf8(std::string_view text)
{
    std::string out;
    for (unsigned char c : text)
        utf8Append(out, c);
    return out;
}

// One printf conversion's argument kind: length modifier + conversion letter,
// with the letters that read the same type folded together.
std::string argumentKind(const std::string& length, char conv)
{
    char k = conv;
    switch (conv) {
    case 'i': case 'd': k = 'd'; break;
    case 'o': case 'u': case 'x': case 'X': k = 'u'; break;
    case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A': k = 'f'; break;
    default: break;
    }
    return length + k;
}

// The argument kinds read by a format, by argument position; false when the
// format has a conversion that is not understood.
bool formatSignature(const std::string& format, std::vector<std::string>& kinds)
{
    kinds.clear();
    size_t next = 0; // sequential argument index
    std::vector<std::pair<size_t, std::string>> uses;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        ++i;
        if (i >= format.size())
            return false;
        if (format[i] == '%')
            continue;
        // Optional position "n$".
        size_t j = i;
        size_t position = 0;
        while (j < format.size() && format[j] >= '0' && format[j] <= '9')
            position = position * 10 + (format[j++] - '0');
        bool positional = false;
        if (j < format.size() && format[j] == '$' && j > i) {
            positional = true;
            i = j + 1;
            if (position == 0 || position > 64)
                return false;
        }
        while (i < format.size() && std::strchr("-+ #0'", format[i]))
            ++i;
        const auto starArgument = [&]() -> bool {
            if (i < format.size() && format[i] == '*') {
                if (positional)
                    return false; // "*m$" forms are not supported
                uses.emplace_back(next++, "d");
                ++i;
            }
            return true;
        };
        if (!starArgument())
            return false;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9')
            ++i;
        if (i < format.size() && format[i] == '.') {
            ++i;
            if (!starArgument())
                return false;
            while (i < format.size() && format[i] >= '0' && format[i] <= '9')
                ++i;
        }
        std::string length;
        while (i < format.size() && std::strchr("hlLqjzt", format[i]))
            length += format[i++];
        if (i >= format.size() || !std::strchr("diouxXeEfFgGaAcspn", format[i]))
            return false;
        if (format[i] == 'n')
            return false; // never acceptable from a catalogue
        const std::string kind = argumentKind(length, format[i]);
        uses.emplace_back(positional ? position - 1 : next++, kind);
    }
    for (const auto& [index, kind] : uses) {
        if (index >= kinds.size())
            kinds.resize(index + 1);
        if (!kinds[index].empty() && kinds[index] != kind)
            return false;
        kinds[index] = kind;
    }
    for (const auto& k : kinds)
        if (k.empty())
            return false; // an argument skipped
    return true;
}

} // namespace

bool oxSameFormatConversions(const std::string& a, const std::string& b)
{
    const bool aHas = a.find('%') != std::string::npos;
    const bool bHas = b.find('%') != std::string::npos;
    if (!aHas && !bHas)
        return true;
    std::vector<std::string> ka, kb;
    return formatSignature(a, ka) && formatSignature(b, kb) && ka == kb;
}

std::optional<oxMoCatalogue> oxParseMoCatalogue(const unsigned char* data, size_t size, std::string& error)
{
    if (!data || size < 28) {
        error = "Invalid MO file size";
        return std::nullopt;
    }
    if (readWord(data) != 0x950412deu) {
        error = "Only MO files with system endianness are supported";
        return std::nullopt;
    }
    if (readWord(data + 4) != 0) {
        error = "Only 1st version of MO files is supported";
        return std::nullopt;
    }
    const uint64_t n = readWord(data + 8);
    const uint64_t idTable = readWord(data + 12);
    const uint64_t trTable = readWord(data + 16);
    // 64-bit arithmetic: 8 * n cannot overflow here.
    if (idTable + 8 * n > size || trTable + 8 * n > size) {
        error = "Incomplete MO file";
        return std::nullopt;
    }
    // A string must lie within the file and end with its NUL.
    const auto stringAt = [&](uint64_t entryOffset, std::string_view& out) -> bool {
        const uint64_t length = readWord(data + entryOffset);
        const uint64_t offset = readWord(data + entryOffset + 4);
        if (offset + length + 1 > size || data[offset + length] != 0)
            return false;
        out = std::string_view(reinterpret_cast<const char*>(data + offset), length);
        return true;
    };

    oxMoCatalogue result;
    bool fromLatin1 = false;
    for (uint64_t i = 0; i < n; ++i) {
        std::string_view id, translation;
        if (!stringAt(idTable + 8 * i, id) || !stringAt(trTable + 8 * i, translation)) {
            error = "Incomplete MO file";
            return std::nullopt;
        }
        if (translation.empty())
            continue;
        if (id.empty()) {
            const size_t at = translation.find("charset=");
            if (at != std::string_view::npos) {
                size_t end = at + 8;
                while (end < translation.size() && !std::strchr(" \t\r\n\f\v", translation[end]))
                    ++end;
                const std::string charset = toLower(translation.substr(at + 8, end - at - 8));
                if (charset == "utf-8" || charset == "utf8" || charset == "ascii" || charset == "us-ascii")
                    fromLatin1 = false;
                else if (charset == "iso8859-1" || charset == "iso-8859-1" || charset == "latin1")
                    fromLatin1 = true;
                else {
                    error = "Unsupported MO charset " + charset;
                    return std::nullopt;
                }
            }
        }
        std::string key = fromLatin1 ? latin1ToUtf8(id) : std::string(id);
        std::string value = fromLatin1 ? latin1ToUtf8(translation) : std::string(translation);
        // A translation that reads its arguments differently from the English
        // text could crash printf or read past its arguments: keep the
        // English text instead.
        if (!key.empty() && !oxSameFormatConversions(key, value))
            continue;
        result.table[std::move(key)] = std::move(value);
    }
    return result;
}

std::string oxLanguageCode()
{
    static const char* const vars[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::string locale;
    for (const char* var : vars) {
        const char* value = std::getenv(var);
        if (value && *value) {
            locale = value;
            break;
        }
    }
    locale = locale.substr(0, locale.find(':')); // LANGUAGE is a list
    std::string lang = toLower(locale.substr(0, locale.find_first_of("_.@")));
    static const char* const known[] = {"de", "es", "fi", "fr", "is", "it", "nl", "pt", "sv"};
    for (const char* k : known)
        if (lang == k)
            return lang;
    if (lang == "nb" || lang == "no" || lang == "nn")
        return "nb";
    return "en";
}

namespace {

// Loads the catalogue; returns the error text of a malformed one.
std::string loadCatalogue(CatalogueState& s)
{
    s.state = 1;
    const std::string code = oxLanguageCode();
    if (code == "en")
        return std::string();
    const std::string fileName = code + ".mo";
    std::string path = s.startFolder;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += fileName;
    std::optional<oxMoCatalogue> parsed;
    std::string error;
    std::string bytes;
    int readError = 0;
    if (oxReadRegularFile(path, bytes, readError)) {
        parsed = oxParseMoCatalogue(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), error);
    } else if (readError != ENOENT) {
        return std::string(); // there, but no file to read (a FIFO would block)
    } else if (const oxEmbeddedFile* f = findEmbeddedFile(fileName.c_str())) {
        parsed = oxParseMoCatalogue(f->data(), f->size(), error);
    } else {
        return std::string();
    }
    if (!parsed)
        return error;
    s.table = std::move(parsed->table);
    s.state = 2;
    return std::string();
}

void ensureLoaded(CatalogueState& s)
{
    if (s.state.load(std::memory_order_acquire) != 0)
        return;
    std::string error;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.state.load(std::memory_order_relaxed) != 0)
            return;
        error = loadCatalogue(s);
        if (s.state.load(std::memory_order_relaxed) == 0)
            s.state.store(1, std::memory_order_release);
    }
    // Outside the lock: the sink's box translates its own texts.
    if (!error.empty())
        oxReportFailure({false, std::string(), "oxEngine: Error initializing translation: " + error});
}

} // namespace

const char* oxGetTranslation(const char* text)
{
    if (!text)
        return "";
    CatalogueState& s = catalogue();
    ensureLoaded(s);
    if (s.state.load(std::memory_order_acquire) != 2)
        return text;
    const auto it = s.table.find(text);
    return it == s.table.end() ? text : it->second.c_str();
}

std::string oxGetTranslation(const std::string& text)
{
    return oxGetTranslation(text.c_str());
}

void oxResetCatalogueForTests(const std::string& startFolder)
{
    CatalogueState& s = catalogue();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.table.clear();
    s.state = 0;
    s.startFolder = startFolder.empty() ? currentDirectory() : startFolder;
}
