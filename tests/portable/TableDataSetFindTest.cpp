// Find on the table data set: exact and near searches on the active tag, where a miss
// leaves the data set, deleted records, long keys, and the OEM translation of the key.
#include <gtest/gtest.h>

#include <string>

#include "dbf/dataset/DatabaseError.h"
#include "dbf/dataset/TTableDataSet.h"
#include "dbf/index/CdxWriter.h"
#include "dbf/table/DbfWriter.h"
#include "tests/support/DataSetFiles.h"
#include "tests/support/ErrorText.h"

using dbf::TTableDataSet;
using namespace testsupport;

namespace {

// A fixture opened with its own index and `tag` active.
struct Opened : OpenedFixture {
    explicit Opened(const std::string& fixture, const std::string& tag = "NAME", bool useDeleted = false)
        : OpenedFixture(fixture, tag, true, [&](TTableDataSet& t) { t.UseDeleted = useDeleted; }) {}
};

}  // namespace

// a_tiny in key order: "" (4), KEYLOG.EXE (5), KEYLOGGER.EXE (3), MY (6), MY APP.EXE (1), abc (2).

TEST(TableDataSetFindTest, ExactKeyIsFoundAndTheDataSetStandsOnItsRecord) {
    Opened t("a_tiny");
    EXPECT_TRUE(t.table.Find("KEYLOGGER.EXE", true, true));
    EXPECT_EQ(t.table.RecNo(), 3u);
    EXPECT_FALSE(t.table.Eof());
    EXPECT_EQ(t.table.FieldByName("NAME").AsString(), "KEYLOGGER.EXE");
    EXPECT_TRUE(t.table.Find("KEYLOG.EXE   ", true, true)) << "trailing blanks aside";
    EXPECT_EQ(t.table.RecNo(), 5u);
}

TEST(TableDataSetFindTest, KeyThatIsOnlyABeginningIsNoHitAndStandsOnTheNextGreaterKey) {
    Opened t("a_tiny");
    EXPECT_FALSE(t.table.Find("KEYLOG", true, true));
    EXPECT_EQ(t.table.RecNo(), 5u);
    EXPECT_FALSE(t.table.Find("MY A", true, true));
    EXPECT_EQ(t.table.RecNo(), 1u);
    EXPECT_TRUE(t.table.Find("KEYLOG", false, true)) << "without IsExact a beginning is a hit";
    EXPECT_EQ(t.table.RecNo(), 5u);
}

TEST(TableDataSetFindTest, KeyGreaterThanEveryKeyStandsOnTheLastRecordInKeyOrderAtEof) {
    Opened t("a_tiny");
    EXPECT_FALSE(t.table.Find("zzz", true, true));
    EXPECT_EQ(t.table.RecNo(), 2u);
    EXPECT_TRUE(t.table.Eof());
    t.table.First();
    EXPECT_FALSE(t.table.Find("zzz", true, false));
    EXPECT_EQ(t.table.RecNo(), 2u);
    EXPECT_TRUE(t.table.Eof());
}

TEST(TableDataSetFindTest, MissWithoutNearStandsOnTheLastRecordInKeyOrder) {
    Opened t("a_tiny");
    EXPECT_FALSE(t.table.Find("KEYLOGA", true, false));
    EXPECT_EQ(t.table.RecNo(), 2u);
    EXPECT_TRUE(t.table.Eof());
    t.table.Prior();
    EXPECT_EQ(t.table.RecNo(), 1u) << "the cursor goes on from where the miss left it";
}

TEST(TableDataSetFindTest, AHitAfterAMissClearsEof) {
    Opened t("a_tiny");
    EXPECT_FALSE(t.table.Find("zzz", true, true));
    EXPECT_TRUE(t.table.Find("MY", true, true));
    EXPECT_EQ(t.table.RecNo(), 6u);
    EXPECT_FALSE(t.table.Eof());
    t.table.Next();
    EXPECT_EQ(t.table.RecNo(), 1u);
}

TEST(TableDataSetFindTest, WithoutAnActiveTagFindRaisesNoIndexAssigned) {
    Opened t("a_tiny", "");
    EXPECT_EQ(messageOf([&] { t.table.Find("abc", true, true); }), "No index is assigned for Find operation");
    TTableDataSet closed;
    EXPECT_EQ(messageOf([&] { closed.Find("abc", true, true); }), "Cannot perform this operation on a closed dataset");
}

TEST(TableDataSetFindTest, EmptyTableGivesFalseWithoutMoving) {
    Opened t("f_empty");
    int scrolls = 0;
    t.table.BeforeScroll = [&](TTableDataSet&) { ++scrolls; };
    EXPECT_FALSE(t.table.Find("ANY", true, true));
    EXPECT_EQ(t.table.RecNo(), 0u);
    EXPECT_EQ(scrolls, 0);
}

