// The Blowfish block cipher (64-bit blocks, keys of 4 to 56 bytes), used only to keep the
// program's fixed secrets out of plain sight in the executable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scan {

class Blowfish {
public:
    // `key` of 1 to 56 bytes; longer keys are cut at 56 bytes, as the cipher defines.
    Blowfish(const uint8_t* key, size_t length);
    ~Blowfish();
    Blowfish(const Blowfish&) = delete;
    Blowfish& operator=(const Blowfish&) = delete;

    void encryptBlock(uint32_t& left, uint32_t& right) const;
    void decryptBlock(uint32_t& left, uint32_t& right) const;
    // One 8-byte block in place, big-endian halves as the published test vectors use.
    void encrypt(uint8_t block[8]) const;
    void decrypt(uint8_t block[8]) const;

private:
    // Takes the block's halves, applies `operation` and puts them back.
    void onBlock(uint8_t block[8], void (Blowfish::*operation)(uint32_t&, uint32_t&) const) const;
    uint32_t f(uint32_t x) const {
        return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
    }

    static const uint32_t kInitialP[18];
    static const uint32_t kInitialS[4][256];

    uint32_t p_[18];
    uint32_t s_[4][256];
};

}  // namespace scan
