// ombrix-db walk, seek and info with an index, run as a program on the fixtures; for every
// fixture, info and the walk of every tag against the manifest the independent engine wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/EncipherCopy.h"
#include "tests/support/FixtureManifest.h"
#include "tests/support/ToolRun.h"

using namespace testsupport;

namespace {

const std::string kFixtures = cdxFixtures().string();

TEST(OmbrixDbIndexToolTest, WalkPrintsRecordAndKeyInKeyOrder) {
    testsupport::TempFolder folder;
    ToolRun r = runTool(folder, "walk " + quote(kFixtures + "/a_tiny.dbf") + " --index a_tiny --tag name");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "4\t\n5\tKEYLOG.EXE\n3\tKEYLOGGER.EXE\n6\tMY\n1\tMY APP.EXE\n2\tabc\n");
}

TEST(OmbrixDbIndexToolTest, WalkPrintsNumbersAndDates) {
    testsupport::TempFolder folder;
    ToolRun r = runTool(folder, "walk " + quote(kFixtures + "/b_multi.dbf") + " --index b_multi --tag AMOUNT");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 30), "7\t-999999.99\n18\t-123456.78\n16\t");
    r = runTool(folder, "walk " + quote(kFixtures + "/b_multi.dbf") + " --index b_multi --tag BIRTH");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\n5\t20240229\n"), std::string::npos) << r.out;
}

TEST(OmbrixDbIndexToolTest, WalkLeavesDeletedRecordsOutUnlessAsked) {
    testsupport::TempFolder folder;
    std::string table = quote(kFixtures + "/c_dups.dbf");
    ToolRun live = runTool(folder, "walk " + table + " --index c_dups --tag NAME");
    ToolRun all = runTool(folder, "walk " + table + " --index c_dups --tag NAME --use-deleted");
    ASSERT_EQ(live.exitCode, 0) << live.err;
    auto lines = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n'); };
    EXPECT_EQ(lines(live.out), 50);
    EXPECT_EQ(lines(all.out), 60);
}

TEST(OmbrixDbIndexToolTest, SeekPrintsFoundNotFoundAndEof) {
    testsupport::TempFolder folder;
    {
        std::ofstream keys(folder.file("keys.txt"), std::ios::binary);
        keys << "MY\r\nzzz\nKEYLOG\n";
    }
    std::string table = quote(kFixtures + "/a_tiny.dbf");
    ToolRun r = runTool(folder, "seek " + table + " --index a_tiny --tag NAME --keys-from " +
                                quote(folder.file("keys.txt")) + " KEYLOG.EXE");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "found 5\nfound 6\nnotfound eof\nnotfound 5\n");
    r = runTool(folder, "seek " + table + " --index a_tiny --tag NAME KEYLOG.EXE --keys-from " +
                            quote(folder.file("keys.txt")));
    EXPECT_EQ(r.out, "found 5\nfound 6\nnotfound eof\nnotfound 5\n") << "the option takes its file wherever it stands";
    r = runTool(folder, "seek " + table + " --index a_tiny --tag NAME --partial KEYLOG");
    EXPECT_EQ(r.out, "found 5\n");
    r = runTool(folder, "seek " + table + " --index a_tiny --tag NAME --no-near KEYLOG");
    EXPECT_EQ(r.out, "notfound eof\n");
}

TEST(OmbrixDbIndexToolTest, SeekOnAnEncipheredCopyNeedsItsKey) {
    testsupport::TempFolder folder;
    std::string table = testsupport::encipheredFixture(kFixtures, "e_names5k", folder, "k3y");
    ToolRun r = runTool(folder, "seek " + quote(table) + " --key k3y --index e_names5k --tag NAME ~~~~");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "notfound eof\n");
    r = runTool(folder, "walk " + quote(table) + " --key k3y --index e_names5k --tag NAME");
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 5000);
}

