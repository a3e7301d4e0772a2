#include "oxengine/errors.h"

#include "oxengine/catalogue.h"
#include "oxengine/messagebox.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <cxxabi.h>
#include <memory>
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

size_t skipSpace(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    return i;
}

[[noreturn]] void throwFound(const char* format, char c)
{
    char buffer[200];
    std::snprintf(buffer, sizeof buffer, oxGetTranslation(format), c);
    throw oxNumberException(buffer);
}

} // namespace

long parseLong(const std::string& text, int base)
{
    const size_t start = skipSpace(text);
    if (start == text.size())
        throw oxNumberException(oxGetTranslation("empty string found while looking for long"));
    const char* begin = text.c_str() + start;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(begin, &end, base);
    if (end == begin)
        throwFound(N_("found %c while looking for long"), *begin);
    if (errno == ERANGE)
        throw oxNumberException(oxGetTranslation("number out of range"));
    return value;
}

double parseDouble(const std::string& text)
{
    const size_t start = skipSpace(text);
    if (start == text.size())
        throw oxNumberException(oxGetTranslation("empty string found while looking for double"));
    const char* begin = text.c_str() + start;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(begin, &end);
    if (end == begin)
        throwFound(N_("found %c while looking for double"), *begin);
    // Underflow to a tiny or zero value is harmless; only overflow is an error.
    if (errno == ERANGE && (value == HUGE_VAL || value == -HUGE_VAL))
        throw oxNumberException(oxGetTranslation("number out of range"));
    return value;
}
