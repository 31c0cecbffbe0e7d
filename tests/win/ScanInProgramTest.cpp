// The keylogger scan in the running program, driven from outside: a real enciphered table
// built by ombrix-db, the real list and settings files, real processes to stop, and the
// operation log the program writes. A scan is started by the scan timer's own message, sent
// so that the call returns when the scan is over, or posted where a message box will stop it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "tests/win/ProgramUnderTest.h"
#include "tests/win/ScanTargets.h"
#include "tests/win/TrayTips.h"

using testing_support::Process;
using testing_support::ProgramUnderTest;
using testing_support::ScanTargets;

namespace {

constexpr UINT_PTR kTimer2Id = 2;
constexpr const char* kLog = "keyloggerstop.log";

std::vector<std::string> pairFor(const std::string& name) {
    return {"Found keylogger " + name, name + " have been stop"};
}

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// The tool's path as the build names it; under Wine a Unix path is reached through Z:.
std::string dbTool() {
    std::string p = OMBRIX_DB_TOOL;
    if (!p.empty() && p[0] == '/') p = "Z:" + p;
    return p;
}

class ScanInProgramTest : public ::testing::Test {
protected:
    ProgramUnderTest program;
    ScanTargets targets{program.folder()};
    HWND main = nullptr;

    // Encryption stays off: the scan alone is under test.
    void settings(bool stopKeylog, bool enabledWhite, bool enabledBlack) {
        program.writeSwitches({false, stopKeylog, enabledWhite, enabledBlack});
    }

    // Replaces the program's keylogger table by one listing exactly `names`.
    void table(const std::vector<std::string>& names) {
        std::string source;
        for (const std::string& n : names) source += n + "\r\n";
        program.writeFile("test-keyloggers.txt", source);
        std::string commandLine = "\"" + dbTool() + "\" build test-keyloggers.txt .";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                   program.folder().c_str(), &si, &pi))
            << commandLine;
        Process tool(pi);
        ASSERT_EQ(tool.waitForExit(60000), 0u) << commandLine;
    }

    void start() {
        program.start();
        main = program.waitForMainWindow();
        ASSERT_TRUE(main);
        // The first showing loads the table and the switches and sets the scan timer.
        ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return IsWindowVisible(main) != FALSE; }));
    }

    // Runs one scan as the timer would and returns when it is over.
    void scanNow() {
        DWORD_PTR result = 0;
        ASSERT_TRUE(SendMessageTimeoutA(main, WM_TIMER, kTimer2Id, 0, SMTO_NORMAL, 60000, &result));
    }
    void postScan() { PostMessageA(main, WM_TIMER, kTimer2Id, 0); }
    // Waits until every message posted before has been handled: a close request posted
    // behind them sends the window to the tray once they are done, since posted messages
    // are taken in order.
    bool postedHandled() {
        PostMessageA(main, WM_CLOSE, 0, 0);
        return ProgramUnderTest::waitUntil([&] { return IsWindowVisible(main) == FALSE; }, 60000);
    }

    std::vector<std::string> log(const std::vector<std::string>& expected) {
        return testing_support::logMessages(program.readFile(kLog), expected);
    }

    // The program's message boxes on screen.
    int messageBoxes() {
        BoxCount count{program.process().pid()};
        EnumWindows(&BoxCount::visit, reinterpret_cast<LPARAM>(&count));
        return count.boxes;
    }

private:
    struct BoxCount {
        DWORD pid;
        int boxes = 0;

        static BOOL CALLBACK visit(HWND w, LPARAM lp) {
            auto* c = reinterpret_cast<BoxCount*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            char cls[16] = "";
            GetClassNameA(w, cls, sizeof cls);
            if (pid == c->pid && IsWindowVisible(w) && std::string(cls) == "#32770" && GetDlgItem(w, 0xFFFF)) ++c->boxes;
            return TRUE;
        }
    };
};

}  // namespace

TEST_F(ScanInProgramTest, AProcessTheTableKnowsIsStoppedAndLoggedInTwoLines) {
    settings(true, true, true);
    table({"keylog.exe"});
    Process& keylog = targets.start("keylog.exe");
    Process& other = targets.start("notepad.exe");
    start();
    scanNow();
    EXPECT_TRUE(ScanTargets::endedWithZero(keylog));
    EXPECT_TRUE(other.running());
    EXPECT_EQ(log(pairFor("keylog.exe")), pairFor("keylog.exe"));
    EXPECT_TRUE(program.process().running());
}

TEST_F(ScanInProgramTest, TheWhiteListWinsOverTheTableWhateverTheLetterCase) {
    settings(true, true, true);
    table({"keylog.exe"});
    program.writeFile("wl.txt", "KEYLOG.EXE\r\n");
    program.writeFile("bl.txt", "keylog.exe\r\n");
    Process& keylog = targets.start("keylog.exe");
    start();
    scanNow();
    EXPECT_TRUE(keylog.running());
    EXPECT_FALSE(program.exists(kLog));
}

