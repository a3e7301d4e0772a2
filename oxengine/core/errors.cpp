#include "oxengine/core/errors.h"

#include "oxengine/core/catalogue.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <cxxabi.h>
#include <memory>
#include <mutex>
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

namespace {

struct SinkSlot {
    std::mutex mutex;
    oxFailureSink sink;
};

SinkSlot& sinkSlot()
{
    static SinkSlot s;
    return s;
}

void writeToStderr(const oxFailure& failure)
{
    if (failure.title.empty())
        std::fprintf(stderr, "%s\n", failure.text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", failure.title.c_str(), failure.text.c_str());
}

} // namespace

oxFailureSink oxSetFailureSink(oxFailureSink sink)
{
    std::lock_guard<std::mutex> lock(sinkSlot().mutex);
    std::swap(sinkSlot().sink, sink);
    return sink;
}

void oxReportFailure(const oxFailure& failure)
{
    try {
        oxFailureSink sink;
        {
            // Called outside the lock: a sink may report again (its box
            // translates texts, which may load the catalogue).
            std::lock_guard<std::mutex> lock(sinkSlot().mutex);
            sink = sinkSlot().sink;
        }
        if (sink)
            sink(failure);
        else
            writeToStderr(failure);
    } catch (...) {
        writeToStderr(failure);
    }
}

void oxFatalError(const char* message, const char* condition, const char* file, int line)
{
    oxFailure failure;
    failure.brokenInvariant = true;
    try {
        char buffer[1000];
        std::snprintf(buffer, sizeof buffer, oxGetTranslation("%s\nCondition: %s at %s, line %d"),
                      oxGetTranslation(message ? message : ""), condition ? condition : "", file ? file : "", line);
        failure.title = oxGetTranslation("Fatal Error");
        failure.text = buffer;
    } catch (...) {
        std::fprintf(stderr, "Fatal Error: %s (%s at %s:%d)\n", message, condition, file, line);
        return;
    }
    oxReportFailure(failure);
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
