// The index and table writers: their pages are laid out as the reference engine lays out
// the fixtures, and what they write reads back through the engine, plain and enciphered.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbf/index/CdxWriter.h"
#include "dbf/index/IndexKeyForm.h"
#include "dbf/table/DBO_dBHandler.h"
#include "dbf/table/DbfWriter.h"
#include "tests/support/FixtureManifest.h"
#include "tests/support/IndexImage.h"

using dbf::DBO_dBaseDBF;
using dbf::DBO_dBHandler;
using namespace testsupport;

namespace {

const std::string kFixtures = std::string(OMBRIX_FIXTURES) + "/cdx";

dbf::CdxTagDefinition tagOf(const std::string& name, const std::string& expression, uint16_t keyLength) {
    dbf::CdxTagDefinition d;
    d.name = name;
    d.keyExpression = expression;
    d.keyLength = keyLength;
    return d;
}

dbf::CdxTagDefinition tagFromManifest(const Manifest& m, const std::string& name) {
    for (const auto& t : m.tags) {
        if (t.name != name) continue;
        dbf::CdxTagDefinition d = tagOf(t.name, t.expression, static_cast<uint16_t>(t.keyLength));
        for (const auto& k : t.keys) d.keys.emplace_back(k.text, k.recNo);
        return d;
    }
    throw std::runtime_error("no tag " + name);
}

TEST(CdxWriterTest, TinyLeafIsLaidOutByteForByteAsInTheFixture) {
    dbf::CdxWriter w;
    w.addTag(tagFromManifest(readManifest("a_tiny"), "NAME"));
    std::vector<uint8_t> written = w.image();
    std::vector<uint8_t> fixture = readFileBytes(kFixtures + "/a_tiny.cdx");
    const uint32_t root = w.layout()[0].rootOffset;
    ASSERT_EQ(w.layout()[0].depth, 1);
    EXPECT_EQ(std::memcmp(written.data() + root, fixture.data() + 0xA00, 512), 0);
}

TEST(CdxWriterTest, TagHeaderCarriesKeyLengthOptionsOrderAndExpressions) {
    dbf::CdxWriter w;
    dbf::CdxTagDefinition d = tagOf("POS", "UPPER(NAME)", 15);
    d.forExpression = "AMOUNT > 0";
    d.unique = true;
    d.descending = true;
    d.keys = {{"A", 1}};
    w.addTag(d);
    std::vector<uint8_t> f = w.image();
    const size_t h = w.layout()[0].headerOffset;
    const dbf::ByteView header(f);
    EXPECT_EQ(header.u32le(h), w.layout()[0].rootOffset);
    EXPECT_EQ(header.u16le(h + 12), 15);
    EXPECT_EQ(f[h + 14], 0x60 | 0x01 | 0x08);
    EXPECT_EQ(header.u16le(h + 502), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.data() + h + 512)), "UPPER(NAME)");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.data() + h + 512 + 12)), "AMOUNT > 0");
    EXPECT_EQ(f[14], 0xE0);   // the directory
}

TEST(CdxWriterTest, WrittenTableAndIndexReadBackEnciphered) {
    TempFolder folder;
    dbf::DbfWriter table({{"NAME", 'C', 12, 0}, {"QTY", 'N', 6, 1}, {"SEEN", 'D', 8, 0}, {"OK", 'L', 1, 0}});
    table.addRecord({"beta", "2.5", "20240229", "T"});
    table.addRecord({"alpha", "-1.0", "", "F"}, true);
    table.addRecord({"gamma", "10.0", "19991231", "T"});
    table.write(folder.file("w.dbf"), "pw");

    dbf::CdxTagDefinition name = tagOf("NAME", "NAME", 12);
    name.keys = {{"beta", 1}, {"alpha", 2}, {"gamma", 3}};
    dbf::CdxTagDefinition qty = tagOf("QTY", "QTY", 8);
    qty.keyType = 'N';
    qty.keys = {{dbf::numericHeldKey(2.5), 1}, {dbf::numericHeldKey(-1.0), 2}, {dbf::numericHeldKey(10.0), 3}};
    dbf::CdxWriter w;
    w.addTag(name);
    w.addTag(qty);
    w.write(folder.file("w.cdx"), "pw");

    DBO_dBHandler t(folder.file("w.dbf"), false, true, "pw");
    EXPECT_EQ(t.recordCount(), 3u);
    t.GetRec(1);
    EXPECT_EQ(t.fieldText("NAME"), "beta");
    EXPECT_EQ(t.fieldText("QTY"), "2.5");
    EXPECT_EQ(t.fieldText("SEEN"), "20240229");
    EXPECT_EQ(t.fieldText("OK"), "T");
    ASSERT_EQ(t.OpenIndexFile("w"), 0);
    t.setUseDeleted(false);
    t.SelectTag("QTY");
    EXPECT_EQ(t.recNo(), 1u);   // -1.0 is on the deleted record 2
    EXPECT_EQ(t.activeTag()->keyType(), 'N');
    t.GetRec(DBO_dBaseDBF::kNext);
    EXPECT_EQ(t.recNo(), 3u);
    t.SelectTag("NAME");
    t.setExact(true);
    t.setNear(true);
    EXPECT_TRUE(t.FindKey("gamma"));
    EXPECT_EQ(t.recNo(), 3u);
    EXPECT_FALSE(t.FindKey("alpha"));
    EXPECT_EQ(t.recNo(), 1u);   // the deleted record is passed over to "beta"
}

TEST(CdxWriterTest, EmptyTagIsOneEmptyRootLeaf) {
    dbf::CdxWriter w;
    w.addTag(tagOf("EMPTY", "NAME", 10));
    std::vector<uint8_t> f = w.image();
    const uint32_t root = w.layout()[0].rootOffset;
    const dbf::ByteView page(f);
    EXPECT_EQ(page.u16le(root), 3);
    EXPECT_EQ(page.u16le(root + 2), 0);
    EXPECT_EQ(page.u16le(root + 12), 488);
}

TEST(CdxWriterTest, DefinitionsThatCannotBeWrittenAreRefused) {
    dbf::CdxWriter w;
    dbf::CdxTagDefinition d = tagOf("X", "NAME", 241);
    EXPECT_THROW(w.addTag(d), std::invalid_argument);
    d.keyLength = 10;
    d.name = "ELEVENCHARS";
    EXPECT_THROW(w.addTag(d), std::invalid_argument);
    EXPECT_THROW(dbf::DbfWriter({{"", 'C', 10, 0}}), std::invalid_argument);
}

}  // namespace
