// Calendar arithmetic of the engine's dates: Julian day numbers, the proleptic Gregorian
// calendar, years 1 to 9999. A Julian day number of 0 is the blank date.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dbf {

constexpr int32_t kFirstJulianDay = 1721426;  // 0001-01-01
constexpr int32_t kLastJulianDay = 5373484;   // 9999-12-31

// The Julian day number of a calendar date; 0 when the date does not exist.
int32_t julianFromYmd(int year, int month, int day) noexcept;

// Year, month and day of a Julian day number in the range above; all 0 otherwise.
void ymdFromJulian(int32_t julian, int& year, int& month, int& day) noexcept;

bool isValidJulian(int32_t julian) noexcept;

// "YYYYMMDD" as a date field stores it; the blank date for blanks or anything malformed.
int32_t julianFromDtos(std::string_view text) noexcept;

// "YYYYMMDD", or eight blanks for the blank date.
std::string dtos(int32_t julian);

// "MM/DD/YY" (American order, century off, the xBase defaults), "  /  /  " when blank.
std::string dtoc(int32_t julian);

// The reverse of dtoc(): three groups of digits, month, day and year; a two-digit year is
// of the 1900s. Anything else, or an impossible date, is the blank date.
int32_t ctod(std::string_view text) noexcept;

// 1 for Sunday to 7 for Saturday; 0 for the blank date.
int dayOfWeek(int32_t julian) noexcept;

// Today in the local time zone.
int32_t today() noexcept;

}  // namespace dbf
