// Decoding single pages: the compressed leaf entries of a fixture, the shared prefix that
// reaches into the previous key's trailing blanks, numeric keys, interior pages, and the
// "GENERAL" rule for low bytes at the end of a key.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dbf/index/CdxKeyCompare.h"
#include "dbf/index/DBobjIndexKey.h"
#include "dbf/index/IndexKeyForm.h"
#include "tests/support/IndexImage.h"

using dbf::CdxKeyFormat;
using dbf::DBobjIndexKey;
using namespace testsupport;

namespace {

const std::string kFixtures = std::string(OMBRIX_FIXTURES) + "/cdx";
const std::string kFile = "TEST.CDX";

std::unique_ptr<DBobjIndexKey> decodeAt(const std::vector<uint8_t>& f, uint32_t offset, CdxKeyFormat format) {
    auto page = std::make_unique<DBobjIndexKey>();
    page->decode(f.data() + offset, offset, format, kFile);
    return page;
}

TEST(CdxLeafDecodeTest, TinyLeafYieldsItsSixKeysInOrder) {
    std::vector<uint8_t> f = readFileBytes(kFixtures + "/a_tiny.cdx");
    auto leaf = decodeAt(f, 0xA00, {20, true, false});
    ASSERT_TRUE(leaf->isLeaf());
    ASSERT_EQ(leaf->count(), 6u);
    const char* keys[] = {"", "KEYLOG.EXE", "KEYLOGGER.EXE", "MY", "MY APP.EXE", "abc"};
    const uint32_t recs[] = {4, 5, 3, 6, 1, 2};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(leaf->key(i), keys[i]);
        EXPECT_EQ(leaf->recNo(i), recs[i]);
    }
    EXPECT_EQ(leaf->leftSibling(), dbf::kCdxNoPage);
    EXPECT_EQ(leaf->rightSibling(), dbf::kCdxNoPage);
}

TEST(CdxLeafDecodeTest, KeyloggerSharesSixBytesAndStoresSeven) {
    std::vector<uint8_t> f = readFileBytes(kFixtures + "/a_tiny.cdx");
    // Entry 2 (KEYLOGGER.EXE), 3 bytes: 14 record bits, then 5 duplicate and 5 trailing bits.
    auto e = static_cast<uint32_t>(dbf::ByteView(f).ule(0xA00 + 24 + 6, 3));
    EXPECT_EQ((e >> 14) & 31, 6u);
    EXPECT_EQ((e >> 19) & 31, 7u);   // 20 - 6 - 7 = 7 bytes stored: GER.EXE
}

TEST(CdxLeafDecodeTest, SharedPrefixReachesIntoThePreviousKeysTrailingBlanks) {
    std::vector<uint8_t> f = readFileBytes(kFixtures + "/a_tiny.cdx");
    // MY APP.EXE follows MY with a duplicate count of 3: M, Y and a blank of MY's padding.
    auto e = static_cast<uint32_t>(dbf::ByteView(f).ule(0xA00 + 24 + 12, 3));
    EXPECT_EQ((e >> 14) & 31, 3u);
    auto leaf = decodeAt(f, 0xA00, {20, true, false});
    EXPECT_EQ(leaf->key(4), "MY APP.EXE");
}

TEST(CdxLeafDecodeTest, DecodingAgainIntoTheSameObjectReplacesEverything) {
    std::vector<uint8_t> f = readFileBytes(kFixtures + "/a_tiny.cdx");
    auto page = std::make_unique<DBobjIndexKey>();
    page->decode(f.data() + 0xA00, 0xA00, {20, true, false}, kFile);
    page->decode(f.data() + 0x400, 0x400, {10, true, false}, kFile);
    ASSERT_EQ(page->count(), 1u);
    EXPECT_EQ(page->key(0), "NAME");
    EXPECT_EQ(page->recNo(0), 0x600u);
    EXPECT_EQ(page->offset(), 0x400u);
}

// Builds a one-page leaf holding `keys` (padded with `pad` to `keyLength`), 3-byte entries
// of 14/5/5 bits, pieces stored without any duplicate sharing.
std::vector<uint8_t> leafOf(const std::vector<std::string>& keys, size_t keyLength, char pad) {
    std::vector<uint8_t> page(512, 0);
    dbf::ByteWriter w(page);
    w.putU16le(0, 3);
    w.putU16le(2, static_cast<uint16_t>(keys.size()));
    w.putU32le(14, 0x3FFF);
    w.putU8(18, 31);
    w.putU8(19, 31);
    w.putU8(20, 14);
    w.putU8(21, 5);
    w.putU8(22, 5);
    w.putU8(23, 3);
    size_t end = 512;
    for (size_t i = 0; i < keys.size(); ++i) {
        std::string k = keys[i];
        size_t trail = keyLength - k.size();
        while (!k.empty() && k.back() == pad) {
            k.pop_back();
            ++trail;
        }
        uint32_t e = static_cast<uint32_t>(i + 1) | static_cast<uint32_t>(trail) << 19;
        w.putUle(24 + i * 3, e, 3);
        end -= k.size();
        w.putBytes(end, k);
    }
    return page;
}

