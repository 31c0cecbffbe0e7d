// ombrix-db build, lookup and list end to end: the built tool turns a source list into the
// enciphered database and answers with the program's own lookup; the unenciphered form is
// read back by an independent xBase reader (Perl's XBase module, natively).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "scan/KeyloggerDatabase.h"
#include "tests/support/EncipherCopy.h"
#include "tests/support/ToolRun.h"

using testsupport::TempFolder;

using namespace testsupport;

namespace {

const char* kSource =
    "# test list\n"
    "keylog.exe\tKeylog\n"
    "KEYLOGGER.EXE\tKeylogger\n"
    "spy-7.exe\n";

}  // namespace

TEST(OmbrixDbDatabaseToolTest, BuiltDatabaseAnswersAsTheProgramDoes) {
    TempFolder scratch, db;
    writeFileText(scratch.file("list.txt"), kSource);
    ToolRun built = runTool(scratch, "build " + quote(scratch.file("list.txt")) + " " + quote(db.path().string()));
    ASSERT_EQ(built.exitCode, 0) << built.err;
    EXPECT_NE(built.out.find("3 names written"), std::string::npos) << built.out;
    EXPECT_TRUE(std::filesystem::exists(db.path() / "keyloggerlist.dbf"));
    EXPECT_TRUE(std::filesystem::exists(db.path() / "keyloggerlist.cdx"));

    ToolRun r = runTool(scratch, "lookup --db " + quote(db.path().string()) +
                                     " keylog.exe KEYLOG.EXE keylog KEYLOGGER.EXE keylogger.exe spy-7.exe spy-7");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "hit\nmiss\nmiss\nhit\nmiss\nhit\nmiss\n");

    r = runToolIn(scratch, db, "lookup keylog.exe");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "hit\n") << "the current directory by default";
}

TEST(OmbrixDbDatabaseToolTest, ListGivesTheNamesBackInKeyOrder) {
    TempFolder scratch, db;
    writeFileText(scratch.file("list.txt"), kSource);
    ASSERT_EQ(runTool(scratch, "build " + quote(scratch.file("list.txt")) + " " + quote(db.path().string())).exitCode, 0);
    ToolRun r = runTool(scratch, "list --db " + quote(db.path().string()));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Key order is the order of the exchanged names: 6ey702/exe, KEYLOGGER/EXE, spytl/exe.
    EXPECT_EQ(r.out, "keylog.exe\nKEYLOGGER.EXE\nspy-7.exe\n");
}

// Process names may start with "-" or "--" (and "--" alone is a legal name): after "--" each
// is a name, and each of 1,505 names gets its answer on its own line, in order.
TEST(OmbrixDbDatabaseToolTest, EveryNameAfterDoubleDashGetsExactlyOneAnswer) {
    TempFolder scratch, db;
    std::string source;
    std::set<std::string> listed;
    for (int i = 0; i < 300; ++i) {
        const char* prefix = i % 3 == 0 ? "--" : i % 3 == 1 ? "-" : "";
        std::string name = prefix + std::string("agent") + std::to_string(i) + ".exe";
        source += name + "\n";
        listed.insert(name);
    }
    for (const char* name : {"--", "-", "--help", "--db", "-h", "list", "my app.exe"}) {
        source += std::string(name) + "\n";
        listed.insert(name);
    }
    writeFileText(scratch.file("list.txt"), source);
    ASSERT_EQ(runTool(scratch, "build " + quote(scratch.file("list.txt")) + " " + quote(db.path().string())).exitCode, 0);

    // Every listed name, and as many near misses: another case, another dash count, another
    // number, the name cut short.
    std::vector<std::string> names(listed.begin(), listed.end());
    for (int i = 0; names.size() < 1505; ++i) {
        const std::string n = std::to_string(i);
        for (std::string miss : {"--AGENT" + n + ".exe", "---agent" + n + ".exe", "-agent" + n + "0.exe",
                                 "--agent" + n + ".ex", "agent" + n})
            if (names.size() < 1505) names.push_back(miss);
    }
    // Hits and misses interleaved, the same way on every run.
    for (size_t i = 0; i < names.size(); ++i) std::swap(names[i], names[(i * 7919) % names.size()]);

    // One run where the command line holds them all; cmd.exe holds fewer, so there in parts.
    size_t answered = 0;
    int runs = 0;
    for (size_t first = 0; first < names.size(); ++runs) {
        std::string args = "lookup --db " + quote(db.path().string()) + " --";
        std::string expected;
        size_t next = first;
        for (; next < names.size() && args.size() + names[next].size() + 3 < testsupport::kArgumentRoom; ++next) {
            args += " " + quote(names[next]);
            expected += listed.count(names[next]) ? "hit\n" : "miss\n";
        }
        SCOPED_TRACE("names " + std::to_string(first + 1) + " to " + std::to_string(next));
        ToolRun r = runTool(scratch, args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), static_cast<std::ptrdiff_t>(next - first));
        EXPECT_EQ(r.out, expected);
        answered += next - first;
        first = next;
    }
    EXPECT_EQ(answered, 1505u);
