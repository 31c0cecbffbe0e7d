// The engine's keyed XOR cipher. It has no state between calls: each call is one unit.
#include "dbf/core/Cipher.h"

#include <cstdint>
#include <cstring>

namespace dbf {

int Cipher(std::string_view key, const void* source, void* destination, size_t count,
           CipherDirection direction) noexcept {
    auto* dst = static_cast<uint8_t*>(destination);
    const auto* src = static_cast<const uint8_t*>(source);
    if (key.empty()) {
        if (count != 0 && src != dst) std::memmove(dst, src, count);
        return 0;
    }
    const auto* k = reinterpret_cast<const uint8_t*>(key.data());
    const size_t keyLength = key.size();
    size_t ki = 0;
    for (size_t i = 0; i < count; ++i) {
        dst[i] = static_cast<uint8_t>(src[i] ^ ((i & 0xFF) | k[ki]));
        if (++ki == keyLength) ki = 0;
    }
    return direction == CipherDirection::Encipher ? 1 : -1;
}

int CipherPages(std::string_view key, void* buffer, size_t count, CipherDirection direction) noexcept {
    auto* p = static_cast<uint8_t*>(buffer);
    int result = key.empty() ? 0 : (direction == CipherDirection::Encipher ? 1 : -1);
    for (size_t off = 0; off < count; off += kCipherPageSize) {
        size_t n = count - off < kCipherPageSize ? count - off : kCipherPageSize;
        Cipher(key, p + off, p + off, n, direction);
    }
    return result;
}

}  // namespace dbf