TEST(CdxLeafDecodeTest, NumericKeysLoseTheirTrailingZeroBytes) {
    std::string two = dbf::numericKeyBytes(2.0);
    std::string minusOne = dbf::numericKeyBytes(-1.0);
    std::vector<uint8_t> page = leafOf({minusOne, two}, 8, '\0');
    auto leaf = decodeAt(page, 0, {8, false, false});
    ASSERT_EQ(leaf->count(), 2u);
    EXPECT_EQ(leaf->key(0), dbf::numericHeldKey(-1.0));
    EXPECT_EQ(leaf->key(1), dbf::numericHeldKey(2.0));
    EXPECT_EQ(leaf->key(1).size(), 1u);
    EXPECT_EQ(dbf::cdxCompare(dbf::numericHeldKey(1.5), leaf->key(1), false, dbf::CdxPrefixMode::Partial), -1);
    EXPECT_EQ(dbf::cdxCompare(dbf::numericHeldKey(-1.0), leaf->key(0), false, dbf::CdxPrefixMode::Partial), 0);
}

TEST(CdxLeafDecodeTest, GeneralCollationRaisesLowBytesAtTheEndOfAKey) {
    std::string key = std::string("AB") + '\x03' + '\x0F';
    std::string head = std::string("\x02") + "C";
    std::vector<uint8_t> page = leafOf({key, head}, 10, ' ');
    auto general = decodeAt(page, 0, {10, true, true});
    EXPECT_EQ(general->key(0), std::string("AB") + '\xF3' + '\xFF');
    EXPECT_EQ(general->key(1), head);   // byte 0 is never touched, the scan stops at "C"
    auto plain = decodeAt(page, 0, {10, true, false});
    EXPECT_EQ(plain->key(0), key);
}

TEST(CdxLeafDecodeTest, InteriorPageGivesKeysRecordsAndChildren) {
    std::vector<uint8_t> f = readFileBytes(kFixtures + "/e_names5k.cdx");
    uint32_t root = 0;
    // The directory's one entry gives the tag header; its first word is the root.
    auto dir = decodeAt(f, dbf::ByteView(f).u32le(0), {10, true, false});
    root = dbf::ByteView(f).u32le(dir->recNo(0));
    auto page = decodeAt(f, root, {32, true, false});
    ASSERT_FALSE(page->isLeaf());
    ASSERT_GT(page->count(), 1u);
    for (size_t i = 0; i < page->count(); ++i) {
        size_t at = root + 12 + i * 40;
        std::string raw(reinterpret_cast<const char*>(f.data() + at), 32);
        while (!raw.empty() && raw.back() == ' ') raw.pop_back();
        EXPECT_EQ(page->key(i), raw);
        EXPECT_EQ(page->recNo(i), dbf::ByteView(f).u32be(at + 32));
        EXPECT_EQ(page->child(i), dbf::ByteView(f).u32be(at + 36));
        if (i > 0) {
            EXPECT_LT(page->key(i - 1), page->key(i));
        }
    }
}

TEST(CdxLeafDecodeTest, ComparisonFollowsThePrefixRuleForCharacterKeysOnly) {
    using dbf::cdxCompare;
    using dbf::CdxPrefixMode;
    EXPECT_EQ(cdxCompare("KEYLOG", "KEYLOG.EXE", true, CdxPrefixMode::Exact), -1);
    EXPECT_EQ(cdxCompare("KEYLOG", "KEYLOG.EXE", true, CdxPrefixMode::Partial), 0);
    EXPECT_EQ(cdxCompare("KEYLOG", "KEYLOG", true, CdxPrefixMode::Exact), 0);
    EXPECT_EQ(cdxCompare("KEYLOGS", "KEYLOG", true, CdxPrefixMode::Partial), 1);
    EXPECT_EQ(cdxCompare("\x80", "\x7F", true, CdxPrefixMode::Exact), 1);   // bytes are unsigned
    EXPECT_EQ(cdxCompare("\xC0", "\xC0\x01", false, CdxPrefixMode::Partial), -1);
    EXPECT_EQ(dbf::cdxMatchCount("KEYLOG", "KEYLOG.EXE"), 7u);
    EXPECT_EQ(dbf::cdxMatchCount("KEYLAG", "KEYLOG.EXE"), 5u);
}

TEST(CdxLeafDecodeTest, PrefixComparisonAgreesWithTheFullComparison) {
    // Short keys over a small alphabet with zero bytes, so that zero fill and real zeros meet.
    std::mt19937 random(7);
    const char alphabet[] = {'\0', '\x01', 'A', 'B', '\xFF'};
    auto makeKey = [&] {
        std::string k(random() % 12, ' ');
        for (char& c : k) c = alphabet[random() % 5];
        return k;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string s = makeKey(), k = makeKey();
        for (bool character : {true, false}) {
            for (auto mode : {dbf::CdxPrefixMode::Exact, dbf::CdxPrefixMode::Partial}) {
                int full = dbf::cdxCompare(s, k, character, mode);
                int quick = dbf::cdxComparePrefixes(s, dbf::cdxKeyPrefix(s), dbf::cdxKeyPrefix(k), character, mode);
                if (quick == dbf::kCdxComparePrefixTie) quick = full;
                ASSERT_EQ(quick, full) << testing::PrintToString(s) << " vs " << testing::PrintToString(k);
            }
        }
    }
}

}  // namespace
