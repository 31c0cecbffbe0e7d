// The text conversions of the xBase language that key expressions rely on: numbers to and
// from text, trimming and letter case. Letter case is ASCII only, so keys do not depend on
// the locale the program runs under.
#pragma once

#include <string>
#include <string_view>

namespace dbf {

// Rounds half away from zero at `decimals` places, judging the half on the value's 15
// significant digits, so that 2.675 rounds to 2.68 as it reads rather than as it is stored.
double roundDecimals(double value, int decimals) noexcept;

// STR(): `value` right-aligned in `width` characters with `decimals` places; `width`
// asterisks when it does not fit. `width` must be at least 1 and `decimals` at least 0.
std::string formatNumber(double value, int width, int decimals);

// VAL(): leading blanks, a sign, digits and one decimal point, up to the first other
// character; 0 for nothing usable. `decimals` receives the number of digits after the point.
double parseNumber(std::string_view text, int* decimals = nullptr) noexcept;

std::string upperAscii(std::string_view text);
// Engine names (fields, tags, index files, aliases) compare without regard to ASCII case.
bool equalNoCase(std::string_view a, std::string_view b) noexcept;
std::string lowerAscii(std::string_view text);
std::string_view trimRight(std::string_view text) noexcept;  // blanks only, as RTRIM()
std::string_view trimLeft(std::string_view text) noexcept;
std::string_view trimBlanks(std::string_view text) noexcept;  // both ends, as ALLTRIM()

// PROPER(): the first letter of every word upper case, the other letters lower case.
std::string properCase(std::string_view text);

// SOUNDEX(): the letter and three digits of the American Soundex code; "0000" without letters.
std::string soundex(std::string_view text);

}  // namespace dbf
