// FindKey on the fixtures: exact and partial mode, the near flag, trailing blanks,
// duplicates on deleted records, numeric and date keys, descending tags, and positioning
// by record number.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "dbf/index/CdxKeyCompare.h"
#include "dbf/index/IndexKeyForm.h"
#include "dbf/table/DBO_dBHandler.h"
#include "tests/support/EncipherCopy.h"
#include "tests/support/FixtureManifest.h"

using dbf::DBO_dBaseDBF;
using dbf::DBO_dBHandler;

namespace {

const std::string kFixtures = std::string(OMBRIX_FIXTURES) + "/cdx";

const testsupport::ManifestTag& tagOf(const testsupport::Manifest& m, const std::string& name) {
    for (const auto& t : m.tags)
        if (t.name == name) return t;
    throw std::runtime_error("manifest has no tag " + name);
}

std::unique_ptr<DBO_dBHandler> openFixture(const std::string& name, const std::string& tag, bool useDeleted = false) {
    auto t = std::make_unique<DBO_dBHandler>(kFixtures + "/" + name + ".dbf", false, true);
    t->OpenIndexFile(name);
    t->setUseDeleted(useDeleted);
    t->SelectTag(tag);
    return t;
}

bool find(DBO_dBHandler& t, const std::string& key, bool exact, bool nearFlag) {
    t.setExact(exact);
    t.setNear(nearFlag);
    return t.FindKey(key);
}

// a_tiny, tag NAME: 4 "", 5 KEYLOG.EXE, 3 KEYLOGGER.EXE, 6 MY, 1 MY APP.EXE, 2 abc.
TEST(CdxSeekTest, ExactModeDoesNotFindAPrefixAndStandsOnTheNextKey) {
    auto t = openFixture("a_tiny", "NAME");
    EXPECT_FALSE(find(*t, "KEYLOG", true, true));
    EXPECT_FALSE(t->eof());
    EXPECT_EQ(t->recNo(), 5u);
    EXPECT_FALSE(t->found());
}

TEST(CdxSeekTest, PartialModeFindsAPrefix) {
    auto t = openFixture("a_tiny", "NAME");
    EXPECT_TRUE(find(*t, "KEYLOG", false, true));
    EXPECT_EQ(t->recNo(), 5u);
    EXPECT_TRUE(find(*t, "KEYLOGG", false, true));
    EXPECT_EQ(t->recNo(), 3u);
    EXPECT_TRUE(find(*t, "MY ", false, true));
    EXPECT_EQ(t->recNo(), 6u);
}

TEST(CdxSeekTest, ExactKeyIsFoundWhateverTrailingBlanksFollowIt) {
    auto t = openFixture("a_tiny", "NAME");
    EXPECT_TRUE(find(*t, "KEYLOG.EXE", true, true));
    EXPECT_EQ(t->recNo(), 5u);
    EXPECT_TRUE(find(*t, "KEYLOG.EXE   ", true, true));
    EXPECT_EQ(t->recNo(), 5u);
    EXPECT_TRUE(find(*t, "MY APP.EXE", true, false));
    EXPECT_EQ(t->recNo(), 1u);
}

TEST(CdxSeekTest, BlankKeyFindsTheBlankRecord) {
    auto t = openFixture("a_tiny", "NAME");
    EXPECT_TRUE(find(*t, "", true, true));
    EXPECT_EQ(t->recNo(), 4u);
    EXPECT_TRUE(find(*t, "   ", true, true));
    EXPECT_EQ(t->recNo(), 4u);
}

TEST(CdxSeekTest, KeysCompareAsBytesSoLowerCaseSortsAfterUpperCase) {
    auto t = openFixture("a_tiny", "NAME");
    EXPECT_FALSE(find(*t, "MZ", true, true));
    EXPECT_EQ(t->recNo(), 2u);   // "abc" is the first key greater than "MZ"
    EXPECT_TRUE(find(*t, "abc", true, true));
}

TEST(CdxSeekTest, KeyAboveEveryKeyLeavesEndOfFileOnTheLastRecordWithOrWithoutNear) {
    for (bool nearFlag : {true, false}) {
        auto t = openFixture("a_tiny", "NAME");
        EXPECT_FALSE(find(*t, "zzz", true, nearFlag));
        EXPECT_TRUE(t->eof());
        EXPECT_EQ(t->recNo(), 2u) << "near " << nearFlag;   // "abc", last in key order
    }
}

TEST(CdxSeekTest, MissWithoutNearGoesToEndOfFile) {
    auto t = openFixture("a_tiny", "NAME");
    EXPECT_FALSE(find(*t, "KEYLOG", true, false));
    EXPECT_TRUE(t->eof());
    EXPECT_FALSE(find(*t, "KEYLOGA", false, false));
    EXPECT_TRUE(t->eof());
}

// c_dups, tag NAME: ALPHA on records 1 (deleted), 3, 4, 9, ...
TEST(CdxSeekTest, DuplicateKeyOnADeletedRecordIsFoundOnTheNextLiveRecord) {
    auto t = openFixture("c_dups", "NAME");
    EXPECT_TRUE(find(*t, "ALPHA", true, true));
    EXPECT_EQ(t->recNo(), 3u);
    EXPECT_FALSE(t->isDeleted());
}

TEST(CdxSeekTest, DuplicateKeyLandsOnTheLowestRecordWhenDeletedRecordsAreUsed) {
    auto t = openFixture("c_dups", "NAME", true);
    EXPECT_TRUE(find(*t, "ALPHA", true, true));
    EXPECT_EQ(t->recNo(), 1u);
    EXPECT_TRUE(t->isDeleted());
}

TEST(CdxSeekTest, KeyCarriedOnlyByDeletedRecordsIsNotFound) {
    testsupport::TempFolder folder;
    std::filesystem::copy_file(kFixtures + "/a_tiny.dbf", folder.file("a_tiny.dbf"));
    std::filesystem::copy_file(kFixtures + "/a_tiny.cdx", folder.file("a_tiny.cdx"));
    {
        // Record 5 (KEYLOG.EXE) marked deleted: its first byte at 66 + 4 × 21.
        std::fstream f(folder.file("a_tiny.dbf"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(66 + 4 * 21);
        f.put('*');
    }
    DBO_dBHandler t(folder.file("a_tiny.dbf"), false, true);
    t.OpenIndexFile("a_tiny");
    t.setUseDeleted(false);
    t.SelectTag("NAME");
    EXPECT_FALSE(find(t, "KEYLOG.EXE", true, true));
    EXPECT_EQ(t.recNo(), 3u);   // KEYLOGGER.EXE, the next live record in key order
    EXPECT_FALSE(find(t, "KEYLOG.EXE", true, false));
    EXPECT_TRUE(t.eof());
    t.setUseDeleted(true);
    EXPECT_TRUE(find(t, "KEYLOG.EXE", true, true));
    EXPECT_EQ(t.recNo(), 5u);
}

TEST(CdxSeekTest, DescendingTagFindsAKeyWhoseLowestRecordIsDeleted) {
    // Equal keys follow each other in storage order; stepping in the descending key order
    // past the deleted record 1 would leave the ALPHA keys.
    auto t = openFixture("c_dups", "NAMEDESC");
    EXPECT_TRUE(find(*t, "ALPHA", true, true));
    EXPECT_EQ(t->recNo(), 3u);
}

TEST(CdxSeekTest, DescendingTagWalksFromTheHighestKey) {
    auto t = openFixture("c_dups", "NAMEDESC");
    t->GetRec(DBO_dBaseDBF::kFirst);
    EXPECT_EQ(t->recNo(), 47u);   // DELTA 60 and 56 are deleted
    t->GetRec(DBO_dBaseDBF::kNext);
    EXPECT_EQ(t->recNo(), 46u);
    t->GetRec(DBO_dBaseDBF::kLast);
    EXPECT_EQ(t->recNo(), 8u);    // the blank key with the lowest record number
}

TEST(CdxSeekTest, NumericKeysAreSoughtByValue) {
    auto t = openFixture("b_multi", "AMOUNT");
    EXPECT_TRUE(find(*t, "-45.25", true, true));
    EXPECT_EQ(t->recNo(), 2u);
    EXPECT_TRUE(find(*t, "100", true, true));
    EXPECT_EQ(t->recNo(), 8u);
    EXPECT_TRUE(find(*t, "0", true, true));
    EXPECT_EQ(t->recNo(), 3u);
    EXPECT_TRUE(find(*t, "-999999.99", true, true));
    EXPECT_EQ(t->recNo(), 7u);
    EXPECT_FALSE(find(*t, "50", true, true));
    EXPECT_EQ(t->recNo(), 8u);   // the next greater value, 100.00
    EXPECT_FALSE(find(*t, "-50", true, true));
    EXPECT_EQ(t->recNo(), 2u);   // -45.25
    EXPECT_FALSE(find(*t, "1e9", true, true));
    EXPECT_TRUE(t->eof());
}

TEST(CdxSeekTest, NumericPartialModeDoesNotMatchAByteOfAnotherNumber) {
    // 7 and 7.00 are one value; 0.5 must not be found by a search for a shorter byte form.
    auto t = openFixture("b_multi", "AMOUNT");
    EXPECT_TRUE(find(*t, "7", false, true));
    EXPECT_EQ(t->recNo(), 13u);
    EXPECT_FALSE(find(*t, "0.25", false, true));
    EXPECT_EQ(t->recNo(), 15u);   // 0.50
}

TEST(CdxSeekTest, DateKeysAreSoughtAsYyyymmdd) {
    auto t = openFixture("b_multi", "BIRTH");
    EXPECT_TRUE(find(*t, "20240229", true, true));
    EXPECT_EQ(t->recNo(), 5u);
    EXPECT_FALSE(find(*t, "20240101", true, true));
    EXPECT_EQ(t->recNo(), 5u);
    EXPECT_TRUE(find(*t, "19991231", true, true));
    EXPECT_EQ(t->recNo(), 2u);
}

TEST(CdxSeekTest, EveryKeyOfALargeTagIsFoundOnItsFirstRecord) {
    testsupport::Manifest m = testsupport::readManifest("e_names50k");
    auto t = openFixture("e_names50k", "NAME");
    const auto& keys = tagOf(m, "NAME").keys;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i > 0 && keys[i - 1].text == keys[i].text) continue;
        ASSERT_TRUE(find(*t, keys[i].text, true, true)) << keys[i].text;
        ASSERT_EQ(t->recNo(), keys[i].recNo) << keys[i].text;
    }
}

TEST(CdxSeekTest, MissesStandOnTheNextGreaterKey) {
    testsupport::Manifest m = testsupport::readManifest("e_names5k");
    auto t = openFixture("e_names5k", "NAME");
    const auto& keys = tagOf(m, "NAME").keys;
    for (size_t i = 0; i + 1 < keys.size(); ++i) {
        // Equal keys, and keys that fill the key length (a longer search key is cut to it).
        if (keys[i].text == keys[i + 1].text || keys[i].text.size() >= 32) continue;
        // A byte 0x01 sorts after the key and before any longer key sharing it as a prefix.
        std::string miss = keys[i].text + '\x01';
        ASSERT_FALSE(find(*t, miss, true, true)) << miss;
        ASSERT_EQ(t->recNo(), keys[i + 1].recNo) << keys[i].text;
    }
}

TEST(CdxSeekTest, LongestKeysOfAKeyLength240TagAreFound) {
    testsupport::Manifest m = testsupport::readManifest("d_key240");
    auto t = openFixture("d_key240", "TXT");
    const auto& keys = tagOf(m, "TXT").keys;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i > 0 && keys[i - 1].text == keys[i].text) continue;
        ASSERT_TRUE(find(*t, keys[i].text, true, true)) << keys[i].text;
        ASSERT_EQ(t->recNo(), keys[i].recNo) << keys[i].text;
        ASSERT_EQ(t->activeTag()->currentKey(), keys[i].text);
    }
}

