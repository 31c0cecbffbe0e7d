// ombrix-db walk, seek and info with an index, run as a program on the fixtures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/EncipherCopy.h"
#include "tests/support/ToolRun.h"

using namespace testsupport;

namespace {

const std::string kFixtures = std::string(OMBRIX_FIXTURES) + "/cdx";

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

}  // namespace
