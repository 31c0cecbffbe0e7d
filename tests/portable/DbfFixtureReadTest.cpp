// Every fixture table read back against its manifest, plain and enciphered: header facts,
// field layout, deleted marks and the text of every field that a tag indexes on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dbf/core/XbaseText.h"
#include "dbf/table/DBO_dBaseFld.h"
#include "tests/support/EncipherCopy.h"
#include "tests/support/FixtureManifest.h"

using dbf::DBO_dBaseDBF;
using dbf::DBO_dBaseFld;
using testsupport::Manifest;

namespace {

void expectLayout(const DBO_dBaseFld& t, const Manifest& m) {
    EXPECT_EQ(t.version(), m.version);
    EXPECT_EQ(t.recordCount(), m.recordCount);
    EXPECT_EQ(t.headerLength(), m.headerLength);
    EXPECT_EQ(t.recordLength(), m.recordLength);
    EXPECT_EQ(t.tableFlags(), m.flags);
    ASSERT_EQ(static_cast<size_t>(t.fieldCount()), m.fields.size());
    for (size_t i = 0; i < m.fields.size(); ++i) {
        const auto& f = t.fields()[i];
        SCOPED_TRACE(m.fields[i].name);
        EXPECT_EQ(f.name, m.fields[i].name);
        EXPECT_EQ(f.type, m.fields[i].type);
        EXPECT_EQ(f.length, m.fields[i].length);
        EXPECT_EQ(f.decimals, m.fields[i].decimals);
        EXPECT_EQ(f.offset, m.fields[i].offset);
        EXPECT_EQ(f.number, static_cast<int>(i + 1));
    }
}

// Reads every record by number and checks its deleted mark and the text of each field that
// some tag indexes on its own (the tag's keys are that field's values).
void expectRecords(DBO_dBaseFld& t, const Manifest& m) {
    for (uint32_t r = 1; r <= m.recordCount; ++r) {
        t.GetRec(static_cast<int32_t>(r));
        ASSERT_EQ(t.recNo(), r);
        bool deleted = std::find(m.deleted.begin(), m.deleted.end(), r) != m.deleted.end();
        ASSERT_EQ(t.isDeleted(), deleted) << "record " << r;
    }
    size_t checked = 0;
    for (const auto& tag : m.tags) {
        if (!tag.forExpression.empty()) continue;
        int number = t.fieldNumber(tag.expression);
        if (number == 0) continue;
        const auto& f = t.field(number);
        for (const auto& k : tag.keys) {
            t.GetRec(static_cast<int32_t>(k.recNo));
            std::string text = t.fieldText(f);
            // The index cuts character keys to the key length; the field itself is longer.
            if (f.type == 'C' && text.size() > tag.keyLength) text = dbf::trimRight(text.substr(0, tag.keyLength));
            ASSERT_EQ(text, k.text) << tag.name << " record " << k.recNo;
            ++checked;
        }
    }
    if (m.recordCount > 0) {
        EXPECT_GT(checked, 0u);
    }
}

void expectWalks(DBO_dBaseFld& t) {
    std::vector<uint32_t> forward, backward;
    std::vector<std::string> forwardBytes;
    for (t.GetRec(DBO_dBaseDBF::kFirst); !t.eof(); t.GetRec(DBO_dBaseDBF::kNext)) {
        forward.push_back(t.recNo());
        forwardBytes.emplace_back(reinterpret_cast<const char*>(t.recordBuffer()), t.recordLength());
    }
    ASSERT_EQ(forward.size(), t.recordCount());
    for (t.GetRec(DBO_dBaseDBF::kLast); !t.bof(); t.GetRec(DBO_dBaseDBF::kPrevious)) {
        backward.push_back(t.recNo());
        ASSERT_EQ(std::string(reinterpret_cast<const char*>(t.recordBuffer()), t.recordLength()),
                  forwardBytes[t.recNo() - 1]);
        if (t.recNo() == 1) break;
    }
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, forward);
    // Without the read-ahead every record reads the same.
    t.setReadAhead(false);
    for (uint32_t r = t.recordCount(); r >= 1; --r) {
        t.GetRec(static_cast<int32_t>(r));
        ASSERT_EQ(std::string(reinterpret_cast<const char*>(t.recordBuffer()), t.recordLength()), forwardBytes[r - 1]);
    }
    t.setReadAhead(true);
}

class DbfFixtureReadTest : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(DbfFixtureReadTest, PlainTableMatchesItsManifest) {
    const Manifest m = testsupport::readManifest(GetParam());
    DBO_dBaseFld t(testsupport::cdxFixture(GetParam() + ".dbf"), false, true);
    EXPECT_FALSE(t.encrypted());
    expectLayout(t, m);
    expectRecords(t, m);
    expectWalks(t);
}

TEST_P(DbfFixtureReadTest, EncipheredCopyReadsAsThePlainTable) {
    const Manifest m = testsupport::readManifest(GetParam());
    testsupport::TempFolder folder;
    const std::string key = "Keylogger DB key #1";
    std::string table = testsupport::encipheredFixture(testsupport::cdxFixtures().string(), GetParam(), folder, key);
    DBO_dBaseFld t(table, false, true, key);
    EXPECT_TRUE(t.encrypted());
    expectLayout(t, m);
    expectRecords(t, m);
    expectWalks(t);
}

TEST_P(DbfFixtureReadTest, OpensByUpperCaseNameWithoutExtension) {
    // The engine holds names in upper case; the file is found whatever the file system's case.
    std::string name = dbf::upperAscii(testsupport::cdxFixture(GetParam()));
    DBO_dBaseFld t(name, false, true);
    EXPECT_EQ(t.fileName(), name + ".DBF");
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DbfFixtureReadTest, ::testing::ValuesIn(testsupport::cdxFixtureNames()));