TEST(OmbrixDbIndexToolTest, InfoListsEveryTag) {
    testsupport::TempFolder folder;
    ToolRun r = runTool(folder, "info " + quote(kFixtures + "/b_multi.dbf") + " --index b_multi");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("index: b_multi\ntags: 10\ntag: ACTIVE\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("tag: POSNAME\nkey_expression: NAME\nfor_expression: AMOUNT > 0\nkey_length: 15\n"
                         "key_type: C\nunique: no\ndescending: no\ncollation: none\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("tag: AMTDESC\nkey_expression: AMOUNT\nfor_expression: \nkey_length: 8\n"
                         "key_type: N\nunique: no\ndescending: yes\n"),
              std::string::npos)
        << r.out;
}

TEST(OmbrixDbIndexToolTest, InfoOfAnEncipheredCopyMatchesThePlainFile) {
    testsupport::TempFolder folder;
    std::string table = testsupport::encipheredFixture(kFixtures, "g_vfp", folder, "vfp-key");
    ToolRun plain = runTool(folder, "info " + quote(kFixtures + "/g_vfp.dbf") + " --index g_vfp");
    ToolRun enciphered = runTool(folder, "info " + quote(table) + " --key vfp-key --index g_vfp");
    ASSERT_EQ(enciphered.exitCode, 0) << enciphered.err;
    auto tagLines = [](const std::string& s) { return s.substr(s.find("\nindex: ")); };
    EXPECT_EQ(tagLines(enciphered.out), tagLines(plain.out));
    EXPECT_NE(enciphered.out.find("tag: PID\nkey_expression: PID\n"), std::string::npos) << enciphered.out;
}

TEST(OmbrixDbIndexToolTest, WalkOfADescendingTagStartsAtTheHighestKey) {
    testsupport::TempFolder folder;
    ToolRun r = runTool(folder, "walk " + quote(kFixtures + "/c_dups.dbf") + " --index c_dups --tag NAMEDESC");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 27), "47\tDELTA\n46\tDELTA\n41\tDELTA\n");
}

TEST(OmbrixDbIndexToolTest, DamagedIndexPrintsTheEngineErrorAndExitsWithOne) {
    testsupport::TempFolder folder;
    std::vector<uint8_t> index = testsupport::readFileBytes(kFixtures + "/a_tiny.cdx");
    index[0x600] = index[0x601] = index[0x602] = index[0x603] = 0;
    std::filesystem::copy_file(kFixtures + "/a_tiny.dbf", folder.file("a_tiny.dbf"));
    testsupport::writeFileBytes(folder.file("a_tiny.cdx"), index);
    ToolRun r = runTool(folder, "walk " + quote(folder.file("a_tiny.dbf")) + " --index a_tiny --tag NAME");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("Table Error 2112", 0), 0u) << r.err;
}