// Where a scan of the whole key list in order would stop, for the descent to agree with.
struct Landing {
    int result;
    uint32_t recNo;
};
Landing scanFor(const std::vector<testsupport::ManifestKey>& keys, const std::string& s, bool exact) {
    auto mode = exact ? dbf::CdxPrefixMode::Exact : dbf::CdxPrefixMode::Partial;
    for (const auto& k : keys) {
        int c = dbf::cdxCompare(s, k.text, true, mode);
        if (c <= 0) return {c == 0 ? 0 : -1, k.recNo};
    }
    return {1, 0};
}

TEST(CdxSeekTest, DescentLandsWhereAScanOfAllKeysWouldForKeysAroundEveryKey) {
    for (const char* fixture : {"d_key240", "e_names5k", "a_tiny", "c_dups"}) {
        testsupport::Manifest m = testsupport::readManifest(fixture);
        const auto& keys = m.tags.front().keys;
        auto t = openFixture(fixture, m.tags.front().name, true);
        dbf::DBobjCDXTag& tag = *t->activeTag();
        for (size_t i = 0; i < keys.size(); i += 3) {
            const std::string& k = keys[i].text;
            std::vector<std::string> probes = {k, k + '\x01', k.substr(0, k.size() / 2), k + "~"};
            if (!k.empty()) {
                probes.push_back(k.substr(0, k.size() - 1));
                std::string up = k;
                up.back() = static_cast<char>(up.back() + 1);
                probes.push_back(up);
                std::string down = k;
                down.back() = static_cast<char>(down.back() - 1);
                probes.push_back(down);
            }
            for (const std::string& probe : probes) {
                for (bool exact : {true, false}) {
                    Landing expected = scanFor(keys, probe, exact);
                    int result = tag.seek(probe, -1, exact);
                    ASSERT_EQ(result, expected.result) << fixture << " \"" << probe << "\" exact " << exact;
                    ASSERT_EQ(tag.recNo(), expected.recNo) << fixture << " \"" << probe << "\" exact " << exact;
                }
            }
        }
    }
}

