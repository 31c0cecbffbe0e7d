// The scan's system half in this process, against real processes: the snapshot, the stop by
// name, the debug privilege and the walk with its log lines in a real file.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "scan/KeyloggerScanner.h"
#include "scan/ProcessControl.h"
#include "scan/ProcessSnapshot.h"
#include "settings/TextCompare.h"
#include "tests/support/EncipherCopy.h"
#include "tests/support/ProcessFigures.h"
#include "tests/win/ScanTargets.h"
#include "win32/Win32Error.h"

using scan::KeyloggerScanner;
using scan::ScanRules;
using settings::ProcessList;
using testing_support::ScanTargets;
using testsupport::TempFolder;

namespace {

std::string ownExeName() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, n);
    return full.substr(full.find_last_of('\\') + 1);
}

std::vector<std::string> namesInSnapshot(DWORD flags, DWORD pid) {
    std::vector<std::string> names;
    scan::ProcessSnapshot snapshot(flags);
    EXPECT_FALSE(snapshot.failed());
    snapshot.forEachProcess([&](const PROCESSENTRY32& e) {
        if (e.th32ProcessID == pid) names.emplace_back(scan::exeFileOf(e));
    });
    return names;
}

std::string folderOf(const TempFolder& temp) { return temp.path().string() + "\\"; }

// A log like the main window's, writing into `file` and recording nothing in the registry.
scan::TmLog logInto(const std::string& file) {
    scan::TmLog log = scan::TmLog::withoutRecord();
    log.setTraceLevelRegKeyValue("");
    log.setLogFileName(file);
    return log;
}

std::vector<std::string> messagesIn(const std::string& file, const std::vector<std::string>& expected) {
    return testing_support::logMessages(testing_support::fileText(file), expected);
}

struct Lists {
    ProcessList white{&settings::compareTextIgnoringCase};
    ProcessList black{&settings::compareTextIgnoringCase};
};

