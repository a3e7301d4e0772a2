// Message catalogues: every user-visible English text goes through
// oxGetTranslation. The catalogue is "<lang>.mo" in the start folder or the
// compiled-in copy.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>

// Marks a literal for extraction without translating it here.
#define N_(text) (text)

// The translation of text, or text itself. The first call loads the catalogue.
const char* oxGetTranslation(const char* text);
std::string oxGetTranslation(const std::string& text);

// Two-letter language code from the environment (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG); "en" for every language without a catalogue code.
std::string oxLanguageCode();

// A parsed MO catalogue. Parsing is all-or-nothing: a malformed image gives no
// table. Entries whose translation has other printf conversions than the
// English text are left out, so a broken catalogue can never change how
// arguments are read.
struct oxMoCatalogue {
    std::map<std::string, std::string> table;
};
// On failure returns nothing and sets error to the (untranslated) reason.
std::optional<oxMoCatalogue> oxParseMoCatalogue(const unsigned char* data, size_t size, std::string& error);

// True when both texts have the same printf conversions in the same order.
bool oxSameFormatConversions(const std::string& a, const std::string& b);

// For tests: forget the loaded catalogue so the next lookup loads again with
// the current environment and start folder.
void oxResetCatalogueForTests(const std::string& startFolder = std::string());
