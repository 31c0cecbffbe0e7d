// ombrix-db info and dump end to end, and the command line every command shares: the built
// tool run on fixtures, its output and exit code compared.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/EncipherCopy.h"
#include "tests/support/FixtureManifest.h"
#include "tests/support/ToolRun.h"

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

// The command line: a word the tool does not know stops it before it opens anything.

const std::vector<std::string> kCommandNames = {"info", "dump", "walk", "seek", "build", "lookup", "list"};

// A refused command line: exit code 2, nothing on stdout, the fault (its whole first line)
// and then the usage on stderr.
// Where CLI11 words the fault, the first line need only name the word at fault (`mentions`).
void expectUsageError(const ToolRun& r, const std::string& fault, const std::string& mentions = "") {
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind(fault, 0), 0u) << r.err;
    EXPECT_NE(r.err.substr(0, r.err.find('\n')).find(mentions), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\nusage: ombrix-db info TABLE"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\n       ombrix-db lookup [--db DIR] NAME...\n"), std::string::npos) << r.err;
}

TEST(OmbrixDbCommandLineTest, UnknownOptionOfEachCommandIsAUsageErrorWithExitCodeTwo) {
    TempFolder scratch, db;
    const std::string table = fixtureArg("a_tiny.dbf");
    const struct {
        std::string args, fault;
    } cases[] = {
        {"info " + table + " --indx a_tiny", "ombrix-db info: not expected: --indx a_tiny\n"},
        {"dump " + table + " --keyy k", "ombrix-db dump: not expected: --keyy k\n"},
        {"walk " + table + " --index a_tiny --tag NAME --use-delted",
         "ombrix-db walk: not expected: --use-delted\n"},
        {"seek " + table + " --index a_tiny --tag NAME --parital KEYLOG",
         "ombrix-db seek: not expected: --parital\n"},
        {"build " + quote(scratch.file("list.txt")) + " " + quote(db.path().string()) + " --plan",
         "ombrix-db build: not expected: --plan\n"},
        {"lookup --db " + quote(db.path().string()) + " keylog.exe --verbose",
         "ombrix-db lookup: not expected: --verbose\n"},
        {"list --dbb " + quote(db.path().string()), "ombrix-db list: not expected: --dbb " + db.path().string() + "\n"},
        // An option of another command is just as unknown.
        {"dump " + table + " --tag NAME", "ombrix-db dump: not expected: --tag NAME\n"},
        {"lookup --plain keylog.exe", "ombrix-db lookup: not expected: --plain\n"},
        // There are no one-letter options.
        {"lookup -v keylog.exe", "ombrix-db lookup: not expected: -v\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        expectUsageError(runTool(scratch, c.args), c.fault);
    }
    EXPECT_TRUE(std::filesystem::is_empty(db.path())) << "a refused build writes nothing";
}

TEST(OmbrixDbCommandLineTest, MissingOrSurplusOperandsAndValuesAreUsageErrors) {
    TempFolder scratch;
    const std::string table = fixtureArg("a_tiny.dbf");
    const struct {
        std::string args, fault, mentions;
    } cases[] = {
        {"", "usage: ombrix-db info TABLE"},
        {"dupm " + table, "ombrix-db: unknown command dupm\n"},
        {"--key k dump " + table, "ombrix-db: unknown command --key\n"},
        {"info", "ombrix-db info: ", "TABLE"},
        {"dump " + table + " --key", "ombrix-db dump: ", "--key"},
        {"dump " + table + " " + table, "ombrix-db dump: not expected: " + cdxFixture("a_tiny.dbf") + "\n"},
        {"walk " + table + " --tag NAME", "ombrix-db walk: ", "--index"},
        {"seek " + table + " --index a_tiny KEYLOG", "ombrix-db seek: ", "--tag"},
        {"build " + quote(scratch.file("list.txt")), "ombrix-db build: ", "OUTDIR"},
        {"lookup", "ombrix-db lookup: no NAME given\n"},
        {"lookup --db", "ombrix-db lookup: ", "--db"},
        {"list extra", "ombrix-db list: not expected: extra\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        ToolRun r = runTool(scratch, c.args);
        if (c.args.empty()) {
            EXPECT_EQ(r.exitCode, 2);
            EXPECT_EQ(r.err.rfind(c.fault, 0), 0u) << r.err;
        } else {
            expectUsageError(r, c.fault, c.mentions);
        }
    }
}

TEST(OmbrixDbCommandLineTest, HelpOfEachCommandGoesToStdoutWithExitCodeZero) {
    TempFolder scratch;
    for (const std::string& command : kCommandNames) {
        SCOPED_TRACE(command);
        for (const char* help : {" --help", " -h"}) {
            ToolRun r = runTool(scratch, command + help);
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(r.err, "");
            EXPECT_NE(r.out.find("Usage: ombrix-db " + command + " "), std::string::npos) << r.out;
        }
    }
    // Help comes before the check for the operands and options a command needs.
    ToolRun r = runTool(scratch, "walk " + fixtureArg("a_tiny.dbf") + " --help");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("--use-deleted"), std::string::npos) << r.out;

    r = runTool(scratch, "--help");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const std::string& command : kCommandNames)
        EXPECT_NE(r.out.find("\n  " + command + " "), std::string::npos) << command << " in\n" << r.out;
}

TEST(OmbrixDbCommandLineTest, DoubleDashEndsTheOptionsSoATableMayBeNamedLikeOne) {
    TempFolder scratch, folder;
    std::filesystem::copy_file(cdxFixture("a_tiny.dbf"), folder.file("--tiny.dbf"));
    ToolRun plain = runTool(scratch, "dump " + fixtureArg("a_tiny.dbf"));
    ToolRun r = runToolIn(scratch, folder, "dump -- --tiny.dbf");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, plain.out);
    // After "--" even a known option is a word out of place.
    r = runToolIn(scratch, folder, "dump -- --tiny.dbf --key k");
    expectUsageError(r, "ombrix-db dump: not expected: --key k\n");
}

TEST(OmbrixDbCommandLineTest, OptionValuesTakeEitherFormAndTheLastOneCounts) {
    TempFolder scratch;
    std::string table = encipheredFixture(cdxFixtures().string(), "a_tiny", scratch, "k-1");
    ToolRun spaced = runTool(scratch, "dump " + quote(table) + " --key k-1");
    ASSERT_EQ(spaced.exitCode, 0) << spaced.err;
    ToolRun joined = runTool(scratch, "dump " + quote(table) + " --key=k-1");
    EXPECT_EQ(joined.exitCode, 0) << joined.err;
    EXPECT_EQ(joined.out, spaced.out);
    ToolRun corrected = runTool(scratch, "dump --key wrong " + quote(table) + " --key k-1");
    EXPECT_EQ(corrected.exitCode, 0) << corrected.err;
    EXPECT_EQ(corrected.out, spaced.out);
    // A value that starts with "-" is still the option's value.
    std::string dashed = encipheredFixture(cdxFixtures().string(), "b_multi", scratch, "-k");
    ToolRun r = runTool(scratch, "dump " + quote(dashed) + " --key -k");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, runTool(scratch, "dump " + fixtureArg("b_multi.dbf")).out);
}
