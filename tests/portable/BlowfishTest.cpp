// The Blowfish cipher against its published test vectors, and the program's secret texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "scan/Blowfish.h"
#include "scan/SecretText.h"

namespace {

std::string hex(const uint8_t* b, size_t n) {
    std::string s;
    char buf[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", b[i]);
        s += buf;
    }
    return s;
}

std::vector<uint8_t> bytes(const std::string& hexText) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hexText.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(hexText.substr(i, 2), nullptr, 16)));
    return out;
}

struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
};

}  // namespace

TEST(BlowfishTest, MatchesThePublishedVectors) {
    const Vector vectors[] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
        {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210", "05044B62FA52D080"},
    };
    for (const Vector& v : vectors) {
        std::vector<uint8_t> key = bytes(v.key), block = bytes(v.plain);
        scan::Blowfish cipher(key.data(), key.size());
        cipher.encrypt(block.data());
        EXPECT_EQ(hex(block.data(), 8), v.cipher) << v.key;
        cipher.decrypt(block.data());
        EXPECT_EQ(hex(block.data(), 8), v.plain) << v.key;
    }
}

TEST(BlowfishTest, TextKeyOfTheOriginalDescription) {
    const std::string key = "abcdefghijklmnopqrstuvwxyz";
    uint8_t block[8] = {'B', 'L', 'O', 'W', 'F', 'I', 'S', 'H'};
    scan::Blowfish cipher(reinterpret_cast<const uint8_t*>(key.data()), key.size());
    cipher.encrypt(block);
    EXPECT_EQ(hex(block, 8), "324ED0FEF413A203");
}

TEST(SecretTextTest, DecipheringUndoesEncipheringForAnyLength) {
    const uint8_t iv[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (std::string plain : {std::string(), std::string("a"), std::string("exactly8"), std::string(45, 'k'),
                              std::string("http://www.example.com/ombrix/")}) {
        std::string text = scan::encipherSecret(plain, iv);
        EXPECT_EQ(text.size(), 16 + 2 * plain.size());
        EXPECT_EQ(scan::decipherSecret(text), plain);
    }
}

TEST(SecretTextTest, TableKeyComesFromAText106CharactersLong) {
    std::string key = scan::keyloggerTableKey();
    EXPECT_EQ(key.size(), 45u);
    for (char c : key) EXPECT_TRUE(c > ' ' && c < 127) << "printable";
}

TEST(SecretTextTest, SiteAddressDeciphersToAnHttpsAddress) {
    EXPECT_EQ(scan::siteAddress().rfind("https://", 0), 0u);
}

TEST(SecretTextTest, RefusesTextOfTheWrongForm) {
    EXPECT_THROW(scan::decipherSecret("0011"), std::invalid_argument);
    EXPECT_THROW(scan::decipherSecret("00112233445566778"), std::invalid_argument);
    EXPECT_THROW(scan::decipherSecret("001122334455667g"), std::invalid_argument);
}

// The secret's bytes are overwritten where they were, not only cut off: the string keeps its
// buffer (a short one inside the string itself), so what it held is read there afterwards.
TEST(SecretTextTest, WipeLeavesAnEmptyString) {
    std::string s = "secret";
    const char* buffer = s.data();
    scan::wipe(s);
    EXPECT_TRUE(s.empty());
    ASSERT_EQ(s.data(), buffer) << "the buffer moved; its old bytes cannot be checked";
    ASSERT_GE(s.capacity(), 6u);
    EXPECT_EQ(std::string(buffer, 6), std::string(6, '\0')) << "the secret is still in the buffer";
}