TEST_F(ScanInProgramTest, ATableHitOnAProtectedNameIsLeftAloneButTheBlackListStopsIt) {
    settings(true, true, true);
    table({"svchost.exe", "Explorer.exe", "SMSS.EXE", "lsass.exe"});
    // lsass.exe stands for the protected names here: Wine runs svchost.exe and explorer.exe
    // of its own, which a black-listed name would stop along with the copy.
    program.writeFile("bl.txt", "LSASS.EXE\r\n");
    Process& svchost = targets.start("svchost.exe");
    Process& explorer = targets.start("Explorer.exe");
    Process& smss = targets.start("SMSS.EXE");
    Process& lsass = targets.start("lsass.exe");
    start();
    scanNow();
    EXPECT_TRUE(ScanTargets::endedWithZero(smss)) << "the four are protected only as written";
    EXPECT_TRUE(ScanTargets::endedWithZero(lsass)) << "the black list alone suffices";
    EXPECT_TRUE(svchost.running());
    EXPECT_TRUE(explorer.running()) << "Explorer is protected in any letter case";
    // The two left running under Windows' names from another folder are reported (their
    // lines are checked apart); the stops, met in the system's order, are logged in pairs.
    std::string stops, reports;
    std::istringstream lines(program.readFile(kLog));
    for (std::string line; std::getline(lines, line);)
        (line.find("Windows process name from another folder: ") != std::string::npos ? reports : stops) += line + "\n";
    EXPECT_NE(reports.find("svchost.exe runs from "), std::string::npos) << reports;
    EXPECT_NE(reports.find("Explorer.exe runs from "), std::string::npos) << reports;
    EXPECT_EQ(std::count(reports.begin(), reports.end(), '\n'), 2) << reports;
    std::vector<std::string> expected = concat({pairFor("SMSS.EXE"), pairFor("lsass.exe")});
    std::vector<std::string> swapped = concat({pairFor("lsass.exe"), pairFor("SMSS.EXE")});
    std::vector<std::string> got = testing_support::logMessages(stops, expected);
    if (got != expected) got = testing_support::logMessages(stops, swapped), expected = swapped;
    EXPECT_EQ(got, expected);
}

TEST_F(ScanInProgramTest, ABlackListSwitchedOffStopsNothing) {
    settings(true, true, false);
    table({"keylog.exe"});
    program.writeFile("bl.txt", "notepad.exe\r\n");
    Process& notepad = targets.start("notepad.exe");
    start();
    scanNow();
    EXPECT_TRUE(notepad.running());
    EXPECT_FALSE(program.exists(kLog));
}

TEST_F(ScanInProgramTest, TwoCopiesEndTogetherAndEachEntryOfTheWalkLogsItsPair) {
    settings(true, true, true);
    table({"keylog.exe"});
    Process& first = targets.start("keylog.exe");
    Process& second = targets.start("keylog.exe");
    start();
    scanNow();
    EXPECT_TRUE(ScanTargets::endedWithZero(first));
    EXPECT_TRUE(ScanTargets::endedWithZero(second));
    std::vector<std::string> expected = concat({pairFor("keylog.exe"), pairFor("keylog.exe")});
    EXPECT_EQ(log(expected), expected);
}

TEST_F(ScanInProgramTest, AProcessWhoseNameDiffersOnlyInLetterCaseEndsWithTheStoppedOne) {
    settings(true, true, true);
    table({"keylog.exe"});
    Process& lower = targets.start("keylog.exe");
    Process& upper = targets.start("KEYLOG.EXE");
    start();
    scanNow();
    EXPECT_TRUE(ScanTargets::endedWithZero(lower));
    EXPECT_TRUE(ScanTargets::endedWithZero(upper));
    // KEYLOG.EXE has a key of its own, which the table does not hold: one stop only.
    EXPECT_EQ(log(pairFor("keylog.exe")), pairFor("keylog.exe"));
}

TEST_F(ScanInProgramTest, WithStopKeyloggerOffNoScanRuns) {
    settings(false, true, true);
    table({"keylog.exe"});
    program.writeFile("bl.txt", "keylog.exe\r\n");
    Process& keylog = targets.start("keylog.exe");
    start();
    postScan();
    scanNow();
    ASSERT_TRUE(postedHandled());
    EXPECT_TRUE(keylog.running());
    EXPECT_FALSE(program.exists(kLog));
}

TEST_F(ScanInProgramTest, TheProgramNeverStopsItselfThoughTableAndBlackListNameIt) {
    settings(true, true, true);
    table({"ombrix.exe"});
    program.writeFile("bl.txt", "ombrix.exe\r\n");
    // Another program of the same name is stopped all the same.
    Process& namesake = targets.start("ombrix.exe");
    start();
    scanNow();
    scanNow();
    EXPECT_TRUE(ScanTargets::endedWithZero(namesake));
    EXPECT_TRUE(program.process().running());
    EXPECT_TRUE(IsWindow(main));
    EXPECT_EQ(log(pairFor("ombrix.exe")), pairFor("ombrix.exe")) << "the program's own entry is never examined";
}

