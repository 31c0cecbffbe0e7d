// Every tag of every CDX fixture read back in key order against the manifest that the
// independent engine wrote, as the files are and enciphered page by page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "dbf/table/DBO_dBHandler.h"
#include "tests/support/EncipherCopy.h"
#include "tests/support/FixtureManifest.h"

using dbf::DBO_dBaseDBF;
using dbf::DBO_dBHandler;
using testsupport::Manifest;
using testsupport::ManifestTag;

namespace {

const std::string kFixtures = testsupport::cdxFixtures().string();
const std::string kKey = "Ombrix*Key#2024";

struct WalkedKey {
    uint32_t recNo;
    std::string text;
};

std::vector<WalkedKey> walk(DBO_dBHandler& t, bool forward) {
    std::vector<WalkedKey> out;
    const dbf::DBobjCDXTag& tag = *t.activeTag();
    t.GetRec(forward ? DBO_dBaseDBF::kFirst : DBO_dBaseDBF::kLast);
    while (!t.eof() && !t.bof()) {
        out.push_back({t.recNo(), tag.keyText(tag.currentKey())});
        t.GetRec(forward ? DBO_dBaseDBF::kNext : DBO_dBaseDBF::kPrevious);
    }
    return out;
}

// Numeric keys compare as numbers: the manifest shows Str() of the value ("100.00").
bool sameKey(const ManifestTag& tag, const std::string& got, const std::string& expected) {
    if (tag.keyType == 'N') return std::strtod(got.c_str(), nullptr) == std::strtod(expected.c_str(), nullptr);
    return got == expected;
}

void expectWalkMatches(DBO_dBHandler& t, const ManifestTag& tag, const Manifest& m) {
    SCOPED_TRACE(m.fixture + " tag " + tag.name);
    t.setUseDeleted(true);
    ASSERT_GT(t.SelectTag(tag.name), 0);
    std::vector<WalkedKey> got = walk(t, true);
    ASSERT_EQ(got.size(), tag.keys.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].recNo, tag.keys[i].recNo) << "position " << i;
        EXPECT_TRUE(sameKey(tag, got[i].text, tag.keys[i].text))
            << "position " << i << ": got \"" << got[i].text << "\", expected \"" << tag.keys[i].text << "\"";
    }
    std::vector<WalkedKey> back = walk(t, false);
    ASSERT_EQ(back.size(), got.size());
    for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(back[i].recNo, got[got.size() - 1 - i].recNo);

    // Without deleted records the walk is the same list with those left out.
    t.setUseDeleted(false);
    std::vector<WalkedKey> live = walk(t, true);
    size_t j = 0;
    for (const auto& k : tag.keys) {
        bool isDeleted = std::find(m.deleted.begin(), m.deleted.end(), k.recNo) != m.deleted.end();
        if (isDeleted) continue;
        ASSERT_LT(j, live.size());
        EXPECT_EQ(live[j++].recNo, k.recNo);
    }
    EXPECT_EQ(j, live.size());
}

void expectTagFactsMatch(DBO_dBHandler& t, const Manifest& m) {
    dbf::DBobjCDXFile* file = t.indexFile(1);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->tags().size(), m.tags.size());
    for (const auto& expected : m.tags) {
        SCOPED_TRACE(m.fixture + " tag " + expected.name);
        const dbf::DBobjCDXTag* tag = file->findTag(expected.name);
        ASSERT_NE(tag, nullptr);
        EXPECT_EQ(tag->keyExpression(), expected.expression);
        EXPECT_EQ(tag->forExpression(), expected.forExpression);
        EXPECT_EQ(tag->keyLength(), static_cast<uint16_t>(expected.keyLength));
        EXPECT_EQ(tag->keyType(), expected.keyType == 'L' ? 'C' : expected.keyType);
        EXPECT_EQ(tag->unique(), expected.unique);
        EXPECT_EQ(tag->descending(), expected.descending);
        EXPECT_EQ(tag->collation(), dbf::CdxCollation::None);
    }
    // The directory lists tags in name order.
    for (size_t i = 1; i < file->tags().size(); ++i)
        EXPECT_LT(file->tags()[i - 1]->name(), file->tags()[i]->name());
}

class CdxFixtureWalkTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CdxFixtureWalkTest, EveryTagWalksInTheManifestOrder) {
    const std::string name = GetParam();
    Manifest m = testsupport::readManifest(name);
    DBO_dBHandler t(kFixtures + "/" + name + ".dbf", false, true);
    ASSERT_EQ(t.OpenIndexFile(name + ".cdx"), 0);
    expectTagFactsMatch(t, m);
    for (const auto& tag : m.tags) expectWalkMatches(t, tag, m);
}

TEST_P(CdxFixtureWalkTest, EveryTagWalksInTheManifestOrderWhenEnciphered) {
    const std::string name = GetParam();
    Manifest m = testsupport::readManifest(name);
    testsupport::TempFolder folder;
    std::string table = testsupport::encipheredFixture(kFixtures, name, folder, kKey);
    DBO_dBHandler t(table, false, true, kKey);
    ASSERT_TRUE(t.encrypted());
    ASSERT_EQ(t.OpenIndexFile(name), 0);
    expectTagFactsMatch(t, m);
    for (const auto& tag : m.tags) expectWalkMatches(t, tag, m);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CdxFixtureWalkTest, ::testing::ValuesIn(testsupport::cdxFixtureNames()));

TEST(CdxFixtureWalkTest, IndexEncipheredUnderAnotherKeyIsRefusedAsDamagedAtOpen) {
    testsupport::TempFolder folder;
    // Same length as the right key, so the table's descriptor check cannot tell.
    std::string table = testsupport::encipheredFixture(kFixtures, "e_names5k", folder, kKey);
    std::string wrong = kKey;
    wrong[0] = 'X';
    // Re-encipher the index under the wrong key, keep the table under the right one.
    testsupport::writeEncipheredIndex(kFixtures + "/e_names5k.cdx", folder.file("e_names5k.cdx"), wrong);
    DBO_dBHandler t(table, false, true, kKey);
    // Every 512-byte unit starts with a byte the two keys encipher differently, so the tag
    // directory's root offset deciphers wrong: the engine must refuse the file as damaged
    // before it serves a single key from it.
    try {
        t.OpenIndexFile("e_names5k");
        ADD_FAILURE() << "the index enciphered under another key was opened";
    } catch (const dbf::ETableError& e) {
        const std::string m = e.what();
        EXPECT_EQ(e.code(), 2112) << m;
        EXPECT_EQ(m.rfind("Table Error 2112", 0), 0u) << m;
        EXPECT_NE(m.find("E_NAMES5K.CDX"), std::string::npos) << m;
    }
    EXPECT_EQ(t.indexFileCount(), 0) << "a refused index file stays closed";
}

}  // namespace
