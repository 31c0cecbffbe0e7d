// Rows of the table data set: the row fetch and its buffer, moving in record and key order,
// the record count, bookmarks, and the fields made from the table's descriptors.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbf/core/TdbDate.h"
#include "dbf/dataset/DatabaseError.h"
#include "dbf/dataset/TTableDataSet.h"
#include "tests/support/DataSetFiles.h"
#include "tests/support/ErrorText.h"
#include "tests/support/TableImage.h"

using dbf::TFieldType;
using dbf::TTableDataSet;
using namespace testsupport;

namespace {

// A fixture opened in record order, or with its own index and `tag` active.
struct Opened : OpenedFixture {
    explicit Opened(const std::string& fixture, const std::string& tag = "", bool exactCount = false)
        : OpenedFixture(fixture, tag, !tag.empty(), [&](TTableDataSet& t) { t.ExactCount = exactCount; }) {}
    std::vector<uint32_t> forward() {
        std::vector<uint32_t> seen;
        for (table.First(); !table.Eof(); table.Next()) seen.push_back(table.RecNo());
        return seen;
    }
    std::vector<uint32_t> backward() {
        std::vector<uint32_t> seen;
        for (table.Last(); !table.Bof(); table.Prior()) seen.push_back(table.RecNo());
        return seen;
    }
};

// A table written byte by byte in `folder` as NAME.dbf, opened in record order.
struct Built {
    TempFolder folder;
    TTableDataSet table;
    explicit Built(const TableImage& image) {
        writeFileBytes(folder.file("built.dbf"), image.bytes());
        table.setDatabaseName(folder.path().string());
        table.setTableName("built");
        table.Open();
    }
};

std::vector<uint32_t> visibleRecords(const Manifest& m, unsigned count) {
    std::vector<uint32_t> r;
    for (uint32_t n = 1; n <= count; ++n)
        if (std::find(m.deleted.begin(), m.deleted.end(), n) == m.deleted.end()) r.push_back(n);
    return r;
}

}  // namespace

TEST(TableDataSetRowTest, RecordOrderWalksEveryVisibleRecordBothWays) {
    Opened t("c_dups");
    std::vector<uint32_t> expected = visibleRecords(readManifest("c_dups"), 60);
    EXPECT_EQ(t.forward(), expected);
    EXPECT_TRUE(t.table.Eof());
    EXPECT_EQ(t.table.RecNo(), expected.back()) << "a failed Next keeps the last row";
    std::vector<uint32_t> back = t.backward();
    EXPECT_EQ(std::vector<uint32_t>(back.rbegin(), back.rend()), expected);
    EXPECT_TRUE(t.table.Bof());
    EXPECT_EQ(t.table.RecNo(), expected.front());
}

TEST(TableDataSetRowTest, KeyOrderWalksTheTagBothWays) {
    Opened t("a_tiny", "NAME");
    EXPECT_EQ(t.forward(), (std::vector<uint32_t>{4, 5, 3, 6, 1, 2}));
    EXPECT_EQ(t.backward(), (std::vector<uint32_t>{2, 1, 6, 3, 5, 4}));
    t.table.First();
    EXPECT_TRUE(t.table.Bof());
    t.table.Next();
    t.table.Prior();
    EXPECT_EQ(t.table.RecNo(), 4u);
}

TEST(TableDataSetRowTest, EmptyTableOpensAtBothEndsWithNullFields) {
    Opened t("f_empty", "NAME");
    EXPECT_TRUE(t.table.Eof());
    EXPECT_TRUE(t.table.Bof());
    EXPECT_EQ(t.table.RecNo(), 0u);
    EXPECT_TRUE(t.table.FieldByName("NAME").IsNull());
    EXPECT_EQ(t.table.RecordCount(), 0u);
    t.table.Next();
    t.table.Last();
    EXPECT_EQ(t.table.RecNo(), 0u);
}

TEST(TableDataSetRowTest, RecordCountTrustsTheFileUnlessExactCountWalksIt) {
    Opened quick("c_dups", "NAME");
    EXPECT_EQ(quick.table.RecordCount(), 60u);
    Opened exact("c_dups", "NAME", true);
    exact.table.Find("CHARLIE", true, true);
    const uint32_t shown = exact.table.RecNo();
    EXPECT_EQ(exact.table.RecordCount(), 50u) << "ten records are deleted";
    EXPECT_EQ(exact.table.RecNo(), shown);
    exact.table.Next();
    EXPECT_EQ(exact.table.FieldByName("NAME").AsString(), "CHARLIE") << "the walk left the cursor where it was";
}

