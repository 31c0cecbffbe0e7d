// The text conversions of the xBase language that key expressions rely on (numbers to and
// from text, trimming and letter case), and the one home of the engine's and the scan's
// ASCII letter case and blank trimming. Letter case is ASCII only, so keys and names do not
// depend on the locale the program runs under.
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

constexpr bool isAsciiLetter(char c) noexcept { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr bool isAsciiDigit(char c) noexcept { return c >= '0' && c <= '9'; }
// Blank, tab, carriage return and line feed: what separates tokens and what EMPTY()
// counts as nothing.
constexpr bool isXbaseSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// The ASCII letters a to z in upper (A to Z in lower) case; every other byte, those of the
// ANSI code page's own letters included, unchanged.
constexpr char upperAscii(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char lowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
std::string upperAscii(std::string_view text);
std::string lowerAscii(std::string_view text);
// Engine names (fields, tags, index files, aliases) and process names compare without
// regard to ASCII case.
bool equalNoCase(std::string_view a, std::string_view b) noexcept;

// Blanks only, as RTRIM(), LTRIM() and ALLTRIM() trim.
std::string_view trimRight(std::string_view text) noexcept;
std::string_view trimLeft(std::string_view text) noexcept;
std::string_view trimBlanks(std::string_view text) noexcept;
// The same for every byte of `chars`: names given by callers and read from files lose
// tabs as well (kBlanksAndTabs).
inline constexpr std::string_view kBlanksAndTabs = " \t";
std::string_view trimRight(std::string_view text, std::string_view chars) noexcept;
std::string_view trimLeft(std::string_view text, std::string_view chars) noexcept;
std::string_view trimBlanks(std::string_view text, std::string_view chars) noexcept;
// Both ends, every byte up to the blank (control characters too), as file names are
// trimmed before they are opened.
std::string_view trimControls(std::string_view text) noexcept;

// PROPER(): the first letter of every word upper case, the other letters lower case.
std::string properCase(std::string_view text);

// SOUNDEX(): the letter and three digits of the American Soundex code; "0000" without letters.
std::string soundex(std::string_view text);

}  // namespace dbf
