// Calendar arithmetic of the engine's dates.
#include "dbf/core/TdbDate.h"

#include <cstdio>
#include <ctime>

#include "dbf/core/XbaseText.h"

namespace dbf {

namespace {

bool isLeap(int year) noexcept { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) noexcept {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

}  // namespace

int32_t julianFromYmd(int year, int month, int day) noexcept {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return 0;
    // Fliegel and Van Flandern; every intermediate stays far inside 32 bits for years 1..9999.
    const int a = (14 - month) / 12;
    const int y = year + 4800 - a;
    const int m = month + 12 * a - 3;
    return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

bool isValidJulian(int32_t julian) noexcept { return julian >= kFirstJulianDay && julian <= kLastJulianDay; }

void ymdFromJulian(int32_t julian, int& year, int& month, int& day) noexcept {
    if (!isValidJulian(julian)) {
        year = month = day = 0;
        return;
    }
    const int a = julian + 32044;
    const int b = (4 * a + 3) / 146097;
    const int c = a - 146097 * b / 4;
    const int d = (4 * c + 3) / 1461;
    const int e = c - 1461 * d / 4;
    const int m = (5 * e + 2) / 153;
    day = e - (153 * m + 2) / 5 + 1;
    month = m + 3 - 12 * (m / 10);
    year = 100 * b + d - 4800 + m / 10;
}

int32_t julianFromDtos(std::string_view text) noexcept {
    if (text.size() < 8) return 0;
    int parts[3] = {0, 0, 0};
    static constexpr int kWidths[3] = {4, 2, 2};
    size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < kWidths[i]; ++k, ++pos) {
            if (!isAsciiDigit(text[pos])) return 0;
            parts[i] = parts[i] * 10 + (text[pos] - '0');
        }
    }
    return julianFromYmd(parts[0], parts[1], parts[2]);
}

std::string dtos(int32_t julian) {
    int y, m, d;
    ymdFromJulian(julian, y, m, d);
    if (y == 0) return std::string(8, ' ');
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
    return buf;
}

std::string dtoc(int32_t julian) {
    int y, m, d;
    ymdFromJulian(julian, y, m, d);
    if (y == 0) return "  /  /  ";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", m, d, y % 100);
    return buf;
}

int32_t ctod(std::string_view text) noexcept {
    int parts[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        while (pos < text.size() && text[pos] == ' ') ++pos;
        while (pos < text.size() && isAsciiDigit(text[pos])) {
            if (++digits[i] > 4) return 0;
            parts[i] = parts[i] * 10 + (text[pos++] - '0');
        }
        if (digits[i] == 0) return 0;
        if (i < 2) {
            if (pos >= text.size() || isAsciiDigit(text[pos])) return 0;
            ++pos;  // any one separator, as "12/31/99", "12-31-99" and "12.31.99" all occur
        }
    }
    int year = parts[2];
    if (digits[2] <= 2) year += 1900;
    return julianFromYmd(year, parts[0], parts[1]);
}

int dayOfWeek(int32_t julian) noexcept {
    if (!isValidJulian(julian)) return 0;
    // Julian day 0 was a Monday; shift so that Sunday is 1.
    return (julian + 1) % 7 + 1;
}

int32_t today() noexcept {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (!local) return 0;
    return julianFromYmd(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday);
}

}  // namespace dbf