TEST(CdxSeekTest, SearchKeyLongerThanTheKeyLengthIsCutToIt) {
    // LONGFULL holds the first 240 of 300 characters; the whole field value still finds it.
    auto t = openFixture("h_char300", "LONGFULL");
    t->GetRec(7);
    std::string full = t->fieldText("LONGTXT");
    ASSERT_GT(full.size(), 240u);
    EXPECT_TRUE(find(*t, full, true, true));
    EXPECT_EQ(t->activeTag()->currentKey(), std::string_view(full).substr(0, 240));
}

TEST(CdxSeekTest, FindOnAnEmptyTableReturnsFalseWithoutMoving) {
    auto t = openFixture("f_empty", "NAME");
    EXPECT_FALSE(find(*t, "X", true, true));
    EXPECT_EQ(t->recNo(), 0u);
}

TEST(CdxSeekTest, FindWithoutActiveTagGoesToEndOfFile) {
    DBO_dBHandler t(kFixtures + "/a_tiny.dbf", false, true);
    t.OpenIndexFile("a_tiny");
    EXPECT_FALSE(find(t, "MY", true, true));
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.recNo(), 6u);
}

TEST(CdxSeekTest, ReadingARecordByNumberBringsTheTagToIt) {
    auto t = openFixture("a_tiny", "NAME");
    t->GetRec(6);   // MY
    EXPECT_FALSE(t->outsideTag());
    t->GetRec(DBO_dBaseDBF::kNext);
    EXPECT_EQ(t->recNo(), 1u);   // MY APP.EXE
    t->GetRec(DBO_dBaseDBF::kPrevious);
    t->GetRec(DBO_dBaseDBF::kPrevious);
    EXPECT_EQ(t->recNo(), 3u);   // KEYLOGGER.EXE
}

