// Per-user settings: named text values kept in a GLib key file at
// $XDG_CONFIG_HOME/<company>/<application>/settings.ini (group "Settings"),
// read and written typed. Every call reads or writes the file afresh, so a
// value written anywhere is seen by the next read anywhere, also from other
// threads. Saving replaces the file atomically (temporary file + rename).
//
// Failures are silent by design: a value that is missing, too long or not a
// number reads as the default, and a write that cannot be stored is lost. A
// file that cannot be parsed is never overwritten: it is renamed to
// settings.ini.bad, the defaults are used, and takeNotice hands the caller
// the text that tells the user.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

class oxConfig {
public:
    // Longest value that reads back; longer stored values read as missing.
    static constexpr size_t MAX_VALUE_LENGTH = 1999;

    // Names of the store's folders; set once at start-up before any read.
    static void initialize(const std::string& company, const std::string& application);

    static std::string getString(const std::string& key, const std::string& defaultValue);
    static void setString(const std::string& key, const std::string& value);

    // Decimal text; leading white space is skipped and text after the number
    // ignored ("12abc" is 12). Values beyond the int range are clamped, never
    // wrapped.
    static int getInt(const std::string& key, int defaultValue);
    // getInt limited to min..max (the default is limited as well). The range
    // check happens in 64 bits, so "4294967297" gives max, not 1.
    static int getIntClamped(const std::string& key, int defaultValue, int min, int max);
    static void setInt(const std::string& key, int value);

    // The settings file as the current environment names it.
    static std::string storePath();

    // The translated notice about a settings file that had to be put aside
    // since the last call, once; nothing when all files could be read.
    static std::optional<std::string> takeNotice();
};