TEST(TableDataSetFindTest, KeyCarriedOnlyByDeletedRecordsIsNotFound) {
    TempFolder folder;
    writeKeyloggerDatabase(folder, {{"alive.exe"}, {"gone.exe", true}, {"twice.exe", true}, {"twice.exe"}}, "");
    TTableDataSet table;
    table.setDatabaseName(folder.path().string());
    table.setTableName("keyloggerlist");
    table.IndexFiles = {"keyloggerlist.cdx"};
    table.setIndexName("SPDLL");
    table.Open();
    EXPECT_FALSE(table.Find(scan::KeyloggerDatabase::tableKey("gone.exe"), true, true));
    EXPECT_TRUE(table.Find(scan::KeyloggerDatabase::tableKey("twice.exe"), true, true));
    EXPECT_EQ(table.RecNo(), 4u) << "the first record that is not deleted";
    table.Close();
    table.UseDeleted = true;
    table.Open();
    EXPECT_TRUE(table.Find(scan::KeyloggerDatabase::tableKey("gone.exe"), true, true));
    EXPECT_EQ(table.RecNo(), 2u);
}

TEST(TableDataSetFindTest, DuplicateKeysLandOnTheFirstVisibleRecord) {
    Opened hidden("c_dups");
    EXPECT_TRUE(hidden.table.Find("ALPHA", true, true));
    EXPECT_EQ(hidden.table.RecNo(), 3u) << "record 1 is deleted";
    Opened shown("c_dups", "NAME", true);
    EXPECT_TRUE(shown.table.Find("ALPHA", true, true));
    EXPECT_EQ(shown.table.RecNo(), 1u);
}

TEST(TableDataSetFindTest, KeyOf255CharactersWorksAndLongerOnesAreCut) {
    Manifest m = readManifest("d_key240");
    std::string full;
    unsigned recNo = 0;
    for (const auto& k : m.tags.at(0).keys)
        if (k.text.size() == 240) {
            full = k.text;
            recNo = k.recNo;
            break;
        }
    ASSERT_EQ(full.size(), 240u);
    Opened t("d_key240", "TXT");
    EXPECT_TRUE(t.table.Find(full + std::string(15, ' '), true, true));
    EXPECT_EQ(t.table.RecNo(), recNo);
    EXPECT_TRUE(t.table.Find(full + std::string(600, ' '), true, true));
}

TEST(TableDataSetFindTest, KeyIsTranslatedToOemBeforeTheSearchWhenTranslateAsciiIsOn) {
    // The table holds CAFÉ in OEM 437 (É is 0x90); the program searches in ANSI 1252 (0xC9).
    TempFolder folder;
    dbf::DbfWriter dbfFile({{"NAME", 'C', 10, 0}});
    dbfFile.addRecord({"CAF\x90"});
    dbfFile.addRecord({"CAFE"});
    dbfFile.write(folder.file("oem.dbf"));
    dbf::CdxTagDefinition tag;
    tag.name = "NAME";
    tag.keyExpression = "NAME";
    tag.keys = {{"CAF\x90", 1}, {"CAFE", 2}};
    dbf::CdxWriter cdx;
    cdx.addTag(tag);
    cdx.write(folder.file("oem.cdx"));

    TTableDataSet table;
    table.setDatabaseName(folder.path().string());
    table.setTableName("oem");
    table.IndexFiles = {"oem.cdx"};
    table.setIndexName("NAME");
    table.Open();
    EXPECT_TRUE(table.Find("CAF\xC9", true, true));
    EXPECT_EQ(table.RecNo(), 1u);
    EXPECT_EQ(table.FieldByName("NAME").AsString(), "CAF\xC9") << "field text comes back in ANSI";
    EXPECT_TRUE(table.Find("CAFE", true, true)) << "plain ASCII keys are unchanged";
    table.TranslateASCII = false;
    EXPECT_FALSE(table.Find("CAF\xC9", true, true));
    EXPECT_TRUE(table.Find("CAF\x90", true, true));
    EXPECT_EQ(table.FieldByName("NAME").AsString(), "CAF\x90");
}

TEST(TableDataSetFindTest, ScrollEventsSurroundASearchThatMoves) {
    Opened t("a_tiny");
    std::string order;
    t.table.BeforeScroll = [&](TTableDataSet& d) { order += "before:" + std::to_string(d.RecNo()) + " "; };
    t.table.AfterScroll = [&](TTableDataSet& d) { order += "after:" + std::to_string(d.RecNo()) + " "; };
    t.table.Find("abc", true, true);
    EXPECT_EQ(order, "before:4 after:2 ");
}
