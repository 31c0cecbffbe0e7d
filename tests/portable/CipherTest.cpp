// The engine's keyed cipher: one unit per call, the same transformation both ways.
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "dbf/core/Cipher.h"

using dbf::Cipher;
using dbf::CipherDirection;
using dbf::CipherPages;

namespace {

std::vector<uint8_t> sequence(size_t n) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), uint8_t{7});
    return v;
}

}  // namespace

TEST(CipherTest, EmptyKeyCopiesBytesUnchangedAndReturnsZero) {
    auto src = sequence(40);
    std::vector<uint8_t> dst(40, 0xEE);
    EXPECT_EQ(Cipher("", src.data(), dst.data(), src.size(), CipherDirection::Encipher), 0);
    EXPECT_EQ(dst, src);
    auto same = src;
    EXPECT_EQ(Cipher("", same.data(), same.data(), same.size(), CipherDirection::Decipher), 0);
    EXPECT_EQ(same, src);
}

TEST(CipherTest, ReturnsOneEncipheringAndMinusOneDeciphering) {
    auto b = sequence(8);
    EXPECT_EQ(Cipher("k", b.data(), b.data(), b.size(), CipherDirection::Encipher), 1);
    EXPECT_EQ(Cipher("k", b.data(), b.data(), b.size(), CipherDirection::Decipher), -1);
}

TEST(CipherTest, CombinesEachByteWithPositionOrKeyCharacter) {
    const std::string key = "\x10\x41\x80";
    std::vector<uint8_t> zeros(300, 0);
    std::vector<uint8_t> out(300);
    Cipher(key, zeros.data(), out.data(), zeros.size(), CipherDirection::Encipher);
    EXPECT_EQ(out[0], 0x00 | 0x10);
    EXPECT_EQ(out[1], 0x01 | 0x41);
    EXPECT_EQ(out[2], 0x02 | 0x80);
    EXPECT_EQ(out[3], 0x03 | 0x10);
    // Position 256 starts the position mask again but not the key: 256 mod 3 = 1.
    EXPECT_EQ(out[256], 0x00 | 0x41);
    EXPECT_EQ(out[299], (299 & 0xFF) | static_cast<uint8_t>(key[299 % 3]));
}

TEST(CipherTest, OneCharacterKeyGivesPositionOrKey) {
    std::vector<uint8_t> zeros(520, 0), out(520);
    Cipher("A", zeros.data(), out.data(), zeros.size(), CipherDirection::Encipher);
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], static_cast<uint8_t>((i & 0xFF) | 'A')) << i;
}

TEST(CipherTest, DecipheringTheEncipheredRecordGivesItBack) {
    auto plain = sequence(1000);
    std::vector<uint8_t> sealed(plain.size()), back(plain.size());
    Cipher("Ombrix key 7", plain.data(), sealed.data(), plain.size(), CipherDirection::Encipher);
    EXPECT_NE(sealed, plain);
    Cipher("Ombrix key 7", sealed.data(), back.data(), sealed.size(), CipherDirection::Decipher);
    EXPECT_EQ(back, plain);
}

TEST(CipherTest, KeyLongerThanTheUnitUsesOnlyItsFirstCharacters) {
    std::vector<uint8_t> a(3, 0x55), b(3, 0x55);
    Cipher("xyz", a.data(), a.data(), a.size(), CipherDirection::Encipher);
    Cipher("xyz and a long tail that is never reached", b.data(), b.data(), b.size(), CipherDirection::Encipher);
    EXPECT_EQ(a, b);
}

TEST(CipherTest, EveryCallRestartsAtPositionZero) {
    std::vector<uint8_t> r1(21, 'Q'), r2(21, 'Q');
    Cipher("key", r1.data(), r1.data(), r1.size(), CipherDirection::Encipher);
    Cipher("key", r2.data(), r2.data(), r2.size(), CipherDirection::Encipher);
    EXPECT_EQ(r1, r2);
}

TEST(CipherTest, IndexPagesAreIndependentFiveHundredTwelveByteUnits) {
    auto page = sequence(1024);
    auto asPages = page;
    CipherPages("idx", asPages.data(), asPages.size(), CipherDirection::Encipher);
    auto firstHalf = std::vector<uint8_t>(page.begin(), page.begin() + 512);
    auto secondHalf = std::vector<uint8_t>(page.begin() + 512, page.end());
    Cipher("idx", firstHalf.data(), firstHalf.data(), 512, CipherDirection::Encipher);
    Cipher("idx", secondHalf.data(), secondHalf.data(), 512, CipherDirection::Encipher);
    EXPECT_TRUE(std::equal(firstHalf.begin(), firstHalf.end(), asPages.begin()));
    EXPECT_TRUE(std::equal(secondHalf.begin(), secondHalf.end(), asPages.begin() + 512));
    auto oneUnit = page;
    Cipher("idx", oneUnit.data(), oneUnit.data(), oneUnit.size(), CipherDirection::Encipher);
    EXPECT_NE(oneUnit, asPages);
}

TEST(CipherTest, ShorterLastIndexPieceIsItsOwnUnit) {
    auto bytes = sequence(600);
    auto pages = bytes;
    CipherPages("k2", pages.data(), pages.size(), CipherDirection::Encipher);
    std::vector<uint8_t> tail(bytes.begin() + 512, bytes.end());
    Cipher("k2", tail.data(), tail.data(), tail.size(), CipherDirection::Encipher);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), pages.begin() + 512));
}
