// Blowfish key schedule and block operations.
#include "scan/Blowfish.h"

#include <cstring>

#include "dbf/core/ByteView.h"
#include "dbf/core/ByteWriter.h"

namespace scan {

Blowfish::Blowfish(const uint8_t* key, size_t length) {
    std::memcpy(p_, kInitialP, sizeof p_);
    std::memcpy(s_, kInitialS, sizeof s_);
    if (length > 56) length = 56;
    size_t k = 0;
    for (uint32_t& p : p_) {
        uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = word << 8 | (length ? key[k] : 0);
            if (length && ++k == length) k = 0;
        }
        p ^= word;
    }
    uint32_t l = 0, r = 0;
    for (size_t i = 0; i < 18; i += 2) {
        encryptBlock(l, r);
        p_[i] = l;
        p_[i + 1] = r;
    }
    for (auto& box : s_)
        for (size_t i = 0; i < 256; i += 2) {
            encryptBlock(l, r);
            box[i] = l;
            box[i + 1] = r;
        }
}

Blowfish::~Blowfish() {
    // The subkeys are as good as the key: leave nothing of them in freed memory.
    volatile uint8_t* p = reinterpret_cast<volatile uint8_t*>(this);
    for (size_t i = 0; i < sizeof *this; ++i) p[i] = 0;
}

void Blowfish::encryptBlock(uint32_t& left, uint32_t& right) const {
    uint32_t l = left, r = right;
    for (int i = 0; i < 16; i += 2) {
        l ^= p_[i];
        r ^= f(l);
        r ^= p_[i + 1];
        l ^= f(r);
    }
    left = r ^ p_[17];
    right = l ^ p_[16];
}

void Blowfish::decryptBlock(uint32_t& left, uint32_t& right) const {
    uint32_t l = left, r = right;
    for (int i = 17; i > 1; i -= 2) {
        l ^= p_[i];
        r ^= f(l);
        r ^= p_[i - 1];
        l ^= f(r);
    }
    left = r ^ p_[0];
    right = l ^ p_[1];
}

void Blowfish::encrypt(uint8_t block[8]) const { onBlock(block, &Blowfish::encryptBlock); }

void Blowfish::decrypt(uint8_t block[8]) const { onBlock(block, &Blowfish::decryptBlock); }

void Blowfish::onBlock(uint8_t block[8], void (Blowfish::*operation)(uint32_t&, uint32_t&) const) const {
    const dbf::ByteView in(block, 8);
    uint32_t l = in.u32be(0), r = in.u32be(4);
    (this->*operation)(l, r);
    dbf::ByteWriter out(block, 8);
    out.putU32be(0, l);
    out.putU32be(4, r);
}

}  // namespace scan