TEST(TableDataSetRowTest, BookmarkIsTheRecordNumberRightAlignedInTenCharactersAndANul) {
    Opened t("c_dups");
    t.table.Next();
    t.table.Next();   // record 1 is deleted: 2, 3, 4
    EXPECT_EQ(t.table.RecNo(), 4u);
    const std::string four = t.table.Bookmark();
    EXPECT_EQ(four, std::string("         4\0", 11));
    EXPECT_EQ(TTableDataSet::CompareBookmarks(dbf::TRecordBuffer::bookmarkOf(9), dbf::TRecordBuffer::bookmarkOf(10)), -1);
    EXPECT_EQ(TTableDataSet::CompareBookmarks(four, four), 0);
    EXPECT_TRUE(t.table.BookmarkValid(dbf::TRecordBuffer::bookmarkOf(60)));
    EXPECT_FALSE(t.table.BookmarkValid(dbf::TRecordBuffer::bookmarkOf(61)));
    EXPECT_FALSE(t.table.BookmarkValid(dbf::TRecordBuffer::bookmarkOf(0)));
    EXPECT_FALSE(t.table.BookmarkValid("        x1"));
    t.table.Last();
    t.table.GotoBookmark(four);
    EXPECT_EQ(t.table.RecNo(), 4u);
    EXPECT_FALSE(t.table.Eof());
    EXPECT_EQ(messageOf([&] { t.table.GotoBookmark(dbf::TRecordBuffer::bookmarkOf(99)); }),
              "Record request beyond range of table");
}

TEST(TableDataSetRowTest, RowFetchFillsTheBufferLayout) {
    Opened t("a_tiny");
    dbf::TRecordBuffer row(t.table.DBFObject()->recordLength(), 0);
    t.table.InternalFirst();
    ASSERT_EQ(t.table.GetRecord(row, dbf::TGetMode::gmNext, false), dbf::TGetResult::grOK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(row.record()), 21), " MY APP.EXE          ");
    const uint8_t* info = row.record() + 21;
    int32_t recNo;
    std::memcpy(&recNo, info, 4);
    EXPECT_EQ(recNo, 1);
    EXPECT_EQ(info[5], 0) << "bookmark flag";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(info + 8), 11), std::string("         1\0", 11));
    EXPECT_EQ(t.table.GetRecord(row, dbf::TGetMode::gmPrior, false), dbf::TGetResult::grBOF);
    t.table.InternalLast();
    EXPECT_EQ(t.table.GetRecord(row, dbf::TGetMode::gmNext, false), dbf::TGetResult::grEOF);
}

TEST(TableDataSetRowTest, CurrentRowBeforeTheFirstOrAfterTheLastFailsAndRaisesWhenChecked) {
    Opened t("a_tiny", "NAME");
    dbf::TRecordBuffer row(t.table.DBFObject()->recordLength(), 0);
    t.table.InternalFirst();
    EXPECT_EQ(t.table.GetRecord(row, dbf::TGetMode::gmCurrent, false), dbf::TGetResult::grError);
    EXPECT_EQ(messageOf([&] { t.table.GetRecord(row, dbf::TGetMode::gmCurrent, true); }),
              "Record request beyond range of table");
    t.table.InternalLast();
    EXPECT_EQ(messageOf([&] { t.table.GetRecord(row, dbf::TGetMode::gmCurrent, true); }),
              "Record request beyond range of table");
    ASSERT_EQ(t.table.GetRecord(row, dbf::TGetMode::gmPrior, true), dbf::TGetResult::grOK);
    EXPECT_EQ(row.recNo(), 2u);
    EXPECT_EQ(t.table.GetRecord(row, dbf::TGetMode::gmCurrent, true), dbf::TGetResult::grOK);
    EXPECT_EQ(row.recNo(), 2u);
}

