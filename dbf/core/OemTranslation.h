// Translation of character data between the ANSI and the OEM character sets, as the table
// data set applies it to field text and search keys. On Windows the system translates
// (CharToOemBuff, OemToCharBuff) for its own code pages; elsewhere fixed tables stand in for
// ANSI 1252 and OEM 437, filled from what Windows gives for that pair.
#pragma once

#include <cstddef>

namespace dbf {

// Translates `count` bytes from `source` into `destination`, which may be the same buffer.
// Bytes below 128 are left as they are.
void ansiToOem(const char* source, char* destination, size_t count) noexcept;
void oemToAnsi(const char* source, char* destination, size_t count) noexcept;

}  // namespace dbf