TEST(CdxSeekTest, RecordMissingFromAForTagIsNotedAsOutsideIt) {
    // POSNAME holds NAME FOR AMOUNT > 0; record 7 has -999999.99.
    auto t = openFixture("b_multi", "POSNAME");
    t->GetRec(7);
    EXPECT_TRUE(t->outsideTag());
    t->GetRec(1);
    EXPECT_FALSE(t->outsideTag());
}

TEST(CdxSeekTest, RecordNumberJustPastTheEndLeavesABlankBufferAtEndOfFile) {
    auto t = openFixture("a_tiny", "NAME");
    t->GetRec(7);
    EXPECT_TRUE(t->eof());
    EXPECT_EQ(t->fieldText("NAME"), "");
    EXPECT_THROW(t->GetRec(8), dbf::ETableError);
}

TEST(CdxSeekTest, PreparingAKeyOfAnotherTypeIsAVariantMismatch) {
    auto t = openFixture("b_multi", "NAME");
    std::string out;
    try {
        t->activeTag()->prepareKey(dbf::TdbVariant::numeric(3.0), out);
        FAIL() << "no error";
    } catch (const dbf::ETableError& e) {
        EXPECT_STREQ(e.what(), "Variant types mismatch for compare");
    }
}

TEST(CdxSeekTest, SelectingAnUnknownTagRaisesAndKeepsTheActiveOrder) {
    auto t = openFixture("b_multi", "AMOUNT");
    try {
        t->SelectTag("nosuch");
        FAIL() << "no error";
    } catch (const dbf::ETableError& e) {
        EXPECT_STREQ(e.what(), "Cannot find index tag nosuch");
    }
    EXPECT_EQ(t->activeTagName(), "AMOUNT");
    EXPECT_TRUE(find(*t, "-45.25", true, true));
}

TEST(CdxSeekTest, TagNamesAreMatchedWithoutRegardToCase) {
    auto t = openFixture("b_multi", " namecity ");
    EXPECT_EQ(t->activeTagName(), "NAMECITY");
}

TEST(CdxSeekTest, EmptyTagNameReturnsToRecordOrder) {
    auto t = openFixture("a_tiny", "NAME");
    EXPECT_EQ(t->recNo(), 4u);
    EXPECT_EQ(t->SelectTag(""), 0);
    EXPECT_EQ(t->activeTag(), nullptr);
    EXPECT_EQ(t->recNo(), 1u);
    t->GetRec(DBO_dBaseDBF::kNext);
    EXPECT_EQ(t->recNo(), 2u);
}

}  // namespace
