// The engine's keyed byte-wise cipher for table records, descriptor blocks and index pages.
#pragma once

#include <cstddef>
#include <string_view>

namespace dbf {

enum class CipherDirection { Encipher, Decipher };

// Transforms `count` bytes from `source` into `destination` (they may be the same buffer)
// as one unit: byte i is combined by XOR with (i mod 256) OR key[i mod key length], the
// position starting at 0 for every call. The same operation serves both directions.
// Returns 0 for an empty key (a plain copy when the buffers differ), 1 after enciphering,
// -1 after deciphering.
int Cipher(std::string_view key, const void* source, void* destination, size_t count,
           CipherDirection direction) noexcept;

// Enciphers or deciphers `count` bytes of an index file in place, as independent
// 512-byte units (a shorter last piece is its own unit).
int CipherPages(std::string_view key, void* buffer, size_t count, CipherDirection direction) noexcept;

constexpr size_t kCipherPageSize = 512;

}  // namespace dbf
