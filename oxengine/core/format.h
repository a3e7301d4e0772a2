// Numbers, sizes and dates for display.
#pragma once

#include <string>

std::string formatInteger(long value, int base = 10);
// decimals < 0: at most |decimals| decimals, trailing zeros removed.
std::string formatNumber(double value, int decimals);
// SI prefixes: formatWithPrefix(1500, 1, "B") == "1.5 kB".
std::string formatWithPrefix(double value, int decimals, const std::string& unit);
// seconds since 1970 in local time; with userLocale, %c/%x/%X follow the
// user's locale date and time formats.
std::string formatDateTime(double seconds, bool userLocale, const std::string& format);
