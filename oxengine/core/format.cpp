#include "oxengine/core/format.h"

#include "oxengine/core/strings.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>

std::string formatInteger(long value, int base)
{
    char buffer[100];
    const char* pattern = base == 8 ? "%lo" : base == 16 ? "%lX" : "%ld";
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

std::string formatNumber(double value, int decimals)
{
    char pattern[32];
    const int digits = decimals < 0 ? -decimals : decimals;
    std::snprintf(pattern, sizeof pattern, "%%.%df", digits > 300 ? 300 : digits);
    char buffer[1000];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    std::string text = buffer;
    if (decimals < 0 && text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        if (!text.empty() && text.back() == '.')
            text.pop_back();
    }
    return text;
}

std::string formatWithPrefix(double value, int decimals, const std::string& unit)
{
    static const char* const large[] = {"k", "M", "G", "T", "P"};
    static const char* const small[] = {"m", "\xC2\xB5", "n", "p", "f", "a"};
    const char* prefix = "";
    if (value >= 1.0 || value <= 1e-20) {
        if (value > 1000.0 && value < 1e20) {
            size_t i = 0;
            prefix = large[0];
            value *= 0.001;
            while (value > 1000.0 && i + 1 < std::size(large)) {
                prefix = large[++i];
                value *= 0.001;
            }
        }
    } else {
        size_t i = 0;
        prefix = small[0];
        value *= 1000.0;
        while (value < 1.0 && i + 1 < std::size(small)) {
            prefix = small[++i];
            value *= 1000.0;
        }
    }
    return formatNumber(value, decimals) + " " + prefix + unit;
}

namespace {

std::string strftimeText(const std::string& format, const std::tm& tm)
{
    if (format.empty())
        return std::string();
    // strftime returns 0 both for "too small" and for an empty result; a
    // leading blank keeps a real result non-empty.
    const std::string padded = " " + format;
    char buffer[1000];
    const size_t n = std::strftime(buffer, sizeof buffer - 1, padded.c_str(), &tm);
    if (n == 0)
        return std::string();
    return std::string(buffer + 1, n - 1);
}

} // namespace

std::string formatDateTime(double seconds, bool userLocale, const std::string& format)
{
    if (!std::isfinite(seconds))
        seconds = 0;
    // Clamp to what time_t and the calendar functions handle.
    seconds = std::fmax(-62135596800.0, std::fmin(seconds, 253402300799.0));
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    if (!userLocale)
        return strftimeText(format, tm).substr(0, 998);

    static std::once_flag localeOnce;
    std::call_once(localeOnce, [] { std::setlocale(LC_TIME, ""); });
    std::string expanded = replaceAll(format, "%c", "%x %X");
    // %x and %X already follow LC_TIME of the user's locale, so expanding them
    // here is the same as strftime doing it; they are split out so an
    // over-long date cannot push the rest of the format out of the buffer.
    const std::string date = strftimeText("%x", tm).substr(0, 1024);
    const std::string time = strftimeText("%X", tm).substr(0, 1024);
    std::string out;
    for (size_t i = 0; i < expanded.size(); ++i) {
        if (expanded[i] == '%' && i + 1 < expanded.size()) {
            const char c = expanded[i + 1];
            if (c == 'x' || c == 'X') {
                // Escape % in the inserted text so strftime leaves it alone.
                out += replaceAll(c == 'x' ? date : time, "%", "%%");
                ++i;
                continue;
            }
            out += expanded[i];
            out += c;
            ++i;
            continue;
        }
        out += expanded[i];
    }
    return strftimeText(out, tm).substr(0, 998);
}