TEST_F(ScanInProgramTest, AFailedScanShowsItsErrorOnceAndScanningGoesOn) {
    settings(true, true, true);
    table({"nothing-runs-under-this-name.exe"});
    program.writeFile("bl.txt", "spy.exe\r\n");
    // A folder where the log file should be: the stop's lines and the exception line fail.
    ASSERT_TRUE(CreateDirectoryA(program.path(kLog).c_str(), nullptr));
    start();
    Process* spy = &targets.start("spy.exe");
    postScan();
    // The log file's error: the file as the log names it, and the system's reason.
    const std::string shown = program.waitForMessageBox();
    const std::string cause = std::string("Cannot open log file ") + kLog + ": ";
    EXPECT_EQ(shown.substr(0, cause.size()), cause) << shown;
    EXPECT_GT(shown.size(), cause.size() + 1) << "no reason given: " << shown;
    EXPECT_TRUE(ScanTargets::endedWithZero(*spy)) << "the stop comes before its log lines";

    // The timer runs on while the box is open: the next scan stops the next copy, and its
    // failure adds no second box.
    spy = &targets.start("spy.exe");
    postScan();
    EXPECT_TRUE(ScanTargets::endedWithZero(*spy));
    // A second box would come from the same scan, after the stop, before the scan returns to
    // the first box's loop.
    ASSERT_TRUE(ProgramUnderTest::settled(main, 60000));
    EXPECT_EQ(messageBoxes(), 1);
    program.dismissMessageBox();

    // The same failure again is not shown again.
    spy = &targets.start("spy.exe");
    postScan();
    EXPECT_TRUE(ScanTargets::endedWithZero(*spy));
    ASSERT_TRUE(ProgramUnderTest::settled(main, 60000));
    EXPECT_EQ(messageBoxes(), 0);

    // Once a scan has succeeded, a new failure is shown again.
    ASSERT_TRUE(RemoveDirectoryA(program.path(kLog).c_str()));
    spy = &targets.start("spy.exe");
    scanNow();
    EXPECT_TRUE(ScanTargets::endedWithZero(*spy));
    EXPECT_EQ(log(pairFor("spy.exe")), pairFor("spy.exe"));
    ASSERT_TRUE(DeleteFileA(program.path(kLog).c_str()));
    ASSERT_TRUE(CreateDirectoryA(program.path(kLog).c_str(), nullptr));
    spy = &targets.start("spy.exe");
    postScan();
    EXPECT_EQ(program.waitForMessageBox(), shown);
    program.dismissMessageBox();
    EXPECT_TRUE(program.process().running());
}

TEST_F(ScanInProgramTest, TheScanTimerAloneStartsAScanThirtySecondsAfterTheFirstShowing) {
    settings(true, true, true);
    table({"keylog.exe"});
    Process& keylog = targets.start("keylog.exe");
    start();
    DWORD shownAt = GetTickCount();
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !keylog.running(); }, 60000));
    DWORD after = GetTickCount() - shownAt;
    EXPECT_GE(after, 25000u) << "not before the interval";
    // The lines are written after the stop: the process may end before they are in the file.
    ProgramUnderTest::waitUntil([&] { return log(pairFor("keylog.exe")) == pairFor("keylog.exe"); }, 5000);
    EXPECT_EQ(log(pairFor("keylog.exe")), pairFor("keylog.exe"));
}

// A program under a Windows name from another folder is reported in the log once, with its
// path, and keeps running; the prefix's own system processes and a white-listed name never
// are. The scan that stops a keylogger and finds it shows one notice naming both. (Wine's
// tray sends no notification for a click on its balloon; TrayBalloonTest covers the click.)
TEST_F(ScanInProgramTest, AWindowsNameFromAnotherFolderIsReportedOnceAndKeepsRunning) {
    settings(true, true, true);
    table({"keylog.exe"});
    program.writeFile("wl.txt", "csrss.exe\r\n");
    Process& keylog = targets.start("keylog.exe");
    Process& impostor = targets.start("lsass.exe");
    Process& listed = targets.start("csrss.exe");
    start();
    scanNow();
    scanNow();
    EXPECT_TRUE(ScanTargets::endedWithZero(keylog));
    EXPECT_TRUE(impostor.running()) << "a report never stops";
    EXPECT_TRUE(listed.running());
    std::vector<std::string> reports;
    std::istringstream lines(program.readFile(kLog));
    for (std::string line; std::getline(lines, line);)
        if (line.find("Windows process name from another folder:") != std::string::npos) reports.push_back(line);
    ASSERT_EQ(reports.size(), 1u) << program.readFile(kLog);
    const std::string tail = "Windows process name from another folder: lsass.exe runs from ";
    EXPECT_NE(reports[0].find(tail), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find("\\target2\\lsass.exe"), std::string::npos) << reports[0];
    // The notice: the shell's balloon over the program's icon, as Wine's tray shows it.
    std::string notice;
    ProgramUnderTest::waitUntil([&] {
        for (const std::string& tip : testing_support::trayTips())
            if (tip.find("Keylogger stopped: keylog.exe") != std::string::npos) notice = tip;
        return !notice.empty();
    });
    EXPECT_NE(notice.find("Keylogger stopped: keylog.exe"), std::string::npos) << "no notice";
    EXPECT_NE(notice.find("lsass.exe ("), std::string::npos) << notice;
}
