#include "oxengine/core/strings.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

std::vector<std::string> splitString(std::string_view text, std::string_view delimiters, std::string_view quotes,
                                     int maxTokens, bool keepEmpty)
{
    std::vector<std::string> tokens;
    const bool limited = maxTokens >= 1;
    const auto isDelimiter = [&](char c) { return delimiters.find(c) != std::string_view::npos; };
    size_t pos = 0;
    // True while the previous character consumed was a delimiter (or at the
    // start): a further delimiter then produces an empty token.
    bool afterDelimiter = true;
    while (pos < text.size()) {
        const bool lastToken = limited && static_cast<int>(tokens.size()) >= maxTokens - 1;
        const char c = text[pos];
        if (isDelimiter(c) && !(lastToken && keepEmpty && afterDelimiter)) {
            if (keepEmpty && afterDelimiter)
                tokens.emplace_back();
            afterDelimiter = true;
            ++pos;
            continue;
        }
        if (lastToken) {
            tokens.emplace_back(text.substr(pos));
            return tokens;
        }
        afterDelimiter = false;
        if (quotes.find(c) != std::string_view::npos) {
            const size_t close = text.find(c, pos + 1);
            if (close == std::string_view::npos) {
                tokens.emplace_back(text.substr(pos + 1));
                return tokens;
            }
            tokens.emplace_back(text.substr(pos + 1, close - pos - 1));
            pos = close + 1;
            continue;
        }
        size_t end = pos;
        while (end < text.size() && !isDelimiter(text[end]))
            ++end;
        tokens.emplace_back(text.substr(pos, end - pos));
        pos = end;
    }
    if (keepEmpty && afterDelimiter && !text.empty())
        tokens.emplace_back();
    return tokens;
}

namespace {
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

std::string trim(std::string_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && isSpace(text[b]))
        ++b;
    while (e > b && isSpace(text[e - 1]))
        --e;
    return std::string(text.substr(b, e - b));
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return std::string(text);
    std::string out;
    size_t pos = 0;
    for (;;) {
        const size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos)
            break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

std::string toLower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lowerAscii);
    return out;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

// ---- UTF-8 ------------------------------------------------------------------

char32_t utf8Decode(std::string_view text, size_t& pos)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char b0 = byte(pos);
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (b0 < 0x80) {
        ++pos;
        return b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        ++pos;
        return b0; // stray continuation or invalid lead byte: Latin-1
    }
    if (pos + static_cast<size_t>(extra) >= text.size()) {
        ++pos;
        return b0; // sequence cut off by the end of the text
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char b = byte(pos + k);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return b0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return b0; // overlong or not a scalar value
    }
    pos += extra + 1;
    return cp;
}

std::u32string utf8ToCodePoints(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size())
        out.push_back(utf8Decode(text, pos));
    return out;
}

void utf8Append(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string utf8FromCodePoints(std::u32string_view cps)
{
    std::string out;
    for (char32_t cp : cps)
        utf8Append(out, cp);
    return out;
}

size_t utf8Length(std::string_view text)
{
    size_t n = 0, pos = 0;
    while (pos < text.size()) {
        utf8Decode(text, pos);
        ++n;
    }
    return n;
}

size_t utf8Offset(std::string_view text, size_t charIndex)
{
    size_t pos = 0;
    for (size_t i = 0; i < charIndex && pos < text.size(); ++i)
        utf8Decode(text, pos);
    return pos;
}

std::string formatString(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, again);
        out.resize(static_cast<size_t>(n));
    }
    va_end(again);
    return out;
}
