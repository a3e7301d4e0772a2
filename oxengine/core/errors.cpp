#include "oxengine/core/errors.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/platform/messagebox.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <cxxabi.h>
#include <memory>
#include <type_traits>
#include <typeinfo>

const char* oxException::what() const noexcept
{
    try {
        m_what = getMessage();
        return m_what.c_str();
    } catch (...) {
        return m_message.c_str();
    }
}

std::string oxException::describe() const
{
    const char* mangled = typeid(*this).name();
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                          &std::free);
    std::string name = (status == 0 && demangled) ? demangled.get() : mangled;
    return oxGetTranslation(std::string("exception ")) + name + ": " + getMessage();
}

std::string oxIOException::getMessage() const
{
    return oxGetTranslation(std::string("file \"")) + m_filename + "\": " + m_message;
}

void oxFatalError(const char* message, const char* condition, const char* file, int line)
{
    try {
        char buffer[1000];
        std::snprintf(buffer, sizeof buffer, oxGetTranslation("%s\nCondition: %s at %s, line %d"),
                      oxGetTranslation(message ? message : ""), condition ? condition : "", file ? file : "", line);
        oxShowMessage(buffer, oxGetTranslation("Fatal Error"), MB_OK, MI_ERROR);
    } catch (...) {
        std::fprintf(stderr, "Fatal Error: %s (%s at %s:%d)\n", message, condition, file, line);
    }
}

void oxAssertFailed(const char* message, const char* condition, const char* file, int line)
{
    oxFatalError(message, condition, file, line);
    std::fflush(nullptr);
    std::_Exit(3);
}

namespace {

// The shared steps of both readers: skip white space, convert, report text
// without a number and out-of-range values.
template <typename T, typename Convert>
T parseNumber(const std::string& text, const char* emptyMessage, const char* foundFormat, Convert convert)
{
    size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start])))
        ++start;
    if (start == text.size())
        throw oxNumberException(oxGetTranslation(emptyMessage));
    const char* begin = text.c_str() + start;
    char* end = nullptr;
    errno = 0;
    const T value = convert(begin, &end);
    if (end == begin) {
        char buffer[200];
        std::snprintf(buffer, sizeof buffer, oxGetTranslation(foundFormat), *begin);
        throw oxNumberException(buffer);
    }
    // Underflow of a double to a tiny or zero value is harmless; only
    // overflow is an error.
    if (errno == ERANGE && (std::is_integral_v<T> || value == HUGE_VAL || value == -HUGE_VAL))
        throw oxNumberException(oxGetTranslation("number out of range"));
    return value;
}

} // namespace

long parseLong(const std::string& text, int base)
{
    return parseNumber<long>(text, N_("empty string found while looking for long"),
                             N_("found %c while looking for long"),
                             [base](const char* b, char** e) { return std::strtol(b, e, base); });
}

double parseDouble(const std::string& text)
{
    return parseNumber<double>(text, N_("empty string found while looking for double"),
                               N_("found %c while looking for double"),
                               [](const char* b, char** e) { return std::strtod(b, e); });
}