TEST(TableDataSetRowTest, FieldsFollowTheDescriptorsAndTheirTypes) {
    TableImage image;
    image.fields = {{"NAME", 'C', 10},  {"SMALL", 'N', 4},  {"BIG", 'N', 8},     {"PRICE", 'N', 8, 2},
                    {"RATE", 'F', 6, 1}, {"OK", 'L', 1},    {"DAY", 'D', 8},     {"NOTE", 'M', 10},
                    {"BLOB", 'B', 10},  {"PIC", 'G', 10},   {"WHEN", 'T', 8},    {"COUNT", 'I', 4},
                    {"ODD", 'X', 2},    {"LONG", 'C', 44, 1}};
    image.records = {""};
    Built b(image);
    const auto& f = b.table.Fields();
    ASSERT_EQ(f.size(), 13u) << "the X field gets no field";
    const std::vector<TFieldType> types = {TFieldType::ftString, TFieldType::ftSmallint, TFieldType::ftInteger,
                                           TFieldType::ftFloat,  TFieldType::ftFloat,    TFieldType::ftBoolean,
                                           TFieldType::ftDate,   TFieldType::ftMemo,     TFieldType::ftBlob,
                                           TFieldType::ftBlob,   TFieldType::ftDateTime, TFieldType::ftInteger,
                                           TFieldType::ftString};
    for (size_t i = 0; i < types.size(); ++i) EXPECT_EQ(f[i].DataType(), types[i]) << f[i].FieldName();
    EXPECT_EQ(f[0].Size(), 10u);
    EXPECT_EQ(f[12].Size(), 300u) << "character length includes 256 × the decimal byte";
    EXPECT_EQ(f[12].FieldNo(), 14);
    EXPECT_EQ(b.table.FindField("odd"), nullptr);
    EXPECT_EQ(messageOf([&] { b.table.FieldByName("nope"); }), "Field 'nope' not found");
}

TEST(TableDataSetRowTest, FieldValuesReadTheActiveRow) {
    Opened t("b_multi");
    EXPECT_EQ(t.table.FieldByName("name").AsString(), "Smith");
    EXPECT_DOUBLE_EQ(t.table.FieldByName("AMOUNT").AsFloat(), 1250.5);
    EXPECT_EQ(t.table.FieldByName("BIRTH").AsDate(), dbf::julianFromYmd(1980, 1, 15));
    EXPECT_TRUE(t.table.FieldByName("ACTIVE").AsBoolean());
    t.table.Next();
    EXPECT_DOUBLE_EQ(t.table.FieldByName("AMOUNT").AsFloat(), -45.25);
    EXPECT_FALSE(t.table.FieldByName("ACTIVE").AsBoolean());
    t.table.Next();
    EXPECT_TRUE(t.table.FieldByName("BIRTH").IsNull()) << "a blank date";
    EXPECT_EQ(t.table.FieldByName("BIRTH").AsString(), "");
    EXPECT_FALSE(t.table.FieldByName("AMOUNT").IsNull()) << "0.00 is a number";
    for (int i = 0; i < 3; ++i) t.table.Next();
    EXPECT_EQ(t.table.RecNo(), 6u);
    EXPECT_TRUE(t.table.FieldByName("CITY").IsNull()) << "an empty text";
    EXPECT_EQ(messageOf([&] { t.table.FieldByName("NAME").AsFloat(); }), "Cannot access field 'NAME' as type Float");

    Opened vfp("g_vfp");
    EXPECT_EQ(vfp.table.FieldByName("PID").AsInteger(), -2999);
    EXPECT_EQ(vfp.table.FieldByName("SIZE").DataType(), TFieldType::ftInteger);
    EXPECT_EQ(vfp.table.FieldByName("SIZE").AsInteger(), 98760);
    EXPECT_EQ(vfp.table.FieldByName("NOTES").AsString(), "---MEMO---");
}

TEST(TableDataSetRowTest, ZeroAndImpossibleDatesAreNull) {
    TableImage image;
    image.fields = {{"DAY", 'D', 8}};
    image.records = {"00000000", "20230230", "20240229"};
    Built b(image);
    const dbf::TField& day = b.table.FieldByName("DAY");
    EXPECT_TRUE(day.IsNull());
    EXPECT_EQ(day.AsDate(), 0);
    b.table.Next();
    EXPECT_TRUE(day.IsNull());
    b.table.Next();
    EXPECT_FALSE(day.IsNull());
    EXPECT_EQ(day.AsString(), "20240229");
}
