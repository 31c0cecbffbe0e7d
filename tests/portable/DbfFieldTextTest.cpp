// Field lookup and the text of each field type as the engine hands it to its callers.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dbf/table/DBO_dBaseFld.h"
#include "tests/support/EncipherCopy.h"
#include "tests/support/FixtureManifest.h"
#include "tests/support/TableImage.h"

using dbf::DBO_dBaseFld;
using dbf::ETableError;
using testsupport::TableImage;
using testsupport::TempFolder;

namespace {

// One record per case; fields: C(8) N(8,2) N(5) L(1) D(8) M(10) B(10) G(10) F(6,1)
class DbfFieldTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        img_.fields = {{"NAME", 'C', 8},   {"AMOUNT", 'N', 8, 2}, {"QTY", 'N', 5},  {"OK", 'L', 1},
                       {"BORN", 'D', 8},   {"NOTES", 'M', 10},    {"BLOB", 'B', 10}, {"PIC", 'G', 10},
                       {"RATE", 'F', 6, 1}};
    }
    // Record text for the fields above, each given exactly at its width.
    static std::string rec(const std::string& name, const std::string& amount, const std::string& qty,
                           const std::string& ok, const std::string& born, const std::string& memo,
                           const std::string& rate = "      ") {
        return name + amount + qty + ok + born + memo + memo + memo + rate;
    }
    DBO_dBaseFld& open() {
        std::string path = folder_.file("f.dbf");
        testsupport::writeFileBytes(path, img_.bytes());
        table_ = std::make_unique<DBO_dBaseFld>(path, false, true);
        return *table_;
    }

    TableImage img_;
    TempFolder folder_;
    std::unique_ptr<DBO_dBaseFld> table_;
};

}  // namespace

TEST_F(DbfFieldTextTest, CharacterTextLosesTrailingBlanksOnly) {
    img_.records = {rec("  AB C  ", "    1.50", "   42", "T", "20240229", "         7")};
    auto& t = open();
    t.GetRec(1);
    EXPECT_EQ(t.fieldText("NAME"), "  AB C");
    EXPECT_EQ(t.fieldBytes(1), "  AB C  ");
}

TEST_F(DbfFieldTextTest, TextEndsAtTheFirstNul) {
    img_.records = {rec(std::string("AB\0CD   ", 8), "    1.50", "   42", "T", "20240229", "         7")};
    auto& t = open();
    t.GetRec(1);
    EXPECT_EQ(t.fieldText("NAME"), "AB");
}

TEST_F(DbfFieldTextTest, NumbersLoseLeadingAndTrailingBlanks) {
    img_.records = {rec("X       ", "  -45.25", "   42", "T", "20240229", "         7", "  3.5 ")};
    auto& t = open();
    t.GetRec(1);
    EXPECT_EQ(t.fieldText("AMOUNT"), "-45.25");
    EXPECT_EQ(t.fieldText("QTY"), "42");
    EXPECT_EQ(t.fieldText("RATE"), "3.5");
    EXPECT_DOUBLE_EQ(t.fieldValue(t.fieldByName("AMOUNT")), -45.25);
    EXPECT_DOUBLE_EQ(t.fieldValue(t.fieldByName("QTY")), 42.0);
    EXPECT_DOUBLE_EQ(t.fieldValue(t.fieldByName("RATE")), 3.5);
}

TEST_F(DbfFieldTextTest, BlankNumberReadsAsZeroWithItsDecimals) {
    img_.records = {rec("X       ", "        ", "     ", "T", "20240229", "         7")};
    auto& t = open();
    t.GetRec(1);
    EXPECT_EQ(t.fieldText("AMOUNT"), "0.00");
    EXPECT_EQ(t.fieldText("QTY"), "0");
    EXPECT_EQ(t.fieldText("RATE"), "0.0");
    EXPECT_DOUBLE_EQ(t.fieldValue(t.fieldByName("AMOUNT")), 0.0);
}

TEST_F(DbfFieldTextTest, LogicalIsTrueOnlyForTheLettersTtYyJj) {
    for (char c : std::string("TtYyJj")) img_.records.push_back(rec("X       ", "    1.00", "    1", std::string(1, c), "        ", "          "));
    for (char c : std::string("FfNn? ")) img_.records.push_back(rec("X       ", "    1.00", "    1", std::string(1, c), "        ", "          "));
    auto& t = open();
    for (int r = 1; r <= 6; ++r) {
        t.GetRec(r);
        EXPECT_EQ(t.fieldText("OK"), "T") << r;
    }
    for (int r = 7; r <= 12; ++r) {
        t.GetRec(r);
        EXPECT_EQ(t.fieldText("OK"), "F") << r;
    }
}