// The info that the manifest states: header, fields, then the tags in the directory's name
// order. The first line names the table as the engine holds it, and is compared apart.
std::string expectedInfo(const Manifest& m) {
    char version[8];
    std::snprintf(version, sizeof version, "0x%02X", m.version);
    char flags[8];
    std::snprintf(flags, sizeof flags, "0x%02X", m.flags);
    std::ostringstream s;
    s << "version: " << version << "\n"
      << "records: " << m.recordCount << "\n"
      << "header_length: " << m.headerLength << "\n"
      << "record_length: " << m.recordLength << "\n"
      << "encrypted: no\n"
      << "table_flags: " << flags << "\n"
      << "fields: " << m.fields.size() << "\n";
    for (const ManifestField& f : m.fields)
        s << "field: " << f.name << " " << f.type << " " << f.length << " " << f.decimals << "\n";
    s << "index: " << m.fixture << "\n"
      << "tags: " << m.tags.size() << "\n";
    std::vector<const ManifestTag*> byName;
    for (const ManifestTag& t : m.tags) byName.push_back(&t);
    std::sort(byName.begin(), byName.end(), [](const ManifestTag* a, const ManifestTag* b) { return a->name < b->name; });
    for (const ManifestTag* t : byName) {
        // The other engine calls a logical tag's type "L"; its one-byte keys are character keys.
        s << "tag: " << t->name << "\n"
          << "key_expression: " << t->expression << "\n"
          << "for_expression: " << t->forExpression << "\n"
          << "key_length: " << t->keyLength << "\n"
          << "key_type: " << (t->keyType == 'L' ? 'C' : t->keyType) << "\n"
          << "unique: " << (t->unique ? "yes" : "no") << "\n"
          << "descending: " << (t->descending ? "yes" : "no") << "\n"
          << "collation: none\n";
    }
    return s.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// Compares the walk output ("RECNO<TAB>KEY" lines) with the manifest's keys, leaving out the
// deleted records unless `useDeleted`. Numbers compare as numbers: the manifest shows Str()
// of the value ("100.00"), the tool the shortest form that reads back the same.
void expectWalkMatches(const std::string& out, const ManifestTag& tag, const Manifest& m, bool useDeleted) {
    std::vector<ManifestKey> expected;
    for (const ManifestKey& k : tag.keys)
        if (useDeleted || std::find(m.deleted.begin(), m.deleted.end(), k.recNo) == m.deleted.end())
            expected.push_back(k);
    const std::vector<std::string> got = lines(out);
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_EQ(out.empty() ? '\n' : out.back(), '\n');
    for (size_t i = 0; i < got.size(); ++i) {
        const size_t tab = got[i].find('\t');
        ASSERT_NE(tab, std::string::npos) << got[i];
        EXPECT_EQ(got[i].substr(0, tab), std::to_string(expected[i].recNo)) << "line " << i + 1;
        const std::string key = got[i].substr(tab + 1);
        if (tag.keyType == 'N')
            EXPECT_EQ(std::strtod(key.c_str(), nullptr), std::strtod(expected[i].text.c_str(), nullptr))
                << "line " << i + 1 << ": " << key << " for " << expected[i].text;
        else
            EXPECT_EQ(key, expected[i].text) << "line " << i + 1;
    }
}

class OmbrixDbManifestTest : public ::testing::TestWithParam<std::string> {};

TEST_P(OmbrixDbManifestTest, InfoStatesTheManifestHeaderFieldsAndTags) {
    const Manifest m = readManifest(GetParam());
    TempFolder scratch;
    ToolRun r = runTool(scratch, "info " + quote(cdxFixture(m.fixture + ".dbf")) + " --index " + m.fixture);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const size_t firstLine = r.out.find('\n');
    ASSERT_NE(firstLine, std::string::npos) << r.out;
    const std::string table = r.out.substr(0, firstLine);
    std::string upper = m.fixture + ".DBF";
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    EXPECT_EQ(table.rfind("table: ", 0), 0u) << table;
    ASSERT_GT(table.size(), upper.size() + 7) << table;
    EXPECT_EQ(table.substr(table.size() - upper.size()), upper) << table;
    const char separator = table[table.size() - upper.size() - 1];
    EXPECT_TRUE(separator == '/' || separator == '\\') << table;
    EXPECT_EQ(r.out.substr(firstLine + 1), expectedInfo(m));
}

TEST_P(OmbrixDbManifestTest, WalkOfEveryTagListsTheManifestKeysInOrder) {
    const Manifest m = readManifest(GetParam());
    TempFolder scratch;
    const std::string table = quote(cdxFixture(m.fixture + ".dbf"));
    for (const ManifestTag& tag : m.tags) {
        SCOPED_TRACE(m.fixture + " tag " + tag.name);
        const std::string args = "walk " + table + " --index " + m.fixture + " --tag " + tag.name;
        ToolRun all = runTool(scratch, args + " --use-deleted");
        ASSERT_EQ(all.exitCode, 0) << all.err;
        EXPECT_EQ(all.err, "");
        expectWalkMatches(all.out, tag, m, true);
        ToolRun live = runTool(scratch, args);
        ASSERT_EQ(live.exitCode, 0) << live.err;
        expectWalkMatches(live.out, tag, m, false);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, OmbrixDbManifestTest, ::testing::ValuesIn(cdxFixtureNames()));

}  // namespace
