// Which processes the scan stops, from the switches, the lists, the table's answer and the
// protected names; the name match of a stop; the log lines of a stop. The table is a set of
// names here (the real table is the Windows tests' and the benchmark's), the lists compare
// ASCII letters without case in place of the system's comparison.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <vector>

#include "scan/ProcessName.h"
#include "scan/ScanRules.h"
#include "settings/ProcessList.h"

using scan::ScanRules;
using settings::ProcessList;
using Lines = std::vector<std::string>;

namespace {

int compareAsciiIgnoringCase(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char ca = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
        char cb = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
        if (ca != cb) return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb) ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The lists, the table and the switches of one scan, with a record of the table's questions.
struct Scan {
    ProcessList white{&compareAsciiIgnoringCase};
    ProcessList black{&compareAsciiIgnoringCase};
    std::set<std::string> table;   // exact names, as the table's key is case-sensitive
    bool enabledWhite = true;
    bool enabledBlack = true;
    std::vector<std::string> asked;

    bool mustStop(const std::string& name) {
        ScanRules rules(white, enabledWhite, black, enabledBlack, [this](const std::string& n) {
            asked.push_back(n);
            return table.count(n) != 0;
        });
        return rules.mustStop(name);
    }
};

}  // namespace

TEST(ScanRulesTest, EachRowOfTheRuleTableGivesItsOutcome) {
    // W: white hit, T: table hit on an unprotected name, B: black hit; switches on.
    struct Row {
        bool w, t, b, stopped;
    };
    for (Row row : {Row{true, true, true, false}, Row{true, false, true, false}, Row{true, true, false, false},
                    Row{true, false, false, false}, Row{false, true, true, true}, Row{false, true, false, true},
                    Row{false, false, true, true}, Row{false, false, false, false}}) {
        Scan scan;
        if (row.w) scan.white.assign({"keylog.exe"});
        if (row.t) scan.table.insert("keylog.exe");
        if (row.b) scan.black.assign({"keylog.exe"});
        EXPECT_EQ(scan.mustStop("keylog.exe"), row.stopped) << "W " << row.w << " T " << row.t << " B " << row.b;
    }
}

TEST(ScanRulesTest, ListsIgnoreCaseButTheTableIsAskedWithTheNameUnchanged) {
    Scan scan;
    scan.table.insert("keylog.exe");
    EXPECT_TRUE(scan.mustStop("keylog.exe"));
    EXPECT_FALSE(scan.mustStop("KEYLOG.EXE")) << "the table knows the name in its own case only";
    EXPECT_EQ(scan.asked, (Lines{"keylog.exe", "KEYLOG.EXE"}));

    scan.white.assign({"KEYLOG.EXE"});
    EXPECT_FALSE(scan.mustStop("keylog.exe"));
    scan.white.clear();
    scan.black.assign({"KeyLog.Exe"});
    EXPECT_TRUE(scan.mustStop("KEYLOG.EXE"));
}

TEST(ScanRulesTest, ASwitchedOffListDecidesNothing) {
    Scan scan;
    scan.white.assign({"keylog.exe"});
    scan.black.assign({"notepad.exe"});
    scan.table.insert("keylog.exe");
    scan.enabledWhite = false;
    scan.enabledBlack = false;
    EXPECT_TRUE(scan.mustStop("keylog.exe")) << "a white list that is off protects nothing";
    EXPECT_FALSE(scan.mustStop("notepad.exe")) << "a black list that is off stops nothing";
}

TEST(ScanRulesTest, ATableHitOnAProtectedNameIsLeftAloneButTheBlackListStillStopsIt) {
    Scan scan;
    scan.table = {"smss.exe", "svchost.exe", "lsass.exe", "services.exe", "Explorer.exe", "explorer.exe",
                  "EXPLORER.EXE", "SMSS.EXE", "SvcHost.exe"};
    for (const char* name : {"smss.exe", "svchost.exe", "lsass.exe", "services.exe", "Explorer.exe", "explorer.exe",
                             "EXPLORER.EXE"})
        EXPECT_FALSE(scan.mustStop(name)) << name;
    EXPECT_TRUE(scan.mustStop("SMSS.EXE")) << "the four are protected only as written";
    EXPECT_TRUE(scan.mustStop("SvcHost.exe"));

    scan.black.assign({"svchost.exe", "explorer.exe"});
    EXPECT_TRUE(scan.mustStop("svchost.exe"));
    EXPECT_TRUE(scan.mustStop("Explorer.exe"));
    scan.enabledBlack = false;
    EXPECT_FALSE(scan.mustStop("svchost.exe"));
}

TEST(ScanRulesTest, EveryExaminationAsksTheTableWhateverTheListsSay) {
    Scan scan;
    scan.white.assign({"a.exe"});
    scan.black.assign({"b.exe"});
    scan.mustStop("a.exe");
    scan.mustStop("b.exe");
    scan.mustStop("c.exe");
    EXPECT_EQ(scan.asked, (Lines{"a.exe", "b.exe", "c.exe"}));
}

TEST(ScanRulesTest, BothListsAreSortedInPlaceEvenWithTheirSwitchesOff) {
    Scan scan;
    scan.white.assign({"z.exe", "a.exe"});
    scan.black.assign({"y.exe", "b.exe"});
    scan.enabledWhite = false;
    scan.enabledBlack = false;
    scan.mustStop("m.exe");
    EXPECT_EQ(scan.white.lines(), (Lines{"a.exe", "z.exe"}));
    EXPECT_EQ(scan.black.lines(), (Lines{"b.exe", "y.exe"}));
}