TEST_F(DbfFieldTextTest, DateReadsAsStoredAndBlankDateIsEmpty) {
    img_.records = {rec("X       ", "    1.00", "    1", "T", "19991231", "          "),
                    rec("X       ", "    1.00", "    1", "T", "        ", "          ")};
    auto& t = open();
    t.GetRec(1);
    EXPECT_EQ(t.fieldText("BORN"), "19991231");
    t.GetRec(2);
    EXPECT_EQ(t.fieldText("BORN"), "");
}

TEST_F(DbfFieldTextTest, MemoBinaryGeneralShowMarkersByBlockNumber) {
    img_.records = {rec("X       ", "    1.00", "    1", "T", "        ", "        12"),
                    rec("X       ", "    1.00", "    1", "T", "        ", "          "),
                    rec("X       ", "    1.00", "    1", "T", "        ", "0000000000")};
    auto& t = open();
    t.GetRec(1);
    EXPECT_EQ(t.fieldText("NOTES"), "---MEMO---");
    EXPECT_EQ(t.fieldText("BLOB"), "--BINARY--");
    EXPECT_EQ(t.fieldText("PIC"), "-GENERAL--");
    for (int r = 2; r <= 3; ++r) {
        t.GetRec(r);
        EXPECT_EQ(t.fieldText("NOTES"), "---memo---");
        EXPECT_EQ(t.fieldText("BLOB"), "--binary--");
        EXPECT_EQ(t.fieldText("PIC"), "-general--");
    }
}

TEST_F(DbfFieldTextTest, LookupByNameIgnoresCase) {
    img_.records = {rec("X       ", "    1.00", "    1", "T", "        ", "          ")};
    auto& t = open();
    EXPECT_EQ(t.fieldByName("amount").number, 2);
    EXPECT_EQ(t.fieldByName("Qty").number, 3);
    EXPECT_EQ(t.fieldNumber("nothing"), 0);
    EXPECT_EQ(t.field(9).name, "RATE");
}

TEST_F(DbfFieldTextTest, UnknownFieldNameReportsNameArrowTable) {
    img_.records = {rec("X       ", "    1.00", "    1", "T", "        ", "          ")};
    auto& t = open();
    try {
        t.fieldByName("NOPE");
        FAIL() << "no error";
    } catch (const ETableError& e) {
        EXPECT_EQ(e.code(), dbf::kErrFieldName);
        EXPECT_EQ(e.subCode(), dbf::kSubFieldLookup);
        EXPECT_EQ(std::string(e.what()), "dBase field name is invalid - NOPE->" + t.fileName());
    }
}

TEST_F(DbfFieldTextTest, FieldNumberOutOfRangeAndNonNumericValueRaise) {
    img_.records = {rec("X       ", "    1.00", "    1", "T", "        ", "          ")};
    auto& t = open();
    EXPECT_THROW(t.field(0), ETableError);
    EXPECT_THROW(t.field(10), ETableError);
    try {
        t.fieldValue(t.fieldByName("NAME"));
        FAIL() << "no error";
    } catch (const ETableError& e) {
        EXPECT_EQ(e.code(), dbf::kErrFieldType);
    }
}

TEST(DbfLongFieldTest, CharacterFieldWithDecimalByteOneIsLongerThan255) {
    DBO_dBaseFld t(testsupport::cdxFixture("h_char300.dbf"), false, true);
    const auto& f = t.fieldByName("LONGTXT");
    EXPECT_EQ(f.length, 300u);
    EXPECT_EQ(f.decimals, 0);
    EXPECT_EQ(t.fieldByName("TAIL").offset, 306u);
    t.GetRec(1);
    EXPECT_EQ(t.fieldBytes(f).size(), 300u);
    std::string text = t.fieldText(f);
    ASSERT_GT(text.size(), 255u);
    EXPECT_EQ(text.substr(text.size() - 18), "COREHELPCMD871.EXE");
    EXPECT_EQ(t.fieldText("TAIL"), "T30");
}

TEST(DbfLongFieldTest, IntegerFieldReadsAsDecimalNumber) {
    DBO_dBaseFld t(testsupport::cdxFixture("g_vfp.dbf"), false, true);
    t.GetRec(1);
    EXPECT_EQ(t.fieldText("PID"), "-2999");
    EXPECT_DOUBLE_EQ(t.fieldValue(t.fieldByName("PID")), -2999.0);
    EXPECT_EQ(t.fieldText("NOTES"), "---MEMO---");
}