#ifndef _WIN32
    EXPECT_EQ(runs, 1) << "natively all names go in one run";
#endif
}

TEST(OmbrixDbDatabaseToolTest, MissingDatabaseGivesTheOpenErrorAndNoAnswer) {
    TempFolder scratch, empty;
    ToolRun r = runTool(scratch, "lookup --db " + quote(empty.path().string()) + " keylog.exe");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Cannot find file keyloggerlist.dbf\n");
    r = runTool(scratch, "list --db " + quote(empty.path().string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Cannot find file keyloggerlist.dbf\n");
}

TEST(OmbrixDbDatabaseToolTest, FaultySourceIsReportedWithItsLineAndNothingIsWritten) {
    TempFolder scratch, db;
    writeFileText(scratch.file("list.txt"), "good.exe\nbad:name.exe\n");
    ToolRun r = runTool(scratch, "build " + quote(scratch.file("list.txt")) + " " + quote(db.path().string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, scratch.file("list.txt") + ":2: the name holds \":\", which no file name may hold\n");
    EXPECT_FALSE(std::filesystem::exists(db.path() / "keyloggerlist.dbf"));
}

TEST(OmbrixDbDatabaseToolTest, EncipheredOutputNeedsTheKeyAndPlainOutputDoesNot) {
    TempFolder scratch, enciphered, plain;
    writeFileText(scratch.file("list.txt"), kSource);
    ASSERT_EQ(runTool(scratch, "build " + quote(scratch.file("list.txt")) + " " + quote(enciphered.path().string()))
                  .exitCode,
              0);
    ASSERT_EQ(runTool(scratch, "build " + quote(scratch.file("list.txt")) + " " + quote(plain.path().string()) +
                                   " --plain")
                  .exitCode,
              0);
    ToolRun r = runTool(scratch, "dump " + quote((enciphered.path() / "keyloggerlist.dbf").string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("No Password for encrypted file ", 0), 0u) << r.err;
    r = runTool(scratch, "walk " + quote((plain.path() / "keyloggerlist.dbf").string()) + " --index keyloggerlist --tag SPDLL");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "1\t6ey702/exe\n2\tKEYLOGGER/EXE\n3\tspytl/exe\n");
    r = runTool(scratch, "lookup --db " + quote(plain.path().string()) + " keylog.exe");
    EXPECT_EQ(r.exitCode, 1) << "the program's lookup wants its key";
}

#ifndef _WIN32
// Perl's XBase module (libdbd-xbase-perl) walks the tag of the unenciphered output through the
// table and must meet every key in order, here over a tree of several levels.
TEST(OmbrixDbDatabaseToolTest, IndependentReaderFindsEveryKeyInOrder) {
    // scripts/setup installs the module: a machine without it is a set-up fault, not a reason to skip.
    ASSERT_EQ(std::system("perl -MXBase -e 1 >/dev/null 2>&1"), 0) << "Perl's XBase module (libdbd-xbase-perl) is missing";
    TempFolder scratch, db;
    std::string source;
    std::vector<std::string> keys;
    for (int i = 0; i < 700; ++i) {
        std::string name = "Mon" + std::to_string(i * 7919 % 1000) + "-agent" + std::to_string(i) + ".exe";
        source += name + "\tproduct " + std::to_string(i) + "\n";
        keys.push_back(scan::KeyloggerDatabase::tableKey(name));
    }
    std::sort(keys.begin(), keys.end());
    writeFileText(scratch.file("list.txt"), source);
    ASSERT_EQ(runTool(scratch, "build " + quote(scratch.file("list.txt")) + " " + quote(db.path().string()) + " --plain")
                  .exitCode,
              0);
    writeFileText(scratch.file("walk.pl"),
              "use XBase;\n"
              "my $t = XBase->new($ARGV[0]) or die XBase->errstr;\n"
              "my $c = $t->prepare_select_with_index([$ARGV[1], 'SPDLL'], 'SPDLL') or die $t->errstr;\n"
              "while (my @row = $c->fetch) { print \"$row[0]\\n\" }\n");
    ToolRun r = runShell(scratch, "perl " + quote(scratch.file("walk.pl")) + " " +
                                      quote((db.path() / "keyloggerlist.dbf").string()) + " " +
                                      quote((db.path() / "keyloggerlist.cdx").string()));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string expected;
    for (const auto& k : keys) expected += k + "\n";
    EXPECT_EQ(r.out, expected);

    // Its own index reader, without the table, sees the same keys.
    r = runShell(scratch, "index_dump -type char " + quote((db.path() / "keyloggerlist.cdx").string()) + " SPDLL");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    size_t n = 0;
    while (std::getline(lines, line)) {
        ASSERT_LT(n, keys.size());
        EXPECT_EQ(line.substr(0, line.rfind(' ')), keys[n]) << line;
        ++n;
    }
    EXPECT_EQ(n, keys.size());
}
#endif