TEST(ScanRulesTest, AnErrorFromTheTableLeavesTheExamination) {
    Scan scan;
    scan.white.assign({"keylog.exe"});
    ProcessList& white = scan.white;
    ScanRules rules(white, true, scan.black, true,
                    [](const std::string&) -> bool { throw std::runtime_error("Cannot perform this operation on a closed dataset"); });
    EXPECT_THROW(rules.mustStop("keylog.exe"), std::runtime_error) << "even a white-listed name asks the table";
}

TEST(ProtectedNameTest, FourNamesMatchExactlyAndExplorerInAnyCase) {
    for (const char* name : {"smss.exe", "svchost.exe", "lsass.exe", "services.exe", "EXPLORER.EXE", "explorer.exe",
                             "Explorer.exe", "eXpLoReR.eXe"})
        EXPECT_TRUE(scan::isProtectedName(name)) << name;
    for (const char* name : {"SMSS.EXE", "Svchost.exe", "lsass.EXE", "services.exe ", " smss.exe", "explorer.exe ",
                             "explorer", "C:\\Windows\\explorer.exe", ""})
        EXPECT_FALSE(scan::isProtectedName(name)) << name;
}

TEST(ProtectedNameTest, UpperCaseReachesOnlyTheAsciiLetters) {
    EXPECT_TRUE(scan::reachedByStop("KEYLOG-1.EXE", "keylog-1.exe"));
    EXPECT_FALSE(scan::reachedByStop("\xc9T\xc9.EXE", "\xe9t\xe9.exe")) << "ANSI letters keep their case";
    EXPECT_FALSE(scan::isProtectedName("EXPLORER.EX\xc9"));
}

TEST(StopMatchTest, AStopReachesTheSameFileNameInAnyLetterCase) {
    EXPECT_TRUE(scan::reachedByStop("keylog.exe", "keylog.exe"));
    EXPECT_TRUE(scan::reachedByStop("KEYLOG.EXE", "keylog.exe"));
    EXPECT_TRUE(scan::reachedByStop("KeyLog.exe", "KEYLOG.EXE"));
    EXPECT_FALSE(scan::reachedByStop("keylog.exe ", "keylog.exe"));
    EXPECT_FALSE(scan::reachedByStop("keylog", "keylog.exe"));
    EXPECT_FALSE(scan::reachedByStop("keylog.exe", "keylog"));
    EXPECT_FALSE(scan::reachedByStop("\xe9.exe", "\xc9.exe")) << "only a to z change case";
}

TEST(StopMatchTest, AFieldWithAFolderIsMatchedByItsFileNameOrWhole) {
    EXPECT_EQ(scan::executableFileName("C:\\Program Files\\Spy\\keylog.exe"), "keylog.exe");
    EXPECT_EQ(scan::executableFileName("C:keylog.exe"), "keylog.exe");
    EXPECT_EQ(scan::executableFileName("keylog.exe"), "keylog.exe");
    EXPECT_EQ(scan::executableFileName("C:\\Spy\\"), "");
    EXPECT_TRUE(scan::reachedByStop("C:\\Program Files\\Spy\\KEYLOG.EXE", "keylog.exe"));
    EXPECT_TRUE(scan::reachedByStop("c:\\spy\\keylog.exe", "C:\\SPY\\KEYLOG.EXE"));
    EXPECT_FALSE(scan::reachedByStop("C:\\Spy\\other.exe", "keylog.exe"));
}

TEST(StopLogLinesTest, AStopThatEndedAProcessIsLoggedInTheProgramsTwoLines) {
    for (scan::StopOutcome outcome : {scan::StopOutcome{1, 1}, scan::StopOutcome{3, 1}}) {
        auto lines = scan::stopLogLines("keylog.exe", outcome);
        EXPECT_EQ(lines[0], "Found keylogger keylog.exe");
        EXPECT_EQ(lines[1], "keylog.exe have been stop");
    }
}

TEST(StopLogLinesTest, AStopThatFoundNothingLeftRunningCountsAsDone) {
    // The second entry of a program whose first entry's stop already ended both copies.
    EXPECT_EQ(scan::stopLogLines("keylog.exe", scan::StopOutcome{0, 0})[1], "keylog.exe have been stop");
}

TEST(StopLogLinesTest, AStopWhoseProcessesWereAllRefusedSaysSo) {
    auto lines = scan::stopLogLines("keylog.exe", scan::StopOutcome{2, 0});
    EXPECT_EQ(lines[0], "Found keylogger keylog.exe");
    EXPECT_EQ(lines[1], "keylog.exe could not be stopped");
}

TEST(StopLogLinesTest, AStopThatCouldNotTakeItsSnapshotIsAFailureWithTheSystemsReason) {
    // Nothing matched because nothing could be seen: that is no proof that the name is gone.
    scan::StopOutcome outcome;
    outcome.snapshotFailure = "Not enough memory resources are available to process this command.";
    EXPECT_FALSE(outcome.ended());
    auto lines = scan::stopLogLines("keylog.exe", outcome);
    EXPECT_EQ(lines[0], "Found keylogger keylog.exe");
    EXPECT_EQ(lines[1], "keylog.exe could not be stopped: Not enough memory resources are available to process this command.");
}
