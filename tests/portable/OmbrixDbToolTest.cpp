// ombrix-db info and dump end to end: the built tool run on fixtures, its output compared.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/EncipherCopy.h"
#include "tests/support/FixtureManifest.h"
#include "tests/support/ToolRun.h"

using testsupport::TempFolder;

using namespace testsupport;

namespace {

ToolRun runTool(const std::string& args) {
    TempFolder folder;
    return testsupport::runTool(folder, args);
}

std::string fixtureArg(const std::string& file) { return quote(testsupport::cdxFixture(file)); }

}  // namespace

TEST(OmbrixDbToolTest, DumpPrintsEveryRecordWithDeletedMarkAndFieldTexts) {
    ToolRun r = runTool("dump " + fixtureArg("a_tiny.dbf"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "1\t \tMY APP.EXE\n"
              "2\t \tabc\n"
              "3\t \tKEYLOGGER.EXE\n"
              "4\t \t\n"
              "5\t \tKEYLOG.EXE\n"
              "6\t \tMY\n");
}

TEST(OmbrixDbToolTest, DumpMarksDeletedRecords) {
    ToolRun r = runTool("dump " + fixtureArg("c_dups.dbf"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    int count = 0, deleted = 0;
    while (std::getline(lines, line)) {
        ++count;
        if (line.find("\t*\t") != std::string::npos) ++deleted;
    }
    EXPECT_EQ(count, 60);
    EXPECT_EQ(deleted, 10);
    EXPECT_EQ(r.out.rfind("1\t*\t", 0), 0u);
}

TEST(OmbrixDbToolTest, DumpOfEncipheredCopyWithKeyEqualsPlainDump) {
    TempFolder folder;
    std::string table = testsupport::encipheredFixture(testsupport::cdxFixtures().string(), "b_multi", folder, "tool key");
    ToolRun plain = runTool("dump " + fixtureArg("b_multi.dbf"));
    ToolRun sealed = runTool("dump " + quote(table) + " --key " + quote("tool key"));
    EXPECT_EQ(sealed.exitCode, 0) << sealed.err;
    EXPECT_EQ(sealed.out, plain.out);
    EXPECT_NE(plain.out.find("3\t \tSMITH\tChicago\t0.00\t\tT\tA1\n"), std::string::npos) << plain.out;
}

TEST(OmbrixDbToolTest, InfoPrintsHeaderAndFields) {
    ToolRun r = runTool("info " + fixtureArg("b_multi.dbf"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::string expectedTail =
        "version: 0x03\n"
        "records: 20\n"
        "header_length: 226\n"
        "record_length: 51\n"
        "encrypted: no\n"
        "table_flags: 0x01\n"
        "fields: 6\n"
        "field: NAME C 15 0\n"
        "field: CITY C 12 0\n"
        "field: AMOUNT N 10 2\n"
        "field: BIRTH D 8 0\n"
        "field: ACTIVE L 1 0\n"
        "field: CODE C 4 0\n";
    ASSERT_GE(r.out.size(), expectedTail.size());
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), expectedTail);
    EXPECT_EQ(r.out.rfind("table: ", 0), 0u);
}

TEST(OmbrixDbToolTest, EngineErrorGoesToStderrWithExitCodeOne) {
    TempFolder folder;
    ToolRun r = runTool("dump " + quote(folder.file("absent.dbf")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("File not found - ", 0), 0u) << r.err;
}

TEST(OmbrixDbToolTest, EncipheredTableWithoutKeyIsRefused) {
    TempFolder folder;
    std::string table = testsupport::encipheredFixture(testsupport::cdxFixtures().string(), "a_tiny", folder, "k");
    ToolRun r = runTool("info " + quote(table));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("No Password for encrypted file ", 0), 0u) << r.err;
}
