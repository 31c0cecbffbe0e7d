// Deciphering the program's fixed secrets.
#include "scan/SecretText.h"

#include <stdexcept>

#include "scan/Blowfish.h"

namespace scan {
namespace {

constexpr uint8_t kSecretKey[42] = {
    0xFC, 0xE3, 0xFC, 0x7E, 0x9B, 0xF9, 0x6E, 0x52, 0xC4, 0x5E, 0x0C, 0xAC, 0x5C, 0xC1,
    0x1C, 0x49, 0x8A, 0xFB, 0xBC, 0xA1, 0x06, 0x73, 0x34, 0xDB, 0xE9, 0x82, 0x1D, 0xF2,
    0x38, 0x17, 0x42, 0x48, 0x25, 0x84, 0x5D, 0x92, 0xEB, 0x8B, 0x79, 0xA3, 0xE3, 0x82,
};

// The table key: 45 characters, here as 106 hexadecimal digits.
constexpr const char* kTableKeyText =
    "7b85e7929b4f003f"
    "ee3edf7539795307e9003e5d4b5a381c6f50432170640bbc5a1706219ed2b909ec3719714f1c8571af55978966";

// The maker's web address, opened by the web-site commands.
constexpr const char* kSiteAddressText =
    "5d13a740c29e6108"
    "db832f2096ccec1e93e495b2f5a8afd98a3e6221f96893";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Cipher feedback over `data`: each 8-byte block of key stream is the encryption of the
// previous cipher block (the starting block first).
void cfb(std::string& data, const uint8_t iv[8], bool decipher) {
    Blowfish cipher(kSecretKey, sizeof kSecretKey);
    uint8_t feedback[8];
    for (int i = 0; i < 8; ++i) feedback[i] = iv[i];
    for (size_t pos = 0; pos < data.size(); pos += 8) {
        uint8_t stream[8];
        for (int i = 0; i < 8; ++i) stream[i] = feedback[i];
        cipher.encrypt(stream);
        for (size_t i = 0; i < 8 && pos + i < data.size(); ++i) {
            auto in = static_cast<uint8_t>(data[pos + i]);
            auto out = static_cast<uint8_t>(in ^ stream[i]);
            data[pos + i] = static_cast<char>(out);
            feedback[i] = decipher ? in : out;
        }
    }
}

}  // namespace

std::string decipherSecret(std::string_view text) {
    if (text.size() < 16 || text.size() % 2) throw std::invalid_argument("secret text of the wrong length");
    std::string bytes(text.size() / 2, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        int hi = hexValue(text[2 * i]), lo = hexValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0) throw std::invalid_argument("secret text that is not hexadecimal");
        bytes[i] = static_cast<char>(hi << 4 | lo);
    }
    uint8_t iv[8];
    for (int i = 0; i < 8; ++i) iv[i] = static_cast<uint8_t>(bytes[static_cast<size_t>(i)]);
    std::string plain = bytes.substr(8);
    wipe(bytes);
    cfb(plain, iv, true);
    return plain;
}

std::string encipherSecret(std::string_view plain, const uint8_t iv[8]) {
    std::string data(plain);
    cfb(data, iv, false);
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 8; ++i) {
        text += digits[iv[i] >> 4];
        text += digits[iv[i] & 15];
    }
    for (unsigned char c : data) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

std::string keyloggerTableKey() { return decipherSecret(kTableKeyText); }

std::string siteAddress() { return decipherSecret(kSiteAddressText); }

void wipe(std::string& s) noexcept {
    volatile char* p = s.data();
    for (size_t i = 0; i < s.size(); ++i) p[i] = 0;
    s.clear();
}

}  // namespace scan
