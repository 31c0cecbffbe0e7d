// The byte forms in which an index holds its keys and in which search keys are compared.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "dbf/core/TdbVariant.h"

namespace dbf {

constexpr size_t kNumericKeyLength = 8;

// The 8 bytes of `value` that sort as the numbers do: the IEEE double big-endian, the sign
// bit set for a value >= 0, all 64 bits inverted for a value < 0. -0.0 forms as 0.0, so
// the two are one key; a NaN forms as the largest key.
std::string numericKeyBytes(double value);

// numericKeyBytes() without its trailing 0x00 bytes: the form of N and D keys in a page.
// Trailing 0xFF bytes of a negative value stay: a page's trailing count stands for 0x00
// bytes only, and dropping them would break the order (40 0F FF..FF would sort below
// 40 0F FF..FE).
std::string numericHeldKey(double value);

// A character key as held: the text without trailing blanks.
std::string characterHeldKey(std::string_view text);

// An expression result as the index holds it: 'C' without trailing blanks, 'L' as "T" or "F",
// 'N' and 'D' (the Julian day number, 0.0 for the blank date) as numericHeldKey().
std::string heldKey(const TdbVariant& value);

// The key type of a tag whose expression yields `resultType`: 'C' for character and logical
// results, 'N', 'D'; 0 for anything else.
char keyTypeOf(char resultType) noexcept;

}  // namespace dbf
