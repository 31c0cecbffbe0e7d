// Damaged index files: each kind of damage ends in ETableError 2112 naming the file and the
// page where it was found, never in a crash, a hang or a read out of bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dbf/core/XbaseText.h"
#include "dbf/table/DBO_dBHandler.h"
#include "tests/support/IndexImage.h"

using dbf::DBO_dBaseDBF;
using dbf::DBO_dBHandler;
using namespace testsupport;

namespace {

const std::string kFixtures = std::string(OMBRIX_FIXTURES) + "/cdx";

// a_tiny.cdx: directory header 0, directory leaf 0x400, tag NAME header 0x600, its root
// leaf 0xA00 (6 keys, entries of 3 bytes: 14 record bits, 5 duplicate, 5 trailing).
constexpr size_t kTinyNameHeader = 0x600;
constexpr size_t kTinyNameLeaf = 0xA00;

std::vector<uint8_t> fixtureIndex(const std::string& name) { return readFileBytes(kFixtures + "/" + name + ".cdx"); }

// Opens the damaged index beside its table, selects every tag and walks and seeks it.
void useIndex(const std::string& table, const std::string& name) {
    DBO_dBHandler t(table, false, true);
    t.OpenIndexFile(name);
    for (const auto& tag : t.indexFile(1)->tags()) {
        t.SelectTag(tag->name());
        for (t.GetRec(DBO_dBaseDBF::kFirst); !t.eof() && !t.bof(); t.GetRec(DBO_dBaseDBF::kNext)) {
        }
        for (t.GetRec(DBO_dBaseDBF::kLast); !t.eof() && !t.bof(); t.GetRec(DBO_dBaseDBF::kPrevious)) {
        }
        t.setExact(true);
        t.setNear(true);
        t.FindKey("KEYLOG.EXE");
        t.FindKey("zzz");
    }
}

// Using the damaged index beside its table ends in the unreadable-index error, naming the
// file and saying `says`.
void expectUnreadableSaying(const std::string& name, const std::vector<uint8_t>& index, const std::string& says) {
    TempFolder folder;
    std::string table = tableWithIndex(kFixtures, name, folder, index);
    try {
        useIndex(table, name);
        FAIL() << "no error that says " << says;
    } catch (const dbf::ETableError& e) {
        std::string m = e.what();
        EXPECT_EQ(e.code(), dbf::kErrIndexUnreadable) << m;
        EXPECT_EQ(m.rfind("Table Error 2112", 0), 0u) << m;
        EXPECT_NE(m.find(dbf::upperAscii(name) + ".CDX"), std::string::npos) << m;
        EXPECT_NE(m.find(says), std::string::npos) << m;
    }
}

// The damage is reported where it was found.
void expectUnreadable(const std::string& name, const std::vector<uint8_t>& index, const std::string& where) {
    expectUnreadableSaying(name, index, "offset " + where);
}

// e_names5k.cdx, tag NAME (key length 32): the root and the first pages below it.
struct Names5k {
    std::vector<uint8_t> image = fixtureIndex("e_names5k");
    uint32_t header = 0, root = 0, level2 = 0;
    Names5k() {
        DBO_dBHandler t(kFixtures + "/e_names5k.dbf", false, true);
        t.OpenIndexFile("e_names5k");
        header = t.indexFile(1)->tags().front()->headerOffset();
        root = t.indexFile(1)->tags().front()->rootOffset();
        level2 = childOf(root, 0);
    }
    size_t childAt(uint32_t page, size_t entry) const { return page + 12 + entry * 40 + 36; }
    uint32_t childOf(uint32_t page, size_t entry) const { return dbf::ByteView(image).u32be(childAt(page, entry)); }
};

TEST(CdxCorruptTest, FileCutInsideTheDirectoryHeaderIsUnreadable) {
    std::vector<uint8_t> f = fixtureIndex("a_tiny");
    f.resize(700);
    expectUnreadable("a_tiny", f, "0");
}

TEST(CdxCorruptTest, FileCutInsideTheTreeFailsWhenTheMissingPageIsReached) {
    Names5k n;
    n.image.resize(n.image.size() / 2 + 100);
    expectUnreadableSaying("e_names5k", n.image, "not a page inside the file");
}

TEST(CdxCorruptTest, RootOffsetZeroMakesTheFileUnreadable) {
    std::vector<uint8_t> f = fixtureIndex("a_tiny");
    dbf::ByteWriter(f).putU32le(kTinyNameHeader, 0);
    expectUnreadable("a_tiny", f, std::to_string(kTinyNameHeader));
}

TEST(CdxCorruptTest, RootOffBoundaryOrBeyondTheFileMakesTheFileUnreadable) {
    for (uint32_t root : {uint32_t{kTinyNameLeaf + 4}, uint32_t{0x100000}, uint32_t{512}}) {
        std::vector<uint8_t> f = fixtureIndex("a_tiny");
        dbf::ByteWriter(f).putU32le(kTinyNameHeader, root);
        expectUnreadable("a_tiny", f, std::to_string(kTinyNameHeader));
    }
}

TEST(CdxCorruptTest, KeyLength241IsRefusedWhere240IsAccepted) {
    std::vector<uint8_t> f = fixtureIndex("a_tiny");
    dbf::ByteWriter(f).putU16le(kTinyNameHeader + 12, 241);
    expectUnreadable("a_tiny", f, std::to_string(kTinyNameHeader));

    DBO_dBHandler t(kFixtures + "/d_key240.dbf", false, true);
    EXPECT_EQ(t.OpenIndexFile("d_key240"), 0);
    EXPECT_EQ(t.indexFile(1)->tags().front()->keyLength(), 240);
}

TEST(CdxCorruptTest, TagWithoutKeyExpressionMakesTheFileUnreadable) {
    std::vector<uint8_t> f = fixtureIndex("a_tiny");
    f[kTinyNameHeader + 512] = 0;
    expectUnreadable("a_tiny", f, std::to_string(kTinyNameHeader));
}

TEST(CdxCorruptTest, TagHeaderBeyondTheEndOfTheFileMakesTheFileUnreadable) {
    std::vector<uint8_t> f = fixtureIndex("a_tiny");
    // The directory leaf's only entry: record number (the header offset) in its low 16 bits.
    dbf::ByteWriter(f).putU16le(0x400 + 24, 0xFE00);
    expectUnreadable("a_tiny", f, std::to_string(0xFE00));
}

TEST(CdxCorruptTest, DirectoryNamingOneTagHeaderTwiceIsRefused) {
    // b_multi's directory leaf: ten entries; the second is given the first one's header.
    DBO_dBHandler plain(kFixtures + "/b_multi.dbf", false, true);
    plain.OpenIndexFile("b_multi");
    uint32_t first = plain.indexFile(1)->tags()[0]->headerOffset();
    uint32_t second = plain.indexFile(1)->tags()[1]->headerOffset();
    std::vector<uint8_t> f = fixtureIndex("b_multi");
    const dbf::ByteView view(f);
    uint32_t leaf = view.u32le(0);
    size_t entryBytes = view.u8(leaf + 23);
    uint32_t recMask = view.u32le(leaf + 14);
    bool patched = false;
    for (size_t i = 0; i < view.u16le(leaf + 2); ++i) {
        size_t at = leaf + 24 + i * entryBytes;
        if ((view.u32le(at) & recMask) != second) continue;
        uint32_t v = (view.u32le(at) & ~recMask) | first;
        dbf::ByteWriter(f).putUle(at, v, std::min<size_t>(entryBytes, 4));
        patched = true;
    }
    ASSERT_TRUE(patched);
    expectUnreadable("b_multi", f, std::to_string(first) + ": the tag directory names");
}

TEST(CdxCorruptTest, LeafEntriesTooNarrowForTheirBitWidthsAreRefused) {
    std::vector<uint8_t> f = fixtureIndex("a_tiny");
    f[kTinyNameLeaf + 23] = 1;
    expectUnreadable("a_tiny", f, std::to_string(kTinyNameLeaf));
    f = fixtureIndex("a_tiny");
    f[kTinyNameLeaf + 21] = 9;
    f[kTinyNameLeaf + 22] = 9;
    expectUnreadable("a_tiny", f, std::to_string(kTinyNameLeaf));
}

TEST(CdxCorruptTest, LeafCountBeyondThePageIsRefused) {
    std::vector<uint8_t> f = fixtureIndex("a_tiny");
    dbf::ByteWriter(f).putU16le(kTinyNameLeaf + 2, 200);
    expectUnreadable("a_tiny", f, std::to_string(kTinyNameLeaf));
}

TEST(CdxCorruptTest, LeafCountsBeyondTheKeyLengthAreRefused) {
    std::vector<uint8_t> f = fixtureIndex("a_tiny");
    // Entry 0's trailing count is the top 5 bits of its third byte: 31 > key length 20.
    f[kTinyNameLeaf + 24 + 2] |= 0xF8;
    expectUnreadable("a_tiny", f, std::to_string(kTinyNameLeaf));
}

TEST(CdxCorruptTest, LeafKeyPiecesRunningIntoTheEntriesAreRefused) {
    Names5k n;
    // Without trailing counts every key is stored at full length: a full leaf overflows.
    uint32_t leaf = n.level2;
    while (dbf::ByteView(n.image).u16le(leaf) < 2) leaf = n.childOf(leaf, 0);
    n.image[leaf + 19] = 0;
    expectUnreadable("e_names5k", n.image, std::to_string(leaf));
}

TEST(CdxCorruptTest, InteriorEntriesBeyondThePageAreRefused) {
    Names5k n;
    dbf::ByteWriter(n.image).putU16le(n.root + 2, 13);   // 500 / 40 = 12 fit
    expectUnreadable("e_names5k", n.image, std::to_string(n.root));
}

TEST(CdxCorruptTest, InteriorPageWithoutKeysIsRefused) {
    Names5k n;
    dbf::ByteWriter(n.image).putU16le(n.root + 2, 0);
    expectUnreadable("e_names5k", n.image, std::to_string(n.root));
}

TEST(CdxCorruptTest, ChildOffsetPastTheEndOfTheFileIsRefused) {
    Names5k n;
    dbf::ByteWriter(n.image).putU32be(n.childAt(n.root, 0), static_cast<uint32_t>(n.image.size() + 512));
    expectUnreadable("e_names5k", n.image, std::to_string(n.root));
}

TEST(CdxCorruptTest, ChildOffsetOffThePageGridIsRefused) {
    Names5k n;
    dbf::ByteWriter(n.image).putU32be(n.childAt(n.root, 0), n.level2 + 100);
    expectUnreadable("e_names5k", n.image, std::to_string(n.root));
}

TEST(CdxCorruptTest, PagePointingToItselfIsRefused) {
    Names5k n;
    dbf::ByteWriter(n.image).putU32be(n.childAt(n.root, 0), n.root);
    expectUnreadable("e_names5k", n.image, std::to_string(n.root));
}

TEST(CdxCorruptTest, PagePointingBackUpTheTreeIsRefused) {
    Names5k n;
    dbf::ByteWriter(n.image).putU32be(n.childAt(n.level2, 0), n.root);
    expectUnreadable("e_names5k", n.image, std::to_string(n.level2));
}

// Appends interior pages of one entry each, every one pointing to the next and the last
// to `bottom`; returns the first.
uint32_t appendChain(std::vector<uint8_t>& f, size_t pages, uint32_t keyLength, uint32_t bottom, size_t entries) {
    auto first = static_cast<uint32_t>(f.size());
    for (size_t i = 0; i < pages; ++i) {
        auto at = static_cast<uint32_t>(f.size());
        f.resize(f.size() + 512, 0);
        dbf::ByteWriter page(f.data() + at, 512);
        page.putU16le(2, static_cast<uint16_t>(entries));
        page.putU32le(4, 0xFFFFFFFF);
        page.putU32le(8, 0xFFFFFFFF);
        uint32_t child = i + 1 < pages ? at + 512 : bottom;
        for (size_t e = 0; e < entries; ++e) {
            size_t entry = 12 + e * (keyLength + 8);
            page.putBytes(entry, std::string(keyLength, 'z'));
            page.putU32be(entry + keyLength, 1);
            page.putU32be(entry + keyLength + 4, child);
        }
    }
    return first;
}

TEST(CdxCorruptTest, DescentDeeperThanAnyTreeCanBeIsRefused) {
    std::vector<uint8_t> f = fixtureIndex("a_tiny");
    uint32_t first = appendChain(f, 80, 20, kTinyNameLeaf, 1);
    dbf::ByteWriter(f).putU32le(kTinyNameHeader, first);
    expectUnreadableSaying("a_tiny", f, "deeper than 64 levels");
}

TEST(CdxCorruptTest, WalkThroughPagesSharedByEveryEntryStopsWithAnError) {
    // 30 levels of interior pages whose 17 entries all lead to the same next page: a walk
    // would visit the one leaf 17^30 times.
    std::vector<uint8_t> f = fixtureIndex("a_tiny");
    uint32_t first = appendChain(f, 30, 20, kTinyNameLeaf, 17);
    dbf::ByteWriter(f).putU32le(kTinyNameHeader, first);
    expectUnreadableSaying("a_tiny", f, "passed more keys than the file can hold");
}

TEST(CdxCorruptTest, IndexPageCutShortAfterOpeningIsAnErrorNotStaleData) {
    TempFolder folder;
    std::string table = tableWithIndex(kFixtures, "e_names5k", folder, fixtureIndex("e_names5k"));
    DBO_dBHandler t(table, false, true);
    t.OpenIndexFile("e_names5k");
    t.setIndexCacheBudget(0);
    t.SelectTag("NAME");
    std::filesystem::resize_file(folder.file("e_names5k.cdx"), 40000);
    t.setExact(true);
    t.setNear(true);
    try {
        for (int i = 0; i < 200; ++i) t.FindKey(std::string(1, static_cast<char>('A' + i % 26)) + "ZZ");
        for (t.GetRec(DBO_dBaseDBF::kFirst); !t.eof(); t.GetRec(DBO_dBaseDBF::kNext)) {
        }
        FAIL() << "no error";
    } catch (const dbf::ETableError& e) {
        EXPECT_EQ(e.code(), dbf::kErrIndexUnreadable) << e.what();
        EXPECT_NE(std::string(e.what()).find("E_NAMES5K.CDX"), std::string::npos) << e.what();
    }
}

TEST(CdxCorruptTest, RandomlyDamagedIndexesFailOnlyWithEngineErrors) {
    std::mt19937 random(20240607);
    const std::vector<uint8_t> original = fixtureIndex("b_multi");
    TempFolder folder;
    int errors = 0;
    for (int round = 0; round < 150; ++round) {
        std::vector<uint8_t> f = original;
        int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i) {
            size_t at = 1024 + random() % (f.size() - 1024);
            f[at] = static_cast<uint8_t>(random());
        }
        if (round % 10 == 0) f.resize(random() % f.size());
        std::string table = tableWithIndex(kFixtures, "b_multi", folder, f);
        try {
            useIndex(table, "b_multi");
        } catch (const dbf::ETableError&) {
            ++errors;
        } catch (const dbf::ETableExpression&) {
            ++errors;
        }
    }
    EXPECT_GT(errors, 0);
}

}  // namespace
