// Text utilities used across the engine and the application. Texts are UTF-8
// in std::string; the byte-wise helpers (case, prefixes) are ASCII-only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Splits at any of the delimiter characters. A token starting with one of the
// quote characters runs to the next occurrence of that character (quotes
// dropped, unterminated: to the end). With maxTokens >= 1, once maxTokens-1
// tokens exist the rest of the text is the last token. keepEmpty keeps the
// empty tokens between adjacent delimiters and at both ends.
std::vector<std::string> splitString(std::string_view text, std::string_view delimiters,
                                     std::string_view quotes = "", int maxTokens = 0, bool keepEmpty = false);

std::string trim(std::string_view text);
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);
std::string toLower(std::string_view text);
bool startsWith(std::string_view text, std::string_view prefix);
bool endsWith(std::string_view text, std::string_view suffix);
// ASCII case-insensitive equality (extensions, filter names).
bool equalsIgnoreCase(std::string_view a, std::string_view b);

// ---- UTF-8 ------------------------------------------------------------------
// Decodes the code point at byte offset pos and advances pos past it. A byte
// that does not start a valid sequence is taken as Latin-1 (one byte).
char32_t utf8Decode(std::string_view text, size_t& pos);
// All code points of the text (invalid bytes as Latin-1).
std::u32string utf8ToCodePoints(std::string_view text);
void utf8Append(std::string& out, char32_t cp);
std::string utf8FromCodePoints(std::u32string_view cps);
// Number of characters (code points as utf8Decode counts them).
size_t utf8Length(std::string_view text);
// Byte offset of character index charIndex (clamped to the text's end).
size_t utf8Offset(std::string_view text, size_t charIndex);

// printf into a std::string of any length (for translated message templates).
std::string formatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