// Stands in for the system's snapshot function and refuses as the system does when it is
// short of memory: the handle that signals failure, and the reason left for GetLastError.
constexpr DWORD kRefusal = ERROR_NOT_ENOUGH_MEMORY;
HANDLE WINAPI refusedSnapshot(DWORD, DWORD) {
    SetLastError(kRefusal);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

TEST(ProcessSnapshotTest, ListsAStartedProcessUnderItsExecutableName) {
    TempFolder temp;
    ScanTargets targets(folderOf(temp));
    auto& p = targets.start("KeyLog-1.exe");
    EXPECT_EQ(namesInSnapshot(TH32CS_SNAPPROCESS, p.pid()), std::vector<std::string>{"KeyLog-1.exe"});
    EXPECT_EQ(namesInSnapshot(TH32CS_SNAPALL, p.pid()), std::vector<std::string>{"KeyLog-1.exe"});
    EXPECT_EQ(namesInSnapshot(TH32CS_SNAPALL, GetCurrentProcessId()), std::vector<std::string>{ownExeName()});
}

TEST(ProcessStopTest, EndsEveryProcessOfTheNameInAnyLetterCaseWithExitCodeZero) {
    TempFolder temp;
    ScanTargets targets(folderOf(temp));
    auto& a = targets.start("keylog.exe");
    auto& b = targets.start("KEYLOG.EXE");
    auto& c = targets.start("keylog.exe");
    auto& other = targets.start("keylog.exe.exe");
    scan::StopOutcome outcome = scan::StopProcessesByName("keylog.exe");
    EXPECT_EQ(outcome.matched, 3);
    EXPECT_EQ(outcome.terminated, 3);
    EXPECT_TRUE(ScanTargets::endedWithZero(a));
    EXPECT_TRUE(ScanTargets::endedWithZero(b));
    EXPECT_TRUE(ScanTargets::endedWithZero(c));
    EXPECT_TRUE(other.running());
}

TEST(ProcessStopTest, AStopThatFindsNothingRunningEndsNothing) {
    scan::StopOutcome outcome = scan::StopProcessesByName("no-such-program.exe");
    EXPECT_EQ(outcome.matched, 0);
    EXPECT_EQ(outcome.terminated, 0);
    EXPECT_TRUE(outcome.ended());
}

TEST(ProcessStopTest, AStopWhoseSnapshotIsRefusedTriesNothingAndKeepsTheSystemsReason) {
    TempFolder temp;
    ScanTargets targets(folderOf(temp));
    auto& target = targets.start("keylog.exe");
    scan::StopOutcome outcome = scan::StopProcessesByName("keylog.exe", &refusedSnapshot);
    EXPECT_EQ(outcome.matched, 0);
    EXPECT_EQ(outcome.terminated, 0);
    ASSERT_TRUE(outcome.snapshotFailure.has_value());
    EXPECT_EQ(*outcome.snapshotFailure, win::errorText(kRefusal));
    EXPECT_FALSE(outcome.ended());
    EXPECT_TRUE(target.running());
}

TEST(ProcessStopTest, NeverEndsItsOwnProcessButEndsOthersOfTheSameName) {
    TempFolder temp;
    ScanTargets targets(folderOf(temp));
    auto& twin = targets.start(ownExeName());
    scan::StopOutcome outcome = scan::StopProcessesByName(ownExeName());
    EXPECT_EQ(outcome.matched, 1);
    EXPECT_EQ(outcome.terminated, 1);
    EXPECT_TRUE(ScanTargets::endedWithZero(twin));
}

TEST(ProcessStopTest, EnablePrivilegeSucceedsForTheDebugPrivilegeAndFailsForAnUnknownOne) {
    EXPECT_TRUE(scan::EnablePrivilege(GetCurrentProcess(), "SeDebugPrivilege"));
    EXPECT_FALSE(scan::EnablePrivilege(GetCurrentProcess(), "SeNoSuchPrivilege"));
    EXPECT_FALSE(scan::EnablePrivilege(nullptr, "SeDebugPrivilege"));
}

TEST(KeyloggerScannerTest, AWalkStopsWhatTheRulesSayAndLogsEachStop) {
    TempFolder temp;
    ScanTargets targets(folderOf(temp));
    auto& listed = targets.start("keylog.exe");
    auto& black = targets.start("spy.exe");
    auto& innocent = targets.start("notepad.exe");
    Lists lists;
    lists.black.assign({"SPY.EXE"});
    std::vector<std::string> asked;
    ScanRules rules(lists.white, true, lists.black, true, [&](const std::string& name) {
        asked.push_back(name);
        return name == "keylog.exe";
    });
    scan::TmLog log = logInto(temp.file("keyloggerstop.log"));
    KeyloggerScanner scanner(log);
    KeyloggerScanner::Report report = scanner.scan(rules);

    EXPECT_FALSE(report.snapshotFailed);
    EXPECT_EQ(report.stops, 2);
    EXPECT_EQ(report.processes, static_cast<int>(asked.size()) + 1) << "every entry but the program's own is examined";
    EXPECT_EQ(std::count(asked.begin(), asked.end(), ownExeName()), 0);
    EXPECT_TRUE(ScanTargets::endedWithZero(listed));
    EXPECT_TRUE(ScanTargets::endedWithZero(black));
    EXPECT_TRUE(innocent.running());
    // The walk meets the two in the order the system lists them.
    bool keylogFirst = std::find(asked.begin(), asked.end(), "keylog.exe") < std::find(asked.begin(), asked.end(), "spy.exe");
    std::vector<std::string> expected = {"Found keylogger keylog.exe", "keylog.exe have been stop",
                                         "Found keylogger spy.exe", "spy.exe have been stop"};
    if (!keylogFirst) std::rotate(expected.begin(), expected.begin() + 2, expected.end());
    EXPECT_EQ(messagesIn(temp.file("keyloggerstop.log"), expected), expected);
}

TEST(KeyloggerScannerTest, AStopWhoseSnapshotFailsIsLoggedAsNotStoppedWithTheSystemsReason) {
    TempFolder temp;
    ScanTargets targets(folderOf(temp));
    auto& target = targets.start("spy.exe");
    Lists lists;
    lists.black.assign({"spy.exe"});
    ScanRules rules(lists.white, true, lists.black, true, [](const std::string&) { return false; });
    scan::TmLog log = logInto(temp.file("keyloggerstop.log"));
    // The walk's own snapshot is the system's; only the stop's is refused.
    KeyloggerScanner scanner(log, &refusedSnapshot);
    KeyloggerScanner::Report report = scanner.scan(rules);

    EXPECT_FALSE(report.snapshotFailed);
    EXPECT_EQ(report.stops, 1);
    EXPECT_TRUE(target.running()) << "a stop that cannot see the processes tries nothing";
    const std::string reason = win::errorText(kRefusal);
    ASSERT_FALSE(reason.empty());
    std::vector<std::string> expected = {"Found keylogger spy.exe", "spy.exe could not be stopped: " + reason};
    EXPECT_EQ(messagesIn(temp.file("keyloggerstop.log"), expected), expected);
}

TEST(KeyloggerScannerTest, AnErrorFromTheTableAbandonsTheWalk) {
    TempFolder temp;
    ScanTargets targets(folderOf(temp));
    auto& target = targets.start("spy.exe");
    Lists lists;
    lists.black.assign({"spy.exe"});
    int asked = 0;
    ScanRules rules(lists.white, true, lists.black, true, [&](const std::string&) -> bool {
        ++asked;
        throw std::runtime_error("Cannot perform this operation on a closed dataset");
    });
    scan::TmLog log = logInto(temp.file("keyloggerstop.log"));
    KeyloggerScanner scanner(log);
    EXPECT_THROW(scanner.scan(rules), std::runtime_error);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(target.running());
}

TEST(KeyloggerScannerTest, ALogThatFailsTwiceLetsTheErrorOutAfterTheStop) {
    TempFolder temp;
    ScanTargets targets(folderOf(temp));
    auto& target = targets.start("spy.exe");
    // A folder where the log file should be: every write fails.
    CreateDirectoryA(temp.file("keyloggerstop.log").c_str(), nullptr);
    Lists lists;
    lists.black.assign({"spy.exe"});
    ScanRules rules(lists.white, true, lists.black, true, [](const std::string&) { return false; });
    scan::TmLog log = logInto(temp.file("keyloggerstop.log"));
    KeyloggerScanner scanner(log);
    EXPECT_THROW(scanner.scan(rules), scan::LogWriteError);
    EXPECT_TRUE(ScanTargets::endedWithZero(target)) << "the stop comes before its log lines";
}

TEST(KeyloggerScannerTest, RepeatedWalksLeaveNoHandleBehind) {
    TempFolder temp;
    ScanTargets targets(folderOf(temp));
    Lists lists;
    lists.black.assign({"spy.exe"});
    ScanRules rules(lists.white, true, lists.black, true, [](const std::string&) { return false; });
    scan::TmLog log = logInto(temp.file("keyloggerstop.log"));
    KeyloggerScanner scanner(log);
    targets.start("spy.exe");
    scanner.scan(rules);  // the first walk binds the snapshot functions
    unsigned long before = testing_support::ProcessFigures::handleCount();
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 20; ++i) {
        auto& target = targets.start("spy.exe");
        EXPECT_EQ(scanner.scan(rules).stops, 1);
        target.waitForExit(5000);
    }
    unsigned long after = testing_support::ProcessFigures::handleCount();
    // The targets' own process handles are the test's; they are closed with `targets`, so
    // count them out: each started copy holds one.
    EXPECT_EQ(after, before + 20);
}
