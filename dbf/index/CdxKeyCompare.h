// Comparison of a search key with an index key, both in their held form (character keys
// without trailing blanks, numeric and date keys without trailing zero bytes).
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace dbf {

// How a search key that is a proper prefix of the index key compares: -1 in exact mode
// ("KEYLOG" stops before "KEYLOG.EXE"), 0 in partial mode (it matches).
enum class CdxPrefixMode { Exact = -1, Partial = 0 };

// The sign of search key `s` against index key `k`, bytes as unsigned values; the shorter
// key is smaller when all its bytes agree. For character keys a search key that is a proper
// prefix of the index key gives the prefix mode instead. Numeric and date keys have no
// prefix rule.
inline int cdxCompare(std::string_view s, std::string_view k, bool character, CdxPrefixMode mode) noexcept {
    size_t n = std::min(s.size(), k.size());
    if (n > 0) {
        int c = std::memcmp(s.data(), k.data(), n);
        if (c != 0) return c < 0 ? -1 : 1;
    }
    if (s.size() == k.size()) return 0;
    if (s.size() > k.size()) return 1;
    return character ? static_cast<int>(mode) : -1;
}

// The first 8 bytes of a key as a big-endian number, zero-filled: comparing two of these
// settles most comparisons without touching the key bytes themselves.
inline uint64_t cdxKeyPrefix(std::string_view k) noexcept {
    uint64_t p = 0;
    size_t n = std::min<size_t>(k.size(), 8);
    for (size_t i = 0; i < n; ++i) p |= uint64_t{static_cast<uint8_t>(k[i])} << (56 - 8 * i);
    return p;
}

// cdxCompare() from the two keys' prefixes (cdxKeyPrefix) alone, or kCdxComparePrefixTie
// when they are equal and the keys themselves must be compared. Where the prefixes differ,
// the first differing byte decides: inside the search key it is a real byte of both keys or
// the index key has ended there (either way the search key is greater); past the search
// key's end the index key goes on, so the search key is a proper prefix of it.
constexpr int kCdxComparePrefixTie = 2;
inline int cdxComparePrefixes(std::string_view s, uint64_t sPrefix, uint64_t kPrefix, bool character,
                              CdxPrefixMode mode) noexcept {
    if (sPrefix == kPrefix) return kCdxComparePrefixTie;
    auto at = static_cast<size_t>(std::countl_zero(sPrefix ^ kPrefix) / 8);
    if (at < s.size()) return sPrefix < kPrefix ? -1 : 1;
    return character ? static_cast<int>(mode) : -1;
}

// The position (from 1) of the first byte in which `s` and `k` differ, or, when all bytes
// of the shorter one agree, its length plus one. A count above the search key's length
// means the search key matched the index key over its whole length.
inline size_t cdxMatchCount(std::string_view s, std::string_view k) noexcept {
    size_t n = std::min(s.size(), k.size());
    size_t i = 0;
    while (i < n && s[i] == k[i]) ++i;
    return i + 1;
}

}  // namespace dbf
