// The text conversions of the xBase language.
#include "dbf/core/XbaseText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace dbf {

namespace {

template <typename Drop>
std::string_view trimRightIf(std::string_view text, Drop drop) noexcept {
    size_t end = text.size();
    while (end > 0 && drop(text[end - 1])) --end;
    return text.substr(0, end);
}

template <typename Drop>
std::string_view trimLeftIf(std::string_view text, Drop drop) noexcept {
    size_t start = 0;
    while (start < text.size() && drop(text[start])) ++start;
    return text.substr(start);
}

bool isBlank(char c) noexcept { return c == ' '; }

}  // namespace

double roundDecimals(double value, int decimals) noexcept {
    if (!std::isfinite(value) || decimals > 15) return value;
    // Powers of ten from 1 upwards are exact; 10^-n is not, so negative places divide and
    // multiply by 10^n instead of using an inexact scale (ROUND(1234,-2) is 1200 exactly).
    const double scale = std::pow(10.0, decimals < 0 ? -decimals : decimals);
    const double scaled = decimals < 0 ? std::fabs(value) / scale : std::fabs(value) * scale;
    if (!std::isfinite(scaled) || scaled >= 1e15) return value;  // no fraction left to round
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", scaled);
    const double whole = std::floor(std::strtod(buf, nullptr) + 0.5);
    const double rounded = decimals < 0 ? whole * scale : whole / scale;
    return std::signbit(value) ? -rounded : rounded;
}

std::string formatNumber(double value, int width, int decimals) {
    if (!std::isfinite(value)) return std::string(static_cast<size_t>(width), '*');
    double rounded = roundDecimals(value, decimals);
    if (rounded == 0.0) rounded = 0.0;  // never "-0.00"
    const int needed = std::snprintf(nullptr, 0, "%.*f", decimals, rounded);
    if (needed < 0 || needed > width) return std::string(static_cast<size_t>(width), '*');
    std::string text(static_cast<size_t>(width), ' ');
    std::string digits(static_cast<size_t>(needed) + 1, '\0');
    std::snprintf(digits.data(), digits.size(), "%.*f", decimals, rounded);
    text.replace(static_cast<size_t>(width - needed), static_cast<size_t>(needed), digits.data(),
                 static_cast<size_t>(needed));
    return text;
}

double parseNumber(std::string_view text, int* decimals) noexcept {
    size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
    // Collect the digits into a plain decimal text for strtod; nothing longer than a double
    // can tell apart is needed, but the exponent must still count every integer digit.
    std::string digits;
    int fraction = 0;
    bool point = false;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (isAsciiDigit(c)) {
            if (digits.size() < 400) digits += c;
            if (point) ++fraction;
        } else if (c == '.' && !point) {
            point = true;
            if (digits.size() < 400) digits += c;
        } else {
            break;
        }
    }
    if (decimals) *decimals = fraction;
    if (digits.empty() || digits == ".") return 0.0;
    const double value = std::strtod(digits.c_str(), nullptr);
    return negative ? -value : value;
}

bool equalNoCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upperAscii(b[i])) return false;
    return true;
}

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upperAscii(c);
    return out;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

std::string_view trimRight(std::string_view text) noexcept { return trimRightIf(text, isBlank); }
std::string_view trimLeft(std::string_view text) noexcept { return trimLeftIf(text, isBlank); }
std::string_view trimBlanks(std::string_view text) noexcept { return trimLeft(trimRight(text)); }

std::string_view trimRight(std::string_view text, std::string_view chars) noexcept {
    return trimRightIf(text, [chars](char c) { return chars.find(c) != std::string_view::npos; });
}
std::string_view trimLeft(std::string_view text, std::string_view chars) noexcept {
    return trimLeftIf(text, [chars](char c) { return chars.find(c) != std::string_view::npos; });
}
std::string_view trimBlanks(std::string_view text, std::string_view chars) noexcept {
    return trimLeft(trimRight(text, chars), chars);
}

std::string_view trimControls(std::string_view text) noexcept {
    auto control = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    return trimLeftIf(trimRightIf(text, control), control);
}

std::string properCase(std::string_view text) {
    std::string out(text);
    bool wordStart = true;
    for (char& c : out) {
        if (isAsciiLetter(c)) {
            c = wordStart ? upperAscii(c) : lowerAscii(c);
            wordStart = false;
        } else {
            wordStart = !isAsciiDigit(c);
        }
    }
    return out;
}

std::string soundex(std::string_view text) {
    //                                ABCDEFGHIJKLMNOPQRSTUVWXYZ
    static constexpr char kCodes[] = "01230120022455012623010202";
    std::string code;
    char last = 0;
    for (char c : text) {
        if (!isAsciiLetter(c)) continue;
        const char up = upperAscii(c);
        const char digit = kCodes[up - 'A'];
        if (code.empty()) {
            code += up;
            last = digit;
            continue;
        }
        if (up == 'H' || up == 'W') continue;  // they do not part two equal codes
        if (digit != '0' && digit != last) {
            code += digit;
            if (code.size() == 4) break;
        }
        last = digit;
    }
    if (code.empty()) return "0000";
    code.resize(4, '0');
    return code;
}

}  // namespace dbf
